// The sagewend-data tool, run as deck authors run it.
#include <gtest/gtest.h>

#include "store_test_support.h"

namespace sw {
namespace {

using storetest::RunCommand;
using storetest::TempDir;
using storetest::WriteEncoded;

std::string Tool() { return std::string("'") + SAGEWEND_DATA_TOOL + "'"; }

std::string Quote(const std::string& path) { return "'" + path + "'"; }

TEST(DataTool, CheckPassesAGoodFolder) {
    TempDir dir;
    storetest::WriteExampleData(dir.path());
    int status = -1;
    const std::string out = RunCommand("cd " + Quote(dir.path().string()) + " && " + Tool() + " check 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.find(": error:"), std::string::npos) << out;
    // The sample's second card has no meaning, and position 3 lies nowhere.
    EXPECT_NE(out.find("decks/Alpha/index.dat:20: warning: card 2 has an empty meaning"), std::string::npos) << out;
    EXPECT_NE(out.find("data/layouts.dat:7: warning: layout 1: position 3 lies on no cell"), std::string::npos) << out;
    // The check neither prints the program's progress texts nor leaves copies.
    EXPECT_EQ(out.find("is open"), std::string::npos);
    EXPECT_EQ(storetest::FilesUnder(dir.path()).size(), 6u);
}

TEST(DataTool, CheckReportsEachProblemWithItsLine) {
    TempDir dir;
    storetest::WriteExampleData(dir.path());
    WriteEncoded(dir / "data/decks.dat", {"4", "Alpha", "../x", "Gone", "Big"});
    std::filesystem::remove(dir / "decks/Alpha/00r.jpg");
    WriteEncoded(dir / "decks/Big/index.dat", {"121"});
    WriteEncoded(dir / "data/layouts.dat", {"1", "1", "0", "Bad", "Only|x", "2", "1", "1#7", "#######LAYOUT#######"});
    storetest::WriteBytes(dir / "data/layouts.dat", storetest::ReadBytes(dir / "data/layouts.dat") + "not base64!\r\n");
    int status = -1;
    const std::string root = dir.path().string();
    const std::string out = RunCommand(Tool() + " check " + Quote(root) + " 2>&1", &status);
    EXPECT_EQ(status, 1) << out;
    for (const std::string& expected : std::vector<std::string>{
             root + "/data/decks.dat:3: error: deck folder \"../x\" lies outside decks/",
             root + "/data/decks.dat:4: error: deck folder " + root + "/decks/Gone is missing",
             root + "/decks/Alpha/index.dat:6: error: card 1: reversed picture " + root + "/decks/Alpha/00r.jpg is missing",
             root + "/decks/Big/index.dat:1: error: the index declares 121 cards; a deck holds at most 120",
             root + "/data/layouts.dat:8: error: layout 1: cell 2 of row 1 is \"7\", which names no position (1 to 1)",
             root + "/data/layouts.dat:10: warning: not well-formed Base64",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nin:\n" << out;

    WriteEncoded(dir / "data/layouts.dat", {"1", "0", "0", "Cut", "1", "1"});
    const std::string cut = RunCommand(Tool() + " check " + Quote(root) + " 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(cut.find("/data/layouts.dat:6: error: layout 1: the file ends before its terminator"), std::string::npos)
        << cut;
}

TEST(DataTool, EncodesAndDecodes) {
    TempDir dir;
    storetest::WriteBytes(dir / "plain.txt", "2\r\n\ncaf\xC3\xA9\nlast");
    EXPECT_EQ(RunCommand(Tool() + " encode " + Quote(dir / "plain.txt") + " > " + Quote(dir / "coded.dat")), "");
    EXPECT_EQ(storetest::ReadBytes(dir / "coded.dat"), storetest::EncodedText({"2", "", "caf\xC3\xA9", "last"}));
    EXPECT_EQ(RunCommand(Tool() + " decode " + Quote(dir / "coded.dat")), "2\n\ncaf\xC3\xA9\nlast\n");
    EXPECT_EQ(RunCommand("printf 'foo\\nfo' | " + Tool() + " encode"), "Zm9v\r\nZm8=\r\n");
    // Windows-1252 text from old files comes out as UTF-8.
    storetest::WriteBytes(dir / "old.dat", EncodeLine("caf\xE9") + "\r\n");
    EXPECT_EQ(RunCommand(Tool() + " decode " + Quote(dir / "old.dat")), "caf\xC3\xA9\n");
}

TEST(DataTool, HelpAndUsage) {
    for (const char* command : {"decode", "encode", "check"}) {
        const std::string out = RunCommand(Tool() + " " + command + " --help");
        EXPECT_NE(out.find(std::string("Usage: sagewend-data ") + command), std::string::npos) << out;
    }
    EXPECT_NE(RunCommand(Tool() + " --help").find("Commands:"), std::string::npos);
    int status = 0;
    RunCommand(Tool() + " frobnicate 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
    RunCommand(Tool() + " decode /nonexistent/file 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
}

}  // namespace
}  // namespace sw
