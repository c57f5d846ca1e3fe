// The layout store: records, the file's reading and writing.
#include <gtest/gtest.h>

#include "core/text.h"
#include "store/data_format.h"
#include "store/encoded_text_file.h"
#include "store/oracle_data.h"
#include "store_test_support.h"

namespace sw {
namespace {

using storetest::ChangeDir;
using storetest::CountingSource;
using storetest::FilesUnder;
using storetest::MessageLog;
using storetest::TempDir;
using storetest::WriteEncoded;
using Lines = std::vector<std::string>;

bool Read(const Lines& lines, std::vector<LayoutRecord>& layouts, ReadProblem* problem = nullptr) {
    VectorLineSource source(lines);
    return ReadLayouts(source, layouts, problem);
}

// One layout's lines after the count line.
Lines Layout(const std::string& positions, const std::string& flag, const std::string& name, const Lines& texts,
             const std::string& columns, const std::string& rows, const Lines& rowLines) {
    Lines out = {positions, flag, name};
    out.insert(out.end(), texts.begin(), texts.end());
    out.push_back(columns);
    out.push_back(rows);
    out.insert(out.end(), rowLines.begin(), rowLines.end());
    out.push_back(kLayoutTerminator);
    return out;
}

Lines Store(const std::string& count, const std::vector<Lines>& layouts) { return storetest::CountedBlocks(count, layouts); }

TEST(LayoutRecord, DefaultsResetAndAssign) {
    LayoutRecord layout;
    EXPECT_EQ(layout.rows, 3);
    EXPECT_EQ(layout.columns, 3);
    EXPECT_EQ(layout.positionCount, 0);
    for (const auto& row : layout.grid)
        for (const auto& cell : row) EXPECT_EQ(cell, " ");

    LayoutRecord other;
    other.name = "Cross";
    other.storedFlag = true;
    other.rows = 2;
    other.columns = 1;
    other.positions = {"A|a", "B|b"};
    other.positionCount = 2;
    other.grid[9][9] = "2";  // outside the cells in use: copied all the same
    layout.positions = {"old"};
    layout.Assign(other);
    EXPECT_EQ(layout.name, "Cross");
    EXPECT_TRUE(layout.storedFlag);
    EXPECT_EQ(layout.rows, 2);
    EXPECT_EQ(layout.columns, 1);
    EXPECT_EQ(layout.positions, other.positions);
    EXPECT_EQ(layout.positionCount, 2);
    EXPECT_EQ(layout.grid[9][9], "2");
    layout.Assign(layout);
    EXPECT_EQ(layout.positions, other.positions);

    layout.Reset();
    EXPECT_EQ(layout.name, "");
    EXPECT_FALSE(layout.storedFlag);
    EXPECT_TRUE(layout.positions.empty());
    EXPECT_EQ(layout.grid[9][9], " ");
}

TEST(LayoutRecord, PositionTitleAndDescription) {
    EXPECT_EQ(PositionTitle("Past|What has led here"), "Past");
    EXPECT_EQ(PositionDescription("Past|What has led here"), "What has led here");
    // Empty pieces are skipped; text after a second bar belongs to neither.
    EXPECT_EQ(PositionTitle("|A||B|C"), "A");
    EXPECT_EQ(PositionDescription("|A||B|C"), "B");
    EXPECT_EQ(PositionDescription("Only a title"), "");
    EXPECT_EQ(PositionTitle(""), "");
    LayoutRecord layout;
    layout.positions = {"T|D"};
    layout.positionCount = 1;
    const LayoutPosition position = layout.Position(0);
    EXPECT_EQ(position.number, 1);
    EXPECT_EQ(position.title, "T");
    EXPECT_EQ(position.description, "D");
    EXPECT_EQ(layout.Position(5).title, "");
}

TEST(LayoutStore, ExampleStoreLoads) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    WriteEncoded("data/layouts.dat", storetest::ThreeInARowLines());
    OracleData data{OracleData::NoLoad{}};
    data.LoadLayouts();
    EXPECT_TRUE(log.messages().empty());
    ASSERT_EQ(data.layoutCount, 1);
    const LayoutRecord& layout = data.layouts[0];
    EXPECT_EQ(layout.positionCount, 3);
    EXPECT_FALSE(layout.storedFlag);
    EXPECT_EQ(layout.name, "Three in a row");
    EXPECT_EQ(layout.positions, (Lines{"Past|What has led here", "Present|Where things stand", "Future|Where things lead"}));
    EXPECT_EQ(layout.columns, 3);
    EXPECT_EQ(layout.rows, 1);
    EXPECT_EQ(layout.grid[0][0], "1");
    EXPECT_EQ(layout.grid[0][1], " ");
    EXPECT_EQ(layout.grid[0][2], "2");
    EXPECT_EQ(layout.grid[1][0], " ");
    EXPECT_EQ(FilesUnder(dir.path()), std::set<std::string>{"data/layouts.dat"});
}

TEST(LayoutStore, LinesAreTakenAsTheyAre) {
    std::vector<LayoutRecord> layouts;
    ASSERT_TRUE(Read(Store("4", {Layout("0", "1", "", {}, "3", "1", {"1##2"}),
                                 Layout("1", " 1", "Blank", {"x"}, "3", "2", {"7", "1#2#3#4#5#6#7#8#9#10"}),
                                 Layout("0", "yes", "No rows", {}, "2", "0", {}),
                                 Layout("0", "", "E", {}, "1", "1", {""})}),
                     layouts));
    ASSERT_EQ(layouts.size(), 4u);
    EXPECT_TRUE(layouts[0].storedFlag);
    EXPECT_EQ(layouts[0].name, "");
    EXPECT_EQ(layouts[0].grid[0][0], "1");
    EXPECT_EQ(layouts[0].grid[0][1], "2");
    EXPECT_EQ(layouts[0].grid[0][2], " ");
    EXPECT_FALSE(layouts[1].storedFlag);
    EXPECT_EQ(layouts[1].grid[0][0], "7");  // no check that a position 7 exists
    EXPECT_EQ(layouts[1].grid[1][9], "10");  // beyond the columns in use
    EXPECT_FALSE(layouts[2].storedFlag);
    EXPECT_EQ(layouts[2].rows, 0);
    EXPECT_FALSE(layouts[3].storedFlag);
    EXPECT_EQ(layouts[3].grid[0][0], " ");
    // Lines after the last terminator are ignored; a first line of 0 is an
    // empty store, and so is an empty file.
    EXPECT_TRUE(Read(Store("1", {Layout("0", "0", "A", {}, "1", "1", {"1"}), {"junk", "more"}}), layouts));
    EXPECT_EQ(layouts.size(), 1u);
    EXPECT_TRUE(Read({"0", "junk"}, layouts));
    EXPECT_TRUE(layouts.empty());
    EXPECT_TRUE(Read({}, layouts));
    EXPECT_TRUE(layouts.empty());
}

TEST(LayoutStore, OutOfFormatStoresAreRefused) {
    const Lines one = Layout("1", "0", "A", {"T|D"}, "2", "1", {"1# "});
    Lines noTerminator = Store("1", {one});
    noTerminator.pop_back();
    Lines spacedTerminator = Store("1", {one});
    spacedTerminator.back() += " ";
    const std::vector<std::pair<std::string, Lines>> cases = {
        {"no terminator", noTerminator},
        {"terminator with a blank", spacedTerminator},
        {"a count the file cannot hold", {"2000000000", "1", "0"}},
        {"a position count the file cannot hold", {"1", "2000000000", "0", "N"}},
        {"negative layout count", Store("-1", {one})},
        {"negative position count", Store("1", {Layout("-1", "0", "A", {}, "1", "1", {"1"})})},
        {"eleven rows", Store("1", {Layout("0", "0", "A", {}, "1", "11", Lines(11, " "))})},
        {"eleven columns", Store("1", {Layout("0", "0", "A", {}, "11", "1", {" "})})},
        {"negative rows", Store("1", {Layout("0", "0", "A", {}, "1", "-2", {})})},
        {"eleven pieces on a row", Store("1", {Layout("0", "0", "A", {}, "10", "1", {"1#2#3#4#5#6#7#8#9#10#11"})})},
        {"more positions than lines", Store("1", {Layout("5", "0", "A", {"T|D"}, "1", "1", {"1"})})},
    };
    for (const auto& [what, lines] : cases) {
        std::vector<LayoutRecord> layouts;
        ReadProblem problem;
        EXPECT_FALSE(Read(lines, layouts, &problem)) << what;
        EXPECT_FALSE(problem.message.empty()) << what;
    }
}

TEST(LayoutStore, ACountLargerThanTheLayoutsThereGivesThoseLayouts) {
    const Lines one = Layout("1", "0", "A", {"T|D"}, "2", "1", {"1# "});
    TempDir dir;
    ChangeDir cwd(dir.path());
    for (const char* count : {"2", "100000", "2147483647"}) {
        SCOPED_TRACE(count);
        const Lines lines = Store(count, {one});
        CountingSource source(lines);
        std::vector<LayoutRecord> layouts;
        ReadProblem problem;
        ASSERT_TRUE(ReadLayouts(source, layouts, &problem));
        ASSERT_EQ(layouts.size(), 1u);
        EXPECT_LE(layouts.capacity(), 1u);
        EXPECT_LE(source.reads, static_cast<int>(lines.size()) + 1);
        EXPECT_EQ(problem.line, 1);
        EXPECT_EQ(problem.message, std::string("the count is ") + count + ", but only 1 layout follows it");

        // At start-up: one message naming the file and the line, and the
        // program goes on with the layout there is; a save writes the count.
        MessageLog log;
        WriteEncoded("data/layouts.dat", lines);
        OracleData data{OracleData::NoLoad{}};
        data.LoadLayouts();
        EXPECT_EQ(data.layoutCount, 1);
        EXPECT_EQ(log.messages(), Lines{"data/layouts.dat, line 1: the count is " + std::string(count) +
                                        ", but only 1 layout follows it. Only the layouts there are offered; the "
                                        "next save writes the right count."});
        ASSERT_TRUE(data.SaveLayouts());
        EXPECT_EQ(storetest::ReadEncoded("data/layouts.dat"), Store("1", {one}));
    }
    // A position count no file can hold is refused before a position line
    // is read: one message, and the log names the file and the line.
    for (const char* count : {"4", "100000", "2147483647"}) {
        SCOPED_TRACE(count);
        const Lines lines = {"1", count, "0", "A", "T|D"};
        CountingSource source(lines);
        std::vector<LayoutRecord> layouts;
        ReadProblem problem;
        EXPECT_FALSE(ReadLayouts(source, layouts, &problem));
        EXPECT_LE(source.reads, 2);
        EXPECT_EQ(problem.line, 2);
        EXPECT_EQ(problem.message, "layout 1: the position count is " + std::string(count) + ", but only 3 lines follow it");

        MessageLog log;
        storetest::LogCapture logged;
        WriteEncoded("data/layouts.dat", lines);
        OracleData data{OracleData::NoLoad{}};
        EXPECT_THROW(data.LoadLayouts(), FatalDataError);
        EXPECT_EQ(log.messages(), Lines{"Error in Layout files"});
        EXPECT_NE(logged.Text().find("data/layouts.dat:2: layout 1: the position count is " + std::string(count)),
                  std::string::npos)
            << logged.Text();
    }
}

TEST(LayoutStore, MalformedStoreIsFatalAtStartUp) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    WriteEncoded("data/decks.dat", {"0"});
    WriteEncoded("data/layouts.dat", {"1", "0", "0", "A", "1", "1", " "});
    {
        storetest::LogCapture logged;
        EXPECT_THROW(OracleData data, FatalDataError);
        // The message stays as it is; the log says which file, where, and why.
        EXPECT_NE(logged.Text().find("data/layouts.dat:7: layout 1: the file ends before its terminator"),
                  std::string::npos)
            << logged.Text();
    }
    EXPECT_EQ(log.messages(), Lines{"Error in Layout files"});
    EXPECT_EQ(log.icons(), std::vector<int>{32515});
    EXPECT_EQ(FilesUnder(dir.path()), (std::set<std::string>{"data/decks.dat", "data/layouts.dat"}));

