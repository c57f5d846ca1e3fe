// The layout editor's pages, compared character for character with the
// pieces they are made of. Each expected page is put together here from the
// same literal pieces, in order, so a reader can check it piece by piece.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/oracle_data.h"

namespace sw {
namespace {

const std::string kQuote = "\"";

// ---- expected pages ------------------------------------------------------

std::string ExpectedListPage(const std::vector<std::string>& names) {
    std::string html;
    html += "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
    html += "<BR><BR><BR><h3>Select the layout you wish to edit or click add to create a new one.</h3><BR><BR>";
    html += "<table width=300 cellpadding='15' cellspacing='0' style='border:ridge 3 #FFFFFF'><tr>";
    html += "<tr><td><b>Layouts:</b></td>";
    html += "<td style='vertical-align:top; text-align:left'><select name='layout'>";
    for (std::size_t i = 0; i < names.size(); ++i)
        html += "<option value='" + std::to_string(i) + "'>" + names[i] + "</option>";
    html += "</select></td></tr>";
    html += "<td style='text-align:center;' colspan=2><a class='btn' id='editlayout'>Edit</a><a class='btn' "
            "id='addlayout'>Add</a></td></tr>";
    html += "</table><br><BR><BR>";
    return html;
}

const std::string kPlaceholderList = std::string("<select id='desclist' size=4 style='width:400px'>") +
                                     "<option selected value='-1'>Enter a Card position</option>" + "</select>";

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

std::string SizeOptions(int current) {
    std::string html;
    for (int v = 1; v <= 10; ++v) {
        const std::string s = std::to_string(v);
        html += v == current ? "<option value='" + s + "' SELECTED>" + s + "</option>"
                             : "<option value='" + s + "'>" + s + "</option>";
    }
    return html;
}

std::string FilledCell(int r, int c, const std::string& text) {
    return "<td row='" + std::to_string(r) + "' col='" + std::to_string(c) + "' id='gridfilled' class='gridfilled'>" +
           text + "</td>";
}

std::string EmptyCell(int r, int c) {
    return "<td row='" + std::to_string(r) + "' col='" + std::to_string(c) + "' class='grid' id='grid'>&nbsp;</td>";
}

// Rows of cells as the page shows them: "" for an empty cell.
std::string ExpectedGrid(const std::vector<std::vector<std::string>>& rows) {
    std::string html;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        html += "<tr>";
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const int ri = static_cast<int>(r), ci = static_cast<int>(c);
            html += rows[r][c].empty() ? EmptyCell(ri, ci) : FilledCell(ri, ci, rows[r][c]);
        }
        html += "</tr>";
    }
    return html;
}

struct EditorPage {
    int mode;
    std::string nameAttribute;   // as written into the value attribute
    std::string titleAttribute;
    std::string descriptionAttribute;
    std::string positionList;
    int columns;
    int rows;
    std::string grid;
};

std::string ExpectedEditorPage(const EditorPage& page) {
    std::string html;
    html += "<table  cellpadding=5 border=0><tr><td align='center' valign='top'>";
    html += "<input name='layout' type='hidden' value='" + std::to_string(page.mode) + "'>";
    html += "<input name='position' type='hidden' value='-1'>";
    html += "<tr><td style='font-weight:bold;font-size:10pt' >Name:</td><td><input name='name' type='text' value=" +
            kQuote + page.nameAttribute + kQuote + " SIZE='40'></td></tr>";
    html += "<tr><td style='font-weight:bold;font-size:10pt'>&nbsp;</td></tr>";
    html += "<tr><td style='font-weight:bold;font-size:10pt'>Position Title:</td><td><input name='title' type='text' "
            "value=" +
            kQuote;
    html += page.titleAttribute;
    html += kQuote + " SIZE='40'></td></tr>";
    html += "<tr><td style='font-weight:bold;font-size:10pt' >Description:</td></tr><tr><td colspan=2><input "
            "name='description' type='text' value=" +
            kQuote;
    html += page.descriptionAttribute;
    html += kQuote + " style='width:400px'></td></tr>";
    html += "<td style='text-align:center;' colspan=2><a class='btn' id='updatepos'>Update</a><a class='btn' "
            "id='deletepos'>Delete</a><a class='btn' id='addpos'>Add</a></td></tr>";
    html += "<tr><td colspan=2 style='font-weight:bold;font-size:10pt'>";
    html += "Card Positions:<br>";
    html += page.positionList;
    html += "</td></tr>";
    html += "<tr><td align=center style='font-weight:bold;font-size:10pt;'  colspan=2>Columns:&nbsp;&nbsp;";
    html += "<select id='cols'>";
    html += SizeOptions(page.columns);
    html += "</select>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
    html += "Rows:&nbsp;&nbsp;";
    html += "<select id='rows'>";
    html += SizeOptions(page.rows);
    html += "</select>&nbsp;&nbsp;&nbsp;<a class='btn' id='refreshgrid'>Refresh</a></td></tr>";
    html += "<tr><td colspan=2 style='font-weight:bold;font-size:10pt' align=center>";
    html += "<table border=1  cellpadding=10 cellspacing=0>";
    html += page.grid;
    html += "</table>";
    html += "</td></tr>";
    html += "<tr><td colspan=2 align=center>";
    html += "<a class='btn' id='savelayout'>Save</a><a class='btn' id='editor'>Cancel</a>";
    html += "</td></tr>";
    html += "</table>";
    return html;
}

