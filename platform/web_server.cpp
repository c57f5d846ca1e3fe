// The server's state on the I/O thread: accepting, guarding, and answering
// requests; the files and generated pages are answered on the worker pool.
#include "platform/web_server_impl.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cerrno>
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

// Every answer carries a policy: the program's pages may reach nothing
// outside the program (no request, form or base elsewhere). Help pages are
// sandboxed without scripts, which in Chromium also stops a meta refresh
// (a sandbox that allows scripts does not, so the main page, which runs
// its script, relies on what it writes holding none). No document the
// program serves keeps a handle on a window of another origin, or gives it
// one: the opener policy cuts the link when a window moves to another
// origin, and a window another origin opened gets no handle on the page.
constexpr const char* kPagePolicy =
    "default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; script-src 'self'; "
    "connect-src 'self'; frame-ancestors 'self'; base-uri 'none'; form-action 'none'";
// Help pages are text: nothing in them may run, submit, refresh or open a
// window; the sandbox keeps their origin, so their pictures and links
// still carry the page's cookie.
constexpr const char* kHelpPolicy =
    "default-src 'none'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; frame-ancestors 'none'; "
    "base-uri 'none'; form-action 'none'; sandbox allow-same-origin";

Response NotFound(const Request& request) { return MakeResponse(request, http::status::not_found, "text/plain", "Not found\n"); }

// A page of the server's own that says one thing, in the look of the
// program's notifications.
Response Notice(const Request& request, http::status status, const std::string& text) {
    Response response = MakeResponse(
        request, status, "text/html; charset=utf-8",
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>Sagewend</title></head>"
        "<body style=\"margin:0;background:#363;color:#fff;font:10pt Arial,sans-serif\">"
        "<div style=\"max-width:36em;margin:15vh auto 0;border:2px solid #030\">"
        "<div style=\"background:#030;font-weight:bold;padding:4px 8px\">Sagewend</div>"
        "<p role=\"alert\" style=\"margin:16px;line-height:1.4;overflow-wrap:anywhere\">" +
            EscapeHtml(text) + "</p></div></body></html>\n");
    if (request.method() == http::verb::head) response.body().clear();
    return response;
}

// Whether another site or another loopback port started the request (the
// browser says so in Sec-Fetch-Site; the program's own pages only ever
// make same-origin requests, and a start from the address bar, a bookmark
// or the start file says "none" or carries the key).
bool FromElsewhere(const Request& request) {
    const auto site = request["Sec-Fetch-Site"];
    return site == "same-site" || site == "cross-site";
}

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

Response MakeResponse(const Request& request, http::status status, const std::string& type, std::string body) {
    Response response{status, request.version()};
    response.set(http::field::server, "Sagewend");
    if (!type.empty()) response.set(http::field::content_type, type);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Content-Security-Policy", kInertPolicy);
    response.set("Cross-Origin-Opener-Policy", "same-origin");
    response.set("Cross-Origin-Resource-Policy", "same-origin");
    response.set("Referrer-Policy", "no-referrer");
    response.body() = std::move(body);
    response.keep_alive(request.keep_alive());
    response.prepare_payload();
    return response;
}

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

namespace {

long OpenDescriptors(long limit) {
    std::error_code error;
    long count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    if (!error) return count - 1;  // less the one that lists them
    // No descriptor left to list them with (or no /proc): ask each one.
    count = 0;
    for (int fd = 0; fd < limit; ++fd)
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) ++count;
    return count;
}

}  // namespace

void WebServer::Impl::BudgetDescriptors() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
    const long allowed = static_cast<long>(limit.rlim_cur);
    const long spare = allowed - OpenDescriptors(allowed);
    const long enough = allowed - spare + kKeptForPage + static_cast<long>(kMaxUnproven);
    const std::string count = "Sagewend may open only " + std::to_string(allowed) + " files at once and has " +
                              std::to_string(std::max(spare, 0L)) + " of them left";
    const std::string raise = "raise the limit (ulimit -n " + std::to_string(enough) + " or more) and start Sagewend again";
    // The page itself and its WebSocket: with fewer, no page ever connects.
    if (spare < 2) throw std::runtime_error(count + ", too few for its page: " + raise);
    unprovenCap = static_cast<std::size_t>(std::clamp(spare - kKeptForPage, 1L, static_cast<long>(kMaxUnproven)));
    if (spare < kKeptForPage)
        descriptorWarning = count + ": its page may load slowly or not at all. To mend it, " + raise + ".";
}

