#pragma once
// A test's stand-in for the browser page: one WebSocket to the program's
// loopback server, speaking the page protocol of platform/shell.h.
//
// Everything runs on the calling thread. The client keeps one read pending
// on a private io_context and drives that context only inside Send and
// Next, so messages are taken in the order the program sent them and
// nothing happens behind the test's back. Every wait has a deadline: a
// program that stops answering (or is killed) ends the wait, never the
// test run.
#include <chrono>
#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sw::testing {

// How long a test waits for something that should happen at once: long
// enough for a loaded machine and a sanitizer build, and only ever spent
// when a test fails.
inline constexpr std::chrono::milliseconds kPatience{20000};

class PageClient {
public:
    PageClient();
    ~PageClient();
    PageClient(const PageClient&) = delete;
    PageClient& operator=(const PageClient&) = delete;

    // Opens the page's WebSocket for the address the program printed
    // ("http://127.0.0.1:<port>/?key=<secret>"), with the Host and Origin a
    // real page sends. False when nobody listens or the handshake is refused.
    bool Connect(const std::string& url);
    bool Send(const nlohmann::json& message);
    bool SendText(const std::string& text);
    // The next message the program sent; nothing when none came in time or
    // the socket is closed.
    std::optional<nlohmann::json> Next(std::chrono::milliseconds timeout = kPatience);
    // Reads update frames up to and including the one whose "done" reaches
    // seq, answering nothing; all frames read, or nothing when the wait
    // failed.
    std::optional<std::vector<nlohmann::json>> UntilDone(long long seq);
    bool Closed() const { return closed_; }
    void Close();

private:
    void StartReading();

    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::deque<std::string> inbox_;
    bool closed_ = true;
};

// Page messages as the page script builds them. Attributes are given as
// name/value pairs; the document is the page's snapshot of named elements.
using Attributes = std::vector<std::pair<std::string, std::string>>;
nlohmann::json ElementJson(const std::string& tag, const Attributes& attributes);
nlohmann::json ClickMessage(long long seq, const nlohmann::json& element, bool inFragment = false, long long page = 0,
                            const nlohmann::json& document = nlohmann::json::array());
nlohmann::json KeyMessage(long long seq, const std::string& key,
                          const nlohmann::json& document = nlohmann::json::array());
nlohmann::json AnswerMessage(long long box, long long result);

// The operations of an update frame that have this "op", in order.
std::vector<nlohmann::json> OpsOf(const nlohmann::json& frame, const std::string& op);

}  // namespace sw::testing
