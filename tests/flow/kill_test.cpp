// The real program killed while it saves: it runs on a copy of the sample
// data, a test page keeps it adding layouts, and SIGKILL ends it at a random
// moment, from start-up to the middle of a save. After every kill the
// stored layout file must be byte for byte one of the versions a completed
// save wrote (or the one it started from), the data checker must find no
// error, and the next start must leave none of the killed run's working
// copies or temporary files behind once it prints its address.
//
// Threads: the test thread starts the program, reads its address and plays
// the page; a killer thread sleeps until the chosen moment and sends
// SIGKILL. Only the test thread reaps the program, after the killer is
// done, so the signal can never reach a reused process id.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/page_client.h"
#include "support/session.h"

namespace sw::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr int kKills = 100;
constexpr int kSavesPerRun = 5;
constexpr const char* kTerminator = "#######LAYOUT#######";

// ---- the stored form ----------------------------------------------------------

std::string Base64(const std::string& bytes) {
    static const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0}) out += kAlphabet[(v >> shift) & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8;
        for (int shift : {18, 12, 6}) out += kAlphabet[(v >> shift) & 63];
        out += '=';
    }
    return out;
}

std::string Stored(const std::string& line) { return Base64(line) + "\r\n"; }

// The layout file after adding an untouched new layout (no positions, an
// empty 3 x 3 grid) named name to the file before, which held count - 1.
std::string AfterAdding(const std::string& before, int count, const std::string& name) {
    std::string after = Stored(std::to_string(count)) + before.substr(before.find("\r\n") + 2);
    for (const std::string& line : {std::string("0"), std::string("0"), name, std::string("3"), std::string("3"),
                                    std::string(" # # "), std::string(" # # "), std::string(" # # "),
                                    std::string(kTerminator)})
        after += Stored(line);
    return after;
}

// ---- the folder -----------------------------------------------------------------

// Working copies and temporary saves a run makes beside the data files.
std::vector<std::string> Debris(const fs::path& folder) {
    std::vector<std::string> found;
    auto scan = [&](const fs::path& dir) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(dir, error)) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".datdec") || name.find(".dat.tmp-") != std::string::npos)
                found.push_back(fs::relative(entry.path(), folder).string());
        }
    };
    scan(folder / "data");
    std::error_code error;
    for (const auto& deck : fs::directory_iterator(folder / "decks", error))
        if (deck.is_directory()) scan(deck.path());
    return found;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// ---- the program ------------------------------------------------------------------

struct Process {
    pid_t pid = -1;
    fs::path out, err;
};

