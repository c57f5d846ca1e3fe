// The loopback server as a browser and as an intruder see it: the secret,
// the policies every answer carries, who may take the page over, and
// connections and descriptors that must never keep the page away.
#include <utility>  // boost 1.74 asio needs std::exchange declared first

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/web_server.h"

namespace sw::platform {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
namespace fs = std::filesystem;

class RecordingListener : public WebServerListener {
public:
    void OnPageConnected() override { Note("connected"); }
    void OnPageDisconnected() override { Note("disconnected"); }
    void OnPageMessage(const std::string& text) override { Note("message:" + text); }
    void OnPageRequested() override { Note("requested"); }

    bool WaitFor(const std::string& event, std::ptrdiff_t times = 1) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5),
                                 [&] { return std::count(events_.begin(), events_.end(), event) >= times; });
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    void Note(const std::string& event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sagewend-server-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        fs::create_directories(dir / "images");
        fs::create_directories(dir / "data");
        std::ofstream(dir / "images" / "logo.gif") << "GIF89a";
        std::ofstream(dir / "data" / "layouts.dat") << "MQ==\n";
        server = std::make_unique<WebServer>(WebServerOptions{0, dir, 4096, Notice()}, listener);
        server->Start();
        host = "127.0.0.1:" + std::to_string(server->Port());
    }
    void TearDown() override {
        server.reset();
        fs::remove_all(dir);
    }
    virtual std::string Notice() const { return {}; }

    tcp::endpoint Endpoint() const { return {net::ip::make_address("127.0.0.1"), server->Port()}; }

    http::response<http::string_body> Get(const std::string& target, const std::string& hostHeader,
                                          const std::string& cookie = "", const std::string& fetchSite = "") {
        net::io_context ioc;
        beast::tcp_stream stream(ioc);
        stream.connect(Endpoint());
        http::request<http::empty_body> request{http::verb::get, target, 11};
        request.set(http::field::host, hostHeader);
        if (!cookie.empty()) request.set(http::field::cookie, cookie);
        if (!fetchSite.empty()) request.set("Sec-Fetch-Site", fetchSite);
        http::write(stream, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(stream, buffer, response);
        return response;
    }

    std::string Key() const { return "key=" + server->Secret(); }
    std::string Cookie() const { return "sagewend-" + std::to_string(server->Port()) + "=" + server->Secret(); }

    // Opens a WebSocket; returns false when the handshake is refused.
    bool OpenSocket(websocket::stream<beast::tcp_stream>& ws, const std::string& origin, const std::string& target,
                    const std::string& cookie = "") {
        ws.next_layer().connect(Endpoint());
        ws.set_option(websocket::stream_base::decorator([origin, cookie](websocket::request_type& request) {
            request.set(http::field::origin, origin);
            if (!cookie.empty()) request.set(http::field::cookie, cookie);
        }));
        beast::error_code error;
        ws.handshake(host, target, error);
        return !error;
    }

    fs::path dir;
    RecordingListener listener;
    std::unique_ptr<WebServer> server;
    std::string host;
};

TEST_F(WebServerTest, ServesThePageOnlyWithTheSecretAndTheRightHost) {
    auto page = Get("/?" + Key(), host);
    EXPECT_EQ(page.result(), http::status::ok);
    EXPECT_NE(page.body().find("fileList"), std::string::npos);
    const std::string cookie(page[http::field::set_cookie]);
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);

    EXPECT_EQ(Get("/", host).result(), http::status::forbidden);
    EXPECT_EQ(Get("/?key=0123456789abcdef0123456789abcdef", host).result(), http::status::forbidden);
    EXPECT_EQ(Get("/?" + Key(), "evil.example:" + std::to_string(server->Port())).result(), http::status::forbidden);
    EXPECT_EQ(Get("/?" + Key(), "127.0.0.1:1").result(), http::status::forbidden);
    EXPECT_EQ(Get("/?" + Key(), "localhost:" + std::to_string(server->Port())).result(), http::status::ok);
}

