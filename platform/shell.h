#pragma once
// Drives the main dialog from a browser page: one handler thread that takes
// the page's clicks and keys in order, and the Host services the handlers
// use (page writes, lookups, modal notifications, pauses, help).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/web_server.h"

namespace sw::platform {

struct ShellOptions {
    std::uint16_t port = 0;
    std::filesystem::path workDir;
    // How long the program waits for a page to come back before it ends.
    std::chrono::milliseconds reconnectGrace{5000};
};

class Shell final : public Host, private WebServerListener {
public:
    explicit Shell(ShellOptions options);
    ~Shell() override;

    void Start();            // listens; Url() is valid afterwards
    std::string Url() const;
    // Runs the handler loop until the dialog ends or the page is gone for
    // good. Returns the process exit status.
    int Run(PageSink& sink);

    // Host
    void WritePage(const std::string& html) override;
    std::optional<Element> GetElement(std::string_view id) override;
    void SetElementValue(std::string_view id, const std::string& value) override;
    int ShowMessage(const std::string& message, int iconId) override;
    void WriteMeaningPage(const std::string& html) override;
    void ShowMeaningWindow(bool visible) override;
    void SetWaitCursor(bool wait) override;
    void Pause(int milliseconds) override;
    void ShowHelp(const std::string& topic) override;
    void PostCommand(int command) override;
    void EndDialog() override;

private:
    struct Event {
        enum class Kind { Click, Key, Answer, Command, Connected, Disconnected } kind;
        Element element;
        Document document;
        std::string key;
        int box = 0;
        int result = 0;
        int command = 0;
        long long seq = 0;  // the page's number for the click or key, acknowledged when handled
    };

    void OnPageConnected() override;
    void OnPageDisconnected() override;
    void OnPageMessage(const std::string& text) override;

    void Push(Event event);
    // The next click, key or command; handles connections on the way.
    // Empty when the page is gone for good.
    std::optional<Event> NextEvent();
    std::optional<Event> WaitRaw();
    void HandleConnection(const Event& event);
    void Replay();
    // Sends a message object to the page, with its type added.
    void Send(const std::string& type, nlohmann::json message);

    ShellOptions options_;
    WebServer server_;
    PageSink* sink_ = nullptr;

    std::mutex mutex_;
    std::condition_variable available_;
    std::deque<Event> queue_;          // guarded by mutex_

    // Handler-thread state.
    std::deque<Event> deferred_;       // clicks that arrived while a box was open
    Document document_;                // what the page reported with the event in hand
    bool everConnected_ = false;
    bool connected_ = false;
    bool ended_ = false;
    bool gone_ = false;
    int nextBox_ = 0;
    struct PendingBox {
        int id;
        std::string message;
        int icon;
    };
    std::optional<PendingBox> pendingBox_;
    std::vector<std::string> earlyMessages_;  // shown when the page first connects
    std::optional<std::string> lastPage_;
    std::optional<std::string> meaningPage_;
    bool meaningVisible_ = false;
    bool waitCursor_ = false;
};

}  // namespace sw::platform
