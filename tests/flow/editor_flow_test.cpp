// The layout editor driven through the page the way a user drives it:
// the list, the editing page and its grid, positions, and saving, with the
// saved file read back through coreutils' base64; deleting and duplicating
// from beside the list.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/text.h"
#include "store/file_system.h"
#include "store/line_coder.h"
#include "support/files.h"
#include "support/session.h"

namespace sw::testing {
namespace {

using platform::kIconExclamation;
using platform::kIconQuestion;
using platform::kIdCancel;
using platform::kIdOk;
using Grid = std::vector<std::vector<std::string>>;

constexpr const char* kLayouts = "data/layouts.dat";
constexpr const char* kTerminator = "#######LAYOUT#######";
const std::string kQuotedName = "Dad's \"big\" choice";

// ---- the file ----------------------------------------------------------------

// Every stored line decoded by coreutils. One `base64 -d` takes the whole
// file (it accepts padding between groups); each line's share of the output
// follows from its length and padding. Every line must end with CR LF.
std::vector<std::string> DecodeWithCoreutils(const std::string& path) {
    const std::string stored = ReadBytes(path);
    std::vector<std::size_t> lengths;
    std::size_t start = 0;
    while (start < stored.size()) {
        const std::size_t end = stored.find('\n', start);
        EXPECT_NE(end, std::string::npos) << "the last line has no line end";
        EXPECT_TRUE(end != std::string::npos && end > start && stored[end - 1] == '\r')
            << "a line without CR LF at byte " << start;
        if (end == std::string::npos || end == start || stored[end - 1] != '\r') return {};
        const std::string line = stored.substr(start, end - 1 - start);
        // Only the Base64 alphabet, padded to whole groups.
        EXPECT_EQ(line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos)
            << "not a Base64 line: " << line;
        EXPECT_EQ(line.size() % 4, 0u) << line;
        const std::size_t padding = line.empty() ? 0 : (line.back() == '=') + (line.size() > 1 && line[line.size() - 2] == '=');
        lengths.push_back(line.size() / 4 * 3 - padding);
        start = end + 1;
    }
    const std::string bytes = RunCommand("tr -d '\\r\\n' < '" + path + "' | base64 -d");
    std::vector<std::string> decoded;
    std::size_t at = 0;
    for (std::size_t length : lengths) {
        decoded.push_back(bytes.substr(at, length));
        at += length;
    }
    EXPECT_EQ(at, bytes.size());
    return decoded;
}

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

// ---- what the page shows -----------------------------------------------------

std::string PositionListShown(const PageDouble& page) {
    const std::string& html = page.Fragment();
    const auto begin = html.find("<select id='desclist'");
    if (begin == std::string::npos) return "(no position list)";
    const auto end = html.find("</select>", begin);
    return html.substr(begin, end + 9 - begin);
}

std::string ListOf(const std::string& options) {
    return "<select id='desclist' size=4 style='width:400px'>" + options + "</select>";
}

const std::string kPlaceholderList = ListOf("<option selected value='-1'>Enter a Card position</option>");

// The grid on the page, row by row: a cell's number, or " " when empty.
Grid GridShown(const PageDouble& page) {
    const std::string& html = page.Fragment();
    Grid grid;
    for (int r = 0; r < kGridSize; ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < kGridSize; ++c) {
            const std::string filled = Format("<td row='%d' col='%d' id='gridfilled' class='gridfilled'>", r, c);
            const std::string empty = Format("<td row='%d' col='%d' class='grid' id='grid'>&nbsp;</td>", r, c);
            if (auto at = html.find(filled); at != std::string::npos) {
                at += filled.size();
                row.push_back(html.substr(at, html.find("</td>", at) - at));
            } else if (html.find(empty) != std::string::npos) {
                row.push_back(" ");
            } else {
                break;
            }
        }
        if (row.empty()) break;
        grid.push_back(row);
    }
    return grid;
}

bool Shows(const PageDouble& page, const std::string& piece) { return page.Fragment().find(piece) != std::string::npos; }

const std::vector<std::string> kSampleLayoutNames = {
    "Single Card", "Past, Present, Future", "Simple Cross", "Celtic Cross", "Horseshoe", "Relationship",
    "Decision", "Year Ahead", "Mind, Body, Spirit", "Situation, Obstacle, Advice, Outcome"};

// The layout list page as the user reads it: the names in its list, in
// order, each option's value its place from 0; nothing but a note when the
// page is not the list page with its instruction and its two buttons.
std::vector<std::string> LayoutListShown(const PageDouble& page) {
    const std::string& html = page.Fragment();
    for (const char* piece : {"<h3>Select the layout you wish to edit or click add to create a new one.</h3>",
                              "<a class='btn' id='editlayout'>Edit</a>", "<a class='btn' id='addlayout'>Add</a>"})
        if (html.find(piece) == std::string::npos) return {"(not the layout list page)"};
    const std::string open = "<select name='layout'>";
    const auto begin = html.find(open);
    const auto end = html.find("</select>", begin);
    if (begin == std::string::npos || end == std::string::npos) return {"(no layout list)"};
    const std::string options = html.substr(begin + open.size(), end - begin - open.size());
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < options.size()) {
        const std::string option = Format("<option value='%d'>", static_cast<int>(names.size()));
        const auto close = options.find("</option>", at);
        if (options.compare(at, option.size(), option) != 0 || close == std::string::npos)
            return {"(an unexpected option at " + options.substr(at, 40) + ")"};
        names.push_back(options.substr(at + option.size(), close - at - option.size()));
        at = close + 9;
    }
    return names;
}

