// sagewend: the oracle program. main() reads as the program's steps: parse
// the options, find the data folder and take it (one live program to a
// folder), load the data, listen, open the window, run the handler loop on
// this thread until the user exits, end. Besides this thread there are the
// server's thread (sockets), the signal thread (SIGTERM, SIGINT, SIGHUP end
// the run cleanly) and the window watcher.
//
// A second start on a folder that a live program holds loads nothing and
// writes nothing there: it says so on standard error and, when a window can
// open, in a small page of its own (served by its own server, on its own
// secret), then ends with status 1. The page names the folder and nothing
// more: the first program's address holds its secret, which no other page
// is given.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/help_index.h"
#include "app/msg_box.h"
#include "app/sagewend_dlg.h"
#include "app/work_folder.h"
#include "core/random.h"
#include "platform/browser.h"
#include "platform/shell.h"
#include "platform/stop_signals.h"
#include "platform/web_server.h"
#include "store/leftovers.h"

namespace {

const char* const kUsage =
    "Usage: sagewend [--port N] [--no-browser] [--seed N] [-C DIR]\n"
    "\n"
    "Sagewend gives advice in the manner of an oracle: card readings, the I Ching\n"
    "and a yes/no answer. It serves its page on 127.0.0.1 and opens it in a\n"
    "Chromium app window (or the default browser).\n"
    "\n"
    "  --port N      listen on port N (default: any free port)\n"
    "  --no-browser  open no window; just print the page's URL\n"
    "  --seed N      seed the random generator with N (default: the time), to\n"
    "                repeat a session\n"
    "  -C DIR        work from the data folder DIR\n"
    "  --version     show the version\n"
    "  --help        show this text\n"
    "\n"
    "Where it works, in this order: the folder given with -C; else the current\n"
    "folder when it holds data/decks.dat (unless it is the installed sample data,\n"
    "which is only ever copied); else your own data folder\n"
    "$XDG_DATA_HOME/sagewend (by default ~/.local/share/sagewend), made from the\n"
    "installed sample data the first time. A data folder holds data/decks.dat,\n"
    "data/layouts.dat, decks/ and images/; saved layouts go to data/layouts.dat.\n"
    "\n"
    "Once it listens, the program prints the page's URL (with its secret key) on a\n"
    "line of its own. It ends when the user confirms Exit, when the page has been\n"
    "closed and not reopened for a few seconds, or on SIGTERM or SIGINT.\n"
    "\n"
    "One data folder has one live program: started again on a folder in use, it\n"
    "says so (in a window of its own, and on standard error), changes nothing and\n"
    "ends with status 1.\n";

struct Options {
    std::uint16_t port = 0;
    bool openBrowser = true;
    std::optional<std::uint32_t> seed;
    std::string directory;
};

bool ParseNumber(const char* text, long long low, long long high, long long& out) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno || end == text || *end || value < low || value > high) return false;
    out = value;
    return true;
}

// A large catalogue is mostly fresh heap, and with 4 KB pages its first
// touches cost more than decoding it (a page fault for every 4 KB). glibc
// asks for transparent huge pages for its heap only when told at process
// start, so for a large catalogue the program starts itself again once with
// that tunable. A small one is left with 4 KB pages, which keep its
// resident memory small (a huge page is 2 MB). A tunable the user set, to
// any value, is left alone.
constexpr std::uintmax_t kLargeCatalogueBytes = 16 << 20;

std::uintmax_t StoredDeckBytes(const std::filesystem::path& folder) {
    std::uintmax_t bytes = 0;
    std::error_code error;
    for (const auto& deck : std::filesystem::directory_iterator(folder / "decks", error)) {
        const auto size = std::filesystem::file_size(deck.path() / "index.dat", error);
        if (!error) bytes += size;
    }
    return bytes;
}

void RestartWithHugePages(const std::filesystem::path& folder, char** argv) {
    if (StoredDeckBytes(folder) < kLargeCatalogueBytes) return;
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;
    const std::string value =
        std::string(tunables && *tunables ? std::string(tunables) + ":" : "") + "glibc.malloc.hugetlb=1";
    // The program's own path, not /proc/self/exe: the process keeps its name.
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || ::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
    ::execv(self.c_str(), argv);
    // Could not restart: go on with normal pages.
}

