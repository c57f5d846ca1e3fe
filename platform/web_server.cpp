#include "platform/web_server.h"

#include <utility>  // boost 1.74 asio needs std::exchange declared first

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <iostream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "core/text.h"
#include "platform/resources.h"

namespace sw::platform {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

std::string MakeSecret() {
    std::random_device device;
    std::array<std::uint32_t, 4> words{};
    for (auto& word : words) word = device();
    std::ostringstream out;
    out << std::hex;
    for (auto word : words) {
        out.width(8);
        out.fill('0');
        out << word;
    }
    return out.str();  // 128 bits
}

void Log(const std::string& line) { std::clog << "sagewend: " << line << '\n'; }

std::string QueryValue(std::string_view target, std::string_view name) {
    auto question = target.find('?');
    if (question == std::string_view::npos) return {};
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        auto amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        auto eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

std::string CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        auto semi = header.find(';');
        std::string_view pair = header.substr(0, semi);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        auto eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
        if (semi == std::string_view::npos) break;
        header.remove_prefix(semi + 1);
    }
    return {};
}

}  // namespace

bool ConstantTimeEquals(const std::string& a, const std::string& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    const std::string& other = a.size() == b.size() ? b : a;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ other[i]);
    return difference == 0 && !a.empty();
}

std::string PercentDecode(const std::string& text, bool* ok) {
    std::string out;
    *ok = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            auto hex = [](char h) -> int {
                if (h >= '0' && h <= '9') return h - '0';
                if (h >= 'a' && h <= 'f') return h - 'a' + 10;
                if (h >= 'A' && h <= 'F') return h - 'A' + 10;
                return -1;
            };
            if (i + 2 >= text.size()) {
                *ok = false;
                return {};
            }
            int high = hex(text[i + 1]), low = hex(text[i + 2]);
            if (high < 0 || low < 0) {
                *ok = false;
                return {};
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    if (out.find('\0') != std::string::npos) *ok = false;
    return out;
}

std::string ContentTypeFor(const std::string& path) {
    auto dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? "" : path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "gif") return "image/gif";
    if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
    if (ext == "png") return "image/png";
    if (ext == "svg") return "image/svg+xml";
    if (ext == "bmp") return "image/bmp";
    if (ext == "webp") return "image/webp";
    if (ext == "ico") return "image/x-icon";
    if (ext == "htm" || ext == "html") return "text/html; charset=utf-8";
    if (ext == "css") return "text/css; charset=utf-8";
    if (ext == "js") return "text/javascript; charset=utf-8";
    return {};
}

std::filesystem::path ResolvePicture(const std::filesystem::path& workDir, const std::string& decodedPath) {
    namespace fs = std::filesystem;
    // decodedPath is "images/..." or "decks/..."; anything else is not served.
    std::string folder;
    if (decodedPath.rfind("images/", 0) == 0) folder = "images";
    else if (decodedPath.rfind("decks/", 0) == 0) folder = "decks";
    else return {};
    if (decodedPath.find('\\') != std::string::npos) return {};
    for (const auto& piece : Tokenize(decodedPath, '/'))
        if (piece == "..") return {};
    std::string type = ContentTypeFor(decodedPath);
    if (type.rfind("image/", 0) != 0) return {};
    std::error_code error;
    fs::path base = fs::canonical(workDir / folder, error);
    if (error) return {};
    fs::path resolved = fs::canonical(workDir / decodedPath, error);
    if (error) return {};
    // Containment after resolving links; the separator guards against
    // sibling folders that merely share the prefix ("images2").
    std::string baseText = base.string() + "/";
    if (resolved.string().rfind(baseText, 0) != 0) return {};
    if (!fs::is_regular_file(resolved, error)) return {};
    if (ContentTypeFor(resolved.string()).rfind("image/", 0) != 0) return {};
    return resolved;
}

