// The page's WebSocket reading and writing, on the server's I/O thread
// (see page_socket.h).
#include "platform/page_socket.h"

namespace sw::platform {

void PageSocket::Queue(std::string text, bool counted) {
    outbox_.push_back({std::move(text), counted});
    if (open_ && outbox_.size() == 1) WriteNext();
}

void PageSocket::Read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
        if (error == websocket::error::message_too_big) Log("dropped an oversized page message");
        if (error) {
            self->Fail();
            return;
        }
        std::string text = beast::buffers_to_string(self->buffer_.data());
        self->buffer_.consume(self->buffer_.size());
        if (self == self->server_.active) self->server_.listener.OnPageMessage(text);
        self->Read();
    });
}

void PageSocket::WriteNext() {
    if (outbox_.empty() || writing_ || !open_ || closed_) {
        if (outbox_.empty() && closing_) DoClose();
        return;
    }
    writing_ = true;
    ws_.text(true);
    ws_.async_write(net::buffer(outbox_.front().text), [self = shared_from_this()](beast::error_code error, std::size_t) {
        self->writing_ = false;
        if (error) {
            self->Fail();
            return;
        }
        const bool counted = self->outbox_.front().counted;
        self->outbox_.pop_front();
        if (counted) self->server_.WriteDone(1);
        self->WriteNext();
    });
}

}  // namespace sw::platform
