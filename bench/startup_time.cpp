// Times how long a program takes to get ready: run as a child, it counts
// as ready when it prints a line starting with "http" (the program's
// address; --url), or when it exits, its output discarded (--exit, for
// base64 -d). Reports the median wall and CPU time (user + system, from the
// child's rusage) over several runs.
//
//   startup_time --url|--exit RUNS COMMAND [ARGS...]
//   prints: "wall_ms cpu_ms maxrss_kb" of the median run, by CPU time
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Run {
    double wallMs;
    double cpuMs;
    long maxRssKb;
};

double Ms(const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; }

Run RunOnce(char** command, bool untilUrl) {
    int out[2];
    if (::pipe(out) != 0) std::exit(2);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(untilUrl ? out[1] : null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::close(out[0]);
        ::execvp(command[0], command);
        ::_exit(127);
    }
    ::close(out[1]);
    // Ready at the address line, or at the end of the output.
    std::string line;
    char c;
    bool ready = false;
    while (!ready && ::read(out[0], &c, 1) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        ready = line.rfind("http", 0) == 0;
        line.clear();
    }
    const auto end = std::chrono::steady_clock::now();
    if (ready) ::kill(child, SIGKILL);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    ::close(out[0]);
    return {std::chrono::duration<double, std::milli>(end - start).count(), Ms(usage.ru_utime) + Ms(usage.ru_stime),
            usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || (std::string(argv[1]) != "--url" && std::string(argv[1]) != "--exit")) {
        std::fprintf(stderr, "usage: startup_time --url|--exit RUNS COMMAND [ARGS...]\n");
        return 2;
    }
    const bool untilUrl = std::string(argv[1]) == "--url";
    const int runs = std::max(1, std::atoi(argv[2]));
    std::vector<Run> results;
    for (int i = 0; i < runs; ++i) results.push_back(RunOnce(argv + 3, untilUrl));
    std::sort(results.begin(), results.end(), [](const Run& a, const Run& b) { return a.cpuMs < b.cpuMs; });
    const Run& median = results[results.size() / 2];
    std::printf("%.1f %.1f %ld\n", median.wallMs, median.cpuMs, median.maxRssKb);
    return 0;
}
