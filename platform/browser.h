#pragma once
// Opens the program's page in a window, and makes sure the user hears about
// it when no window comes.
//
// The page's address carries the run's secret, so it is never put on a
// command line or in an environment (any local user can read those): the
// browser is given a start file, readable only by the user inside a private
// folder, that forwards to the address. Chromium gets an app window with a
// profile of its own in the same folder; when Chromium is missing or fails,
// the user's default browser (xdg-open) is tried. Watch() runs on a thread
// of its own: until a page has connected, when no browser can be started,
// the browser ends before a page connects, or none connects in time, it
// says so on standard error with the address to open by hand (the program
// keeps serving meanwhile, so a page opened later still works); then, for
// the Chromium window it started, it waits for that window to close (its
// browser ends), so that the program knows its window is gone even when
// the page in it never connected. The start file's link gives the page no
// opener and no referrer.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace sw::platform {

class PageWindow {
public:
    // waitForPage(timeout) returns true once a page has connected.
    using WaitForPage = std::function<bool(std::chrono::milliseconds)>;

    // offerAddress: problems are reported with the address to open by hand.
    explicit PageWindow(std::string url, bool offerAddress = true);
    // Closes the browser this object started and removes its private folder.
    ~PageWindow();
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    // Starts a browser. Problems are reported on standard error; the
    // program goes on serving either way.
    void Open();
    // Watches until a page connects, reporting a browser that ends first or
    // a page that does not come within the patience given; then, when the
    // window is a Chromium window of its own, until it closes, and calls
    // onClosed then (unless StopWatching came first).
    void Watch(const WaitForPage& waitForPage, const std::function<void()>& onClosed = {},
               std::chrono::milliseconds patience = std::chrono::seconds(15));
    // Ends Watch soon. Any thread.
    void StopWatching() { stopWatching_ = true; }
    // Gives the window a moment to close itself after the farewell page,
    // then ends the browser and removes the private folder.
    void Close();

    // Private folders of runs that ended without cleaning up (killed), in
    // the folder where runs keep them; removes those whose process is gone.
    static void RemoveStaleRunFolders();

private:
    bool StartChromium();
    bool StartDefaultBrowser();
    void Report(const std::string& why) const;
    std::string LastBrowserLine() const;

    std::string url_;
    bool offerAddress_;
    std::filesystem::path runFolder_;
    std::filesystem::path startFile_;
    pid_t browser_ = -1;
    bool triedDefault_ = false;
    std::atomic<bool> stopWatching_{false};
};

}  // namespace sw::platform
