// The loopback server as a browser and as an intruder see it.
#include <utility>  // boost 1.74 asio needs std::exchange declared first

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

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

    bool WaitFor(const std::string& event) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] {
            return std::find(events_.begin(), events_.end(), event) != events_.end();
        });
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
        server = std::make_unique<WebServer>(WebServerOptions{0, dir, 4096}, listener);
        server->Start();
        host = "127.0.0.1:" + std::to_string(server->Port());
    }
    void TearDown() override {
        server.reset();
        fs::remove_all(dir);
    }

    http::response<http::string_body> Get(const std::string& target, const std::string& hostHeader,
                                          const std::string& cookie = "") {
        net::io_context ioc;
        beast::tcp_stream stream(ioc);
        stream.connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), server->Port()));
        http::request<http::empty_body> request{http::verb::get, target, 11};
        request.set(http::field::host, hostHeader);
        if (!cookie.empty()) request.set(http::field::cookie, cookie);
        http::write(stream, request);
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(stream, buffer, response);
        return response;
    }

    std::string Key() const { return "key=" + server->Secret(); }
    std::string Cookie() const { return "sagewend-" + std::to_string(server->Port()) + "=" + server->Secret(); }

    // Opens a WebSocket; returns false when the handshake is refused.
    bool OpenSocket(websocket::stream<beast::tcp_stream>& ws, const std::string& origin, const std::string& target) {
        ws.next_layer().connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), server->Port()));
        ws.set_option(websocket::stream_base::decorator([&](websocket::request_type& request) {
            request.set(http::field::origin, origin);
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

}  // namespace
}  // namespace sw::platform