TEST_F(WebServerTest, PicturesNeedTheCookieAndStayInsideTheirFolders) {
    EXPECT_EQ(Get("/images/logo.gif", host, Cookie()).result(), http::status::ok);
    EXPECT_EQ(Get("/images/logo.gif", host).result(), http::status::forbidden);
    EXPECT_EQ(Get("/images/../data/layouts.dat", host, Cookie()).result(), http::status::not_found);
    EXPECT_EQ(Get("/images/%2e%2e/data/layouts.dat", host, Cookie()).result(), http::status::not_found);
    EXPECT_EQ(Get("/data/layouts.dat", host, Cookie()).result(), http::status::not_found);
    EXPECT_EQ(Get("/help/index.htm", host, Cookie()).result(), http::status::ok);
    EXPECT_EQ(Get("/help/missing.htm", host, Cookie()).result(), http::status::not_found);
}

TEST_F(WebServerTest, WebSocketsNeedTheSecretAndThePagesOwnOrigin) {
    net::io_context ioc;
    {
        websocket::stream<beast::tcp_stream> ws(ioc);
        EXPECT_FALSE(OpenSocket(ws, "http://evil.example", "/ws?" + Key()));
    }
    {
        websocket::stream<beast::tcp_stream> ws(ioc);
        EXPECT_FALSE(OpenSocket(ws, "http://" + host, "/ws"));
    }
    EXPECT_TRUE(listener.Events().empty()) << "refused sockets change nothing";

    websocket::stream<beast::tcp_stream> ws(ioc);
    ASSERT_TRUE(OpenSocket(ws, "http://" + host, "/ws?" + Key()));
    ASSERT_TRUE(listener.WaitFor("connected"));
    ws.write(net::buffer(std::string(R"({"type":"click"})")));
    ASSERT_TRUE(listener.WaitFor(R"(message:{"type":"click"})"));

    server->Send(R"({"type":"write","html":"<p>hi</p>"})");
    beast::flat_buffer buffer;
    ws.read(buffer);
    EXPECT_EQ(beast::buffers_to_string(buffer.data()), R"({"type":"write","html":"<p>hi</p>"})");
    EXPECT_TRUE(server->Flush(2000));
}

TEST_F(WebServerTest, AnOversizedMessageDropsThatPageButTheServerGoesOn) {
    net::io_context ioc;
    {
        websocket::stream<beast::tcp_stream> ws(ioc);
        ASSERT_TRUE(OpenSocket(ws, "http://" + host, "/ws?" + Key()));
        ASSERT_TRUE(listener.WaitFor("connected"));
        beast::error_code error;
        ws.write(net::buffer(std::string(10000, 'x')), error);
        ASSERT_TRUE(listener.WaitFor("disconnected"));
    }
    for (const auto& event : listener.Events()) EXPECT_EQ(event.rfind("message:", 0), std::string::npos);
    websocket::stream<beast::tcp_stream> again(ioc);
    EXPECT_TRUE(OpenSocket(again, "http://" + host, "/ws?" + Key()));
    EXPECT_EQ(Get("/?" + Key(), host).result(), http::status::ok);
}

TEST_F(WebServerTest, ASecondPageTakesOverAndTheFirstIsTold) {
    net::io_context ioc;
    websocket::stream<beast::tcp_stream> first(ioc);
    ASSERT_TRUE(OpenSocket(first, "http://" + host, "/ws?" + Key()));
    ASSERT_TRUE(listener.WaitFor("connected"));
    websocket::stream<beast::tcp_stream> second(ioc);
    ASSERT_TRUE(OpenSocket(second, "http://" + host, "/ws?" + Key()));

    beast::flat_buffer buffer;
    first.read(buffer);
    EXPECT_EQ(beast::buffers_to_string(buffer.data()), R"({"type":"replaced"})");

    server->Send(R"({"type":"done","seq":1})");
    beast::flat_buffer secondBuffer;
    second.read(secondBuffer);
    EXPECT_EQ(beast::buffers_to_string(secondBuffer.data()), R"({"type":"done","seq":1})");
}

std::string Read(websocket::stream<beast::tcp_stream>& ws, beast::error_code* error = nullptr) {
    beast::flat_buffer buffer;
    beast::error_code ignored;
    ws.read(buffer, error ? *error : ignored);
    return beast::buffers_to_string(buffer.data());
}

