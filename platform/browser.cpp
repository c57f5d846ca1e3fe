#include "platform/browser.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace sw::platform {

namespace {

std::string profileDir;
pid_t browserPid = -1;

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string paths(path);
    std::size_t start = 0;
    while (start <= paths.size()) {
        std::size_t end = paths.find(':', start);
        if (end == std::string::npos) end = paths.size();
        std::string candidate = paths.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

pid_t Spawn(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The browser's chatter must not mix with the URL line scripts read.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int result = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

}  // namespace

bool OpenPageWindow(const std::string& url) {
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        std::string chromium = FindOnPath(name);
        if (chromium.empty()) continue;
        // A profile of its own, or Chromium hands the URL to a running
        // browser and returns at once.
        char pattern[] = "/tmp/sagewend-browser-XXXXXX";
        if (!::mkdtemp(pattern)) break;
        profileDir = pattern;
        std::vector<std::string> arguments = {chromium,
                                              "--app=" + url,
                                              "--user-data-dir=" + profileDir,
                                              "--start-maximized",
                                              "--no-first-run",
                                              "--no-default-browser-check",
                                              "--disable-background-networking",
                                              "--disable-component-update",
                                              "--disable-sync"};
        if (::geteuid() == 0) arguments.push_back("--no-sandbox");
        browserPid = Spawn(arguments);
        if (browserPid > 0) return true;
    }
    std::string opener = FindOnPath("xdg-open");
    if (opener.empty()) return false;
    pid_t pid = Spawn({opener, url});
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    return pid > 0;
}

void CleanUpPageWindow() {
    if (browserPid > 0) {
        // Give the window a moment to close itself after the farewell page.
        for (int i = 0; i < 20; ++i) {
            if (::waitpid(browserPid, nullptr, WNOHANG) != 0) break;
            ::usleep(100 * 1000);
        }
    }
    if (!profileDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(profileDir, ignored);
    }
}

}  // namespace sw::platform
