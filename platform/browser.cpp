#include "platform/browser.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>
#include <vector>

#include "core/text.h"

extern char** environ;

namespace sw::platform {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kRunPrefix = "sagewend-run-";

fs::path RunFolderBase() {
    std::error_code error;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        if (fs::is_directory(runtime, error) && ::access(runtime, W_OK) == 0) return runtime;
    fs::path temp = fs::temp_directory_path(error);
    return error ? fs::path("/tmp") : temp;
}

bool HaveDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

// Starts a program found on PATH in a process group of its own, with the
// signals this process blocks unblocked again, its output going to log.
pid_t Spawn(const std::vector<std::string>& arguments, const fs::path& log) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The browser's chatter must not mix with the address line scripts read.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

// Whether pid has ended; its exit status in status when it has.
bool Ended(pid_t pid, int* status) {
    int raw = 0;
    const pid_t got = ::waitpid(pid, &raw, WNOHANG);
    if (got == 0) return false;
    if (status) *status = got == pid && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return true;
}

bool WaitEnded(pid_t pid, std::chrono::milliseconds patience) {
    for (auto waited = 0ms; waited < patience; waited += 50ms) {
        if (Ended(pid, nullptr)) return true;
        std::this_thread::sleep_for(50ms);
    }
    return Ended(pid, nullptr);
}

}  // namespace

PageWindow::PageWindow(std::string url, bool offerAddress) : url_(std::move(url)), offerAddress_(offerAddress) {}

PageWindow::~PageWindow() { Close(); }

void PageWindow::Report(const std::string& why) const {
    std::cerr << "sagewend: " << why << '\n';
    if (offerAddress_) std::cerr << "sagewend: open this address in a browser: " << url_ << '\n';
    std::cerr << std::flush;
}

std::string PageWindow::LastBrowserLine() const {
    std::ifstream log(runFolder_ / "browser.log");
    std::string line, last;
    while (std::getline(log, line))
        if (!line.empty()) last = line;
    return last;
}

void PageWindow::Open() {
    if (!HaveDisplay()) {
        Report("no display: set DISPLAY or open the URL in a browser");
        return;
    }
    std::string pattern = (RunFolderBase() / (std::string(kRunPrefix) + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) {
        Report("cannot make a private folder for the browser's start file (" + pattern + ")");
        return;
    }
    runFolder_ = pattern;
    std::ofstream(runFolder_ / "pid") << ::getpid() << '\n';
    startFile_ = runFolder_ / "start.html";
    {
        const int fd = ::open(startFile_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
        std::ofstream start(startFile_);
        const std::string address = EscapeHtml(url_);
        start << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Sagewend</title>"
              << "<meta name=\"referrer\" content=\"no-referrer\">"
              << "<meta http-equiv=\"refresh\" content=\"0;url=" << address << "\"></head>"
              << "<body style=\"background:#363;color:#fff;font:10pt Arial\"><a style=\"color:#fff\" "
              << "rel=\"noopener noreferrer\" href=\"" << address << "\">Open Sagewend</a></body></html>\n";
        if (!start) {
            Report("cannot write the browser's start file " + startFile_.string());
            return;
        }
    }
    if (StartChromium()) return;
    if (StartDefaultBrowser()) return;
    Report("no browser could be started (neither Chromium nor xdg-open was found)");
}

bool PageWindow::StartChromium() {
    std::vector<std::string> arguments = {"",
                                          "--app=file://" + startFile_.string(),
                                          "--user-data-dir=" + (runFolder_ / "profile").string(),
                                          "--start-maximized",
                                          // The window's X class, so that the launcher
                                          // (StartupWMClass) claims it and its icon.
                                          "--class=sagewend",
                                          "--no-first-run",
                                          "--no-default-browser-check",
                                          "--disable-background-networking",
                                          "--disable-component-update",
                                          "--disable-sync"};
    if (::geteuid() == 0) {
        arguments.push_back("--no-sandbox");
        std::cerr << "sagewend: running as root, so Chromium is started with --no-sandbox (its sandbox refuses "
                     "to run as root); run Sagewend as a normal user to keep the sandbox"
                  << std::endl;
    }
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        arguments[0] = name;
        browser_ = Spawn(arguments, runFolder_ / "browser.log");
        if (browser_ > 0) return true;
    }
    return false;
}

bool PageWindow::StartDefaultBrowser() {
    triedDefault_ = true;
    browser_ = Spawn({"xdg-open", "file://" + startFile_.string()}, runFolder_ / "browser.log");
    return browser_ > 0;
}

void PageWindow::Watch(const WaitForPage& waitForPage, const std::function<void()>& onClosed,
                       std::chrono::milliseconds patience) {
    if (startFile_.empty()) return;  // nothing was started; Open has said why
    auto deadline = std::chrono::steady_clock::now() + patience;
    while (!waitForPage(250ms)) {
        if (stopWatching_) return;
        int status = 0;
        if (browser_ > 0 && Ended(browser_, &status)) {
            browser_ = -1;
            // xdg-open ends as soon as it has handed the page on; only a
            // failure of it, or any end of Chromium, means no window.
            if (triedDefault_ && status == 0) continue;
            const std::string said = LastBrowserLine();
            const std::string who = triedDefault_ ? "the default browser (xdg-open)" : "Chromium";
            Report(who + " ended before the page opened" + (said.empty() ? "" : " (it said: " + said + ")"));
            if (triedDefault_ || !StartDefaultBrowser()) return;
            deadline = std::chrono::steady_clock::now() + patience;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(patience).count();
            Report(std::to_string(seconds) + " seconds have passed and no page has connected");
            return;
        }
    }
    // The window of a Chromium of its own lives as long as that browser.
    while (browser_ > 0 && !triedDefault_ && !stopWatching_) {
        if (Ended(browser_, nullptr)) {
            browser_ = -1;
            if (onClosed) onClosed();
            return;
        }
        std::this_thread::sleep_for(250ms);
    }
}

void PageWindow::Close() {
    if (browser_ > 0 && !triedDefault_) {
        if (!WaitEnded(browser_, 2s)) {
            ::kill(-browser_, SIGTERM);
            if (!WaitEnded(browser_, 3s)) {
                ::kill(-browser_, SIGKILL);
                ::waitpid(browser_, nullptr, 0);
            }
        }
    }
    browser_ = -1;
    if (!runFolder_.empty()) {
        std::error_code ignored;
        fs::remove_all(runFolder_, ignored);
        runFolder_.clear();
    }
}

void PageWindow::RemoveStaleRunFolders() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(RunFolderBase(), error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kRunPrefix, 0) != 0 || !entry.is_directory(error)) continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || info.st_uid != ::geteuid()) continue;
        long pid = 0;
        std::ifstream(entry.path() / "pid") >> pid;
        const bool gone = pid > 0 ? ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH
                                  : std::chrono::file_clock::now() - entry.last_write_time(error) > std::chrono::minutes(1);
        if (gone) fs::remove_all(entry.path(), error);
    }
}

}  // namespace sw::platform