    // A missing store reads as empty.
    log.Clear();
    std::filesystem::remove("data/layouts.dat");
    OracleData data;
    EXPECT_EQ(data.layoutCount, 0);
    EXPECT_EQ(log.messages(), Lines{"Error opening source plaintext file!"});
}

TEST(LayoutStore, LoadThenSaveNormalises) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    WriteEncoded("data/layouts.dat",
                 Store(" 2 layouts", {Layout("+2", "yes", "", {"A|a", "|B||b|extra"}, "3", "2x", {"1##2", "2#1#9#9"}),
                                      Layout("0", "1", "Empty", {}, "03", "3", {"", " # # ", "#"}),
                                      {"ignored"}}));
    OracleData data{OracleData::NoLoad{}};
    data.LoadLayouts();
    ASSERT_TRUE(data.SaveLayouts());
    const Lines expected = Store("2", {Layout("2", "0", "", {"A|a", "|B||b|extra"}, "3", "2", {"1#2# ", "2#1#9"}),
                                       Layout("0", "1", "Empty", {}, "3", "3", {" # # ", " # # ", " # # "})});
    EXPECT_EQ(storetest::ReadEncoded("data/layouts.dat"), expected);
    // A saved store reads back to the same records and saves identically.
    const std::string saved = storetest::ReadBytes("data/layouts.dat");
    data.LoadLayouts();
    ASSERT_TRUE(data.SaveLayouts());
    EXPECT_EQ(storetest::ReadBytes("data/layouts.dat"), saved);
    EXPECT_EQ(FilesUnder(dir.path()), std::set<std::string>{"data/layouts.dat"});
}

