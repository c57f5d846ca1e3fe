// The features beside the oracles: the settings file (read, refused whole,
// written atomically, through a link) and the kept preferences at work.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include "core/text.h"
#include "settings/settings.h"
#include "store_test_support.h"
#include "support/page_double.h"

namespace sw {
namespace {

using storetest::ChangeDir;
using storetest::FilesUnder;
using storetest::MessageLog;
using storetest::ReadBytes;
using storetest::TempDir;
using storetest::WriteBytes;
using Files = std::set<std::string>;

const char* const kWritten = R"({
  "cardSize": "larger",
  "deck": "Classic Tarot",
  "layout": "Celtic Cross",
  "majorOnly": true,
  "reversals": "often",
  "sheet": "below",
  "theme": "dark",
  "version": 1
}
)";

Preferences Changed() {
    Preferences preferences;
    preferences.deck = "Classic Tarot";
    preferences.layout = "Celtic Cross";
    preferences.deal.majorOnly = true;
    preferences.deal.reversals = DealOptions::Reversals::Often;
    preferences.sheet = "below";
    preferences.cardSize = "larger";
    preferences.theme = "dark";
    return preferences;
}

TEST(SettingsFile, IsWrittenWholeAndReadBack) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    std::string err;
    ASSERT_TRUE(WriteSettings("settings.json", Changed(), RealFileSystem(), &err)) << err;
    EXPECT_EQ(ReadBytes("settings.json"), kWritten);
    const SettingsRead read = ReadSettings("settings.json", RealFileSystem());
    EXPECT_EQ(read.state, SettingsRead::State::Read);
    EXPECT_EQ(read.preferences, Changed());
    EXPECT_EQ(FilesUnder(dir.path()), Files{"settings.json"});
    // Keys left out keep their defaults.
    WriteBytes(dir / "settings.json", R"({"version": 1, "theme": "contrast"})");
    Preferences expected;
    expected.theme = "contrast";
    EXPECT_EQ(ReadSettings("settings.json", RealFileSystem()).preferences, expected);
}

TEST(SettingsFile, ADamagedOrForeignFileIsRefusedWholeWithItsReason) {
    const std::pair<std::string, std::string> cases[] = {
        {"{\"version\": 1, \"theme\": \"dark\"", "it is not JSON"},
        {"", "it is not JSON"},
        {"[1, 2]", "it is not a Sagewend settings file"},
        {R"({"theme": "dark"})", "it is not a Sagewend settings file"},
        {R"({"version": "1"})", "it is not a Sagewend settings file"},
        {R"({"version": 1e300})", "it is not a Sagewend settings file"},
        {R"({"version": 2})", "it was written by another version of Sagewend"},
        {R"({"version": 18446744073709551617})", "it is not a Sagewend settings file"},
        {R"({"version": 1, "majorOnly": "yes"})", "its \"majorOnly\" is neither true nor false"},
        {R"({"version": 1, "deck": 7})", "its \"deck\" is not a text"},
        {R"({"version": 1, "theme": "purple"})", "its \"theme\" is not one of the values it can take"},
        {R"({"version": 1, "reversals": 99999999999})", "its \"reversals\" is none of \"never\", \"sometimes\" and \"often\""},
        {R"({"version": 1, "colour": "red"})", "it holds a setting this version does not know (\"colour\")"},
        {"{\"version\": 1, \"layout\": \"" + std::string(1001, 'x') + "\"}", "its \"layout\" is longer than 1000 bytes"},
        {"{\"version\": 1, \"deck\": \"" + std::string(70000, 'x') + "\"}", "it is larger than 64 KB"},
        {std::string(30000, '[') + std::string(30000, ']'), "it is not a Sagewend settings file"},
    };
    for (const auto& [text, reason] : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        Preferences preferences = Changed();
        std::string why;
        if (text.size() <= kMaxSettingsBytes) {
            EXPECT_FALSE(ParseSettings(text, &preferences, &why));
            EXPECT_EQ(preferences, Changed()) << "nothing half read";
        }
        TempDir dir;
        ChangeDir cwd(dir.path());
        WriteBytes(dir / "settings.json", text);
        const SettingsRead read = ReadSettings("settings.json", RealFileSystem());
        EXPECT_EQ(read.state, SettingsRead::State::Damaged);
        EXPECT_EQ(read.problem, reason);
        EXPECT_EQ(read.preferences, Preferences());
    }
}

TEST(SettingsFile, WithoutAFileTheDefaultsHoldAndNothingIsWritten) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    testing::PageDouble page;
    Settings settings(page);
    EXPECT_EQ(settings.Get(), Preferences());
    settings.Share();
    // The sheet's place is the page's to choose until the user has chosen.
    EXPECT_EQ(page.Settings(), (std::vector<std::pair<std::string, std::string>>{
                                   {"cardSize", "fit"}, {"theme", "system"}}));
    // A page asking for what is already so, or for what cannot be, writes nothing.
    platform::Element same("BUTTON");
    same.SetAttribute("pref", "theme");
    same.SetAttribute("value", "system");
    settings.SetFromPage(same);
    platform::Element wrong("BUTTON");
    wrong.SetAttribute("pref", "theme");
    wrong.SetAttribute("value", "<b>");
    settings.SetFromPage(wrong);
    EXPECT_TRUE(log.messages().empty());
    EXPECT_EQ(FilesUnder(dir.path()), Files{});
    platform::Element dark("BUTTON");
    dark.SetAttribute("pref", "theme");
    dark.SetAttribute("value", "dark");
    settings.SetFromPage(dark);
    EXPECT_EQ(ReadSettings("settings.json", RealFileSystem()).preferences.theme, "dark");
    EXPECT_EQ(page.Settings().back(), (std::pair<std::string, std::string>{"theme", "dark"}));
}