// Fills options; an exit status when the program should end here (help,
// version, a bad option).
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const char* value = nullptr;
        if (argument == "--port" || argument == "--seed" || argument == "-C") {
            if (i + 1 >= argc) {
                std::cerr << "sagewend: " << argument << " needs a value\n" << kUsage;
                return 2;
            }
            value = argv[++i];
        }
        long long number = 0;
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (argument == "--version") {
            std::cout << "sagewend " << SAGEWEND_VERSION << '\n';
            return 0;
        } else if (argument == "--no-browser") {
            options.openBrowser = false;
        } else if (argument == "--port") {
            if (!ParseNumber(value, 0, 65535, number)) {
                std::cerr << "sagewend: --port needs a number from 0 to 65535\n";
                return 2;
            }
            options.port = static_cast<std::uint16_t>(number);
        } else if (argument == "--seed") {
            if (!ParseNumber(value, 0, 4294967295LL, number)) {
                std::cerr << "sagewend: --seed needs a number from 0 to 4294967295\n";
                return 2;
            }
            options.seed = static_cast<std::uint32_t>(number);
        } else if (argument == "-C") {
            options.directory = value;
        } else {
            std::cerr << "sagewend: unknown option " << argument << "\n" << kUsage;
            return 2;
        }
    }
    return std::nullopt;
}

// Chooses the data folder and makes it the current one: the data files are
// read by paths relative to it.
bool EnterWorkFolder(const Options& options, char** argv, std::filesystem::path& folder) {
    sw::WorkFolderChoice choice;
    std::string err;
    if (!sw::ChooseWorkFolder(options.directory, &choice, &err)) {
        std::cerr << "sagewend: " << err << '\n';
        return false;
    }
    if (!choice.note.empty()) std::cerr << "sagewend: " << choice.note << '\n';
    RestartWithHugePages(choice.folder, argv);  // before any thread starts, and before the folder is entered
    if (::chdir(choice.folder.c_str()) != 0) {
        std::cerr << "sagewend: cannot work from " << choice.folder.string() << ": " << std::strerror(errno) << '\n';
        return false;
    }
    folder = choice.folder;
    return true;
}

