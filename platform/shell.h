#pragma once
// Drives the main dialog from a browser page: one handler thread that takes
// the page's clicks and keys in order, and the Host services the handlers
// use (page writes, lookups, modal notifications, pauses, help).
//
// Threads. The server's I/O thread parses what the page sends and queues it
// (OnPageMessage, OnPageConnected, OnPageDisconnected: nothing else happens
// there). The handler thread, the one that calls Run, takes the queue in
// order and runs every handler, so handlers never run at the same time and
// never need a lock, as on the single thread of the window they stand in for.
// RequestStop (signal thread), WindowClosed and WaitForFirstPage (the
// window watcher) may be called from any thread.
//
// The run ends when the user confirms Exit, on a stop, or when the page has
// gone and not come back: within reconnectGrace of its socket dropping; or,
// when a page was being loaded as it dropped (a reload) or has been since,
// within loadPatience, so that a page that failed to load is not taken for
// one that was closed; or at once when the window the program opened has
// closed while no page is connected.
//
// Page -> program (JSON text messages on the WebSocket):
//   {"type":"click", "seq":n, "element":{"tag":..,"attributes":{..}},
//    "inFragment":bool, "page":g, "document":[elements]}
//       a click on an element of the main page; "page" is the number of the
//       fragment the page showed, and a click inside a fragment that has
//       since been replaced is dropped (its element is gone).
//   {"type":"key", "seq":n, "key":"Alt+O"|"F1"|"F5"|"Escape"|"Enter", "document":[..]}
//   {"type":"answer", "box":id, "result":1|2}   the notification's answer
//   {"type":"file", "seq":n, "page":g, "input":id, "name":.., "part":k, "last":b, "text":..}
//       a piece of a text file the user chose in the file field id of
//       fragment g (the journal's import), read by the page in pieces of at
//       most 128 KB, each sent once the one before is done, so neither side
//       holds more than a piece. It reaches the handlers as a click on an
//       element FILE with that id and the attributes file (the file's name),
//       part (0, 1, ..), last ("1" for the file's last piece) and text; like
//       a click in a fragment, it is dropped once fragment g is replaced.
// Every click and key carries a snapshot of every element of the main page
// that has an id or a name, with the values of its inputs, selects and
// checkboxes. The controls drawn beside a fragment (the "controls" of its
// parts) are main page elements like the menu links: their clicks come with
// "inFragment" false, and the snapshot holds their state, so the click that
// acts on the fragment (Ask the Oracle) reads them as it reads the form. A
// preference the page changes by itself comes as a click on an element
// {"tag":"BUTTON","attributes":{"id":"setpref","pref":name,"value":v}}. Handlers read form fields in the middle of their work
// (GetElement); the snapshot lets them do so without a round trip to the
// page for each lookup, and shows them the page exactly as the user left it
// when acting.
//
// Program -> page: one frame per handled event, its changes applied in one
// go and its acknowledgement inside:
//   {"type":"update", "ops":[op, ...], "done":n}
// with ops, applied in order:
//   {"op":"write","html":..,"page":g}    replaces the fileList DIV; g numbers the fragment
//   {"op":"setValue","id":..,"value":..} sets an input's value
//   {"op":"cardLabels","labels":[..]}    accessible names of the cards just written
//   {"op":"parts","fields":[{"name":..,"label":..,"chooses":true?}],
//    "pictures":[{"src":..,"alt":..}],
//    "hexagrams":[{"number":n,"name":..,"lines":[{"yang":b,"moving":b} x6, bottom first],
//                  "allMoving":html?}],
//    "cards":[{"position":n,"title":..,"description":..,"name":..,"reversed":b,
//              "picture":..,"meaning":..}],
//    "controls":[{"kind":"button"|"check"|"choice","id":..,"label":..,"value":..,
//                 "choices":[{"value":..,"text":..}],"watch":..,"offFor":[..],"note":..}],
//    "focus":name, "enter":id, "menu":id, "prefetch":[src..]?}
//                                        what the fragment just written is made of
//                                        (platform/page_parts.h): captions, pictures
//                                        ("" alt: decoration), hexagram drawings in
//                                        the order drawn, a spread's cards in the
//                                        order of their pictures, the controls drawn
//                                        beside it, the field to focus, the control
//                                        Enter presses, the menu link of the page on show,
//                                        pictures to fetch while the user is busy
//   {"op":"notice","text":..}            a short notice that asks for nothing
//   {"op":"meaning","html":..}           the card meaning window's document
//   {"op":"meaningLabel","label":..,"reversed":b}  the meaning window's accessible
//                                        name, and whether its card lies reversed
//   {"op":"meaningVisible","visible":b}
//   {"op":"cursor","wait":b}
//   {"op":"help","topic":..}             opens a help page in a window of its own
//   {"op":"messageBox","box":id,"text":..,"icon":"question"|"exclamation"}
//   {"op":"keep","state":"hidden"|"offered"|"kept"}  the "Keep in journal" control
//   {"op":"fill","id":..,"html":..}      author's HTML into an element of the fragment, sanitised
//   {"op":"download","name":..,"text":..} a text handed to the user as a file
//   {"op":"downloadFrom","url":..}       a file the server hands out under url,
//                                        "/download/<token>": the page fetches it
//                                        (with the run's cookie) as a download; the
//                                        server writes it in chunks as it is made
//                                        (platform/download.cpp), once, within a minute
//   {"op":"print"}                       the browser's print of the page
//   {"op":"settings","values":{name:value,..}}  the kept preferences the page applies
//                                        ("sheet", "cardSize", "theme"); on opening and on change
//   {"op":"ended"}                       the program has ended
// "done" names the last click or key the program has finished with
// (handled, or dropped); browser tests wait on it. A handler that blocks (a
// notification, a pause) sends what it has so far first, so the box or the
// wait cursor shows at once. The server itself may send {"type":"replaced"}
// when another page takes over, or to a page that came with the cookie but
// not the key while another page is live (that page stays the program's).
// Every text sent is valid UTF-8, whatever bytes the data files held.
//
// Modal input. While a notification is open, clicks and keys that reach the
// program (including those the page sent before the box appeared) are
// dropped, never replayed: the page behind a modal box takes no input.
// Clicks made during a pause are handled after it, in order.
#include <atomic>
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
#include "platform/page_message.h"
#include "platform/web_server.h"

