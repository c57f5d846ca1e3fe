// The page's WebSocket opening and closing, on the server's I/O thread
// (see page_socket.h).
#include "platform/page_socket.h"

namespace sw::platform {

void PageSocket::Accept(Request request) {
    ws_.read_message_max(server_.options.maxMessageBytes);
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code error) {
        if (error) return;
        self->open_ = true;
        self->server_.Attach(self);
        self->Read();
        self->WriteNext();
    });
}

void PageSocket::CloseSoon() {
    closing_ = true;
    if (outbox_.empty()) DoClose();
}

void PageSocket::Fail() {
    if (closed_) return;
    closed_ = true;
    std::size_t counted = 0;
    for (const auto& item : outbox_) counted += item.counted ? 1 : 0;
    outbox_.clear();
    server_.WriteDone(counted);
    server_.Detach(this);
}

void PageSocket::DoClose() {
    if (closed_ || !open_) return;
    ws_.async_close(websocket::close_code::normal, [self = shared_from_this()](beast::error_code) { self->Fail(); });
}

void StartWebSocket(tcp::socket socket, WebServer::Impl& server, Request request) {
    std::make_shared<PageSocket>(std::move(socket), server)->Accept(std::move(request));
}

}  // namespace sw::platform
