// The page's WebSocket closing, on the server's I/O thread (see
// page_socket.h).
#include "platform/page_socket.h"

namespace sw::platform {

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

}  // namespace sw::platform