void WebServer::Impl::Accept() {
    if (stopped) return;
    if (!MakeRoom()) {
        // Every slot is held by a connection whose request may be on its
        // way; the kernel keeps the next one queued meanwhile.
        acceptRetry.expires_after(kUnprovenGrace / 5);
        acceptRetry.async_wait([this](beast::error_code) { Accept(); });
        return;
    }
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (stopped) return;
        if (error) {
            AcceptFailed(error);
            return;
        }
        acceptBackoff = std::chrono::milliseconds(0);
        Accepted(std::move(socket));
        Accept();
    });
}

void WebServer::Impl::AcceptFailed(const beast::error_code& error) {
    // Out of descriptors, most likely: say so now and then, make room, and
    // try again a little later instead of spinning.
    const auto now = std::chrono::steady_clock::now();
    if (now - lastAcceptTrouble > std::chrono::seconds(10)) {
        lastAcceptTrouble = now;
        Log("cannot take a connection on port " + std::to_string(port) + ": " + error.message() +
            (error == net::error::no_descriptors ? " (raise the limit on open files, ulimit -n)" : ""));
    }
    CloseOneForRoom();
    acceptBackoff = std::clamp(acceptBackoff * 2, std::chrono::milliseconds(10), std::chrono::milliseconds(500));
    acceptRetry.expires_after(acceptBackoff);
    acceptRetry.async_wait([this](beast::error_code) { Accept(); });
}

void WebServer::Impl::Accepted(tcp::socket socket) {
    beast::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);  // small frames otherwise wait for delayed ACKs
    auto session = std::make_shared<HttpSession>(std::move(socket), *this);
    unproven.push_back(session);
    session->Start();
}

bool WebServer::Impl::MakeRoom() {
    unproven.remove_if([](const std::weak_ptr<HttpSession>& weak) {
        auto alive = weak.lock();
        return !alive || !alive->Open();
    });
    if (unproven.size() < unprovenCap) return true;
    std::shared_ptr<HttpSession> oldest;
    for (const auto& weak : unproven) {
        auto session = weak.lock();
        if (!session || session->Age() < kUnprovenGrace) continue;
        if (session->Silent()) {
            session->Close();
            return true;
        }
        if (!oldest) oldest = session;
    }
    if (!oldest) return false;
    oldest->Close();
    return true;
}

void WebServer::Impl::Proven(const std::shared_ptr<HttpSession>& session) {
    unproven.remove_if([&session](const std::weak_ptr<HttpSession>& weak) {
        auto alive = weak.lock();
        return !alive || alive == session;
    });
    proven.remove_if([](const std::weak_ptr<HttpSession>& weak) {
        auto alive = weak.lock();
        return !alive || !alive->Open();
    });
    proven.push_back(session);
}

void WebServer::Impl::CloseOneForRoom() {
    for (auto* sessions : {&unproven, &proven})
        for (auto& weak : *sessions) {
            auto session = weak.lock();
            if (session && session->Open() && (sessions == &unproven || session->Silent())) {
                session->Close();
                return;
            }
        }
}

bool WebServer::Impl::HostAllowed(const Request& request) const {
    const std::string host(request[http::field::host]);
    const std::string suffix = ":" + std::to_string(port);
    return host == "127.0.0.1" + suffix || EqualsNoCase(host, "localhost" + suffix);
}

bool WebServer::Impl::Authorised(const Request& request, bool* byKey) const {
    const std::string fromQuery = QueryValue(std::string(request.target()), "key");
    if (byKey) *byKey = !fromQuery.empty();
    if (!fromQuery.empty()) return ConstantTimeEquals(fromQuery, secret);
    return ConstantTimeEquals(CookieValue(std::string(request[http::field::cookie]), CookieName()), secret);
}