namespace sw::platform {

struct ShellOptions {
    std::uint16_t port = 0;
    std::filesystem::path workDir;
    // How long the program waits for a page to come back before it ends.
    std::chrono::milliseconds reconnectGrace{5000};
    // How long it waits for a page that began to load (it may have failed
    // to, and be reloaded by the user).
    std::chrono::milliseconds loadPatience{std::chrono::minutes(10)};
};

class Shell final : public Host, private WebServerListener {
public:
    explicit Shell(ShellOptions options);
    ~Shell() override;

    void SetPageMaker(PageMaker maker) { server_.SetPageMaker(std::move(maker)); }
    void Start();  // listens; Url() is valid afterwards
    std::string Url() const;
    // Runs the handler loop until the dialog ends, the page is gone for
    // good or a stop is requested. Returns the process exit status.
    int Run(PageSink& sink);
    // Ends Run as soon as the handler in hand returns; an open notification
    // counts as cancelled. Any thread.
    void RequestStop();
    // The window the program opened has closed (its browser ended): when no
    // page is connected, the run ends. Any thread.
    void WindowClosed();
    // True once a page has connected (or the shell has stopped); waits up
    // to timeout for that. Any thread.
    bool WaitForFirstPage(std::chrono::milliseconds timeout);
    // How many events wait for the handler thread; lets a test hold a
    // handler until the input it sent has arrived. Any thread.
    std::size_t QueuedEvents();

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
    void DescribeCards(const std::vector<std::string>& labels) override;
    void DescribeMeaning(const std::string& label, bool reversed) override;
    void DescribePage(const PageParts& parts) override;
    void Notify(const std::string& text) override;
    void SetKeepControl(Keep state) override;
    void FillHtml(const std::string& id, const std::string& html) override;
    void Download(const std::string& name, const std::string& text) override;
    void DownloadFile(const std::string& name, const std::string& type, std::unique_ptr<DownloadSource> source) override;
    void Print() override;
    void ShareSettings(const std::vector<std::pair<std::string, std::string>>& values) override;

private:
    struct Event {
        enum class Kind { Page, Command, Connected, Disconnected, Loading, WindowClosed, Stop } kind;
        PageEvent page;
        int command = 0;
    };

    void OnPageConnected() override;
    void OnPageDisconnected() override;
    void OnPageMessage(const std::string& text) override;
    void OnPageRequested() override;

    void Push(Event event);
    // The next click, key or command; handles connections (and loads, and
    // the window closing) on the way.
    // Empty when the run is over.
    std::optional<Event> NextEvent();
    std::optional<Event> WaitRaw();
    void HandleConnection(const Event& event);
    void Replay();
    // Whether a click's element is still on the page.
    bool StillShown(const PageEvent& event) const;
    void Handle(Event& event);
    // Adds an operation to the frame being built; Flush sends it.
    void Queue(nlohmann::json op);
    void Flush(long long done = 0);

    ShellOptions options_;
    WebServer server_;
    PageSink* sink_ = nullptr;

    std::mutex mutex_;
    std::condition_variable available_;
    std::deque<Event> queue_;  // guarded by mutex_
    std::condition_variable firstPage_;
    bool pageArrived_ = false;  // guarded by mutex_
    bool stopping_ = false;     // guarded by mutex_

    // Handler-thread state.
    std::deque<int> posted_;        // commands posted by handlers
    nlohmann::json ops_ = nlohmann::json::array();  // the frame being built
    long long lastDone_ = 0;        // the last seq acknowledged
    long long droppedUpTo_ = 0;     // the last seq dropped while a box was open
    Document document_;             // what the page reported with the event in hand
    bool everConnected_ = false;
    bool connected_ = false;
    using Clock = std::chrono::steady_clock;
    Clock::time_point droppedAt_{};                // when the page last went
    std::optional<Clock::time_point> loadedAt_;    // the last page handed out since one connected
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
    long long pageNumber_ = 0;                // the fragment on show
    std::optional<std::string> lastPage_;
    std::vector<std::string> cardLabels_;  // of the fragment on show
    std::optional<nlohmann::json> parts_;  // likewise
    std::vector<std::pair<std::string, std::string>> fills_;  // likewise
    Keep keep_ = Keep::Hidden;                               // likewise
    std::optional<std::string> meaningPage_;
    std::string meaningLabel_;
    bool meaningReversed_ = false;
    bool meaningVisible_ = false;
    bool waitCursor_ = false;
    std::optional<nlohmann::json> settings_;  // the preferences last shared
};

}  // namespace sw::platform
