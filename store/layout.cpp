#include "store/layout.h"

#include <algorithm>

#include "core/text.h"
#include "store/data_format.h"

namespace sw {

void LayoutRecord::Reset() {
    for (auto& row : grid) row.fill(" ");
    rows = 3;
    columns = 3;
    positionCount = 0;
    positions.clear();
    storedFlag = false;
    name.clear();
}

void LayoutRecord::Assign(const LayoutRecord& other) {
    if (&other == this) return;
    grid = other.grid;
    rows = other.rows;
    columns = other.columns;
    positionCount = other.positionCount;
    positions = other.positions;
    storedFlag = other.storedFlag;
    name = other.name;
}

LayoutPosition LayoutRecord::Position(int index) const {
    LayoutPosition position;
    position.number = index + 1;
    if (index >= 0 && index < static_cast<int>(positions.size())) {
        const std::string& text = PositionText(index);
        position.title = PositionTitle(text);
        position.description = PositionDescription(text);
    }
    return position;
}

std::string ShortCount(int count, int found, const char* one, const char* many) {
    if (found == 0) return Format("the count is %d, but no %s follows it", count, one);
    if (found == 1) return Format("the count is %d, but only 1 %s follows it", count, one);
    return Format("the count is %d, but only %d %s follow it", count, found, many);
}

std::string ShortCountMessage(const std::string& path, const ReadProblem& problem, const char* consequence) {
    return Format("%s, line %d: %s. %s", path.c_str(), problem.line, problem.message.c_str(), consequence);
}

std::string PositionTitle(const std::string& text) { return Token(text, '|', 0); }
std::string PositionDescription(const std::string& text) { return Token(text, '|', 1); }

namespace {

// Splits a row line on "#", skipping empty pieces, but stops once there are
// more pieces than a row can hold so a hostile line costs nothing.
bool SplitRow(const std::string& line, std::vector<std::string>& pieces) {
    pieces.clear();
    std::size_t start = 0;
    while (start < line.size()) {
        std::size_t end = line.find('#', start);
        if (end == std::string::npos) end = line.size();
        if (end > start) {
            if (static_cast<int>(pieces.size()) == kGridSize) return false;
            pieces.emplace_back(line, start, end - start);
        }
        start = end + 1;
    }
    return true;
}

std::string OneLine(const std::string& text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), '\n', ' ');
    std::replace(out.begin(), out.end(), '\r', ' ');
    return out;
}

}  // namespace

bool ReadLayouts(LineSource& in, std::vector<LayoutRecord>& layouts, ReadProblem* problem,
                 std::vector<LayoutLines>* lines, int* countLine) {
    auto fail = [&](std::string message) {
        if (problem) *problem = {in.LineNumber(), std::move(message)};
        return false;
    };
    layouts.clear();
    if (lines) lines->clear();

    std::string line;
    in.ReadString(line);
    const int first = in.LineNumber();
    if (countLine) *countLine = first;
    const int count = CAtoi(line);
    if (count < 0) return fail(Format("negative layout count %d", count));

    std::vector<std::string> pieces;
    // Records are added as they are read, never allocated from the count:
    // a count the file cannot hold ends at the file's end.
    for (int i = 0; i < count; ++i) {
        const int number = i + 1;
        auto ended = [&] { return fail(Format("layout %d: the file ends before its terminator", number)); };
        if (!in.ReadString(line)) {
            // The lines end where a layout should begin: the count is larger
            // than the layouts there are, and those are the store.
            if (problem) *problem = {first, ShortCount(count, i, "layout", "layouts")};
            return true;
        }
        LayoutLines where;
        LayoutRecord& layout = layouts.emplace_back();
        where.first = in.LineNumber();
        layout.positionCount = CAtoi(line);
        if (layout.positionCount < 0)
            return fail(Format("layout %d: negative position count %d", number, layout.positionCount));
        // Not a line is read for positions the file cannot hold.
        const std::size_t left = in.LinesLeft();
        if (static_cast<std::size_t>(layout.positionCount) > left)
            return fail(Format("layout %d: the position count is %d, but %s", number, layout.positionCount,
                               left == 0   ? "no line follows it"
                               : left == 1 ? "only 1 line follows it"
                                           : Format("only %zu lines follow it", left).c_str()));
        if (!in.ReadString(line)) return ended();
        layout.storedFlag = line == "1";
        if (!in.ReadString(layout.name)) return ended();
        for (int p = 0; p < layout.positionCount; ++p) {
            if (!in.ReadString(line)) return ended();
            if (p == 0) where.positions = in.LineNumber();
            layout.positions.push_back(line);
        }
        if (!in.ReadString(line)) return ended();
        where.columns = in.LineNumber();
        layout.columns = CAtoi(line);
        if (layout.columns < 0 || layout.columns > kGridSize)
            return fail(Format("layout %d: %d columns; a grid has 0 to %d", number, layout.columns, kGridSize));
        if (!in.ReadString(line)) return ended();
        where.rows = in.LineNumber();
        layout.rows = CAtoi(line);
        if (layout.rows < 0 || layout.rows > kGridSize)
            return fail(Format("layout %d: %d rows; a grid has 0 to %d", number, layout.rows, kGridSize));
        for (int r = 0; r < layout.rows; ++r) {
            if (!in.ReadString(line)) return ended();
            where.rowLines.push_back(in.LineNumber());
            if (!SplitRow(line, pieces))
                return fail(Format("layout %d: row %d has more than %d cells", number, r + 1, kGridSize));
            auto& row = layout.grid[r];
            std::copy(pieces.begin(), pieces.end(), row.begin());
        }
        if (!in.ReadString(line)) return ended();
        where.terminator = in.LineNumber();
        if (line != kLayoutTerminator)
            return fail(Format("layout %d: expected the line \"%s\"", number, kLayoutTerminator));
        if (lines) lines->push_back(std::move(where));
    }
    return true;
}

std::vector<std::string> LayoutFileLines(const std::vector<LayoutRecord>& layouts) {
    std::vector<std::string> out;
    out.push_back(Format("%d", static_cast<int>(layouts.size())));
    for (const LayoutRecord& layout : layouts) {
        // Never more position lines than there are texts, and never a grid
        // larger than the array, whatever the counts say.
        const int positionCount = std::clamp(layout.positionCount, 0, static_cast<int>(layout.positions.size()));
        const int columns = std::clamp(layout.columns, 0, kGridSize);
        const int rows = std::clamp(layout.rows, 0, kGridSize);
        out.push_back(Format("%d", positionCount));
        out.push_back(layout.storedFlag ? "1" : "0");
        out.push_back(OneLine(layout.name));
        for (int p = 0; p < positionCount; ++p) out.push_back(OneLine(layout.PositionText(p)));
        out.push_back(Format("%d", columns));
        out.push_back(Format("%d", rows));
        for (int r = 0; r < rows; ++r) {
            std::string row;
            for (int c = 0; c < columns; ++c) {
                const std::string& cell = layout.Cell(r, c);
                row += cell.empty() ? std::string(" ") : OneLine(cell);
                row += '#';
            }
            if (!row.empty()) row.pop_back();
            out.push_back(std::move(row));
        }
        out.push_back(kLayoutTerminator);
    }
    return out;
}

}  // namespace sw