TEST(SettingsFile, ADamagedFileIsReportedOnceAndSetAsideOnlyWhenASettingChanges) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    WriteBytes(dir / "settings.json", "not json");
    WriteBytes(dir / "settings.json.damaged", "an older one");
    MessageLog log;
    testing::PageDouble page;
    Settings settings(page);
    const std::string path = (dir.path() / "settings.json").string();
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_EQ(log.messages()[0], "The settings file " + path +
                                     " cannot be used: it is not JSON. It is left as it is, and the default settings "
                                     "are used. If you change a setting, that file is kept beside it as "
                                     "settings.json.damaged-2 and a new one is written.");
    EXPECT_EQ(settings.Get(), Preferences());
    EXPECT_EQ(ReadBytes("settings.json"), "not json");
    platform::Element dark("BUTTON");
    dark.SetAttribute("pref", "theme");
    dark.SetAttribute("value", "dark");
    settings.SetFromPage(dark);
    EXPECT_EQ(ReadBytes("settings.json.damaged-2"), "not json");
    EXPECT_EQ(ReadBytes("settings.json.damaged"), "an older one");
    EXPECT_EQ(ReadSettings("settings.json", RealFileSystem()).preferences.theme, "dark");
    EXPECT_EQ(log.messages().size(), 1u) << "said once";
}

// Makes one step of writing the settings fail.
class FailingStep : public FileSystem {
public:
    enum class Step { Create, Write, Fsync, Close, Rename };
    explicit FailingStep(Step step) : step_(step) {}
    int Open(const std::string& path, int flags, mode_t mode) override {
        if (step_ == Step::Create && Temporary(path)) return Fail(EACCES);
        const int fd = FileSystem::Open(path, flags, mode);
        if (fd >= 0) temporary_[fd] = Temporary(path);
        return fd;
    }
    ssize_t Write(int fd, const void* data, std::size_t size) override {
        if (step_ == Step::Write && temporary_[fd]) return Fail(ENOSPC);
        return FileSystem::Write(fd, data, size);
    }
    int Fsync(int fd) override { return step_ == Step::Fsync && temporary_[fd] ? Fail(EIO) : FileSystem::Fsync(fd); }
    int Close(int fd) override {
        const bool temporary = temporary_[fd];
        const int result = FileSystem::Close(fd);
        return step_ == Step::Close && temporary ? Fail(EIO) : result;
    }
    int Rename(const std::string& from, const std::string& to) override {
        return step_ == Step::Rename && Temporary(from) ? Fail(EXDEV) : FileSystem::Rename(from, to);
    }

private:
    static bool Temporary(const std::string& path) { return path.find(".tmp-") != std::string::npos; }
    static int Fail(int error) {
        errno = error;
        return -1;
    }
    Step step_;
    std::map<int, bool> temporary_;
};

TEST(SettingsFile, EachFailingStepOfAWriteLeavesTheFileAsItWas) {
    using Step = FailingStep::Step;
    for (Step step : {Step::Create, Step::Write, Step::Fsync, Step::Close, Step::Rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        TempDir dir;
        ChangeDir cwd(dir.path());
        WriteBytes(dir / "settings.json", R"({"version": 1, "theme": "green"})");
        FailingStep failing(step);
        std::string err;
        EXPECT_FALSE(WriteSettings("settings.json", Changed(), failing, &err));
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(ReadBytes("settings.json"), R"({"version": 1, "theme": "green"})");
        EXPECT_EQ(FilesUnder(dir.path()), Files{"settings.json"}) << "no temporary file left";
    }
    // Failing, a change holds for the run and is reported once.
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    testing::PageDouble page;
    FailingStep failing(Step::Rename);
    Settings settings(page, "settings.json", failing);
    for (const char* theme : {"dark", "green"}) {
        platform::Element chosen("BUTTON");
        chosen.SetAttribute("pref", "theme");
        chosen.SetAttribute("value", theme);
        settings.SetFromPage(chosen);
    }
    EXPECT_EQ(settings.Get().theme, "green");
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_EQ(log.messages()[0], "Your settings could not be saved in " + (dir.path() / "settings.json").string() +
                                     ": Invalid cross-device link. They hold until Sagewend ends.");
}

TEST(SettingsFile, IsWrittenThroughALinkToItsTarget) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    std::filesystem::create_directory("kept");
    std::filesystem::create_symlink("kept/prefs.json", "settings.json");  // dangling until written
    std::string err;
    ASSERT_TRUE(WriteSettings("settings.json", Changed(), RealFileSystem(), &err)) << err;
    EXPECT_TRUE(std::filesystem::is_symlink("settings.json"));
    EXPECT_EQ(ReadBytes("kept/prefs.json"), kWritten);
    ASSERT_TRUE(WriteSettings("settings.json", Preferences(), RealFileSystem(), &err)) << err;
    EXPECT_TRUE(std::filesystem::is_symlink("settings.json"));
    EXPECT_EQ(ReadSettings("settings.json", RealFileSystem()).preferences, Preferences());
    Files names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (Files{"kept", "settings.json"})) << "no temporary file left";
    EXPECT_EQ(FilesUnder(dir.path() / "kept"), Files{"prefs.json"});
}

}  // namespace
}  // namespace sw
