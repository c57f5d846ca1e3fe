#pragma once
// A spread layout: a grid of up to 10 x 10 cells and its positions.
#include <array>
#include <string>
#include <vector>

namespace sw {

inline constexpr int kGridSize = 10;
inline constexpr const char* kLayoutTerminator = "#######LAYOUT#######";

struct LayoutPosition {
    int number = 0;
    std::string title;
    std::string description;
};

class LayoutRecord {
public:
    int positionCount = 0;
    std::vector<std::string> positions;  // "title|description", entry k is position k + 1
    bool storedFlag = false;
    std::string name;
    int rows = 3;
    int columns = 3;
    std::array<std::array<std::string, kGridSize>, kGridSize> grid;  // [row][column], " " when empty

    LayoutRecord() { Reset(); }
    void Reset();
    void Assign(const LayoutRecord& other);
    // The view of position index (0-based) split into title and description.
    LayoutPosition Position(int index) const;
    // The cell at row and column, and the text of position index (0-based);
    // no bounds check, as with the arrays themselves.
    std::string& Cell(int row, int column) { return grid[row][column]; }
    const std::string& Cell(int row, int column) const { return grid[row][column]; }
    const std::string& PositionText(int index) const { return positions[index]; }
};

// Title and description of a position text: the first and second non-empty
// pieces between "|" separators.
std::string PositionTitle(const std::string& text);
std::string PositionDescription(const std::string& text);

}  // namespace sw
