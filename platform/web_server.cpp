// The server's state on the I/O thread: accepting, guarding, and answering
// requests; the files and generated pages are answered on the worker pool.
#include "platform/web_server_impl.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "core/text.h"
#include "platform/resources.h"

namespace sw::platform {

void Log(const std::string& line) { std::clog << "sagewend: " << line << '\n'; }

namespace {

std::string RandomHex(std::size_t words) {
    std::random_device device;
    std::ostringstream out;
    out << std::hex;
    for (std::size_t i = 0; i < words; ++i) {
        out.width(8);
        out.fill('0');
        out << device();
    }
    return out.str();
}

std::string QueryValue(std::string_view target, std::string_view name) {
    const auto question = target.find('?');
    if (question == std::string_view::npos) return {};
    std::string_view query = target.substr(question + 1);
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

std::string CookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const auto semi = header.find(';');
        std::string_view pair = header.substr(0, semi);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
        if (semi == std::string_view::npos) break;
        header.remove_prefix(semi + 1);
    }
    return {};
}

constexpr const char* kPagePolicy =
    "default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; script-src 'self'; "
    "connect-src 'self'; frame-ancestors 'self'";
// Help pages are text: nothing in them may run.
constexpr const char* kHelpPolicy =
    "default-src 'none'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; frame-ancestors 'none'";
// A picture is only ever shown as an image; an SVG opened directly must not run anything.
constexpr const char* kPicturePolicy = "default-src 'none'; style-src 'unsafe-inline'; sandbox";

Response MakeResponse(const Request& request, http::status status, const std::string& type, std::string body) {
    Response response{status, request.version()};
    response.set(http::field::server, "Sagewend");
    if (!type.empty()) response.set(http::field::content_type, type);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.body() = std::move(body);
    response.keep_alive(request.keep_alive());
    response.prepare_payload();
    return response;
}

Response NotFound(const Request& request) { return MakeResponse(request, http::status::not_found, "text/plain", "Not found\n"); }

// The decoded path below the root ("page/main.mjs", "decks/A/00.svg"); empty
// when the target is malformed.
std::optional<std::string> RequestPath(const Request& request) {
    const std::string target(request.target());
    std::string path;
    if (!PercentDecode(target.substr(0, target.find('?')), &path) || path.empty() || path[0] != '/') return std::nullopt;
    return path.substr(1);
}

// Answers a conditional request with 304 when the validator still holds.
void Validate(const Request& request, Response& response, const std::string& etag, const char* cacheControl) {
    response.set(http::field::etag, etag);
    response.set(http::field::cache_control, cacheControl);
    if (request[http::field::if_none_match] == etag) {
        response.result(http::status::not_modified);
        response.body().clear();
        response.prepare_payload();
    }
}

}  // namespace

bool ConstantTimeEquals(const std::string& a, const std::string& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    const std::string& other = a.size() == b.size() ? b : a;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ other[i]);
    return difference == 0 && !a.empty();
}