std::vector<std::string> MessageTexts(PageDouble& page) {
    std::vector<std::string> texts;
    for (const auto& shown : page.Messages()) texts.push_back(shown.message);
    return texts;
}

// ---- user actions --------------------------------------------------------------

// The main page's Editor button (its underlined letter carries the same id).
void OpenEditor(PageDouble& page) { page.Click("editor", {{"class", "btn"}}); }

void AddPosition(PageDouble& page, const std::string& title, const std::string& description) {
    page.Type("title", title);
    page.Type("description", description);
    page.Click("addpos");
}

// Chooses position index in the list and clicks the empty cell (r, c).
void Place(PageDouble& page, int index, int r, int c) {
    page.Choose("desclist", std::to_string(index));
    page.Click("grid", {{"row", std::to_string(r)}, {"col", std::to_string(c)}});
}

void Resize(PageDouble& page, int columns, int rows) {
    page.Choose("cols", std::to_string(columns));
    page.Choose("rows", std::to_string(rows));
    page.Click("refreshgrid");
}

void OpenLayout(PageDouble& page, int index) {
    OpenEditor(page);
    page.Choose("layout", std::to_string(index));
    page.Click("editlayout");
}

// The real file operations, with one step refused on demand.
class FailingFileSystem : public FileSystem {
public:
    enum class Step { kNone, kCreateFiles, kRename };
    Step failing = Step::kNone;

    int Open(const std::string& path, int flags, mode_t mode) override {
        if (failing == Step::kCreateFiles && (flags & O_CREAT)) return Fail(EACCES);
        return FileSystem::Open(path, flags, mode);
    }
    int Rename(const std::string& from, const std::string& to) override {
        if (failing == Step::kRename) return Fail(EIO);
        return FileSystem::Rename(from, to);
    }

private:
    static int Fail(int error) {
        errno = error;
        return -1;
    }
};

// ---- the whole road of a new layout --------------------------------------------

TEST(EditorFlow, NewLayoutIsBuiltPlacedTrimmedResizedAndSaved) {
    Session session;
    PageDouble& page = session.page();
    const std::vector<std::string> before = DecodeWithCoreutils(kLayouts);
    ASSERT_EQ(before.front(), "10");

    OpenEditor(page);
    EXPECT_EQ(LayoutListShown(page), kSampleLayoutNames);
    page.Click("addlayout");
    EXPECT_EQ(page.Value("layout"), "-1");
    EXPECT_EQ(page.Value("name"), "");
    EXPECT_EQ(page.Value("title"), "");
    EXPECT_EQ(page.Value("description"), "");
    EXPECT_EQ(PositionListShown(page), kPlaceholderList);
    EXPECT_EQ(page.Value("cols"), "3");
    EXPECT_EQ(page.Value("rows"), "3");
    EXPECT_EQ(GridShown(page), Grid(3, std::vector<std::string>(3, " ")));
    EXPECT_EQ(session.dialog().CurrentLayout(), -1);

    page.Type("name", "Line of three");
    AddPosition(page, "A", "a");
    EXPECT_EQ(page.Value("layout"), "-2");
    EXPECT_EQ(PositionListShown(page), ListOf("<option selected value='0'>1 - A</option>"));
    EXPECT_EQ(page.Value("title"), "A");
    EXPECT_EQ(page.Value("description"), "a");
    EXPECT_EQ(page.Value("name"), "Line of three");
    Place(page, 0, 0, 0);
    AddPosition(page, "B", "b");
    Place(page, 1, 1, 1);
    AddPosition(page, "C", "c");
    Place(page, 2, 2, 2);
    EXPECT_EQ(GridShown(page), (Grid{{"1", " ", " "}, {" ", "2", " "}, {" ", " ", "3"}}));
    EXPECT_EQ(PositionListShown(page), ListOf("<option  value='0'>1 - A</option><option  value='1'>2 - B</option>"
                                              "<option selected value='2'>3 - C</option>"));

    // Delete position 1: B and C move up, the cell of the old number 3 empties.
    page.Choose("desclist", "0");
    page.Click("desclist");
    EXPECT_EQ(page.Value("title"), "A");
    page.Messages().clear();
    page.AnswerNext(kIdOk);
    page.Click("deletepos");
    ASSERT_EQ(page.Messages().size(), 1u);
    EXPECT_EQ(page.Messages()[0].message, "Are you sure?");
    EXPECT_EQ(page.Messages()[0].icon, kIconQuestion);
    EXPECT_EQ(PositionListShown(page),
              ListOf("<option  value='0'>1 - B</option><option selected value='1'>2 - C</option>"));
    EXPECT_EQ(GridShown(page), (Grid{{"1", " ", " "}, {" ", "2", " "}, {" ", " ", " "}}));
    EXPECT_EQ(page.Value("title"), "C");
    EXPECT_EQ(page.Value("description"), "c");
    EXPECT_EQ(page.Value("name"), "Line of three");

    // One position may lie on several cells; placing never moves a number.
    Place(page, 1, 2, 0);
    Place(page, 1, 0, 2);
    const Grid placed{{"1", " ", "2"}, {" ", "2", " "}, {"2", " ", " "}};
    EXPECT_EQ(GridShown(page), placed);

    // A smaller grid hides row 2 and column 2 without emptying them.
    Resize(page, 2, 2);
    EXPECT_EQ(page.Value("cols"), "2");
    EXPECT_EQ(page.Value("rows"), "2");
    EXPECT_EQ(GridShown(page), (Grid{{"1", " "}, {" ", "2"}}));
    Resize(page, 3, 3);
    EXPECT_EQ(GridShown(page), placed);

    page.Messages().clear();
    page.Click("savelayout");
    ASSERT_EQ(page.Messages().size(), 1u);
    EXPECT_EQ(page.Messages()[0].message, "Layout successfully added");
    EXPECT_EQ(page.Messages()[0].icon, kIconExclamation);
    std::vector<std::string> listed = kSampleLayoutNames;
    listed.push_back("Line of three");
    EXPECT_EQ(LayoutListShown(page), listed);

    std::vector<std::string> expected = before;
    expected[0] = "11";
    for (const char* line : {"2", "0", "Line of three", "B|b", "C|c", "3", "3", "1# #2", " #2# ", "2# # ", kTerminator})
        expected.push_back(line);
    EXPECT_EQ(DecodeWithCoreutils(kLayouts), expected);
    EXPECT_EQ(FilesIn("data"), (std::set<std::string>{"decks.dat", "layouts.dat"}));

    // The saved layout is dealt at once: one card on each of its four cells.
    page.Click("tarotbtn");
    page.Choose("layout", "10");
    page.Type("question", "Which way?");
    page.Messages().clear();
    page.Click("reading");
    EXPECT_TRUE(page.Messages().empty());
    std::size_t cards = 0;
    for (auto at = page.Fragment().find("class='card'"); at != std::string::npos;
         at = page.Fragment().find("class='card'", at + 1))
        ++cards;
    EXPECT_EQ(cards, 4u);
}

