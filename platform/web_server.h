#pragma once
// The loopback HTTP + WebSocket server that carries the main page. It knows
// sockets and browsers; everything it receives goes to a WebServerListener
// as text messages, and everything the program sends goes out as text
// messages on the one active page.
//
// Threads: one I/O thread runs every socket (accepts, HTTP sessions, the
// WebSocket) and calls the listener; a small worker pool does the blocking
// work of serving files and generated pages, so a picture being read never
// delays a WebSocket frame. Send and Flush may be called from any thread.
//
// Guarding: every request needs the run's secret, from the address
// (?key=...) or from the cookie the main page sets; the Host must be the
// loopback address and the port, a WebSocket's Origin the page's own. The
// cookie belongs to the site, not the port, so a request that another site
// or loopback port started (Sec-Fetch-Site) counts only with the key. Only
// a page that came with the key takes over from a live page; one with the
// cookie alone (a reload, a second window) waits a moment for the live page
// to go and is otherwise told that the program is open in another window.
//
// Connections that have not shown the secret are few and short-lived: the
// kernel keeps silent ones until they speak (TCP_DEFER_ACCEPT), at most
// kMaxUnproven are open at once (fewer when file descriptors are short, so
// that enough are kept for the page), each has a few seconds to send its
// request, and room is made by closing the oldest silent one; one younger
// than kUnprovenGrace is never closed. A proven connection is closed only
// when no descriptor is left and it waits idle between requests (the
// browser opens another); failed accepts are reported and back off. So a
// flood of idle connections or a lack of file descriptors never keeps the
// real page from being served.
//
// Downloads: a file the program offers (OfferDownload) is served once,
// behind the same secret, at /download/<token>, in chunks as it is made
// (platform/download.cpp).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/download_source.h"

namespace sw::platform {

struct WebServerOptions {
    std::uint16_t port = 0;                 // 0: any free port
    std::filesystem::path workDir;          // images/ and decks/ live here
    std::size_t maxMessageBytes = 1 << 20;  // larger WebSocket messages drop the page
    // When set, the only page served (in place of the main page, which is
    // then never served): a notice in these words.
    std::string notice;
};

class WebServerListener {
public:
    virtual ~WebServerListener() = default;
    // A page connected (possibly taking over from another one).
    virtual void OnPageConnected() = 0;
    virtual void OnPageDisconnected() = 0;
    virtual void OnPageMessage(const std::string& text) = 0;
    // The main page (or the notice) was handed to a browser: a page is
    // loading, whether or not it gets as far as its WebSocket.
    virtual void OnPageRequested() {}
};

// Pages made while the program runs (the help's indexes and its look.css),
// served with the type their name ends in, by their path
// below the root ("help/cards.htm"); nothing for a path it does not make.
// Called on a worker thread.
using PageMaker = std::function<std::optional<std::string>(std::string_view path)>;

class WebServer {
public:
    WebServer(WebServerOptions options, WebServerListener& listener);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Before Start: where generated pages come from.
    void SetPageMaker(PageMaker maker);
    // Binds 127.0.0.1 and starts serving on threads of its own. Throws when
    // it cannot, or when too few file descriptors are left for any page to
    // connect.
    void Start();
    void Stop();
    std::uint16_t Port() const;
    const std::string& Secret() const;
    // Changes every run: the validator of everything the server hands out,
    // so the page keeps pictures for the run and never past it.
    const std::string& RunId() const;
    std::string Url() const;
    // After Start: what to tell the user when file descriptors are short
    // (empty when there are enough).
    const std::string& DescriptorWarning() const;

    // Offers a file for download: the path the page fetches it from. Any
    // thread; the source is then read on the worker pool.
    std::string OfferDownload(std::string name, std::string type, std::unique_ptr<DownloadSource> source);

    // Queues a text message for the active page (dropped when none).
    void Send(std::string text);
    // Waits until every queued message has been written, or the timeout.
    bool Flush(int timeoutMilliseconds);

    struct Impl;  // the sessions reach it too

private:
    std::unique_ptr<Impl> impl_;
};

// Raises this process's soft limit on open files towards its hard limit, up
// to kWantedDescriptors (enough for any page; more would only reach the
// programs it starts).
inline constexpr unsigned long kWantedDescriptors = 1024;
void RaiseDescriptorLimit();

// Helpers exposed for tests.
bool ConstantTimeEquals(const std::string& a, const std::string& b);
// The text with its %XX escapes decoded into *out; false for a broken
// escape or a zero byte.
bool PercentDecode(const std::string& text, std::string* out);
// Maps a request path under images/ or decks/ to a picture file inside
// workDir; empty when it names nothing servable.
std::filesystem::path ResolvePicture(const std::filesystem::path& workDir, const std::string& decodedPath);
std::string ContentTypeFor(const std::string& path);

}  // namespace sw::platform
