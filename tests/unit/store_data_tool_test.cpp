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

TEST(DataTool, CheckNamesShortCountsAndTheMarkupThePageDrops) {
    TempDir dir;
    storetest::WriteExampleData(dir.path());
    WriteEncoded(dir / "data/decks.dat", {"3", "Alpha"});
    std::vector<std::string> index = storetest::AlphaIndexLines();
    // Card 1's upright meaning, lines 9 to 12; its name on line 3.
    index[2] = "First <u>Card</u> <blink>!</blink>";
    index[8] = "Plain <b>bold</b> <meta http-equiv=refresh content='0;url=http://evil.example/'>";
    index[9] = "<base href=http://evil.example/><form action=http://evil.example/>";
    index.insert(index.begin() + 10,
                 {"<a href=\"javascript:alert(1)\" onclick=\"x()\">go</a><img src=\"http://evil.example/x.gif\">"
                  "<img src=file:decks/Alpha/00.jpg><img SRC='file:./images/logo.gif'>",
                  "<script>alert(1)</script><span style=\"color:red\" data-x=1>ok</span><a href=#>one</a><a "
                  "href=#>two</a><!-- <meta> in a comment -->"});
    WriteEncoded(dir / "decks/Alpha/index.dat", index);
    std::vector<std::string> layouts = storetest::ThreeInARowLines();
    layouts[0] = "3";
    layouts[4] = "Past|What <a href=http://evil.example/>led</a> here";
    WriteEncoded(dir / "data/layouts.dat", layouts);

    int status = -1;
    const std::string root = dir.path().string();
    const std::string out = RunCommand(Tool() + " check " + Quote(root) + " 2>&1", &status);
    EXPECT_EQ(status, 1) << out;
    const std::string deck = root + "/decks/Alpha/index.dat:";
    const std::string upright = ": warning: card 1's upright meaning: ";
    for (const std::string& expected : std::vector<std::string>{
             root + "/data/decks.dat:1: error: the count is 3, but only 1 deck follows it; only the decks listed are "
                    "offered\n",
             deck + "3: warning: card 1's name: the tag <blink> is dropped by the page; the text inside it stays\n",
             deck + "9" + upright + "the tag <meta> is dropped by the page (a refresh in it could send the window "
                                    "elsewhere)\n",
             deck + "10" + upright + "the tag <base> is dropped by the page (it would change where the page's "
                                     "addresses lead)\n",
             deck + "10" + upright + "the tag <form> is dropped by the page (it could send what is typed elsewhere)\n",
             deck + "11" + upright + "the attribute href on <a> is dropped by the page (it holds a javascript: "
                                     "address)\n",
             deck + "11" + upright + "the attribute onclick on <a> is dropped by the page (event handlers never run)\n",
             deck + "11" + upright + "the picture source \"http://evil.example/x.gif\" on <img> is dropped by the page "
                                     "(pictures come only from file:decks/ or file:images/)\n",
             deck + "12" + upright + "the tag <script> is dropped by the page with all it holds\n",
             deck + "12" + upright + "the attribute data-x on <span> is dropped by the page\n",
             deck + "12" + upright + "the attribute href on <a> is dropped by the page (meanings carry no links) (2 "
                                     "times)\n",
             root + "/data/layouts.dat:1: error: the count is 3, but only 1 layout follows it; only those are offered\n",
             root + "/data/layouts.dat:5: warning: layout 1, position 1: the attribute href on <a> is dropped by the "
                    "page (meanings carry no links)\n",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nin:\n" << out;
    // What the page keeps is not named: plain tags, its own pictures, styles.
    for (const char* kept : {"<b>", "<u>", "00.jpg", "logo.gif", "style", "in a comment"})
        EXPECT_EQ(out.find(kept), std::string::npos) << kept << "\nin:\n" << out;
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