TEST(EditorFlow, RenamedLayoutIsWrittenInPlaceAndTheOthersUnchanged) {
    Session session;
    PageDouble& page = session.page();
    const std::vector<std::string> before = DecodeWithCoreutils(kLayouts);

    OpenLayout(page, 1);
    EXPECT_EQ(page.Value("layout"), "1");
    EXPECT_EQ(page.Value("name"), "Past, Present, Future");
    EXPECT_EQ(page.Value("title"), "The Past");
    EXPECT_EQ(page.Value("description"), "The events and choices behind you that have shaped this question.");
    EXPECT_EQ(PositionListShown(page),
              ListOf("<option selected value='0'>1 - The Past</option><option  value='1'>2 - The Present</option>"
                     "<option  value='2'>3 - The Future</option>"));
    EXPECT_EQ(GridShown(page), (Grid{{"1", "2", "3"}}));
    EXPECT_EQ(session.dialog().CurrentLayout(), 1);
    EXPECT_EQ(session.dialog().Data().selectedLayout, 1);

    // Typed just before Save, with no other handler in between.
    page.Type("name", "Three Times");
    page.Messages().clear();
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully updated"});
    EXPECT_TRUE(Shows(page, "<option value='0'>Single Card</option><option value='1'>Three Times</option>"));

    std::vector<std::string> expected = before;
    ASSERT_EQ(std::count(expected.begin(), expected.end(), "Past, Present, Future"), 1);
    *std::find(expected.begin(), expected.end(), "Past, Present, Future") = "Three Times";
    EXPECT_EQ(DecodeWithCoreutils(kLayouts), expected);
    EXPECT_EQ(session.dialog().Data().layoutCount, 10);
}

// A store written on Windows, in its code page, beside UTF-8 text: a save
// after editing one layout gives back every other line byte for byte.
TEST(EditorFlow, UntouchedLayoutsKeepTheirStoredBytes) {
    const std::filesystem::path folder = MakeTempDir("sagewend-bytes");
    std::filesystem::copy(std::string(SAGEWEND_SOURCE_DIR) + "/sample", folder, std::filesystem::copy_options::recursive);
    const std::vector<std::string> lines = {
        "3",
        "1", "0", "Caf\xE9" " spread", "Caf\xE9|Une pens\xE9" "e", "1", "1", "1", kTerminator,
        "1", "1", "Cr\xC3\xA8me", "Cr\xC3\xA8me|Br\xC3\xBBl\xC3\xA9" "e", "1", "1", "1", kTerminator,
        "1", "0", "Plain", "One|one", "1", "1", "1", kTerminator};
    std::string stored;
    for (const std::string& line : lines) stored += EncodeLine(line) + "\r\n";
    WriteBytes((folder / kLayouts).string(), stored);
    Session session(1, folder.string());
    std::filesystem::remove_all(folder);
    PageDouble& page = session.page();

    OpenLayout(page, 2);
    page.Type("name", "Plainer");
    page.Click("savelayout");
    ASSERT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully updated"});

    std::string expected;
    for (std::size_t i = 0; i < lines.size(); ++i) expected += EncodeLine(i == 19 ? "Plainer" : lines[i]) + "\r\n";
    WriteBytes("./expected.dat", expected);
    int status = -1;
    RunCommand("cmp expected.dat " + std::string(kLayouts), &status);
    EXPECT_EQ(status, 0) << "every line but the new name, byte for byte";
    // The page showed them as text, the Windows name converted for it.
    OpenEditor(page);
    EXPECT_TRUE(Shows(page, "<option value='0'>Caf\xE9" " spread</option>"));
}

// ---- quotes in user text ----------------------------------------------------------

