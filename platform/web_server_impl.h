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
// once, and how long one may stay silent.
inline constexpr std::size_t kMaxUnproven = 32;
inline constexpr std::chrono::seconds kUnprovenPatience{5};
inline constexpr std::chrono::seconds kIdlePatience{30};

void Log(const std::string& line);

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
    const std::string secret;
    const std::string runId;
    std::uint16_t port = 0;
    std::atomic<bool> stopped{false};

    // I/O thread only.
    std::shared_ptr<WsSession> active;
    std::list<std::weak_ptr<HttpSession>> unproven;  // oldest first

    Downloads downloads;  // offered files, guarded by their own lock

    std::mutex flushMutex;
    std::condition_variable flushed;
    std::size_t pendingWrites = 0;  // guarded by flushMutex

    Impl(WebServerOptions o, WebServerListener& l);

    std::string CookieName() const { return "sagewend-" + std::to_string(port); }
    void Accept();
    void Accepted(tcp::socket socket);
    // Keeps at most kMaxUnproven connections without the secret, closing
    // the oldest; closed and proven ones are dropped from the list.
    void Unproven(const std::shared_ptr<HttpSession>& session);
    void Proven(const HttpSession* session);
    bool Authorised(const Request& request) const;
    bool HostAllowed(const Request& request) const;
    // The answer to a request that needs no file: the built-in pages,
    // refusals. Empty for a request the worker pool must answer.
    std::optional<Response> Respond(const Request& request) const;
    // The answer that needs the disk or a generated page (worker pool).
    Response RespondSlowly(const Request& request) const;
    void Attach(const std::shared_ptr<WsSession>& session);
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
// attached as the page.
void StartWebSocket(tcp::socket socket, WebServer::Impl& server, Request request);

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

private:
    void Read();
    void Handle(Request request);
    void Reply(Response response);

    beast::tcp_stream stream_;
    WebServer::Impl& server_;
    beast::flat_buffer buffer_{16 * 1024};
    std::optional<http::request_parser<http::empty_body>> parser_;
    bool proven_ = false;
    bool closed_ = false;
};

}  // namespace sw::platform
