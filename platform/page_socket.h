#pragma once
// The page's WebSocket (see web_server_impl.h), shared by the three files
// that hold its operations: Beast's WebSocket templates are the heaviest part
// of the server to compile, so its opening (ws_session.cpp), its reading and
// writing (ws_io.cpp) and its closing (ws_close.cpp) are compiled apart.
#include "platform/web_server_impl.h"

namespace sw::platform {

class PageSocket final : public WsSession, public std::enable_shared_from_this<PageSocket> {
public:
    PageSocket(tcp::socket socket, WebServer::Impl& server) : ws_(std::move(socket)), server_(server) {}
    void Accept(Request request, bool byKey);
    void Queue(std::string text, bool counted) override;
    void CloseSoon() override;

    // Reading and writing, in ws_io.cpp; closing in ws_close.cpp.
    void Read();
    void WriteNext();

private:
    struct Outgoing {
        std::string text;
        bool counted;
    };
    void Fail();
    void DoClose();

    websocket::stream<beast::tcp_stream> ws_;
    WebServer::Impl& server_;
    beast::flat_buffer buffer_;
    std::deque<Outgoing> outbox_;
    bool open_ = false;
    bool writing_ = false;
    bool closing_ = false;
    bool closed_ = false;
};

}  // namespace sw::platform