// ---- the store the pages are built from -----------------------------------

const std::string kQuotedName = "Dad's \"big\" choice";
const std::string kQuotedNameAttribute = "Dad&#39;s &quot;big&quot; choice";

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
    EXPECT_EQ(data.BuildLayoutListPage(),
              ExpectedListPage({"Empty one", "Dad&#39;s &quot;big&quot; choice", "&lt;i&gt;Markup&lt;/i&gt; &amp; more"}));
}

TEST(LayoutListPage, EmptyStoreGivesAnEmptySelect) {
    OracleData data{OracleData::NoLoad{}};
    EXPECT_EQ(data.BuildLayoutListPage(), ExpectedListPage({}));
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
    const std::vector<std::vector<std::string>> empty(3, std::vector<std::string>(3));
    EXPECT_EQ(data.BuildLayoutEditorPage(-1),
              ExpectedEditorPage({-1, "", "", "", kPlaceholderList, 3, 3, ExpectedGrid(empty)}));
    EXPECT_EQ(data.selectedLayout, -1);
    EXPECT_EQ(data.selectedPosition, -1);
    EXPECT_EQ(data.editLayout.positionCount, 0);
    EXPECT_TRUE(data.editLayout.positions.empty());
    EXPECT_EQ(data.editLayout.name, "");
    EXPECT_EQ(data.editLayout.grid[9][9], " ");
}

TEST(LayoutEditorPage, ExistingLayoutShowsItsFirstPositionAndItsGridInUse) {
    OracleData data = MakeStore();
    const std::string list = ExpectedPositionList({
        PositionOption(0, "Say &quot;hi&quot;", true),
        PositionOption(1, "Present", false),
        PositionOption(2, "Lead", false),
    });
    const std::string grid = ExpectedGrid({{"1", ""}, {"", "2"}, {"3", "10"}});
    EXPECT_EQ(data.BuildLayoutEditorPage(1),
              ExpectedEditorPage({1, kQuotedNameAttribute, "Say &quot;hi&quot;",
                                  "It&#39;s &lt;b&gt;bold&lt;/b&gt; &amp; &quot;loud&quot;", list, 2, 3, grid}));
    EXPECT_EQ(data.selectedLayout, 1);
    EXPECT_EQ(data.selectedPosition, 0);
    // The working copy is the whole record, hidden cells included.
    EXPECT_EQ(data.editLayout.name, kQuotedName);
    EXPECT_EQ(data.editLayout.positions, data.layouts[1].positions);
    EXPECT_EQ(data.editLayout.grid, data.layouts[1].grid);
}

TEST(LayoutEditorPage, ExistingLayoutWithoutPositionsShowsThePlaceholder) {
    OracleData data = MakeStore();
    EXPECT_EQ(data.BuildLayoutEditorPage(0),
              ExpectedEditorPage({0, "Empty one", "", "", kPlaceholderList, 2, 1, ExpectedGrid({{"", ""}})}));
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

    const std::string list = ExpectedPositionList({
        PositionOption(0, "Say &quot;hi&quot;", false),
        PositionOption(1, "Present", true),
        PositionOption(2, "Lead", false),
        PositionOption(3, "x", false),
    });
    // Column 2 of row 0 held a number all along; it shows once in use.
    const std::string grid = ExpectedGrid({{"1", "4", "2"}});
    EXPECT_EQ(data.BuildLayoutEditorPage(-2),
              ExpectedEditorPage({-2, "Renamed &quot;again&quot; &lt;now&gt;", "Present", "Where things stand", list,
                                  3, 1, grid}));
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
    const std::vector<std::vector<std::string>> empty(3, std::vector<std::string>(3));
    EXPECT_EQ(data.BuildLayoutEditorPage(-2),
              ExpectedEditorPage({-2, "", "A", "a", ExpectedPositionList({PositionOption(0, "A", true)}), 3, 3,
                                  ExpectedGrid(empty)}));
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
