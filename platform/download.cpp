// Files handed to the user piece by piece (the journal's export): the
// list of offered files (platform/downloads.h) and the connection that
// serves one.
//
// A download takes over its HTTP connection once the request has shown the
// run's secret (http_session.cpp), as the WebSocket does, and answers with a
// chunked response: the worker pool asks the source for a piece, the I/O
// thread writes that piece as one chunk, and only once it is written is the
// next piece asked for. So one piece is held at a time, whatever the size
// of the file, and a slow browser slows the source instead of filling
// memory. A source that fails ends the connection without the last chunk,
// so the browser reports the download as failed rather than complete.
#include <random>
#include <sstream>

#include "platform/web_server_impl.h"

namespace sw::platform {

namespace {

constexpr std::string_view kPrefix = "/download/";
constexpr std::chrono::seconds kFetchWithin{60};
constexpr std::size_t kMaxWaiting = 4;
constexpr std::chrono::seconds kWritePatience{30};

std::string Token() {
    std::random_device device;
    std::ostringstream out;
    out << std::hex;
    for (int i = 0; i < 4; ++i) {
        out.width(8);
        out.fill('0');
        out << device();
    }
    return out.str();
}

// A file name fit for a header: letters, digits and ".-_" only.
std::string HeaderFileName(const std::string& name) {
    std::string safe;
    for (char c : name)
        safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_') ? c : '_';
    return safe.empty() ? "download" : safe;
}

class DownloadSession : public std::enable_shared_from_this<DownloadSession> {
public:
    DownloadSession(tcp::socket socket, WebServer::Impl& server, Downloads::Offered offered, unsigned version)
        : stream_(std::move(socket)), server_(server), offered_(std::move(offered)), header_{http::status::ok, version} {}

    void Start() {
        header_.set(http::field::server, "Sagewend");
        header_.set(http::field::content_type, offered_.type);
        header_.set(http::field::content_disposition,
                    "attachment; filename=\"" + HeaderFileName(offered_.name) + "\"");
        header_.set(http::field::cache_control, "no-store");
        header_.set("X-Content-Type-Options", "nosniff");
        header_.set("Content-Security-Policy", kInertPolicy);
        header_.set("Cross-Origin-Resource-Policy", "same-origin");
        header_.set("Referrer-Policy", "no-referrer");
        header_.keep_alive(false);
        header_.chunked(true);
        serializer_.emplace(header_);
        stream_.expires_after(kWritePatience);
        http::async_write_header(stream_, *serializer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error) return self->Close();
            self->Produce();
        });
    }

private:
    // The next piece, made on a worker; written on the I/O thread.
    void Produce() {
        net::post(server_.workers, [self = shared_from_this()] {
            const bool more = self->offered_.source->Next(&self->piece_);
            const bool complete = more || self->offered_.source->Complete();
            net::post(self->stream_.get_executor(), [self, more, complete] { self->Write(more, complete); });
        });
    }

    void Write(bool more, bool complete) {
        if (server_.stopped) return Close();
        if (!more) {
            if (!complete) {
                Log("a download failed before its end");
                return Close();
            }
            stream_.expires_after(kWritePatience);
            net::async_write(stream_, http::make_chunk_last(),
                             [self = shared_from_this()](beast::error_code, std::size_t) { self->Close(); });
            return;
        }
        if (piece_.empty()) return Produce();
        stream_.expires_after(kWritePatience);
        net::async_write(stream_, http::make_chunk(net::buffer(piece_)),
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             if (error) return self->Close();
                             self->Produce();
                         });
    }

    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.socket().close(ignored);
    }

    beast::tcp_stream stream_;
    WebServer::Impl& server_;
    Downloads::Offered offered_;
    http::response<http::empty_body> header_;
    std::optional<http::response_serializer<http::empty_body>> serializer_;
    std::string piece_;  // the worker fills it only while no write is under way
};

// The answer to a path that offers nothing (any more).
void Refuse(tcp::socket socket, unsigned version) {
    auto stream = std::make_shared<beast::tcp_stream>(std::move(socket));
    auto response = std::make_shared<Response>(http::status::not_found, version);
    response->set(http::field::server, "Sagewend");
    response->set(http::field::content_type, "text/plain");
    response->set(http::field::cache_control, "no-store");
    response->body() = "This download is no longer offered. Export again from the journal.\n";
    response->keep_alive(false);
    response->prepare_payload();
    stream->expires_after(kWritePatience);
    http::async_write(*stream, *response, [stream, response](beast::error_code, std::size_t) {
        beast::error_code ignored;
        stream->socket().shutdown(tcp::socket::shutdown_both, ignored);
    });
}

}  // namespace

bool Downloads::IsDownloadPath(std::string_view path) { return path.substr(0, kPrefix.size()) == kPrefix; }

std::string Downloads::Offer(Offered offered) {
    std::lock_guard lock(mutex_);
    while (waiting_.size() >= kMaxWaiting) waiting_.pop_front();
    std::string path = std::string(kPrefix) + Token();
    waiting_.push_back(Waiting{path, std::chrono::steady_clock::now(), std::move(offered)});
    return path;
}

std::optional<Downloads::Offered> Downloads::Take(std::string_view path) {
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
        if (it->path != path) continue;
        if (now - it->offeredAt > kFetchWithin) break;
        Offered offered = std::move(it->offered);
        waiting_.erase(it);
        return offered;
    }
    waiting_.remove_if([now](const Waiting& waiting) { return now - waiting.offeredAt > kFetchWithin; });
    return std::nullopt;
}

bool IsDownload(const Request& request) {
    const beast::string_view target = request.target();
    return request.method() == http::verb::get && Downloads::IsDownloadPath(std::string_view(target.data(), target.size()));
}

void StartDownload(tcp::socket socket, WebServer::Impl& server, Request request) {
    const std::string_view target(request.target().data(), request.target().size());
    auto offered = server.downloads.Take(target.substr(0, target.find('?')));
    if (!offered) return Refuse(std::move(socket), request.version());
    std::make_shared<DownloadSession>(std::move(socket), server, std::move(*offered), request.version())->Start();
}

std::string WebServer::OfferDownload(std::string name, std::string type, std::unique_ptr<DownloadSource> source) {
    return impl_->downloads.Offer(Downloads::Offered{std::move(name), std::move(type), std::move(source)});
}

}  // namespace sw::platform
