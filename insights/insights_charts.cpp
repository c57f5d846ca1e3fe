// Charts drawn as SVG with a table of their figures; declared in
// insights/insights_charts.h.
#include "insights/insights_charts.h"

#include <algorithm>
#include <cmath>

#include "app/page_pieces.h"
#include "core/text.h"

namespace sw {

namespace {

// Sizes in the SVG's own units; the style sheet lets it shrink with the window.
constexpr double kWidth = 600;
constexpr double kLabelWidth = 190;
constexpr double kValueWidth = 64;
constexpr double kRowHeight = 20;
constexpr double kBarHeight = 12;
constexpr double kColumnsHeight = 150;
constexpr double kAxisWidth = 40;
constexpr std::size_t kLabelCharacters = 24;  // what 184 px hold in a wide sans-serif

std::string Number(double value, bool percent) {
    if (percent) return Format("%.1f%%", value);
    if (std::fabs(value - std::round(value)) < 1e-9) return Thousands(std::llround(value));
    return Format(value < 10 ? "%.2f" : "%.1f", value);
}

std::string Px(double value) { return Format("%.1f", value); }

// About how wide a text is in the charts' 12px type.
double TextWidth(std::string_view text) { return 6.2 * static_cast<double>(text.size()); }

// A label cut to fit beside its bar; the table holds it whole.
std::string Shortened(const std::string& label) {
    const std::string_view kept = FirstCharacters(label, kLabelCharacters);
    return kept.size() < label.size() ? std::string(kept) + "\xE2\x80\xA6" : label;
}

double Largest(const Chart& chart) {
    double largest = 0;
    for (const Chart::Row& row : chart.rows) {
        double total = 0;
        for (double value : row.values) total += value;
        largest = std::max({largest, total, row.chance.value_or(0)});
    }
    return largest > 0 ? largest : 1;
}

std::string ColumnLabel(const Chart::Row& row) { return row.mark.empty() ? row.label : row.mark; }

std::string Legend(const Chart& chart, double y) {
    if (chart.series.size() < 2 && !chart.HasChance()) return {};
    std::string svg;
    double x = kAxisWidth;
    for (std::size_t s = 0; s < chart.series.size(); ++s) {
        svg += Format("<rect class='sw-bar%zu' x='%s' y='%s' width='10' height='10'/>", s % 3 + 1, Px(x).c_str(),
                      Px(y - 9).c_str());
        svg += Format("<text x='%s' y='%s'>%s</text>", Px(x + 14).c_str(), Px(y).c_str(),
                      EscapeHtml(chart.series[s]).c_str());
        x += 24 + TextWidth(chart.series[s]);
    }
    if (chart.HasChance()) {
        svg += Format("<line class='sw-chance' x1='%s' y1='%s' x2='%s' y2='%s'/>", Px(x + 5).c_str(), Px(y - 11).c_str(),
                      Px(x + 5).c_str(), Px(y + 1).c_str());
        svg += Format("<text x='%s' y='%s'>%s</text>", Px(x + 12).c_str(), Px(y).c_str(),
                      EscapeHtml(chart.chanceHeader).c_str());
    }
    return svg;
}

std::string Bars(const Chart& chart) {
    const double largest = Largest(chart);
    const double scale = (kWidth - kLabelWidth - kValueWidth) / largest;
    const bool legend = chart.series.size() > 1 || chart.HasChance();
    const double top = legend ? 22 : 4;
    const double height = top + kRowHeight * static_cast<double>(chart.rows.size()) + 4;
    std::string svg = Format("<svg class='sw-chart-svg' role='img' aria-labelledby='%s-title' viewBox='0 0 %s %s' "
                             "width='%s' height='%s'>",
                             chart.id.c_str(), Px(kWidth).c_str(), Px(height).c_str(), Px(kWidth).c_str(),
                             Px(height).c_str());
    svg += Legend(chart, 14);
    double y = top;
    for (const Chart::Row& row : chart.rows) {
        const double middle = y + kRowHeight / 2;
        svg += Format("<text class='sw-label' x='%s' y='%s' text-anchor='end'>%s</text>", Px(kLabelWidth - 6).c_str(),
                      Px(middle + 4).c_str(), EscapeHtml(Shortened(row.label)).c_str());
        double x = kLabelWidth;
        double total = 0;
        for (std::size_t s = 0; s < row.values.size(); ++s) {
            const double width = row.values[s] * scale;
            if (width > 0)
                svg += Format("<rect class='sw-bar%zu' x='%s' y='%s' width='%s' height='%s'/>", s % 3 + 1, Px(x).c_str(),
                              Px(middle - kBarHeight / 2).c_str(), Px(width).c_str(), Px(kBarHeight).c_str());
            x += width;
            total += row.values[s];
        }
        if (row.chance) {
            const double at = kLabelWidth + *row.chance * scale;
            svg += Format("<line class='sw-chance' x1='%s' y1='%s' x2='%s' y2='%s'/>", Px(at).c_str(),
                          Px(middle - kBarHeight / 2 - 3).c_str(), Px(at).c_str(), Px(middle + kBarHeight / 2 + 3).c_str());
        }
        // The figure goes after its bar, or after the mark when the mark
        // would cross it.
        const std::string figure = Number(total, chart.percent);
        const double mark = row.chance ? kLabelWidth + *row.chance * scale : x;
        const double end = mark > x && mark < x + TextWidth(figure) + 8 ? mark : x;
        svg += Format("<text x='%s' y='%s'>%s</text>", Px(end + 5).c_str(), Px(middle + 4).c_str(), figure.c_str());
        y += kRowHeight;
    }
    return svg + "</svg>";
}

std::string Columns(const Chart& chart) {
    const double largest = Largest(chart);
    const std::size_t count = chart.rows.size();
    const double column = std::clamp((kWidth - kAxisWidth - 10) / static_cast<double>(count), 4.0, 40.0);
    double longest = 1;
    for (const Chart::Row& row : chart.rows) longest = std::max(longest, TextWidth(ColumnLabel(row)));
    // Every label that fits; the table has them all.
    const auto step = static_cast<std::size_t>(std::ceil((longest + 4) / column));
    const double top = chart.series.size() > 1 || chart.HasChance() ? 26 : 12;
    const double base = top + kColumnsHeight;
    const double height = base + 22;
    const double scale = kColumnsHeight / largest;
    std::string svg = Format("<svg class='sw-chart-svg' role='img' aria-labelledby='%s-title' viewBox='0 0 %s %s' "
                             "width='%s' height='%s'>",
                             chart.id.c_str(), Px(kWidth).c_str(), Px(height).c_str(), Px(kWidth).c_str(),
                             Px(height).c_str());
    svg += Legend(chart, 14);
    svg += Format("<line class='sw-axis' x1='%s' y1='%s' x2='%s' y2='%s'/>", Px(kAxisWidth - 4).c_str(), Px(base).c_str(),
                  Px(kWidth).c_str(), Px(base).c_str());
    svg += Format("<text x='%s' y='%s' text-anchor='end'>%s</text>", Px(kAxisWidth - 8).c_str(), Px(top + 4).c_str(),
                  Number(largest, chart.percent).c_str());
    svg += Format("<text x='%s' y='%s' text-anchor='end'>0</text>", Px(kAxisWidth - 8).c_str(), Px(base).c_str());
    for (std::size_t i = 0; i < count; ++i) {
        const Chart::Row& row = chart.rows[i];
        const double x = kAxisWidth + column * static_cast<double>(i);
        double y = base;
        for (std::size_t s = 0; s < row.values.size(); ++s) {
            const double h = row.values[s] * scale;
            if (h > 0)
                svg += Format("<rect class='sw-bar%zu' x='%s' y='%s' width='%s' height='%s'/>", s % 3 + 1,
                              Px(x + 1).c_str(), Px(y - h).c_str(), Px(std::max(column - 2, 1.0)).c_str(), Px(h).c_str());
            y -= h;
        }
        if (row.chance) {
            const double at = base - *row.chance * scale;
            svg += Format("<line class='sw-chance' x1='%s' y1='%s' x2='%s' y2='%s'/>", Px(x).c_str(), Px(at).c_str(),
                          Px(x + column).c_str(), Px(at).c_str());
        }
        if (i % step == 0)
            svg += Format("<text x='%s' y='%s' text-anchor='middle'>%s</text>", Px(x + column / 2).c_str(),
                          Px(base + 16).c_str(), EscapeHtml(ColumnLabel(row)).c_str());
    }
    return svg + "</svg>";
}

std::string Table(const Chart& chart) {
    std::string html = Format("<table class='sw-figures'><caption>%s, in figures</caption><thead><tr>",
                              EscapeHtml(chart.title).c_str());
    html += "<th scope='col'>" + EscapeHtml(chart.rowHeader) + "</th>";
    for (const std::string& name : chart.series) html += "<th scope='col'>" + EscapeHtml(name) + "</th>";
    const bool chance = chart.HasChance();
    if (chance) html += "<th scope='col'>" + EscapeHtml(chart.chanceHeader) + "</th>";
    html += "</tr></thead><tbody>";
    for (const Chart::Row& row : chart.rows) {
        html += "<tr><th scope='row'>" + EscapeHtml(row.label) + "</th>";
        for (double value : row.values) html += "<td>" + Number(value, chart.percent) + "</td>";
        if (chance) html += "<td>" + (row.chance ? Number(*row.chance, chart.percent) : std::string("")) + "</td>";
        html += "</tr>";
    }
    return html + "</tbody></table>";
}

}  // namespace

Chart::Chart(std::string id_, std::string title_, Shape shape_, std::string rowHeader_, std::vector<std::string> series_,
             std::string chanceHeader_)
    : id(std::move(id_)),
      title(std::move(title_)),
      shape(shape_),
      rowHeader(std::move(rowHeader_)),
      series(std::move(series_)),
      chanceHeader(std::move(chanceHeader_)) {}

Chart::Row& Chart::Add(std::string label, std::vector<double> values, std::optional<double> chance) {
    Row row;
    row.label = std::move(label);
    row.values = std::move(values);
    row.chance = chance;
    rows.push_back(std::move(row));
    return rows.back();
}

bool Chart::HasChance() const {
    return std::any_of(rows.begin(), rows.end(), [](const Row& row) { return row.chance.has_value(); });
}

std::string DrawChart(const Chart& chart) {
    std::string html = Format("<div class='sw-chart'><h4 id='%s-title'>%s</h4>", chart.id.c_str(),
                              EscapeHtml(chart.title).c_str());
    if (chart.rows.empty()) return html + "<p>None of the entries shown holds any.</p></div>";
    html += chart.shape == Chart::Shape::Bars ? Bars(chart) : Columns(chart);
    html += Table(chart);
    return html + "</div>";
}

}  // namespace sw