std::optional<std::string_view> FindResource(std::string_view path) {
    for (const auto& resource : Resources())
        if (resource.path == path) return resource.bytes;
    return std::nullopt;
}

class WsSession;

struct WebServer::Impl {
    WebServerOptions options;
    WebServerListener& listener;
    net::io_context ioc;
    tcp::acceptor acceptor{ioc};
    std::thread thread;
    std::string secret = MakeSecret();
    std::uint16_t port = 0;
    std::shared_ptr<WsSession> active;  // io thread only
    std::mutex flushMutex;
    std::condition_variable flushed;
    std::size_t pendingWrites = 0;  // guarded by flushMutex
    bool stopped = false;

    Impl(WebServerOptions o, WebServerListener& l) : options(std::move(o)), listener(l) {}

    std::string CookieName() const { return "sagewend-" + std::to_string(port); }
    void Accept();
    bool Authorised(const http::request<http::empty_body>& request) const;
    bool HostAllowed(const http::request<http::empty_body>& request) const;
    http::response<http::string_body> Respond(const http::request<http::empty_body>& request) const;
    void Attach(const std::shared_ptr<WsSession>& session);
    void Detach(const WsSession* session);
    void WriteDone(std::size_t count) {
        std::lock_guard lock(flushMutex);
        pendingWrites -= std::min(pendingWrites, count);
        if (pendingWrites == 0) flushed.notify_all();
    }
};

class WsSession : public std::enable_shared_from_this<WsSession> {
public:
    WsSession(tcp::socket socket, WebServer::Impl& server) : ws_(std::move(socket)), server_(server) {}

    void Accept(http::request<http::empty_body> request) {
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

    void Queue(std::string text, bool counted) {
        outbox_.push_back({std::move(text), counted});
        if (open_ && outbox_.size() == 1) WriteNext();
    }

    void CloseSoon() {
        closing_ = true;
        if (outbox_.empty()) DoClose();
    }

    void Fail() {
        if (closed_) return;
        closed_ = true;
        std::size_t counted = 0;
        for (const auto& item : outbox_) counted += item.counted ? 1 : 0;
        outbox_.clear();
        server_.WriteDone(counted);
        server_.Detach(this);
    }

private:
    struct Outgoing {
        std::string text;
        bool counted;
    };

    void Read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error == websocket::error::message_too_big) {
                Log("dropped an oversized page message");
                self->Fail();
                return;
            }
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

    void WriteNext() {
        if (outbox_.empty() || writing_ || !open_ || closed_) {
            if (outbox_.empty() && closing_) DoClose();
            return;
        }
        writing_ = true;
        ws_.text(true);
        ws_.async_write(net::buffer(outbox_.front().text),
                        [self = shared_from_this()](beast::error_code error, std::size_t) {
                            self->writing_ = false;
                            if (error) {
                                self->Fail();
                                return;
                            }
                            bool counted = self->outbox_.front().counted;
                            self->outbox_.pop_front();
                            if (counted) self->server_.WriteDone(1);
                            self->WriteNext();
                        });
    }

    void DoClose() {
        if (closed_ || !open_) return;
        ws_.async_close(websocket::close_code::normal, [self = shared_from_this()](beast::error_code) { self->Fail(); });
    }

    websocket::stream<beast::tcp_stream> ws_;
    WebServer::Impl& server_;
    beast::flat_buffer buffer_;
    std::deque<Outgoing> outbox_;
    bool open_ = false;
    bool writing_ = false;
    bool closing_ = false;
    bool closed_ = false;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, WebServer::Impl& server) : stream_(std::move(socket)), server_(server) {}

    void Start() { Read(); }

