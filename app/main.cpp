// sagewend: the oracle program. Serves its page on the loopback interface and
// opens it in a browser window.
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "app/msg_box.h"
#include "app/sagewend_dlg.h"
#include "core/random.h"
#include "platform/browser.h"
#include "platform/shell.h"

namespace {

const char* const kUsage =
    "Usage: sagewend [--port N] [--no-browser] [--seed N] [-C DIR]\n"
    "\n"
    "Sagewend gives advice in the manner of an oracle: card readings, the I Ching\n"
    "and a yes/no answer. It reads its data from data/, decks/ and images/ in the\n"
    "current directory, serves its page on 127.0.0.1 and opens it in a Chromium\n"
    "app window (or the default browser).\n"
    "\n"
    "  --port N      listen on port N (default: any free port)\n"
    "  --no-browser  open no window; just print the page's URL\n"
    "  --seed N      seed the random generator with N (default: the time), to\n"
    "                repeat a session\n"
    "  -C DIR        work from DIR instead of the current directory\n"
    "  --help        show this text\n"
    "\n"
    "Once it listens, the program prints the page's URL (with its secret key) on a\n"
    "line of its own. It ends when the user confirms Exit, or when the page has\n"
    "been closed and not reopened for a few seconds.\n";

bool ParseNumber(const char* text, long long low, long long high, long long& out) {
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text, &end, 10);
    if (errno || end == text || *end || value < low || value > high) return false;
    out = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::uint32_t> seed;
    long long port = 0;
    bool openBrowser = true;
    std::string directory;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::cerr << "sagewend: " << argument << " needs a value\n" << kUsage;
                std::exit(2);
            }
            return argv[++i];
        };
        long long number = 0;
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (argument == "--no-browser") {
            openBrowser = false;
        } else if (argument == "--port") {
            if (!ParseNumber(value(), 0, 65535, number)) {
                std::cerr << "sagewend: --port needs a number from 0 to 65535\n";
                return 2;
            }
            port = number;
        } else if (argument == "--seed") {
            if (!ParseNumber(value(), 0, 4294967295LL, number)) {
                std::cerr << "sagewend: --seed needs a number from 0 to 4294967295\n";
                return 2;
            }
            seed = static_cast<std::uint32_t>(number);
        } else if (argument == "-C") {
            directory = value();
        } else {
            std::cerr << "sagewend: unknown option " << argument << "\n" << kUsage;
            return 2;
        }
    }
    if (!directory.empty() && ::chdir(directory.c_str()) != 0) {
        std::cerr << "sagewend: cannot work from " << directory << "\n";
        return 2;
    }

    sw::SRand(seed ? *seed : static_cast<std::uint32_t>(std::time(nullptr)));

    sw::platform::ShellOptions options;
    options.port = static_cast<std::uint16_t>(port);
    options.workDir = std::filesystem::current_path();
    sw::platform::Shell shell(options);
    sw::CMsgBox::SetPresenter([&shell](const std::string& message, int icon) { return shell.ShowMessage(message, icon); });

    std::optional<sw::CSagewendDlg> dialog;
    try {
        dialog.emplace(shell);
    } catch (const sw::FatalDataError&) {
        return 1;  // the message has been written to standard error
    }

    try {
        shell.Start();
    } catch (const std::exception& error) {
        std::cerr << "sagewend: cannot listen on 127.0.0.1:" << port << ": " << error.what() << "\n";
        return 1;
    }
    std::cout << shell.Url() << std::endl;
    if (openBrowser && !sw::platform::OpenPageWindow(shell.Url()))
        std::cerr << "sagewend: no browser could be started; open the URL above\n";
    const int status = shell.Run(*dialog);
    sw::CMsgBox::SetPresenter(nullptr);
    if (openBrowser) sw::platform::CleanUpPageWindow();
    return status;
}
