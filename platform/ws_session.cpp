// The page's WebSocket opening, on the server's I/O thread
// (see page_socket.h).
#include "platform/page_socket.h"

namespace sw::platform {

void PageSocket::Accept(Request request, bool byKey) {
    ws_.read_message_max(server_.options.maxMessageBytes);
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.async_accept(request, [self = shared_from_this(), byKey](beast::error_code error) {
        if (error) return;
        self->open_ = true;
        self->server_.Attach(self, byKey);
        self->Read();
        self->WriteNext();
    });
}

void StartWebSocket(tcp::socket socket, WebServer::Impl& server, Request request, bool byKey) {
    std::make_shared<PageSocket>(std::move(socket), server)->Accept(std::move(request), byKey);
}

}  // namespace sw::platform