bool PercentDecode(const std::string& text, std::string* out) {
    auto hex = [](char h) -> int {
        if (h >= '0' && h <= '9') return h - '0';
        if (h >= 'a' && h <= 'f') return h - 'a' + 10;
        if (h >= 'A' && h <= 'F') return h - 'A' + 10;
        return -1;
    };
    out->clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '%') {
            *out += c;
            continue;
        }
        const int high = i + 2 < text.size() ? hex(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hex(text[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        *out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out->find('\0') == std::string::npos;
}

std::string ContentTypeFor(const std::string& path) {
    const auto dot = path.rfind('.');
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
    if (ext == "js" || ext == "mjs") return "text/javascript; charset=utf-8";
    if (ext == "json") return "application/json";
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
    const std::vector<std::string> pieces = Tokenize(decodedPath, '/');
    for (const auto& piece : pieces)
        if (piece == "..") return {};
    if (ContentTypeFor(decodedPath).rfind("image/", 0) != 0) return {};
    // A deck's own folder may be a link to wherever the user keeps the deck:
    // that is the user's choice, so its pictures are served from where it
    // leads. Below it, and anywhere under images/, links count only when
    // they stay inside.
    fs::path within = workDir / folder;
    if (folder == "decks" && pieces.size() > 2) within /= pieces[1];
    std::error_code error;
    const fs::path base = fs::canonical(within, error);
    if (error) return {};
    const fs::path resolved = fs::canonical(workDir / decodedPath, error);
    if (error) return {};
    // Containment after resolving links; the separator guards against
    // sibling folders that merely share the prefix ("images2").
    if (resolved.string().rfind(base.string() + "/", 0) != 0) return {};
    if (!fs::is_regular_file(resolved, error)) return {};
    if (ContentTypeFor(resolved.string()).rfind("image/", 0) != 0) return {};
    return resolved;
}

// ---- the server's state ----------------------------------------------------

WebServer::Impl::Impl(WebServerOptions o, WebServerListener& l)
    : options(std::move(o)), listener(l), secret(RandomHex(4)), runId(RandomHex(2)) {}

void WebServer::Impl::Accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (stopped) return;
        if (error) {
            // Out of descriptors, most likely: make room and try again a
            // little later instead of spinning.
            for (auto& weak : unproven)
                if (auto session = weak.lock()) {
                    session->Close();
                    break;
                }
            acceptBackoff = std::clamp(acceptBackoff * 2, std::chrono::milliseconds(10), std::chrono::milliseconds(500));
            acceptRetry.expires_after(acceptBackoff);
            acceptRetry.async_wait([this](beast::error_code) {
                if (!stopped) Accept();
            });
            return;
        }
        acceptBackoff = std::chrono::milliseconds(0);
        Accepted(std::move(socket));
        Accept();
    });
}

void WebServer::Impl::Accepted(tcp::socket socket) {
    beast::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);  // small frames otherwise wait for delayed ACKs
    auto session = std::make_shared<HttpSession>(std::move(socket), *this);
    Unproven(session);
    session->Start();
}

void WebServer::Impl::Unproven(const std::shared_ptr<HttpSession>& session) {
    unproven.remove_if([](const std::weak_ptr<HttpSession>& weak) {
        auto alive = weak.lock();
        return !alive || !alive->Open();
    });
    while (unproven.size() >= kMaxUnproven) {
        if (auto oldest = unproven.front().lock()) oldest->Close();
        unproven.pop_front();
    }
    unproven.push_back(session);
}

void WebServer::Impl::Proven(const HttpSession* session) {
    unproven.remove_if([session](const std::weak_ptr<HttpSession>& weak) {
        auto alive = weak.lock();
        return !alive || alive.get() == session;
    });
}

bool WebServer::Impl::HostAllowed(const Request& request) const {
    const std::string host(request[http::field::host]);
    const std::string suffix = ":" + std::to_string(port);
    return host == "127.0.0.1" + suffix || EqualsNoCase(host, "localhost" + suffix);
}

bool WebServer::Impl::Authorised(const Request& request) const {
    const std::string fromQuery = QueryValue(std::string(request.target()), "key");
    if (!fromQuery.empty()) return ConstantTimeEquals(fromQuery, secret);
    return ConstantTimeEquals(CookieValue(std::string(request[http::field::cookie]), CookieName()), secret);
}