TEST(EditorFlow, QuotedNameAndTextsSurviveRebuildsAndSave) {
    Session session;
    PageDouble& page = session.page();
    OpenEditor(page);
    page.Click("addlayout");
    page.Type("name", kQuotedName);
    AddPosition(page, "Say \"hi\"", "It's \"loud\" & <clear>");
    EXPECT_TRUE(Shows(page, "value=\"Dad&#39;s &quot;big&quot; choice\""));
    EXPECT_EQ(page.Value("name"), kQuotedName);
    EXPECT_EQ(page.Value("title"), "Say \"hi\"");
    EXPECT_EQ(page.Value("description"), "It's \"loud\" & <clear>");
    // Option content is text, escaped like the values.
    EXPECT_EQ(PositionListShown(page), ListOf("<option selected value='0'>1 - Say &quot;hi&quot;</option>"));
    Place(page, 0, 1, 1);
    Resize(page, 2, 2);
    EXPECT_EQ(page.Value("name"), kQuotedName);

    page.Click("savelayout");
    EXPECT_TRUE(Shows(page, "<option value='10'>Dad&#39;s &quot;big&quot; choice</option>"));
    const std::vector<std::string> saved = DecodeWithCoreutils(kLayouts);
    const std::vector<std::string> tail(saved.end() - 9, saved.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"1", "0", kQuotedName, "Say \"hi\"|It's \"loud\" & <clear>", "2", "2",
                                              " # ", " #1", kTerminator}));

    // Opened and saved again untouched: the file does not change.
    OpenLayout(page, 10);
    EXPECT_EQ(page.Value("name"), kQuotedName);
    EXPECT_EQ(page.Value("description"), "It's \"loud\" & <clear>");
    page.Click("savelayout");
    EXPECT_EQ(DecodeWithCoreutils(kLayouts), saved);
}

// ---- saves that cannot write -------------------------------------------------------

// After the failure: the message, the same page with what was typed, the same
// working copy, the store as it was in memory and on disk.
void ExpectFailedSaveChangedNothing(Session& session, const std::string& fileBefore, const std::string& fragmentBefore,
                                    int writesBefore, int layoutCount) {
    PageDouble& page = session.page();
    const OracleData& data = session.dialog().Data();
    const std::vector<std::string> shown = MessageTexts(page);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), "Error opening Layout files");
    EXPECT_EQ(page.Messages().back().icon, kIconExclamation);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Layout successfully added"), 0);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Layout successfully updated"), 0);
    EXPECT_EQ(page.Writes(), writesBefore);
    EXPECT_EQ(page.Fragment(), fragmentBefore);
    EXPECT_EQ(data.layoutCount, layoutCount);
    EXPECT_EQ(data.layouts.size(), static_cast<std::size_t>(layoutCount));
    EXPECT_EQ(ReadBytes(kLayouts), fileBefore);
    EXPECT_EQ(FilesIn("data"), (std::set<std::string>{"decks.dat", "layouts.dat"}));
}

TEST(EditorFlow, FailedSaveOfANewLayoutKeepsEverythingAndCanBeRetried) {
    for (auto step : {FailingFileSystem::Step::kCreateFiles, FailingFileSystem::Step::kRename}) {
        SCOPED_TRACE(step == FailingFileSystem::Step::kRename ? "rename refused" : "file creation refused");
        Session session;
        PageDouble& page = session.page();
        const std::string fileBefore = ReadBytes(kLayouts);
        OpenEditor(page);
        page.Click("addlayout");
        page.Type("name", "Unsaved");
        AddPosition(page, "T", "t");
        Place(page, 0, 0, 1);
        page.Type("name", "Unsaved, typed again");
        const std::string fragment = page.Fragment();
        const int writes = page.Writes();

        FailingFileSystem fileSystem;
        session.dialog().Data().UseFileSystem(fileSystem);
        fileSystem.failing = step;
        page.Messages().clear();
        page.Click("savelayout");
        ExpectFailedSaveChangedNothing(session, fileBefore, fragment, writes, 10);
        EXPECT_EQ(page.Value("name"), "Unsaved, typed again");
        const OracleData& data = session.dialog().Data();
        EXPECT_EQ(data.selectedLayout, -1);
        EXPECT_EQ(data.editLayout.positions, std::vector<std::string>{"T|t"});
        EXPECT_EQ(data.editLayout.grid[0][1], "1");

        // The fault clears: the same page saves.
        fileSystem.failing = FailingFileSystem::Step::kNone;
        page.Messages().clear();
        page.Click("savelayout");
        EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully added"});
        EXPECT_EQ(data.layoutCount, 11);
        const std::vector<std::string> saved = DecodeWithCoreutils(kLayouts);
        EXPECT_EQ(saved.front(), "11");
        EXPECT_EQ(std::vector<std::string>(saved.end() - 10, saved.end()),
                  (std::vector<std::string>{"1", "0", "Unsaved, typed again", "T|t", "3", "3", " #1# ", " # # ", " # # ",
                                            kTerminator}));
    }
}

