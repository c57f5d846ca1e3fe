// One HTTP connection, on the server's I/O thread: guarded requests,
// answered at once or by the worker pool, and the upgrade to the
// WebSocket.
#include "platform/web_server_impl.h"

namespace sw::platform {

namespace {

Response Forbidden(const Request& request) {
    Response response = MakeResponse(request, http::status::forbidden, "text/plain", "Forbidden\n");
    response.keep_alive(false);
    return response;
}

}  // namespace

void HttpSession::Close() {
    if (closed_) return;
    closed_ = true;
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.socket().close(ignored);
}

bool HttpSession::Silent() {
    if (closed_ || buffer_.size() > 0 || (parser_ && parser_->got_some())) return false;
    beast::error_code error;
    return stream_.socket().available(error) == 0 && !error;
}

void HttpSession::Read() {
    parser_.emplace();
    parser_->header_limit(16 * 1024);
    parser_->body_limit(0);
    // A connection that has not shown the secret gets a few seconds to do so.
    stream_.expires_after(proven_ ? std::chrono::duration_cast<std::chrono::seconds>(kIdlePatience) : kUnprovenPatience);
    http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code error, std::size_t) {
        if (error) {
            if (error != http::error::end_of_stream && error != net::error::operation_aborted &&
                error != beast::error::timeout && error != net::error::bad_descriptor)
                Log("dropped a malformed request: " + error.message());
            self->Close();
            return;
        }
        self->Handle(self->parser_->release());
    });
}

void HttpSession::Handle(Request request) {
    bool byKey = false;
    if (!server_.HostAllowed(request) || !server_.Authorised(request, &byKey)) {
        if (websocket::is_upgrade(request)) Log("refused a WebSocket without the secret");
        Reply(Forbidden(request));
        return;
    }
    if (!proven_) {
        proven_ = true;
        server_.Proven(shared_from_this());
    }
    if (websocket::is_upgrade(request)) {
        const std::string origin(request[http::field::origin]);
        const std::string host(request[http::field::host]);
        const std::string path(request.target().substr(0, request.target().find('?')));
        if (path != "/ws" || !ConstantTimeEquals(origin, "http://" + host) || !server_.options.notice.empty()) {
            Log("refused a WebSocket from origin '" + origin + "'");
            Reply(Forbidden(request));
            return;
        }
        stream_.expires_never();
        closed_ = true;  // the socket now belongs to the WebSocket
        StartWebSocket(stream_.release_socket(), server_, std::move(request), byKey);
        return;
    }
    if (IsDownload(request)) {
        stream_.expires_never();
        closed_ = true;  // the socket now belongs to the download
        StartDownload(stream_.release_socket(), server_, std::move(request));
        return;
    }
    if (auto response = server_.Respond(request, byKey)) {
        Reply(std::move(*response));
        return;
    }
    // Files and generated pages are made on a worker, then written here.
    net::post(server_.workers, [self = shared_from_this(), request = std::move(request)] {
        auto response = std::make_shared<Response>(self->server_.RespondSlowly(request));
        net::post(self->stream_.get_executor(), [self, response] { self->Reply(std::move(*response)); });
    });
}

void HttpSession::Reply(Response response) {
    if (closed_) return;
    auto shared = std::make_shared<Response>(std::move(response));
    http::async_write(stream_, *shared, [self = shared_from_this(), shared](beast::error_code error, std::size_t) {
        if (error || !shared->keep_alive()) {
            self->Close();
            return;
        }
        self->Read();
    });
}

}  // namespace sw::platform
