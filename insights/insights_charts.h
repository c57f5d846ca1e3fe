#pragma once
// The Insights page's charts: SVG drawn here from figures the page has
// already computed, each followed by a table of the very same figures (for
// screen readers, and for print), so the chart never says what the table
// does not. The page's style sheet colours them (res/main.css, .sw-chart),
// so a print comes out dark on white.
#include <optional>
#include <string>
#include <vector>

namespace sw {

struct Chart {
    enum class Shape {
        Bars,     // one horizontal bar per row, its label beside it
        Columns,  // one column per row, stacked when there are several series
    };
    struct Row {
        std::string label;            // text
        std::vector<double> values;   // one per series
        std::optional<double> chance; // what chance would give, drawn as a mark
        std::string mark;             // a shorter label under a column, when given
    };
    std::string id;     // unique on the page: names the caption
    std::string title;  // the caption of the chart and of its table
    Shape shape = Shape::Bars;
    std::string rowHeader;              // the table's first column ("Card")
    std::vector<std::string> series;    // the values' names ("Came up")
    std::string chanceHeader;           // "Chance would give", when rows have one
    bool percent = false;               // values are percentages
    std::vector<Row> rows;

    Chart(std::string id, std::string title, Shape shape, std::string rowHeader, std::vector<std::string> series,
          std::string chanceHeader = "");
    Row& Add(std::string label, std::vector<double> values, std::optional<double> chance = std::nullopt);
    bool HasChance() const;
};

// The chart and its table; a sentence instead when it has no rows.
std::string DrawChart(const Chart& chart);

}  // namespace sw
