#pragma once
// The loopback HTTP + WebSocket server that carries the main page. It knows
// sockets and browsers; everything it receives goes to a PageConnection
// listener as text messages, and everything the program sends goes out as
// text messages on the one active page.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace sw::platform {

struct WebServerOptions {
    std::uint16_t port = 0;                 // 0: any free port
    std::filesystem::path workDir;          // images/ and decks/ live here
    std::size_t maxMessageBytes = 1 << 20;  // larger WebSocket messages are dropped
};

class WebServerListener {
public:
    virtual ~WebServerListener() = default;
    // A page connected (possibly taking over from another one).
    virtual void OnPageConnected() = 0;
    virtual void OnPageDisconnected() = 0;
    virtual void OnPageMessage(const std::string& text) = 0;
};

class WebServer {
public:
    WebServer(WebServerOptions options, WebServerListener& listener);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds 127.0.0.1 and starts serving on a thread of its own.
    void Start();
    void Stop();
    std::uint16_t Port() const;
    const std::string& Secret() const;
    std::string Url() const;

    // Queues a text message for the active page (dropped when none).
    void Send(std::string text);
    // Waits until every queued message has been written, or the timeout.
    bool Flush(int timeoutMilliseconds);

    struct Impl;  // the sessions reach it too

private:
    std::unique_ptr<Impl> impl_;
};

// Helpers exposed for tests.
bool ConstantTimeEquals(const std::string& a, const std::string& b);
std::string PercentDecode(const std::string& text, bool* ok);
// Maps a request path under images/ or decks/ to a picture file inside
// workDir; empty when it names nothing servable.
std::filesystem::path ResolvePicture(const std::filesystem::path& workDir, const std::string& decodedPath);
std::string ContentTypeFor(const std::string& path);

}  // namespace sw::platform