TEST(LayoutStore, SavedTextCannotBreakTheLines) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    std::filesystem::create_directories("data");
    OracleData data{OracleData::NoLoad{}};
    LayoutRecord layout;
    layout.name = "Two\nlines";
    layout.positions = {"Title|Line one\r\nline two"};
    layout.positionCount = 5;  // more than there are texts
    layout.grid[0][0] = "";
    data.layouts.push_back(layout);
    data.layoutCount = 1;
    ASSERT_TRUE(data.SaveLayouts());
    data.LoadLayouts();
    ASSERT_EQ(data.layoutCount, 1);
    EXPECT_EQ(data.layouts[0].name, "Two lines");
    EXPECT_EQ(data.layouts[0].positions, Lines{"Title|Line one  line two"});
    EXPECT_EQ(data.layouts[0].grid[0][0], " ");
}

TEST(LayoutStore, EveryTruncationLoadsOrIsRefused) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    const std::string whole = storetest::EncodedText(
        Store("2", {Layout("3", "1", "Three in a row", {"Past|a", "Present|b", "Future|c"}, "3", "1", {"1# #2"}),
                    Layout("1", "0", "One", {"Only|d"}, "1", "2", {"1", " "})}));
    int loaded = 0;
    for (std::size_t size = 0; size <= whole.size(); ++size) {
        storetest::WriteBytes("data/layouts.dat", whole.substr(0, size));
        log.Clear();
        OracleData data{OracleData::NoLoad{}};
        try {
            data.LoadLayouts();
            ++loaded;
            EXPECT_EQ(data.layoutCount, static_cast<int>(data.layouts.size()));
        } catch (const FatalDataError&) {
            EXPECT_EQ(log.messages().back(), "Error in Layout files") << size;
        }
        ASSERT_EQ(FilesUnder(dir.path()), std::set<std::string>{"data/layouts.dat"});
    }
    // The whole file, the file without its last line end, and a cut inside
    // the terminator's CR LF.
    EXPECT_GE(loaded, 2);
}