std::optional<Response> WebServer::Impl::Respond(const Request& request, bool byKey) const {
    if (request.method() != http::verb::get && request.method() != http::verb::head)
        return MakeResponse(request, http::status::method_not_allowed, "text/plain", "Method not allowed\n");
    const auto path = RequestPath(request);
    if (!path) return NotFound(request);
    // Every file built in from res/ is served by its path there.
    const std::string resource = path->empty() ? "main.html" : *path;
    if (!options.notice.empty()) {
        if (resource != "main.html") return NotFound(request);
        if (request.method() == http::verb::get) listener.OnPageRequested();
        return Notice(request, http::status::ok, options.notice);
    }
    // The cookie is the site's, not the port's: a page on another loopback
    // port sends it too. Whatever it asks for is refused, and a window it
    // opens is told where the program is.
    if (!byKey && FromElsewhere(request)) {
        if (resource == "main.html" && active)
            return Notice(request, http::status::conflict, "Sagewend is open in another window.");
        return MakeResponse(request, http::status::forbidden, "text/plain", "Forbidden\n");
    }
    const auto bytes = FindResource(resource);
    if (!bytes) return std::nullopt;  // perhaps a generated help page

    Response response = MakeResponse(request, http::status::ok, ContentTypeFor(resource), std::string(*bytes));
    if (resource == "main.html") {
        response.set("Content-Security-Policy", kPagePolicy);
        response.set(http::field::set_cookie, CookieName() + "=" + secret + "; Path=/; HttpOnly; SameSite=Strict");
        if (request.method() == http::verb::get) listener.OnPageRequested();
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
        Response response = MakeResponse(request, http::status::ok, ContentTypeFor(*path), ToUtf8(*page));
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
    // The page may keep a picture and reuse it within the run (no-store
    // made every deal fetch its pictures again); a later run's validator
    // differs, so nothing outlives the run unchecked.
    const std::string etag = Format("\"%s-%llu-%lld\"", runId.c_str(), static_cast<unsigned long long>(size),
                                    static_cast<long long>(written.time_since_epoch().count()));
    Validate(request, response, etag, "private, no-cache");
    if (request.method() == http::verb::head) response.body().clear();
    return response;
}

void WebServer::Impl::Attach(const std::shared_ptr<WsSession>& session, bool byKey) {
    if (active && !byKey) {
        // A reload (its old page is on its way out) or a second window.
        if (waiting) Refuse(waiting);
        waiting = session;
        waitingTimer.expires_after(kReloadPatience);
        waitingTimer.async_wait([this, session](beast::error_code error) {
            if (error || waiting != session) return;
            waiting.reset();
            Log("refused a second window that had only the cookie: the page is open in another window");
            Refuse(session);
        });
        return;
    }
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

void WebServer::Impl::Refuse(const std::shared_ptr<WsSession>& session) {
    // The page says that the program is shown in another window, and stays.
    session->Queue(R"({"type":"replaced"})", false);
    session->CloseSoon();
}

void WebServer::Impl::Detach(const WsSession* session) {
    if (waiting.get() == session) {
        waiting.reset();
        return;
    }
    if (active.get() != session) return;
    active.reset();
    listener.OnPageDisconnected();
    if (waiting) {
        auto next = std::move(waiting);
        waiting.reset();
        waitingTimer.cancel();
        Attach(next, false);
    }
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
    const int defer = kDeferAcceptSeconds;
    ::setsockopt(impl_->acceptor.native_handle(), IPPROTO_TCP, TCP_DEFER_ACCEPT, &defer, sizeof defer);
    impl_->BudgetDescriptors();
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
        impl_->waitingTimer.cancel();
        impl_->ioc.stop();
    });
    if (impl_->thread.joinable()) impl_->thread.join();
    impl_->workers.stop();
    impl_->workers.join();
}

std::uint16_t WebServer::Port() const { return impl_->port; }
const std::string& WebServer::DescriptorWarning() const { return impl_->descriptorWarning; }
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

void RaiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, kWantedDescriptors);
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace sw::platform