Process Start(const fs::path& folder, const fs::path& logs, unsigned seed) {
    Process run{-1, logs / "out.txt", logs / "err.txt"};
    const std::string program = SAGEWEND_PROGRAM;
    const std::string seedText = std::to_string(seed);
    const std::string folderText = folder.string();
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>("--no-browser"),
                               const_cast<char*>("--seed"),        const_cast<char*>(seedText.c_str()),
                               const_cast<char*>("-C"),            const_cast<char*>(folderText.c_str()),
                               nullptr};
    // Emptied here, before the program exists, so the address read is never
    // the last run's.
    const int out = ::open(run.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = ::open(run.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t parent = ::getpid();
    if (out >= 0 && err >= 0) run.pid = ::fork();
    if (run.pid == 0) {
        // Never outlive the test: a test that crashes or is timed out must
        // not leave a program waiting for its page forever.
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(126);
        if (::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    if (out >= 0) ::close(out);
    if (err >= 0) ::close(err);
    return run;
}

// Whether the program has ended, without reaping it.
bool Ended(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// The address the program prints once it listens; empty when it was killed
// (or ended) first.
std::string AddressOf(const Process& run, const std::atomic<bool>& killed) {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
        std::istringstream out(ReadBytes(run.out));
        for (std::string line; std::getline(out, line);)
            if (line.rfind("http://", 0) == 0 && !out.eof()) return line;
        if (killed || Ended(run.pid)) return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ADD_FAILURE() << "no address within " << kPatience.count() << " ms";
    return {};
}

// ---- the page -----------------------------------------------------------------------

// Plays the page: clicks that add a layout and save it, kSavesPerRun times,
// answering the success message. Counts the saves clicked (the last may
// have been cut short) and checks the file after every save reported
// done against the expected version. Returns when all are done or the
// program is gone.
class Saver {
public:
    Saver(const fs::path& layouts, std::vector<std::string>& versions, std::vector<std::string> names)
        : layouts_(layouts), versions_(versions), names_(std::move(names)) {}

    int clicked = 0;  // saves asked for

    // True when every save was done before the program went.
    bool Play(const std::string& url) {
        if (!page_.Connect(url)) return false;
        if (!Read(0)) return false;  // the home page
        for (const std::string& name : names_) {
            if (!Click("editor", false) || !Click("addlayout", true)) return false;
            ++clicked;
            const json document = json::array({ElementJson("INPUT", {{"id", "name"}, {"name", "name"}, {"value", name}})});
            if (!Click("savelayout", true, document)) return false;
        }
        return true;
    }

private:
    bool Click(const std::string& id, bool inFragment, const json& document = json::array()) {
        ++seq_;
        return page_.Send(ClickMessage(seq_, ElementJson("A", {{"id", id}}), inFragment, shown_, document)) && Read(seq_);
    }

    // Reads frames up to the one acknowledging seq (or the first one for 0),
    // following the fragment on show and answering the success message.
    bool Read(long long seq) {
        for (;;) {
            const auto frame = page_.Next();
            if (!frame) return false;
            for (const auto& write : OpsOf(*frame, "write")) shown_ = write["page"].get<long long>();
            for (const auto& box : OpsOf(*frame, "messageBox")) {
                EXPECT_EQ(box["text"], "Layout successfully added");
                // Reported done: the file is this save's version now.
                const std::size_t saved = static_cast<std::size_t>(clicked);
                EXPECT_TRUE(saved < versions_.size() && ReadBytes(layouts_.string()) == versions_[saved])
                    << "save " << saved << " reported done, but the file is not its version";
                if (!page_.Send(AnswerMessage(box["box"].get<long long>(), platform::kIdOk))) return false;
            }
            if (seq == 0 || (frame->contains("done") && (*frame)["done"].get<long long>() >= seq)) return true;
        }
    }

    PageClient page_;
    fs::path layouts_;
    std::vector<std::string>& versions_;
    std::vector<std::string> names_;
    long long seq_ = 0;
    long long shown_ = 0;
};

TEST(KillWhileSaving, TheStoreIsAlwaysAWholeSavedVersionAndTheNextStartTidiesUp) {
    const fs::path dir = MakeTempDir("sagewend-kill");
    const fs::path folder = dir / "data-folder";
    fs::copy(fs::path(SAGEWEND_SOURCE_DIR) / "sample", folder, fs::copy_options::recursive);
    const fs::path layouts = folder / "data" / "layouts.dat";
    std::string stored = ReadBytes(layouts.string());
    ASSERT_EQ(stored.substr(0, stored.find("\r\n") + 2), Stored("10")) << "the sample holds ten layouts";
    int count = 10;

    std::mt19937 random(20240611);
    // From the start to the address, measured on run 0, which is killed only
    // once idle; and from the address to the last save, measured on run 0
    // and again on every run that gets that far, as the saves speed up once
    // the files are cached.
    Clock::duration startUp{}, saving{};
    int beforeAddress = 0, leftDebris = 0, savesKept = 0;
    std::string previousDebris;
    for (int kill = 0; kill <= kKills; ++kill) {
        SCOPED_TRACE("run " + std::to_string(kill));
        // Every version the saves of this run can leave, in order.
        std::vector<std::string> versions{stored}, names;
        for (int s = 1; s <= kSavesPerRun; ++s) {
            names.push_back("Kill " + std::to_string(kill) + "." + std::to_string(s));
            versions.push_back(AfterAdding(versions.back(), count + s, names.back()));
        }

        // One kill in five lands in the start-up (loading makes working
        // copies), the others while the page saves.
        const bool inStartUp = random() % 5 == 0;
        const double share = std::uniform_real_distribution<double>(0.0, 1.0)(random);
        const auto delay = std::chrono::duration_cast<Clock::duration>((inStartUp ? startUp : saving) * share);

        const auto started = Clock::now();
        const Process run = Start(folder, dir, static_cast<unsigned>(kill));
        ASSERT_GT(run.pid, 0) << "cannot start " << SAGEWEND_PROGRAM;
        std::atomic<bool> killed{false}, listening{false}, saved{false};
        std::atomic<Clock::rep> listeningAt{0};
        std::thread killer([&] {
            if (kill == 0) {
                while (!saved) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            } else if (inStartUp) {
                std::this_thread::sleep_until(started + delay);
            } else {
                while (!listening) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::this_thread::sleep_until(Clock::time_point(Clock::duration(listeningAt.load())) + delay);
            }
            ::kill(run.pid, SIGKILL);
            killed = true;
        });

        Saver saver(layouts, versions, names);
        const std::string url = AddressOf(run, killed);
        listeningAt = Clock::now().time_since_epoch().count();
        listening = true;
        if (kill == 0) startUp = Clock::now() - started;
        if (url.empty()) {
            ++beforeAddress;
        } else {
            // The folder as this start left it: the last run's debris is gone.
            EXPECT_TRUE(Debris(folder).empty())
                << "left after the start: " << Joined(Debris(folder)) << " (before it: " << previousDebris << ")\n"
                << ReadBytes(run.err.string());
            const bool allDone = saver.Play(url);
            if (allDone) saving = Clock::now() - Clock::time_point(Clock::duration(listeningAt.load()));
            if (kill == 0) {
                EXPECT_TRUE(allDone) << ReadBytes(run.err.string());
            }
        }
        saved = true;
        killer.join();
        int status = 0;
        ASSERT_EQ(::waitpid(run.pid, &status, 0), run.pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the program ended by itself with status " << status << ":\n" << ReadBytes(run.err.string());

        // What the kill left: a whole version, and nothing the checker minds.
        stored = ReadBytes(layouts.string());
        int kept = -1;
        for (int v = 0; v <= saver.clicked && kept < 0; ++v)
            if (stored == versions[static_cast<std::size_t>(v)]) kept = v;
        ASSERT_GE(kept, 0) << "after " << saver.clicked << " saves asked for, " << stored.size()
                           << " bytes that no completed save wrote";
        count += kept;
        savesKept += kept;
        int checkStatus = 0;
        // A sanitizer build's leak check at exit would double this test's
        // time; the checker's own tests cover its leaks.
        const std::string report = RunCommand("ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\" " +
                                                  std::string(SAGEWEND_DATA_TOOL) + " check '" + folder.string() + "' 2>&1",
                                              &checkStatus);
        EXPECT_EQ(checkStatus, 0) << report;
        EXPECT_EQ(report.find(": error:"), std::string::npos) << report;
        EXPECT_NE(report.find("\n0 errors", report.rfind('\n', report.size() - 2)), std::string::npos) << report;
        previousDebris = Joined(Debris(folder));
        leftDebris += previousDebris.empty() ? 0 : 1;
    }

    // The last kill's leftovers go with a start, and a stop ends it cleanly.
    std::atomic<bool> never{false};
    const Process last = Start(folder, dir, 0);
    ASSERT_GT(last.pid, 0);
    EXPECT_FALSE(AddressOf(last, never).empty());
    EXPECT_TRUE(Debris(folder).empty()) << Joined(Debris(folder)) << " (before it: " << previousDebris << ")";
    ::kill(last.pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(last.pid, &status, 0), last.pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << ":\n" << ReadBytes(last.err.string());

    std::cout << "[ kills    ] " << kKills << " kills: " << beforeAddress << " before the address was printed, "
              << leftDebris << " left working files, " << savesKept << " saves kept; start-up "
              << std::chrono::duration_cast<std::chrono::milliseconds>(startUp).count() << " ms, saves "
              << std::chrono::duration_cast<std::chrono::milliseconds>(saving).count() << " ms\n";
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace sw::testing