TEST_F(WebServerTest, EveryAnswerCarriesAPolicyThatReachesNothingOutsideTheProgram) {
    for (const std::string& target : {"/?" + Key(), "/help/index.htm?" + Key(), "/images/logo.gif?" + Key(),
                                      "/page/main.mjs?" + Key(), "/missing?" + Key(), std::string("/")}) {
        const auto response = Get(target, host);
        const std::string policy(response["Content-Security-Policy"]);
        EXPECT_TRUE(policy.rfind("default-src 'self';", 0) == 0 || policy.rfind("default-src 'none';", 0) == 0)
            << target << ": " << policy;
        EXPECT_NE(policy.find("base-uri 'none'"), std::string::npos) << target;
        EXPECT_NE(policy.find("form-action 'none'"), std::string::npos) << target;
        EXPECT_EQ(response["Cross-Origin-Opener-Policy"], "same-origin") << target;
        EXPECT_EQ(response["Referrer-Policy"], "no-referrer") << target;
    }
    // A help page runs nothing, so no refresh in it ever runs; it keeps its
    // origin, so its pictures still carry the cookie.
    const std::string help(Get("/help/index.htm?" + Key(), host)["Content-Security-Policy"]);
    EXPECT_NE(help.find("sandbox allow-same-origin"), std::string::npos);
    EXPECT_EQ(help.find("allow-scripts"), std::string::npos);
}

TEST_F(WebServerTest, RequestsThatAnotherPortStartedCountOnlyWithTheKey) {
    // The cookie is the site's, and a page on another loopback port is the same site.
    EXPECT_EQ(Get("/", host, Cookie(), "same-site").result(), http::status::forbidden);
    EXPECT_EQ(Get("/images/logo.gif", host, Cookie(), "same-site").result(), http::status::forbidden);
    EXPECT_EQ(Get("/images/logo.gif", host, Cookie(), "cross-site").result(), http::status::forbidden);
    // The page's own requests, the address bar and a reload; the start file forwards with the key.
    EXPECT_EQ(Get("/images/logo.gif", host, Cookie(), "same-origin").result(), http::status::ok);
    EXPECT_EQ(Get("/", host, Cookie(), "none").result(), http::status::ok);
    EXPECT_EQ(Get("/?" + Key(), host, "", "cross-site").result(), http::status::ok);

    // While a page is live, a window opened from elsewhere is told where it is.
    net::io_context ioc;
    websocket::stream<beast::tcp_stream> live(ioc);
    ASSERT_TRUE(OpenSocket(live, "http://" + host, "/ws?" + Key()));
    ASSERT_TRUE(listener.WaitFor("connected"));
    const auto told = Get("/", host, Cookie(), "same-site");
    EXPECT_EQ(told.result(), http::status::conflict);
    EXPECT_NE(told.body().find("Sagewend is open in another window."), std::string::npos);
    EXPECT_EQ(told.body().find("fileList"), std::string::npos);
    EXPECT_EQ(told[http::field::set_cookie], "");
}

TEST_F(WebServerTest, APageWithOnlyTheCookieNeverTakesOverALivePageButFollowsOneThatWent) {
    net::io_context ioc;
    websocket::stream<beast::tcp_stream> live(ioc);
    ASSERT_TRUE(OpenSocket(live, "http://" + host, "/ws?" + Key()));
    ASSERT_TRUE(listener.WaitFor("connected"));
    {
        // A second window while the page is live: told, and closed.
        websocket::stream<beast::tcp_stream> second(ioc);
        ASSERT_TRUE(OpenSocket(second, "http://" + host, "/ws", Cookie()));
        EXPECT_EQ(Read(second), R"({"type":"replaced"})");
        beast::error_code error;
        Read(second, &error);
        EXPECT_EQ(error, websocket::error::closed);
    }
    server->Send("still the live page's");
    EXPECT_EQ(Read(live), "still the live page's");

    // A reload: the new page's socket opens as the old page's closes.
    websocket::stream<beast::tcp_stream> reloaded(ioc);
    ASSERT_TRUE(OpenSocket(reloaded, "http://" + host, "/ws", Cookie()));
    live.close(websocket::close_code::going_away);
    ASSERT_TRUE(listener.WaitFor("connected", 2));
    server->Send("the reloaded page's");
    EXPECT_EQ(Read(reloaded), "the reloaded page's");
    const auto events = listener.Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "disconnected"), 1);
}

// Whether the server closes the socket within the patience of a test.
bool ClosedByServer(net::io_context& ioc, tcp::socket& socket) {
    char byte = 0;
    bool closed = false;
    socket.async_read_some(net::buffer(&byte, 1), [&](beast::error_code error, std::size_t) { closed = bool(error); });
    ioc.restart();
    ioc.run_for(std::chrono::seconds(20));
    return closed;
}