TEST(LayoutStore, SaveWritesThroughALinkedStoreAndKeepsTheLink) {
    namespace fs = std::filesystem;
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    fs::create_directories("data");
    fs::create_directories("kept/deeper");
    WriteEncoded("kept/deeper/layouts.dat", storetest::ThreeInARowLines());
    fs::permissions("kept/deeper/layouts.dat", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // A link to a link, relative, and one with an absolute target.
    fs::create_symlink("deeper/layouts.dat", "kept/layouts.dat");
    for (const fs::path& target : {fs::path("../kept/layouts.dat"), dir.path() / "kept/layouts.dat"}) {
        SCOPED_TRACE(target.string());
        fs::remove("data/layouts.dat");
        fs::create_symlink(target, "data/layouts.dat");
        OracleData data{OracleData::NoLoad{}};
        data.LoadLayouts();
        data.selectedLayout = -1;
        data.editLayout.Reset();
        ASSERT_TRUE(data.SaveEditedLayout("Added through the link"));
        EXPECT_TRUE(fs::is_symlink("data/layouts.dat"));
        EXPECT_EQ(fs::read_symlink("data/layouts.dat"), target);
        EXPECT_TRUE(fs::is_symlink("kept/layouts.dat"));
        const Lines stored = storetest::ReadEncoded("kept/deeper/layouts.dat");
        EXPECT_EQ(stored, LayoutFileLines(data.layouts));
        EXPECT_EQ(stored.front(), std::to_string(data.layoutCount));
        EXPECT_EQ(fs::status("kept/deeper/layouts.dat").permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(FilesUnder(dir.path()),
                  (std::set<std::string>{"data/layouts.dat", "kept/layouts.dat", "kept/deeper/layouts.dat"}));
    }
    EXPECT_EQ(storetest::ReadEncoded("kept/deeper/layouts.dat").front(), "3");
    EXPECT_EQ(std::count(log.messages().begin(), log.messages().end(), "Layout successfully added"), 2);

    // A link whose file is not there yet: the first save makes that file.
    fs::remove("data/layouts.dat");
    fs::create_symlink("../kept/new.dat", "data/layouts.dat");
    OracleData fresh{OracleData::NoLoad{}};
    fresh.layouts.push_back(LayoutRecord());
    fresh.layoutCount = 1;
    ASSERT_TRUE(fresh.SaveLayouts());
    EXPECT_TRUE(fs::is_symlink("data/layouts.dat"));
    EXPECT_EQ(storetest::ReadEncoded("kept/new.dat").front(), "1");
}

TEST(LayoutStore, SaveWithoutDataFolderFailsWithoutExiting) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    OracleData data{OracleData::NoLoad{}};
    data.layouts.push_back(LayoutRecord());
    data.layoutCount = 1;
    EXPECT_FALSE(data.SaveLayouts());
    EXPECT_EQ(log.messages().back(), "Error opening Layout files");
    EXPECT_EQ(data.layoutCount, 1);
    EXPECT_TRUE(FilesUnder(dir.path()).empty());
}

}  // namespace
}  // namespace sw