// Takes the folder for this run into lock. A program that is ending may
// hold it a moment longer, so a busy folder is tried again for a little
// while. False when a live program holds it.
bool TakeWorkFolder(const std::filesystem::path& folder, std::optional<sw::FolderLock>& lock) {
    for (int tries = 0;; ++tries) {
        lock.emplace(folder);
        if (lock->Held() || !sw::FolderLock::InUse(folder)) return true;  // free, or nothing to lock (no data/)
        lock.reset();
        if (tries == 20) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// Removes what killed runs left behind.
void TidyWorkFolder(const std::filesystem::path& folder, const sw::FolderLock& lock) {
    if (const int removed = sw::RemoveLeftovers(folder, lock))
        std::clog << "sagewend: removed " << removed << " file(s) left behind by an earlier run\n";
}

// Notes when the notice page has been handed to a browser.
class NoticeShown final : public sw::platform::WebServerListener {
public:
    void OnPageConnected() override {}
    void OnPageDisconnected() override {}
    void OnPageMessage(const std::string&) override {}
    void OnPageRequested() override {
        {
            std::lock_guard lock(mutex_);
            shown_ = true;
        }
        changed_.notify_all();
    }
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return shown_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool shown_ = false;
};

// Another program has the folder: says so, in a window of its own while
// the user keeps it open (or until a stop signal), and ends.
int SayAlreadyOpen(const std::filesystem::path& folder, const Options& options, sw::platform::StopSignals& signals) {
    const std::string text = "Sagewend is already open on the data folder " + folder.string() +
                             ". Use its window, or end it before you start Sagewend on this folder again.";
    std::cerr << "sagewend: " << text << '\n';
    if (!options.openBrowser) return 1;
    NoticeShown shown;
    // Any free port: the one asked for is most likely the other program's.
    sw::platform::WebServer server(sw::platform::WebServerOptions{0, folder, 4096, text}, shown);
    try {
        server.Start();
    } catch (const std::exception&) {
        return 1;  // standard error has said it
    }
    sw::platform::PageWindow window(server.Url(), /*offerAddress=*/false);
    signals.Start([&window](int) { window.StopWatching(); });
    window.Open();
    window.Watch([&shown](auto timeout) { return shown.Wait(timeout); });
    window.Close();
    return 1;
}

// Loads every data file; nothing when a fatal data error ended the load
// (its message has been shown; the hint says where data was looked for).
std::unique_ptr<sw::CSagewendDlg> LoadData(sw::platform::Shell& shell, const std::filesystem::path& folder) {
    std::unique_ptr<sw::CSagewendDlg> dialog;
    try {
        dialog = std::make_unique<sw::CSagewendDlg>(shell);
    } catch (const sw::FatalDataError&) {
        std::cerr << "sagewend: " << sw::MissingDataHint(folder) << '\n';
    }
    return dialog;
}

// The help's card and hexagram index are made from the loaded tables when
// asked for (on a server thread: the decks and the hexagram table never
// change once loaded), its About page from the build's version, its look
// from the kept theme (read under the settings' own lock).
void ServeHelpIndex(sw::platform::Shell& shell, const sw::CSagewendDlg& dialog) {
    shell.SetPageMaker([&dialog](std::string_view path) -> std::optional<std::string> {
        if (path == "help/cards.htm") return sw::BuildCardIndexPage(dialog.Data());
        if (path == "help/hexagrams.htm") return sw::BuildHexagramIndexPage(dialog.Hexagrams());
        if (path == "help/about.htm") return sw::BuildAboutPage();
        if (path == "help/look.css") return sw::BuildHelpLookSheet(dialog.KeptSettings().SharedTheme());
        return std::nullopt;
    });
}

bool Listen(sw::platform::Shell& shell, std::uint16_t port) {
    try {
        shell.Start();
    } catch (const std::exception& error) {
        std::cerr << "sagewend: cannot serve on 127.0.0.1:" << port << ": " << error.what() << '\n';
        return false;
    }
    std::cout << shell.Url() << std::endl;  // scripts and tests read this line
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (auto status = ParseOptions(argc, argv, options)) return *status;
    sw::platform::StopSignals signals;  // before any thread starts
    sw::platform::RaiseDescriptorLimit();

    std::filesystem::path folder;
    if (!EnterWorkFolder(options, argv, folder)) return 1;
    std::optional<sw::FolderLock> lock;
    if (!TakeWorkFolder(folder, lock)) return SayAlreadyOpen(folder, options, signals);
    TidyWorkFolder(folder, *lock);
    sw::SRand(options.seed ? *options.seed : static_cast<std::uint32_t>(std::time(nullptr)));

    sw::platform::Shell shell(sw::platform::ShellOptions{options.port, folder});
    signals.Start([&shell](int) { shell.RequestStop(); });
    sw::CMsgBox::SetPresenter([&shell](const std::string& message, int icon) { return shell.ShowMessage(message, icon); });

    auto dialog = LoadData(shell, folder);
    if (!dialog) return 1;
    ServeHelpIndex(shell, *dialog);
    if (!Listen(shell, options.port)) return 1;

    std::optional<sw::platform::PageWindow> window;
    std::thread watcher;
    if (options.openBrowser) {
        sw::platform::PageWindow::RemoveStaleRunFolders();
        window.emplace(shell.Url());
        window->Open();
        watcher = std::thread([&] {
            window->Watch([&shell](auto timeout) { return shell.WaitForFirstPage(timeout); },
                          [&shell] { shell.WindowClosed(); });
        });
    }

    const int status = shell.Run(*dialog);
    lock.reset();  // the handlers, which write the data files, are done: a new start may have it
    sw::CMsgBox::SetPresenter(nullptr);
    if (window) window->StopWatching();
    if (watcher.joinable()) watcher.join();
    if (window) window->Close();
    return signals.Received() == SIGINT ? 128 + SIGINT : status;
}