TEST_F(WebServerTest, ConnectionsWithoutTheSecretNeverKeepThePageFromBeingServed) {
    net::io_context ioc;
    // The browser's connection, made before it has its request ready.
    beast::tcp_stream page(ioc);
    page.connect(Endpoint());
    // Then a crowd of connections that say nothing, or half a request.
    std::vector<tcp::socket> silent, halfway;
    for (int i = 0; i < 150; ++i) silent.emplace_back(ioc).connect(Endpoint());
    for (int i = 0; i < 150; ++i) {
        halfway.emplace_back(ioc).connect(Endpoint());
        net::write(halfway.back(), net::buffer(std::string("GET / HTTP/1.1\r\n")));
    }
    http::request<http::empty_body> request{http::verb::get, "/?" + Key(), 11};
    request.set(http::field::host, host);
    http::write(page, request);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    beast::error_code error;
    http::read(page, buffer, response, error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(response.result(), http::status::ok);
    EXPECT_EQ(Get("/?" + Key(), host).result(), http::status::ok);
    // A request cut short does not hold its descriptor for long.
    EXPECT_TRUE(ClosedByServer(ioc, halfway.back()));
}

class NoticeServerTest : public WebServerTest {
protected:
    std::string Notice() const override { return "Sagewend is already open on /home/<me> & co."; }
};

TEST_F(NoticeServerTest, ServesOnlyTheNoticeAndNothingOfTheFolder) {
    const auto notice = Get("/?" + Key(), host);
    EXPECT_EQ(notice.result(), http::status::ok);
    EXPECT_NE(notice.body().find("Sagewend is already open on /home/&lt;me&gt; &amp; co."), std::string::npos);
    EXPECT_EQ(notice.body().find("fileList"), std::string::npos);
    EXPECT_TRUE(listener.WaitFor("requested"));
    EXPECT_EQ(Get("/", host).result(), http::status::forbidden);
    EXPECT_EQ(Get("/images/logo.gif?" + Key(), host).result(), http::status::not_found);
    EXPECT_EQ(Get("/page/main.mjs?" + Key(), host).result(), http::status::not_found);
    net::io_context ioc;
    websocket::stream<beast::tcp_stream> ws(ioc);
    EXPECT_FALSE(OpenSocket(ws, "http://" + host, "/ws?" + Key()));
}

long OpenDescriptorsNow() {
    long count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count - 1;  // less the one that lists them
}

TEST(WebServerDescriptors, TooFewAreSaidAndWithNoneToSpareItDoesNotStart) {
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    RecordingListener listener;
    // Starts a server that is left `spare` descriptors once it listens.
    auto start = [&](long spare, std::string* warning) {
        WebServer server(WebServerOptions{0, fs::temp_directory_path(), 4096, {}}, listener);
        rlimit low = saved;
        low.rlim_cur = static_cast<rlim_t>(OpenDescriptorsNow() + 1 + spare);  // 1: the listening socket
        EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        // The limit goes back up before anything else runs: the sanitizers
        // check a virtual call through a pipe, which needs a descriptor.
        bool started = true;
        try {
            server.Start();
            ::setrlimit(RLIMIT_NOFILE, &saved);
            *warning = server.DescriptorWarning();
        } catch (const std::runtime_error& error) {
            ::setrlimit(RLIMIT_NOFILE, &saved);
            *warning = error.what();
            started = false;
        }
        return started;
    };
    std::string said;
    EXPECT_FALSE(start(1, &said));
    EXPECT_NE(said.find("too few for its page"), std::string::npos) << said;
    EXPECT_TRUE(start(6, &said));
    EXPECT_NE(said.find("may load slowly or not at all"), std::string::npos) << said;
    EXPECT_NE(said.find("ulimit -n"), std::string::npos) << said;
    EXPECT_TRUE(start(200, &said));
    EXPECT_EQ(said, "");

    // A low soft limit is raised as far as the hard one lets it.
    rlimit low = saved;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    RaiseDescriptorLimit();
    rlimit raised{};
    ::getrlimit(RLIMIT_NOFILE, &raised);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(raised.rlim_cur, std::min<rlim_t>(saved.rlim_max, kWantedDescriptors));
}

}  // namespace
}  // namespace sw::platform