TEST(EditorFlow, FailedSaveOfAnEditedLayoutKeepsTheStoredOne) {
    Session session;
    PageDouble& page = session.page();
    const std::string fileBefore = ReadBytes(kLayouts);
    OpenLayout(page, 1);
    page.Type("name", "Renamed");
    const std::string fragment = page.Fragment();
    const int writes = page.Writes();

    FailingFileSystem fileSystem;
    session.dialog().Data().UseFileSystem(fileSystem);
    fileSystem.failing = FailingFileSystem::Step::kRename;
    page.Messages().clear();
    page.Click("savelayout");
    ExpectFailedSaveChangedNothing(session, fileBefore, fragment, writes, 10);
    EXPECT_EQ(session.dialog().Data().layouts[1].name, "Past, Present, Future");
    EXPECT_EQ(session.dialog().Data().editLayout.name, "Renamed");

    fileSystem.failing = FailingFileSystem::Step::kNone;
    page.Messages().clear();
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully updated"});
    EXPECT_EQ(session.dialog().Data().layouts[1].name, "Renamed");
    EXPECT_EQ(DecodeWithCoreutils(kLayouts)[11], "Renamed");
}

TEST(EditorFlow, SaveIntoAReadOnlyDataFolderFailsAndCanBeRetried) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    Session session;
    PageDouble& page = session.page();
    const std::string fileBefore = ReadBytes(kLayouts);
    OpenEditor(page);
    page.Click("addlayout");
    page.Type("name", "Read-only");
    const std::string fragment = page.Fragment();
    const int writes = page.Writes();

    namespace fs = std::filesystem;
    fs::permissions("data", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    page.Messages().clear();
    page.Click("savelayout");
    fs::permissions("data", fs::perms::owner_write, fs::perm_options::add);
    ExpectFailedSaveChangedNothing(session, fileBefore, fragment, writes, 10);

    page.Messages().clear();
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully added"});
    EXPECT_EQ(DecodeWithCoreutils(kLayouts).front(), "11");
}

// ---- another program writing the same file ----------------------------------------

// The other program: a second data holder on the same folder, saving as
// Sagewend saves.
bool SaveFromOtherProgram(OracleData& other, int selected, const std::string& name) {
    if (selected >= 0) other.BuildLayoutEditorPage(selected);
    else other.BuildLayoutEditorPage(-1);
    return other.SaveEditedLayout(name);
}

const std::string kChangedElsewhere =
    "data/layouts.dat has been changed by another program since Sagewend read it, so your layout was not saved. "
    "Sagewend has read the file again, and your layout is still here: ";

std::vector<std::string> StoredNames(const OracleData& data) {
    std::vector<std::string> names;
    for (const auto& layout : data.layouts) names.push_back(layout.name);
    return names;
}

TEST(EditorFlow, TwoProgramsOnOneFolderLoseNoLayout) {
    Session session;
    PageDouble& page = session.page();
    OracleData other;  // started on the same folder at the same time
    std::vector<std::string> names = kSampleLayoutNames;

    OpenEditor(page);
    page.Click("addlayout");
    page.Type("name", "From A");
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully added"});
    names.push_back("From A");

    // The other program saves over what it read: it is told, saves nothing,
    // and reads the file again; its second Save adds its layout to A's.
    page.Messages().clear();
    EXPECT_FALSE(SaveFromOtherProgram(other, -1, "From B"));
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{kChangedElsewhere +
                                                           "Save again to add it to the layouts as they are now."});
    EXPECT_EQ(StoredNames(other), names);
    EXPECT_EQ(DecodeWithCoreutils(kLayouts).front(), "11");
    page.Messages().clear();
    EXPECT_TRUE(other.SaveEditedLayout("From B"));
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully added"});
    names.push_back("From B");
    EXPECT_EQ(StoredNames(other), names);

    // Back in the first program, an edit: the same, and the typed work stays
    // on the page for the second Save, which puts it in place.
    OpenLayout(page, 1);
    page.Type("name", "Renamed in A");
    const std::string fragment = page.Fragment();
    page.Messages().clear();
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{kChangedElsewhere +
                                                           "Save again to put it in place of the layout you opened."});
    EXPECT_EQ(page.Fragment(), fragment);
    EXPECT_EQ(page.Value("name"), "Renamed in A");
    EXPECT_EQ(StoredNames(session.dialog().Data()), names);
    page.Messages().clear();
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully updated"});
    names[1] = "Renamed in A";
    EXPECT_EQ(LayoutListShown(page), names);
    EXPECT_EQ(StoredNames(session.dialog().Data()), names);
    std::vector<std::string> stored = DecodeWithCoreutils(kLayouts);
    EXPECT_EQ(stored.front(), "12");
    for (const auto& name : names) EXPECT_EQ(std::count(stored.begin(), stored.end(), name), 1) << name;

    // Both edit the same layout: the second to save keeps its version as a
    // new layout, so neither is lost.
    OpenLayout(page, 0);
    page.Type("name", "Single, as A has it");
    page.Messages().clear();
    EXPECT_FALSE(SaveFromOtherProgram(other, 0, "Single, as B has it"));
    EXPECT_TRUE(other.SaveEditedLayout("Single, as B has it"));
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page).back(), kChangedElsewhere +
                                             "the layout you opened has been changed or removed there, so Save again "
                                             "adds yours as a new layout.");
    page.Messages().clear();
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully added"});
    stored = DecodeWithCoreutils(kLayouts);
    EXPECT_EQ(stored.front(), "13");
    EXPECT_EQ(std::count(stored.begin(), stored.end(), "Single, as A has it"), 1);
    EXPECT_EQ(std::count(stored.begin(), stored.end(), "Single, as B has it"), 1);
    EXPECT_EQ(session.dialog().Data().layoutCount, 13);
}

