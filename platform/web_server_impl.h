#pragma once
// The web server's inside, shared by its source files: the server state
// (web_server.cpp: accepting, guarding, answering requests), an HTTP
// connection (http_session.cpp) and the page's WebSocket (page_socket.h,
// whose files are the only ones that instantiate Beast's WebSocket
// templates, the heaviest to compile). All of it lives on the I/O thread,
// except what the worker pool is handed and the counters guarded by
// flushMutex.
#include <utility>  // boost 1.74 asio needs std::exchange declared first

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/downloads.h"
#include "platform/web_server.h"

namespace sw::platform {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;

using Request = http::request<http::empty_body>;
using Response = http::response<http::string_body>;

// Connections that have not shown the secret yet: how many may be open at
// once (fewer when file descriptors are short), how long one may take to
// send a whole request, and how long a proven one may stay idle.
inline constexpr std::size_t kMaxUnproven = 32;
inline constexpr std::chrono::seconds kUnprovenPatience{3};
inline constexpr std::chrono::seconds kIdlePatience{30};
// A connection younger than this is never closed to make room: the
// browser's request is on its way (its bytes come within a millisecond of
// the connection) and is answered first.
inline constexpr std::chrono::milliseconds kUnprovenGrace{250};
// The kernel holds a connection that has sent nothing for this long
// before handing it over (TCP_DEFER_ACCEPT), so idle ones take no
// descriptor and no slot while the browser's requests go by.
inline constexpr int kDeferAcceptSeconds = 10;
// Descriptors kept for the page beyond the unproven connections: its
// WebSocket, the browser's parallel connections, the help window, the
// files the workers read, the journal's files.
inline constexpr long kKeptForPage = 16;
// How long a page that has only the cookie waits for the live page to go
// (a reload's old page closes its socket as the new one opens its own)
// before it is told that the program is open in another window.
inline constexpr std::chrono::milliseconds kReloadPatience{2000};

void Log(const std::string& line);
// An answer with the headers every answer carries: no caching, no
// sniffing, and the policies of web_server.cpp for a document that runs
// nothing.
// Anything else (a picture, a script, a download, a refusal) opened on its
// own runs nothing.
inline constexpr const char* kInertPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'; "
    "sandbox";

Response MakeResponse(const Request& request, http::status status, const std::string& type, std::string body);

class WsSession;
class HttpSession;

struct WebServer::Impl {
    WebServerOptions options;
    WebServerListener& listener;
    PageMaker pageMaker;
    net::io_context ioc;
    net::thread_pool workers{2};
    tcp::acceptor acceptor{ioc};
    net::steady_timer acceptRetry{ioc};
    std::chrono::milliseconds acceptBackoff{0};
    std::thread thread;
    std::chrono::steady_clock::time_point lastAcceptTrouble{};
    const std::string secret;
    const std::string runId;
    std::uint16_t port = 0;
    std::atomic<bool> stopped{false};

    // Set by Start.
    std::size_t unprovenCap = kMaxUnproven;
    std::string descriptorWarning;

    // I/O thread only.
    std::shared_ptr<WsSession> active;
    // A page with only the cookie, waiting for the live one to go.
    std::shared_ptr<WsSession> waiting;
    net::steady_timer waitingTimer{ioc};
    std::list<std::weak_ptr<HttpSession>> unproven;  // oldest first
    std::list<std::weak_ptr<HttpSession>> proven;    // likewise

    Downloads downloads;  // offered files, guarded by their own lock

    std::mutex flushMutex;
    std::condition_variable flushed;
    std::size_t pendingWrites = 0;  // guarded by flushMutex

    Impl(WebServerOptions o, WebServerListener& l);

    std::string CookieName() const { return "sagewend-" + std::to_string(port); }
    // Counts the descriptors the process may still open and sets
    // unprovenCap and descriptorWarning; throws when no page could connect.
    void BudgetDescriptors();
    // Accepts the next connection once there is room for it.
    void Accept();
    void AcceptFailed(const beast::error_code& error);
    void Accepted(tcp::socket socket);
    // Whether another connection without the secret may be taken: there is
    // a free slot, or one could be made by closing the oldest connection
    // that has sent nothing (or, failing that, the oldest one) of those
    // past kUnprovenGrace. Closed and proven ones leave the list.
    bool MakeRoom();
    void Proven(const std::shared_ptr<HttpSession>& session);
    // Closes a connection to free its descriptor: the oldest without the
    // secret, else the oldest proven one that waits idle for its next
    // request (the browser opens another when it needs one).
    void CloseOneForRoom();
    // Whether the request shows the secret; *byKey when it is in the address.
    bool Authorised(const Request& request, bool* byKey = nullptr) const;
    bool HostAllowed(const Request& request) const;
    // The answer to a request that needs no file: the built-in pages,
    // refusals. Empty for a request the worker pool must answer.
    std::optional<Response> Respond(const Request& request, bool byKey) const;
    // The answer that needs the disk or a generated page (worker pool).
    Response RespondSlowly(const Request& request) const;
    // A page's WebSocket is open: it becomes the page, taking over from the
    // live one when it came with the key; with the cookie alone it waits
    // for the live one to go, and is refused if it does not.
    void Attach(const std::shared_ptr<WsSession>& session, bool byKey);
    void Refuse(const std::shared_ptr<WsSession>& session);
    void Detach(const WsSession* session);
    void WriteDone(std::size_t count);
};

// The page's WebSocket, as the server sees it.
class WsSession {
public:
    virtual ~WsSession() = default;
    // Queues a text message; counted ones are waited for by Flush.
    virtual void Queue(std::string text, bool counted) = 0;
    // Closes once everything queued is written.
    virtual void CloseSoon() = 0;
};

// Accepts the upgrade request on socket; once open, the WebSocket is
// attached as the page (byKey: the secret came in its address).
void StartWebSocket(tcp::socket socket, WebServer::Impl& server, Request request, bool byKey);

// A request for an offered file (platform/download.cpp), served on a
// connection of its own from then on.
bool IsDownload(const Request& request);
void StartDownload(tcp::socket socket, WebServer::Impl& server, Request request);

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, WebServer::Impl& server) : stream_(std::move(socket)), server_(server) {}
    void Start() { Read(); }
    void Close();
    bool Open() const { return !closed_; }
    // Whether the connection has sent no byte of its next request (for a
    // proven one: it is idle between requests).
    bool Silent();
    std::chrono::steady_clock::duration Age() const { return std::chrono::steady_clock::now() - opened_; }

private:
    void Read();
    void Handle(Request request);
    void Reply(Response response);

    beast::tcp_stream stream_;
    WebServer::Impl& server_;
    beast::flat_buffer buffer_{16 * 1024};
    std::optional<http::request_parser<http::empty_body>> parser_;
    const std::chrono::steady_clock::time_point opened_ = std::chrono::steady_clock::now();
    bool proven_ = false;
    bool closed_ = false;
};

}  // namespace sw::platform