std::optional<Response> WebServer::Impl::Respond(const Request& request) const {
    if (request.method() != http::verb::get && request.method() != http::verb::head)
        return MakeResponse(request, http::status::method_not_allowed, "text/plain", "Method not allowed\n");
    const auto path = RequestPath(request);
    if (!path) return NotFound(request);
    // Every file built in from res/ is served by its path there.
    const std::string resource = path->empty() ? "main.html" : *path;
    const auto bytes = FindResource(resource);
    if (!bytes) return std::nullopt;  // perhaps a generated help page

    Response response = MakeResponse(request, http::status::ok, ContentTypeFor(resource), std::string(*bytes));
    if (resource == "main.html") {
        response.set("Content-Security-Policy", kPagePolicy);
        response.set(http::field::set_cookie, CookieName() + "=" + secret + "; Path=/; HttpOnly; SameSite=Strict");
    } else {
        if (resource == "meaning.html") response.set("Content-Security-Policy", kPagePolicy);
        if (resource.rfind("help/", 0) == 0) response.set("Content-Security-Policy", kHelpPolicy);
        // Built into this run's program: the run's id is a sound validator.
        Validate(request, response, "\"" + runId + "\"", "private, no-cache");
    }
    if (request.method() == http::verb::head) response.body().clear();
    return response;
}

Response WebServer::Impl::RespondSlowly(const Request& request) const {
    const auto path = RequestPath(request);
    if (!path) return NotFound(request);
    if (path->rfind("help/", 0) == 0) {
        auto page = pageMaker ? pageMaker(*path) : std::nullopt;
        if (!page) return NotFound(request);
        Response response = MakeResponse(request, http::status::ok, "text/html; charset=utf-8", ToUtf8(*page));
        response.set("Content-Security-Policy", kHelpPolicy);
        if (request.method() == http::verb::head) response.body().clear();
        return response;
    }
    const std::filesystem::path file = ResolvePicture(options.workDir, *path);
    std::error_code error;
    const auto size = file.empty() ? 0 : std::filesystem::file_size(file, error);
    const auto written = error ? std::filesystem::file_time_type() : std::filesystem::last_write_time(file, error);
    if (file.empty() || error) return NotFound(request);
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    Response response = MakeResponse(request, http::status::ok, ContentTypeFor(file.string()), content.str());
    response.set("Content-Security-Policy", kPicturePolicy);
    // The page may keep a picture and reuse it within the run (no-store
    // made every deal fetch its pictures again); a later run's validator
    // differs, so nothing outlives the run unchecked.
    const std::string etag = Format("\"%s-%llu-%lld\"", runId.c_str(), static_cast<unsigned long long>(size),
                                    static_cast<long long>(written.time_since_epoch().count()));
    Validate(request, response, etag, "private, no-cache");
    if (request.method() == http::verb::head) response.body().clear();
    return response;
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

void WebServer::Impl::WriteDone(std::size_t count) {
    std::lock_guard lock(flushMutex);
    pendingWrites -= std::min(pendingWrites, count);
    if (pendingWrites == 0) flushed.notify_all();
}

// ---- the public face --------------------------------------------------------

WebServer::WebServer(WebServerOptions options, WebServerListener& listener)
    : impl_(std::make_unique<Impl>(std::move(options), listener)) {}

WebServer::~WebServer() { Stop(); }

void WebServer::SetPageMaker(PageMaker maker) { impl_->pageMaker = std::move(maker); }

void WebServer::Start() {
    const tcp::endpoint endpoint(net::ip::make_address("127.0.0.1"), impl_->options.port);
    impl_->acceptor.open(endpoint.protocol());
    impl_->acceptor.set_option(net::socket_base::reuse_address(true));
    impl_->acceptor.bind(endpoint);
    impl_->acceptor.listen();
    impl_->port = impl_->acceptor.local_endpoint().port();
    impl_->Accept();
    impl_->thread = std::thread([this] { impl_->ioc.run(); });
}

void WebServer::Stop() {
    if (!impl_ || impl_->stopped.exchange(true)) return;
    net::post(impl_->ioc, [this] {
        beast::error_code ignored;
        impl_->acceptor.close(ignored);
        impl_->acceptRetry.cancel();
        impl_->ioc.stop();
    });
    if (impl_->thread.joinable()) impl_->thread.join();
    impl_->workers.stop();
    impl_->workers.join();
}

std::uint16_t WebServer::Port() const { return impl_->port; }
const std::string& WebServer::Secret() const { return impl_->secret; }
const std::string& WebServer::RunId() const { return impl_->runId; }

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