TEST(EditorFlow, AStoreRemovedOrBrokenElsewhereIsNotSavedOverUntilTheUserSaysSo) {
    Session session;
    PageDouble& page = session.page();
    OpenEditor(page);
    page.Click("addlayout");
    page.Type("name", "Mine");

    // Broken by hand: nothing is written over it, however often Save is
    // pressed, until it is mended.
    const std::string good = ReadBytes(kLayouts);
    WriteBytes(kLayouts, good.substr(0, good.size() / 2));
    const std::string broken = ReadBytes(kLayouts);
    for (int attempt = 0; attempt < 2; ++attempt) {
        page.Messages().clear();
        page.Click("savelayout");
        const std::vector<std::string> shown = MessageTexts(page);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].rfind("data/layouts.dat has been changed by another program since Sagewend read it, so "
                                 "your layout was not saved. The file cannot be read now (line ",
                                 0),
                  0u)
            << shown[0];
        EXPECT_NE(shown[0].find("Your layout is still here: mend or remove the file, then Save again."),
                  std::string::npos);
        EXPECT_EQ(ReadBytes(kLayouts), broken);
    }

    // Removed: said once, then the second Save writes the layouts shown.
    std::filesystem::remove(kLayouts);
    page.Messages().clear();
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page),
              std::vector<std::string>{"data/layouts.dat has been removed since Sagewend read it, so your layout was "
                                       "not saved. It is still here: Save again to write the file anew with the "
                                       "layouts Sagewend shows."});
    EXPECT_FALSE(std::filesystem::exists(kLayouts));
    page.Messages().clear();
    page.Click("savelayout");
    EXPECT_EQ(MessageTexts(page).back(), "Layout successfully added");
    EXPECT_EQ(DecodeWithCoreutils(kLayouts).front(), "11");
}

// ---- deleting positions ------------------------------------------------------------

TEST(EditorFlow, DeleteEmptiesTheHighestNumberInHiddenCellsToo) {
    Session session;
    PageDouble& page = session.page();
    OracleData& data = session.dialog().Data();
    OpenLayout(page, 2);  // Simple Cross: " #5# ", "2#1#3", " #4# "
    EXPECT_EQ(GridShown(page), (Grid{{" ", "5", " "}, {"2", "1", "3"}, {" ", "4", " "}}));
    Place(page, 4, 2, 2);
    Resize(page, 3, 2);  // row 2, with a 5 in it, is hidden
    data.editLayout.grid[9][9] = "5";  // as far out as the grid goes

    page.Choose("desclist", "0");
    page.Click("deletepos");
    EXPECT_EQ(GridShown(page), (Grid{{" ", " ", " "}, {"2", "1", "3"}}));
    Resize(page, 3, 3);
    EXPECT_EQ(GridShown(page), (Grid{{" ", " ", " "}, {"2", "1", "3"}, {" ", "4", " "}}));
    EXPECT_EQ(data.editLayout.grid[9][9], " ");
    EXPECT_EQ(PositionListShown(page),
              ListOf("<option  value='0'>1 - The Past</option><option  value='1'>2 - The Future</option>"
                     "<option  value='2'>3 - The Root</option><option selected value='3'>4 - The Potential</option>"));
}

TEST(EditorFlow, DeletingTheOnlyPositionLeavesThePlaceholder) {
    Session session;
    PageDouble& page = session.page();
    OpenEditor(page);
    page.Click("addlayout");
    AddPosition(page, "A", "a");
    Place(page, 0, 0, 0);
    Place(page, 0, 1, 2);
    page.Click("deletepos");
    EXPECT_EQ(PositionListShown(page), kPlaceholderList);
    EXPECT_EQ(GridShown(page), Grid(3, std::vector<std::string>(3, " ")));
    EXPECT_EQ(page.Value("title"), "");
    EXPECT_EQ(page.Value("description"), "");
    EXPECT_EQ(session.dialog().Data().selectedPosition, -1);
    EXPECT_EQ(session.dialog().Data().editLayout.positionCount, 0);
}

TEST(EditorFlow, DecliningTheQuestionDeletesNothing) {
    Session session;
    PageDouble& page = session.page();
    OpenLayout(page, 1);
    const std::string fragment = page.Fragment();
    const int writes = page.Writes();
    page.AnswerNext(kIdCancel);
    page.Click("deletepos");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Are you sure?"});
    EXPECT_EQ(page.Writes(), writes);
    EXPECT_EQ(page.Fragment(), fragment);
    EXPECT_EQ(session.dialog().Data().editLayout.positionCount, 3);
}

// ---- messages instead of changes ---------------------------------------------------