private:
    void Read() {
        parser_.emplace();
        parser_->header_limit(16 * 1024);
        parser_->body_limit(0);
        stream_.expires_after(std::chrono::seconds(30));
        http::async_read(stream_, buffer_, *parser_, [self = shared_from_this()](beast::error_code error, std::size_t) {
            if (error) {
                if (error != http::error::end_of_stream && error != net::error::operation_aborted &&
                    error != beast::error::timeout)
                    Log("dropped a malformed request: " + error.message());
                beast::error_code ignored;
                self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                return;
            }
            self->Handle(self->parser_->release());
        });
    }

    void Handle(http::request<http::empty_body> request) {
        if (websocket::is_upgrade(request)) {
            std::string origin(request[http::field::origin]);
            std::string host(request[http::field::host]);
            std::string path(request.target().substr(0, request.target().find('?')));
            if (!server_.HostAllowed(request) || !server_.Authorised(request) || path != "/ws" ||
                !ConstantTimeEquals(origin, "http://" + host)) {
                Log("refused a WebSocket from origin '" + origin + "'");
                Reply(Forbidden(request));
                return;
            }
            stream_.expires_never();
            std::make_shared<WsSession>(stream_.release_socket(), server_)->Accept(std::move(request));
            return;
        }
        Reply(server_.Respond(request));
    }

    static http::response<http::string_body> Forbidden(const http::request<http::empty_body>& request) {
        http::response<http::string_body> response{http::status::forbidden, request.version()};
        response.set(http::field::content_type, "text/plain");
        response.body() = "Forbidden\n";
        response.keep_alive(false);
        response.prepare_payload();
        return response;
    }

    void Reply(http::response<http::string_body> response) {
        auto shared = std::make_shared<http::response<http::string_body>>(std::move(response));
        http::async_write(stream_, *shared, [self = shared_from_this(), shared](beast::error_code error, std::size_t) {
            if (error || !shared->keep_alive()) {
                beast::error_code ignored;
                self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                return;
            }
            self->Read();
        });
    }

    beast::tcp_stream stream_;
    WebServer::Impl& server_;
    beast::flat_buffer buffer_{16 * 1024};
    std::optional<http::request_parser<http::empty_body>> parser_;
};

bool WebServer::Impl::HostAllowed(const http::request<http::empty_body>& request) const {
    std::string host(request[http::field::host]);
    std::string suffix = ":" + std::to_string(port);
    return host == "127.0.0.1" + suffix || EqualsNoCase(host, "localhost" + suffix);
}

bool WebServer::Impl::Authorised(const http::request<http::empty_body>& request) const {
    std::string fromQuery = QueryValue(std::string(request.target()), "key");
    if (!fromQuery.empty()) return ConstantTimeEquals(fromQuery, secret);
    std::string fromCookie = CookieValue(std::string(request[http::field::cookie]), CookieName());
    return ConstantTimeEquals(fromCookie, secret);
}

