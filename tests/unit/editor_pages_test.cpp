// The layout editor's pages, compared character for character with pages
// kept as they must read.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "store/oracle_data.h"

namespace sw {
namespace {

// The pages as they must read, byte for byte, kept in tests/unit/pages/
// (each file ends with one line end of its own).
std::string StoredPage(const std::string& name) {
    std::ifstream in(std::string(SAGEWEND_SOURCE_DIR) + "/tests/unit/pages/" + name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(text.empty()) << name;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// One option of the position list: index, number and title as shown.
std::string PositionOption(int index, const std::string& title, bool selected) {
    const std::string i = std::to_string(index);
    const std::string n = std::to_string(index + 1);
    return (selected ? "<option selected value='" : "<option  value='") + i + "'>" + n + " - " + title + "</option>";
}

std::string ExpectedPositionList(const std::vector<std::string>& options) {
    std::string html = "<select id='desclist' size=4 style='width:400px'>";
    for (const auto& option : options) html += option;
    html += "</select>";
    return html;
}

// ---- the store the pages are built from -----------------------------------

const std::string kQuotedName = "Dad's \"big\" choice";

LayoutRecord Layout(const std::string& name, std::vector<std::string> positions, int columns, int rows) {
    LayoutRecord layout;
    layout.name = name;
    layout.positions = std::move(positions);
    layout.positionCount = static_cast<int>(layout.positions.size());
    layout.columns = columns;
    layout.rows = rows;
    return layout;
}

// Layout 0: plain, no positions, 2 x 1. Layout 1: the quoted name, quotes and
// markup in its texts, a 2-column 3-row grid with a number in a hidden cell.
// Layout 2: markup in its name.
OracleData MakeStore() {
    OracleData data{OracleData::NoLoad{}};
    data.layouts.push_back(Layout("Empty one", {}, 2, 1));
    LayoutRecord quoted = Layout(kQuotedName,
                                 {"Say \"hi\"|It's <b>bold</b> & \"loud\"", "Present|Where things stand",
                                  "|Lead||Second|Third"},
                                 2, 3);
    quoted.grid[0][0] = "1";
    quoted.grid[1][1] = "2";
    quoted.grid[2][0] = "3";
    quoted.grid[2][1] = "10";
    quoted.grid[0][2] = "2";  // outside the columns in use
    quoted.grid[9][9] = "3";
    data.layouts.push_back(quoted);
    data.layouts.push_back(Layout("<i>Markup</i> & more", {"Only|One"}, 1, 1));
    data.layoutCount = static_cast<int>(data.layouts.size());
    data.selectedLayout = 7;
    data.selectedPosition = 5;
    return data;
}

// ---- list page -------------------------------------------------------------

TEST(LayoutListPage, ListsEveryNameAsTextInFileOrder) {
    OracleData data = MakeStore();
    // Names are text: markup in one shows as typed and cannot leave its option.
    EXPECT_EQ(data.BuildLayoutListPage(), StoredPage("list.html"));
}

TEST(LayoutListPage, EmptyStoreGivesAnEmptySelect) {
    OracleData data{OracleData::NoLoad{}};
    EXPECT_EQ(data.BuildLayoutListPage(), StoredPage("list-empty.html"));
}

TEST(LayoutListPage, ShowingItChangesNoEditingState) {
    OracleData data = MakeStore();
    data.BuildLayoutEditorPage(1);
    data.editLayout.name = "typed";
    data.BuildLayoutListPage();
    EXPECT_EQ(data.selectedLayout, 1);
    EXPECT_EQ(data.selectedPosition, 0);
    EXPECT_EQ(data.editLayout.name, "typed");
}

// ---- editing page ------------------------------------------------------------

TEST(LayoutEditorPage, NewLayoutStartsEmptyWithThePlaceholder) {
    OracleData data = MakeStore();
    // Left over from an earlier edit: mode -1 must drop all of it.
    data.editLayout.Assign(data.layouts[1]);
    EXPECT_EQ(data.BuildLayoutEditorPage(-1), StoredPage("new.html"));
    EXPECT_EQ(data.selectedLayout, -1);
    EXPECT_EQ(data.selectedPosition, -1);
    EXPECT_EQ(data.editLayout.positionCount, 0);
    EXPECT_TRUE(data.editLayout.positions.empty());
    EXPECT_EQ(data.editLayout.name, "");
    EXPECT_EQ(data.editLayout.grid[9][9], " ");
}

TEST(LayoutEditorPage, ExistingLayoutShowsItsFirstPositionAndItsGridInUse) {
    OracleData data = MakeStore();
    EXPECT_EQ(data.BuildLayoutEditorPage(1), StoredPage("existing.html"));
    EXPECT_EQ(data.selectedLayout, 1);
    EXPECT_EQ(data.selectedPosition, 0);
    // The working copy is the whole record, hidden cells included.
    EXPECT_EQ(data.editLayout.name, kQuotedName);
    EXPECT_EQ(data.editLayout.positions, data.layouts[1].positions);
    EXPECT_EQ(data.editLayout.grid, data.layouts[1].grid);
}

TEST(LayoutEditorPage, ExistingLayoutWithoutPositionsShowsThePlaceholder) {
    OracleData data = MakeStore();
    EXPECT_EQ(data.BuildLayoutEditorPage(0), StoredPage("without-positions.html"));
    EXPECT_EQ(data.selectedLayout, 0);
    EXPECT_EQ(data.selectedPosition, -1);
}

TEST(LayoutEditorPage, RebuildShowsTheWorkingCopyAsChanged) {
    OracleData data = MakeStore();
    data.BuildLayoutEditorPage(1);
    data.editLayout.name = "Renamed \"again\" <now>";
    data.AddPosition("x|y", "z");
    data.selectedPosition = 1;
    data.editLayout.columns = 3;
    data.editLayout.rows = 1;
    data.editLayout.grid[0][1] = "4";

    // Column 2 of row 0 held a number all along; it shows once in use.
    EXPECT_EQ(data.BuildLayoutEditorPage(-2), StoredPage("rebuilt.html"));
    // Mode -2 touches nothing.
    EXPECT_EQ(data.selectedLayout, 1);
    EXPECT_EQ(data.selectedPosition, 1);
    EXPECT_EQ(data.editLayout.positionCount, 4);
    EXPECT_EQ(data.layouts[1].positionCount, 3);
}

TEST(LayoutEditorPage, NewLayoutShowsItsListFromTheFirstRebuildWithAPosition) {
    OracleData data = MakeStore();
    data.BuildLayoutEditorPage(-1);
    data.AddPosition("A", "a");
    EXPECT_EQ(data.BuildLayoutEditorPage(-2), StoredPage("new-with-position.html"));
}

TEST(LayoutEditorPage, EmptyPiecesAreSkippedAndAThirdPieceIsIgnored) {
    OracleData data = MakeStore();
    data.BuildLayoutEditorPage(1);
    data.selectedPosition = 2;
    const std::string page = data.BuildLayoutEditorPage(-2);
    EXPECT_NE(page.find("name='title' type='text' value=\"Lead\""), std::string::npos);
    EXPECT_NE(page.find("name='description' type='text' value=\"Second\""), std::string::npos);
}

// ---- position list ---------------------------------------------------------

TEST(PositionList, MarksOnlyTheSelectedPosition) {
    OracleData data = MakeStore();
    data.editLayout.Assign(data.layouts[1]);
    data.selectedPosition = 2;
    EXPECT_EQ(data.BuildPositionList(), ExpectedPositionList({
                                            PositionOption(0, "Say &quot;hi&quot;", false),
                                            PositionOption(1, "Present", false),
                                            PositionOption(2, "Lead", true),
                                        }));
    data.selectedPosition = -1;
    EXPECT_EQ(data.BuildPositionList(), ExpectedPositionList({
                                            PositionOption(0, "Say &quot;hi&quot;", false),
                                            PositionOption(1, "Present", false),
                                            PositionOption(2, "Lead", false),
                                        }));
}

// ---- working-copy operations -------------------------------------------------

TEST(PositionEditing, AddAndUpdateJoinTitleAndDescription) {
    OracleData data = MakeStore();
    data.BuildLayoutEditorPage(-1);
    data.AddPosition("A", "a");
    data.AddPosition("x|y", "z");
    EXPECT_EQ(data.editLayout.positions, (std::vector<std::string>{"A|a", "x|y|z"}));
    EXPECT_EQ(data.editLayout.positionCount, 2);
    EXPECT_EQ(data.selectedPosition, 1);
    data.selectedPosition = 0;
    data.UpdatePosition(1, "B", "b");
    EXPECT_EQ(data.editLayout.positions, (std::vector<std::string>{"A|a", "B|b"}));
    EXPECT_EQ(data.selectedPosition, 0);
    EXPECT_EQ(data.editLayout.positionCount, 2);
}

TEST(PositionEditing, DeleteEmptiesTheHighestNumberAcrossTheWholeGrid) {
    OracleData data = MakeStore();
    data.BuildLayoutEditorPage(1);  // 3 positions; "3" at [2][0] in use and at [9][9] hidden
    data.DeletePosition(0);
    EXPECT_EQ(data.editLayout.positions,
              (std::vector<std::string>{"Present|Where things stand", "|Lead||Second|Third"}));
    EXPECT_EQ(data.editLayout.positionCount, 2);
    EXPECT_EQ(data.selectedPosition, 1);
    EXPECT_EQ(data.editLayout.grid[2][0], " ");
    EXPECT_EQ(data.editLayout.grid[9][9], " ");
    EXPECT_EQ(data.editLayout.grid[0][0], "1");
    EXPECT_EQ(data.editLayout.grid[1][1], "2");
    EXPECT_EQ(data.editLayout.grid[0][2], "2");
    EXPECT_EQ(data.editLayout.grid[2][1], "10");  // not "1": whole cells are compared
    // The store itself is untouched until Save.
    EXPECT_EQ(data.layouts[1].positionCount, 3);
    EXPECT_EQ(data.layouts[1].grid[9][9], "3");

    data.DeletePosition(1);
    data.DeletePosition(0);
    EXPECT_EQ(data.selectedPosition, -1);
    EXPECT_EQ(data.editLayout.grid[0][0], " ");
    EXPECT_EQ(data.editLayout.grid[1][1], " ");
    EXPECT_EQ(data.editLayout.grid[0][2], " ");
}

}  // namespace
}  // namespace sw