TEST(EditorFlow, PlaceholderAndMissingTextsAreRefusedWithoutRebuilding) {
    Session session;
    PageDouble& page = session.page();
    const OracleData& data = session.dialog().Data();
    OpenEditor(page);
    page.Click("addlayout");
    const int writes = page.Writes();
    auto expectOnly = [&](const std::string& message, int icon) {
        ASSERT_EQ(page.Messages().size(), 1u);
        EXPECT_EQ(page.Messages()[0].message, message);
        EXPECT_EQ(page.Messages()[0].icon, icon);
        EXPECT_EQ(page.Writes(), writes);
        page.Messages().clear();
    };

    page.Click("grid", {{"row", "1"}, {"col", "2"}});
    expectOnly("No positions to insert, please add a new one", kIconExclamation);
    EXPECT_EQ(data.editLayout.grid[1][2], " ");

    // The list is looked at before the texts.
    page.Click("updatepos");
    expectOnly("No positions to update, please add a new one", kIconExclamation);
    page.Type("title", "T");
    page.Type("description", "d");
    page.Click("updatepos");
    expectOnly("No positions to update, please add a new one", kIconExclamation);

    page.Click("deletepos");  // OK, then nothing to delete
    expectOnly("Are you sure?", kIconQuestion);

    page.Type("title", "");
    page.Type("description", "kept");
    page.Click("addpos");
    expectOnly("Please enter a title", kIconExclamation);
    EXPECT_EQ(page.Value("description"), "kept");
    page.Type("title", "T");
    page.Type("description", "");
    page.Click("addpos");
    expectOnly("Please enter a description", kIconExclamation);
    EXPECT_EQ(page.Value("title"), "T");
    EXPECT_EQ(data.editLayout.positionCount, 0);

    // With a position chosen, Update checks the title, then the description.
    AddPosition(page, "A", "a");
    const int rebuilt = page.Writes();
    page.Type("title", "");
    page.Click("updatepos");
    ASSERT_EQ(page.Messages().size(), 1u);
    EXPECT_EQ(page.Messages()[0].message, "Please enter a title");
    page.Messages().clear();
    page.Type("title", "B");
    page.Type("description", "");
    page.Click("updatepos");
    ASSERT_EQ(page.Messages().size(), 1u);
    EXPECT_EQ(page.Messages()[0].message, "Please enter a description");
    EXPECT_EQ(page.Writes(), rebuilt);
    EXPECT_EQ(data.editLayout.positions, std::vector<std::string>{"A|a"});
}

TEST(EditorFlow, EditWithNoStoredLayoutSaysWhyAndChangesNothing) {
    const std::filesystem::path dataDir = MakeTempDir("sagewend-editor-empty");
    std::filesystem::copy(std::filesystem::path(SAGEWEND_SOURCE_DIR) / "sample", dataDir,
                          std::filesystem::copy_options::recursive);
    std::ofstream(dataDir / "data" / "layouts.dat", std::ios::binary | std::ios::trunc) << "MA==\n";  // "0"
    {
        Session session(1, dataDir.string());
        PageDouble& page = session.page();
        OracleData& data = session.dialog().Data();
        ASSERT_EQ(data.layoutCount, 0);
        OpenEditor(page);
        EXPECT_TRUE(Shows(page, "<select name='layout'></select>"));
        const int writes = page.Writes();
        const int selectedLayout = data.selectedLayout;
        page.Click("editlayout");
        ASSERT_EQ(page.Messages().size(), 1u);
        EXPECT_EQ(page.Messages()[0].message, "There is no layout to edit, please add a new one");
        EXPECT_EQ(page.Messages()[0].icon, kIconExclamation);
        EXPECT_EQ(page.Writes(), writes);
        EXPECT_EQ(data.selectedLayout, selectedLayout);
        EXPECT_EQ(session.dialog().CurrentLayout(), -1);

        // Add still works, and an empty name and no positions are stored as they are.
        page.Messages().clear();
        page.Click("addlayout");
        page.Click("savelayout");
        EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully added"});
        EXPECT_TRUE(Shows(page, "<select name='layout'><option value='0'></option></select>"));
        EXPECT_EQ(DecodeWithCoreutils(kLayouts), (std::vector<std::string>{"1", "0", "0", "", "3", "3", " # # ",
                                                                           " # # ", " # # ", kTerminator}));
    }
    std::filesystem::remove_all(dataDir);
}

// ---- what survives a rebuild, and selecting positions -------------------------------

TEST(EditorFlow, TypedNameSurvivesAndUnappliedTextsAreReplaced) {
    Session session;
    PageDouble& page = session.page();
    const OracleData& data = session.dialog().Data();
    OpenLayout(page, 1);
    page.Type("name", "Kept name");
    page.Type("title", "Typed, never applied");
    page.Click("gridfilled", {{"row", "0"}, {"col", "2"}});  // a filled cell empties without asking
    EXPECT_EQ(page.Value("layout"), "-2");
    EXPECT_EQ(GridShown(page), (Grid{{"1", "2", " "}}));
    EXPECT_EQ(page.Value("name"), "Kept name");
    EXPECT_EQ(page.Value("title"), "The Past");

    // Choosing a position fills the inputs in place: no rebuild.
    page.Type("name", "Typed after the rebuild");
    page.Choose("desclist", "1");
    const int writes = page.Writes();
    page.Click("desclist");
    EXPECT_EQ(page.Writes(), writes);
    EXPECT_EQ(page.Value("title"), "The Present");
    EXPECT_EQ(page.Value("description"), "Where things stand now and the forces most active at this moment.");
    EXPECT_EQ(page.Value("name"), "Typed after the rebuild");
    EXPECT_EQ(data.selectedPosition, 1);

    // Update rewrites the chosen position; its cells keep their number.
    page.Type("title", "Now");
    page.Type("description", "Today");
    page.Click("updatepos");
    EXPECT_EQ(PositionListShown(page),
              ListOf("<option  value='0'>1 - The Past</option><option selected value='1'>2 - Now</option>"
                     "<option  value='2'>3 - The Future</option>"));
    EXPECT_EQ(GridShown(page), (Grid{{"1", "2", " "}}));
    EXPECT_EQ(data.editLayout.positions[1], "Now|Today");
    EXPECT_EQ(page.Value("name"), "Typed after the rebuild");

    // A changed select counts only with Refresh.
    page.Choose("cols", "5");
    Place(page, 2, 0, 2);
    EXPECT_EQ(page.Value("cols"), "3");
    EXPECT_EQ(GridShown(page), (Grid{{"1", "2", "3"}}));

    // A bar in the title is kept and splits when read back.
    AddPosition(page, "x|y", "z");
    EXPECT_EQ(data.editLayout.positions.back(), "x|y|z");
    EXPECT_EQ(page.Value("title"), "x");
    EXPECT_EQ(page.Value("description"), "y");
}