http::response<http::string_body> WebServer::Impl::Respond(const http::request<http::empty_body>& request) const {
    auto make = [&](http::status status, std::string type, std::string body) {
        http::response<http::string_body> response{status, request.version()};
        response.set(http::field::server, "Sagewend");
        if (!type.empty()) response.set(http::field::content_type, type);
        response.set(http::field::cache_control, "no-store");
        response.set("X-Content-Type-Options", "nosniff");
        response.body() = std::move(body);
        response.keep_alive(request.keep_alive());
        response.prepare_payload();
        return response;
    };
    if (!HostAllowed(request) || !Authorised(request)) return make(http::status::forbidden, "text/plain", "Forbidden\n");
    if (request.method() != http::verb::get && request.method() != http::verb::head)
        return make(http::status::method_not_allowed, "text/plain", "Method not allowed\n");

    std::string target(request.target());
    std::string rawPath = target.substr(0, target.find('?'));
    bool ok = false;
    std::string path = PercentDecode(rawPath, &ok);
    if (!ok || path.empty() || path[0] != '/') return make(http::status::not_found, "text/plain", "Not found\n");
    path.erase(0, 1);

    std::string resourceName;
    if (path.empty()) resourceName = "main.html";
    else if (path == "main.js" || path == "main.css" || path == "meaning.html" || path == "meaning.js") resourceName = path;
    else if (path.rfind("help/", 0) == 0) resourceName = path;

    if (!resourceName.empty()) {
        auto bytes = FindResource(resourceName);
        if (!bytes) return make(http::status::not_found, "text/plain", "Not found\n");
        auto response = make(http::status::ok, ContentTypeFor(resourceName), std::string(*bytes));
        if (resourceName == "main.html" || resourceName == "meaning.html") {
            response.set("Content-Security-Policy",
                         "default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; script-src 'self'; "
                         "connect-src 'self'; frame-ancestors 'self'");
        }
        if (resourceName == "main.html") {
            response.set(http::field::set_cookie, CookieName() + "=" + secret + "; Path=/; HttpOnly; SameSite=Strict");
        }
        if (request.method() == http::verb::head) response.body().clear();
        return response;
    }

    std::filesystem::path file = ResolvePicture(options.workDir, path);
    if (file.empty()) return make(http::status::not_found, "text/plain", "Not found\n");
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    auto response = make(http::status::ok, ContentTypeFor(file.string()), content.str());
    // A picture is only ever shown as an image; an SVG opened directly must not run anything.
    response.set("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'; sandbox");
    if (request.method() == http::verb::head) response.body().clear();
    return response;
}

void WebServer::Impl::Accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error) {
            if (!stopped) Accept();
            return;
        }
        beast::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);  // small frames otherwise wait for delayed ACKs
        std::make_shared<HttpSession>(std::move(socket), *this)->Start();
        Accept();
    });
}

void WebServer::Impl::Attach(const std::shared_ptr<WsSession>& session) {
    if (active) {
        auto previous = active;
        active = session;
        previous->Queue(R"({"type":"replaced"})", false);
        previous->CloseSoon();
    } else {
        active = session;
    }
    listener.OnPageConnected();
}

void WebServer::Impl::Detach(const WsSession* session) {
    if (active.get() != session) return;
    active.reset();
    listener.OnPageDisconnected();
}

WebServer::WebServer(WebServerOptions options, WebServerListener& listener)
    : impl_(std::make_unique<Impl>(std::move(options), listener)) {}

WebServer::~WebServer() { Stop(); }

void WebServer::Start() {
    tcp::endpoint endpoint(net::ip::make_address("127.0.0.1"), impl_->options.port);
    impl_->acceptor.open(endpoint.protocol());
    impl_->acceptor.set_option(net::socket_base::reuse_address(true));
    impl_->acceptor.bind(endpoint);
    impl_->acceptor.listen();
    impl_->port = impl_->acceptor.local_endpoint().port();
    impl_->Accept();
    impl_->thread = std::thread([this] { impl_->ioc.run(); });
}

void WebServer::Stop() {
    if (!impl_ || impl_->stopped) return;
    impl_->stopped = true;
    net::post(impl_->ioc, [this] {
        beast::error_code ignored;
        impl_->acceptor.close(ignored);
        impl_->ioc.stop();
    });
    if (impl_->thread.joinable()) impl_->thread.join();
}

std::uint16_t WebServer::Port() const { return impl_->port; }
const std::string& WebServer::Secret() const { return impl_->secret; }

std::string WebServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(impl_->port) + "/?key=" + impl_->secret;
}

void WebServer::Send(std::string text) {
    {
        std::lock_guard lock(impl_->flushMutex);
        ++impl_->pendingWrites;
    }
    net::post(impl_->ioc, [this, text = std::move(text)]() mutable {
        if (impl_->active) impl_->active->Queue(std::move(text), true);
        else impl_->WriteDone(1);
    });
}

bool WebServer::Flush(int timeoutMilliseconds) {
    std::unique_lock lock(impl_->flushMutex);
    return impl_->flushed.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                                   [this] { return impl_->pendingWrites == 0; });
}

}  // namespace sw::platform
