// The layout editor's pages and its changes to the working copy:
// OracleData's operations declared in store/oracle_data.h.
//
// Save writes the whole store over data/layouts.dat, so it first makes
// sure the file still holds what this program last read or wrote. When
// something else (a second program, a hand) has written it since, writing
// memory over it would lose what that wrote: the file is read again, the
// user told, and the working copy kept, so a second Save adds it to the
// file as it now is (or puts it in place of the layout it was opened from,
// when that is still there unchanged).
#include <algorithm>

#include "app/msg_box.h"
#include "core/text.h"
#include "store/data_format.h"
#include "store/oracle_data.h"

namespace sw {

namespace {
std::string JoinPosition(const std::string& title, const std::string& description) {
    std::string text = title;
    text += '|';
    text += description;
    return text;
}

// Whether two layouts would be stored as the same lines.
bool SameStoredLayout(const LayoutRecord& a, const LayoutRecord& b) {
    return LayoutFileLines({a}) == LayoutFileLines({b});
}

constexpr const char* kChangedElsewhere =
    "data/layouts.dat has been changed by another program since Sagewend read it, so your layout was not saved. ";
}  // namespace

std::string OracleData::BuildLayoutListPage() const {
    std::string html;
    html += "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
    html += "<BR><BR><BR><h3>Select the layout you wish to edit or click add to create a new one.</h3><BR><BR>";
    html += "<table width=300 cellpadding='15' cellspacing='0' style='border:ridge 3 #FFFFFF'><tr>";
    html += "<tr><td><b>Layouts:</b></td>";
    html += "<td style='vertical-align:top; text-align:left'><select name='layout'>";
    for (int i = 0; i < layoutCount; ++i)
        html += Format("<option value='%d'>%s</option>", i, EscapeHtml(LayoutAt(i).name).c_str());
    html += "</select></td></tr>";
    html += "<td style='text-align:center;' colspan=2><a class='btn' id='editlayout'>Edit</a><a class='btn' "
            "id='addlayout'>Add</a></td></tr>";
    html += "</table><br><BR><BR>";
    return html;
}

platform::PageParts OracleData::LayoutListParts() {
    platform::PageParts parts;
    parts.fields = {{"layout", "Layouts"}};
    parts.menu = "editor";
    // Beside the list, which stays as it is: what else can be done with
    // the layout chosen in it.
    platform::PageParts::Control duplicate;
    duplicate.id = "duplicatelayout";
    duplicate.label = "Duplicate";
    platform::PageParts::Control remove;
    remove.id = "deletelayout";
    remove.label = "Delete";
    parts.controls = {duplicate, remove};
    return parts;
}

platform::PageParts OracleData::LayoutEditorParts() {
    platform::PageParts parts;
    parts.fields = {{"name", "Name"},
                    {"title", "Position Title"},
                    {"description", "Description"},
                    {"desclist", "Card Positions", true},
                    {"cols", "Columns"},
                    {"rows", "Rows"}};
    parts.menu = "editor";
    return parts;
}

std::string OracleData::BuildPositionList() const {
    std::string html = "<select id='desclist' size=4 style='width:400px'>";
    for (int i = 0; i < editLayout.positionCount; ++i) {
        const char* format =
            i == selectedPosition ? "<option selected value='%d'>%d - %s</option>" : "<option  value='%d'>%d - %s</option>";
        html += Format(format, i, i + 1, EscapeHtml(PositionTitle(editLayout.PositionText(i))).c_str());
    }
    html += "</select>";
    return html;
}

std::string OracleData::BuildLayoutEditorPage(int mode) {
    // Values typed by the user go into double-quoted attributes: escaped, so
    // a quote in a name or title can never cut the text short.
    std::string html;
    html += "<table  cellpadding=5 border=0><tr><td align='center' valign='top'>";
    html += Format("<input name='layout' type='hidden' value='%d'>", mode);
    if (mode >= 0) {
        selectedLayout = mode;
        editLayout.Assign(LayoutAt(mode));
        editedFrom_.Assign(LayoutAt(mode));
        selectedPosition = editLayout.positionCount > 0 ? 0 : -1;
    } else if (mode == -1) {
        selectedLayout = -1;
        editLayout.Reset();
        selectedPosition = -1;
    }
    const bool hasSelection = selectedPosition >= 0 && selectedPosition < editLayout.positionCount;
    const std::string positionText =
        hasSelection ? editLayout.PositionText(selectedPosition) : std::string();
    html += "<input name='position' type='hidden' value='-1'>";
    html += Format("<tr><td style='font-weight:bold;font-size:10pt' >Name:</td><td><input name='name' type='text' "
                   "value=\"%s\" SIZE='40'></td></tr>",
                   EscapeHtml(editLayout.name).c_str());
    html += "<tr><td style='font-weight:bold;font-size:10pt'>&nbsp;</td></tr>";
    html += "<tr><td style='font-weight:bold;font-size:10pt'>Position Title:</td><td><input name='title' "
            "type='text' value=\"";
    if (hasSelection) html += EscapeHtml(PositionTitle(positionText));
    html += "\" SIZE='40'></td></tr>";
    html += "<tr><td style='font-weight:bold;font-size:10pt' >Description:</td></tr><tr><td colspan=2><input "
            "name='description' type='text' value=\"";
    if (hasSelection) html += EscapeHtml(PositionDescription(positionText));
    html += "\" style='width:400px'></td></tr>";
    html += "<td style='text-align:center;' colspan=2><a class='btn' id='updatepos'>Update</a><a class='btn' "
            "id='deletepos'>Delete</a><a class='btn' id='addpos'>Add</a></td></tr>";
    html += "<tr><td colspan=2 style='font-weight:bold;font-size:10pt'>";
    html += "Card Positions:<br>";
    if (mode != -1 && editLayout.positionCount != 0) {
        html += BuildPositionList();
    } else {
        html += "<select id='desclist' size=4 style='width:400px'>";
        html += "<option selected value='-1'>Enter a Card position</option>";
        html += "</select>";
    }
    html += "</td></tr>";
    html += "<tr><td align=center style='font-weight:bold;font-size:10pt;'  colspan=2>Columns:&nbsp;&nbsp;";
    auto sizeOptions = [&](int current) {
        for (int v = 1; v <= 10; ++v)
            html += Format(v == current ? "<option value='%d' SELECTED>%d</option>" : "<option value='%d'>%d</option>", v, v);
    };
    html += "<select id='cols'>";
    sizeOptions(editLayout.columns);
    html += "</select>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
    html += "Rows:&nbsp;&nbsp;";
    html += "<select id='rows'>";
    sizeOptions(editLayout.rows);
    html += "</select>&nbsp;&nbsp;&nbsp;<a class='btn' id='refreshgrid'>Refresh</a></td></tr>";
    html += "<tr><td colspan=2 style='font-weight:bold;font-size:10pt' align=center>";
    html += "<table border=1  cellpadding=10 cellspacing=0>";
    for (int r = 0; r < editLayout.rows; ++r) {
        html += "<tr>";
        for (int c = 0; c < editLayout.columns; ++c) {
            const std::string& cell = editLayout.Cell(r, c);
            if (cell != " ") {
                html += Format("<td row='%d' col='%d' id='gridfilled' class='gridfilled'>", r, c);
                html += EscapeHtml(cell);
                html += "</td>";
            } else {
                html += Format("<td row='%d' col='%d' class='grid' id='grid'>&nbsp;</td>", r, c);
            }
        }
        html += "</tr>";
    }
    html += "</table>";
    html += "</td></tr>";
    html += "<tr><td colspan=2 align=center>";
    html += "<a class='btn' id='savelayout'>Save</a><a class='btn' id='editor'>Cancel</a>";
    html += "</td></tr>";
    html += "</table>";
    return html;
}

bool OracleData::LayoutsFileStillOurs() {
    std::string problem;
    std::string message;
    switch (RereadChangedLayouts(&problem)) {
        case LayoutsFile::kUnchanged: return true;
        case LayoutsFile::kRemoved:
            message = "data/layouts.dat has been removed since Sagewend read it, so your layout was not saved. It is "
                      "still here: Save again to write the file anew with the layouts Sagewend shows.";
            break;
        case LayoutsFile::kUnreadable:
            message = std::string(kChangedElsewhere) + "The file cannot be read now (" + problem +
                      "). Your layout is still here: mend or remove the file, then Save again.";
            break;
        case LayoutsFile::kReread: {
            message = std::string(kChangedElsewhere) + "Sagewend has read the file again, and your layout is still here: ";
            if (selectedLayout < 0) {
                message += "Save again to add it to the layouts as they are now.";
                break;
            }
            const auto same = std::find_if(layouts.begin(), layouts.end(),
                                           [&](const LayoutRecord& layout) { return SameStoredLayout(layout, editedFrom_); });
            if (same != layouts.end()) {
                selectedLayout = static_cast<int>(same - layouts.begin());
                message += "Save again to put it in place of the layout you opened.";
            } else {
                // The layout it was opened from has changed or gone there:
                // both versions are kept.
                selectedLayout = -1;
                message += "the layout you opened has been changed or removed there, so Save again adds yours as a "
                           "new layout.";
            }
            break;
        }
    }
    CMsgBox().Show(message, platform::kIconExclamation);
    return false;
}

bool OracleData::SaveEditedLayout(const std::string& name) {
    editLayout.name = name;
    if (!LayoutsFileStillOurs()) return false;
    // Keep the store as it was, so a save that cannot write changes nothing
    // in memory either and the user can try again.
    std::vector<LayoutRecord> previous = layouts;
    const int previousCount = layoutCount;
    const bool adding = selectedLayout == -1 || !IsLayoutIndex(selectedLayout);
    if (adding) {
        LayoutRecord added;
        added.Assign(editLayout);
        layouts.push_back(std::move(added));
        layoutCount = static_cast<int>(layouts.size());
    } else {
        LayoutAt(selectedLayout).Assign(editLayout);
    }
    if (!SaveLayouts()) {
        layouts = std::move(previous);
        layoutCount = previousCount;
        return false;
    }
    CMsgBox().Show(adding ? "Layout successfully added" : "Layout successfully updated", platform::kIconExclamation);
    return true;
}

bool OracleData::DeleteLayout(int index) {
    if (!IsLayoutIndex(index)) return false;
    std::vector<LayoutRecord> previous = layouts;
    layouts.erase(layouts.begin() + index);
    layoutCount = static_cast<int>(layouts.size());
    if (!SaveLayouts()) {
        layouts = std::move(previous);
        layoutCount = static_cast<int>(layouts.size());
        return false;
    }
    // The reading form's choice follows its layout, or falls back to the first.
    if (selectedLayout == index) selectedLayout = 0;
    else if (selectedLayout > index) --selectedLayout;
    return true;
}

bool OracleData::DuplicateLayout(int index) {
    if (!IsLayoutIndex(index)) return false;
    LayoutRecord copy;
    copy.Assign(LayoutAt(index));
    copy.name += " (copy)";
    layouts.push_back(std::move(copy));
    layoutCount = static_cast<int>(layouts.size());
    if (!SaveLayouts()) {
        layouts.pop_back();
        layoutCount = static_cast<int>(layouts.size());
        return false;
    }
    return true;
}

void OracleData::AddPosition(const std::string& title, const std::string& description) {
    ++editLayout.positionCount;
    editLayout.positions.push_back(JoinPosition(title, description));
    selectedPosition = static_cast<int>(editLayout.positions.size()) - 1;
}

void OracleData::UpdatePosition(int index, const std::string& title, const std::string& description) {
    editLayout.positions[index] = JoinPosition(title, description);
}

void OracleData::DeletePosition(int index) {
    const std::string highest = std::to_string(editLayout.positionCount);
    --editLayout.positionCount;
    editLayout.positions.erase(editLayout.positions.begin() + index);
    selectedPosition = static_cast<int>(editLayout.positions.size()) - 1;
    // Every cell of the whole grid, in use or not, so a later Refresh never
    // shows a number that names no position.
    for (auto& row : editLayout.grid)
        for (auto& cell : row)
            if (cell == highest) cell.assign(1, ' ');
}

}  // namespace sw