TEST(EditorFlow, CancelAndTheOtherWaysToTheListDropTheEdits) {
    Session session;
    PageDouble& page = session.page();
    const OracleData& data = session.dialog().Data();
    const std::string fileBefore = ReadBytes(kLayouts);

    // Edit on an untouched list opens the first layout.
    OpenEditor(page);
    page.Click("editlayout");
    EXPECT_EQ(page.Value("layout"), "0");
    EXPECT_EQ(page.Value("name"), "Single Card");
    EXPECT_EQ(session.dialog().CurrentLayout(), 0);

    AddPosition(page, "Extra", "More");
    page.Type("name", "Changed");
    page.ClickInFragment("editor");
    EXPECT_EQ(LayoutListShown(page), kSampleLayoutNames);
    EXPECT_EQ(data.layouts[0].name, "Single Card");
    EXPECT_EQ(data.layouts[0].positionCount, 1);
    EXPECT_EQ(ReadBytes(kLayouts), fileBefore);

    const std::string list = page.Fragment();
    page.Click("home", {{"class", "btn"}});
    page.Key("Alt+E");
    EXPECT_EQ(page.Fragment(), list);
    page.Click("home", {{"class", "btn"}});
    page.Click("editor", {{"class", ""}});  // the underlined letter of the menu link
    EXPECT_EQ(page.Fragment(), list);
}

TEST(EditorFlow, LayoutsAreDuplicatedAndAfterAQuestionDeletedBesideTheList) {
    Session session;
    PageDouble& page = session.page();
    const OracleData& data = session.dialog().Data();
    const std::vector<std::string> before = DecodeWithCoreutils(kLayouts);
    // A reading of the Horseshoe, so the form offers it next.
    page.Click("tarotbtn");
    page.Choose("layout", "4");
    page.Click("reading");

    OpenEditor(page);
    EXPECT_EQ(LayoutListShown(page), kSampleLayoutNames) << "the list page stays as it is";
    ASSERT_EQ(page.Parts().controls.size(), 2u);
    page.Choose("layout", "3");
    page.Click("duplicatelayout");
    EXPECT_EQ(MessageTexts(page), std::vector<std::string>{"Layout successfully added"});
    std::vector<std::string> names = kSampleLayoutNames;
    names.push_back("Celtic Cross (copy)");
    EXPECT_EQ(LayoutListShown(page), names);
    EXPECT_EQ(page.Value("layout"), "10") << "the copy is chosen, ready for Edit";
    // The copy is the layout again under its new name, saved at once.
    const std::vector<std::string> after = DecodeWithCoreutils(kLayouts);
    EXPECT_EQ(after[0], "11");
    EXPECT_TRUE(std::equal(before.begin() + 1, before.end(), after.begin() + 1)) << "the others stay as they were";
    EXPECT_EQ(std::count(after.begin(), after.end(), "Celtic Cross (copy)"), 1);
    EXPECT_EQ(data.LayoutAt(10).positions, data.LayoutAt(3).positions);
    EXPECT_EQ(data.LayoutAt(10).grid, data.LayoutAt(3).grid);

    // Delete asks first; Cancel keeps everything.
    page.Messages().clear();
    page.Choose("layout", "1");
    page.AnswerNext(kIdCancel);
    page.Click("deletelayout");
    ASSERT_EQ(page.Messages().size(), 1u);
    EXPECT_EQ(page.Messages()[0].message, "Are you sure?");
    EXPECT_EQ(page.Messages()[0].icon, kIconQuestion);
    EXPECT_EQ(DecodeWithCoreutils(kLayouts), after);

    page.Messages().clear();
    page.Choose("layout", "1");
    page.Click("deletelayout");
    EXPECT_EQ(MessageTexts(page), (std::vector<std::string>{"Are you sure?", "Layout successfully deleted"}));
    names.erase(names.begin() + 1);
    EXPECT_EQ(LayoutListShown(page), names);
    const std::vector<std::string> deleted = DecodeWithCoreutils(kLayouts);
    EXPECT_EQ(deleted[0], "10");
    EXPECT_EQ(std::count(deleted.begin(), deleted.end(), "Past, Present, Future"), 0);
    // The form's choice follows its layout to its new place.
    page.Click("tarotbtn");
    EXPECT_TRUE(Shows(page, "<option selected value='3'>Horseshoe</option>"));

    // With nothing to act on, each says so and changes nothing.
    for (int i = 0; i < 10; ++i) {
        OpenEditor(page);
        page.Click("deletelayout");
    }
    page.Messages().clear();
    OpenEditor(page);
    page.Click("duplicatelayout");
    page.Click("deletelayout");
    EXPECT_EQ(MessageTexts(page), (std::vector<std::string>{"There is no layout to duplicate", "There is no layout to delete"}));
    EXPECT_EQ(DecodeWithCoreutils(kLayouts), std::vector<std::string>{"0"});
}

}  // namespace
}  // namespace sw::testing
