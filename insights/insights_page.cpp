// The Insights page; declared in insights/insights_page.h.
#include "insights/insights_page.h"

#include <algorithm>
#include <map>

#include "app/page_pieces.h"
#include "core/text.h"
#include "insights/insights_charts.h"
#include "iching/hexagram_texts.h"
#include "journal/journal_index.h"
#include "yesno/yes_no.h"

namespace sw {

namespace {

// The deal turns a card that has a reversed picture with a chance of one in
// four, when reversed cards are allowed (readings/spread.cpp).
constexpr double kReversedChance = 0.25;
constexpr std::size_t kMostFrequent = 12;
constexpr std::size_t kMonthsShown = 60;
const char* const kSuitOrder[] = {"Wands", "Cups", "Swords", "Pentacles"};
const char* const kChanceWouldGive = "Chance would give";

const DeckRecord* DeckNamed(const OracleData& data, const std::string& directory) {
    for (int i = 0; i < data.deckCount; ++i)
        if (data.IsDeckIndex(i) && data.DeckAt(i).loaded && data.DeckAt(i).directory == directory) return &data.DeckAt(i);
    return nullptr;
}

std::string GroupName(const std::string& suit) { return suit.empty() ? "Major arcana" : suit; }

std::string HexagramName(int number) {
    for (const auto* texts : {&kHexagramTextsFirst, &kHexagramTextsSecond})
        for (const HexagramText& text : *texts)
            if (CAtoi(text.ordinal) == number)
                return std::string(text.ordinal) + " " + text.romanisedName + " \xE2\x80\x94 " + text.englishName;
    return std::to_string(number);
}

// "2026-03" as "March 2026"; the months in order, with those between.
std::string MonthName(int year, int month) {
    static const char* const names[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
    return Format("%s %d", names[month - 1], year);
}

Chart MonthsChart(const JournalTally& tally, std::string* note) {
    Chart chart("sw-months", "Kept per month", Chart::Shape::Columns, "Month", {"Card readings", "I Ching", "Yes/No"});
    if (tally.months.empty()) return chart;
    auto parse = [](const std::string& text, int* year, int* month) {
        *year = CAtoi(text.substr(0, 4));
        *month = text.size() >= 7 ? CAtoi(text.substr(5, 2)) : 0;
        return *month >= 1 && *month <= 12;
    };
    std::map<int, std::array<std::int64_t, 3>> byMonth;
    for (const auto& month : tally.months) {
        int year = 0, number = 0;
        if (parse(month.month, &year, &number)) byMonth[year * 12 + number - 1] = month.kept;
    }
    if (byMonth.empty()) return chart;
    const int last = byMonth.rbegin()->first;
    int first = byMonth.begin()->first;
    if (last - first + 1 > static_cast<int>(kMonthsShown)) {
        first = last - static_cast<int>(kMonthsShown) + 1;
        *note = Format("The chart shows the last %zu months; the counts of the whole journal above take in the "
                       "older ones too.",
                       kMonthsShown);
    }
    for (int at = first; at <= last; ++at) {
        const auto found = byMonth.find(at);
        const std::array<std::int64_t, 3> kept = found == byMonth.end() ? std::array<std::int64_t, 3>{} : found->second;
        chart.Add(MonthName(at / 12, at % 12 + 1),
                  {static_cast<double>(kept[0]), static_cast<double>(kept[1]), static_cast<double>(kept[2])})
            .mark = Format("%02d/%02d", at % 12 + 1, at / 12 % 100);
    }
    return chart;
}

// The cards against chance: by group (the major arcana, each suit) and the
// most frequent ones.
struct CardCharts {
    Chart groups{"sw-groups", "Major arcana and suits", Chart::Shape::Bars, "Cards", {"Came up"}, kChanceWouldGive};
    Chart frequent{"sw-frequent", "The cards that came up most", Chart::Shape::Bars, "Card", {"Came up"},
                   kChanceWouldGive};
    std::int64_t unknownReadings = 0;  // readings of decks no longer here
};

CardCharts CardChartsOf(const JournalTally& tally, const OracleData& data) {
    CardCharts charts;
    std::map<std::string, double> groupChance;
    std::map<std::string, double> cardChance;  // by deck
    for (const JournalTally::Deck& deck : tally.decks) {
        const DeckRecord* record = DeckNamed(data, deck.deck);
        if (!record || record->cardCount <= 0) {
            charts.unknownReadings += deck.readings;
            continue;
        }
        const double perCard = static_cast<double>(deck.dealt) / record->cardCount;
        cardChance[deck.deck] = perCard;
        for (int c = 0; c < record->cardCount; ++c) groupChance[GroupName(SuitOf(record->CardAt(c).name))] += perCard;
    }
    std::map<std::string, std::int64_t> groupCount;
    for (const JournalTally::Card& card : tally.cards) groupCount[GroupName(card.suit)] += card.count;
    std::vector<std::string> order = {GroupName("")};
    for (const char* suit : kSuitOrder) order.emplace_back(suit);
    for (const auto& [name, count] : groupCount)
        if (std::find(order.begin(), order.end(), name) == order.end()) order.push_back(name);
    for (const std::string& name : order) {
        const auto count = groupCount.find(name);
        const auto chance = groupChance.find(name);
        if (count == groupCount.end() && chance == groupChance.end()) continue;
        charts.groups.Add(name, {static_cast<double>(count == groupCount.end() ? 0 : count->second)},
                          chance == groupChance.end() ? 0.0 : chance->second);
    }

    std::vector<const JournalTally::Card*> cards;
    for (const JournalTally::Card& card : tally.cards) cards.push_back(&card);
    std::stable_sort(cards.begin(), cards.end(),
                     [](const JournalTally::Card* a, const JournalTally::Card* b) { return a->count > b->count; });
    if (cards.size() > kMostFrequent) cards.resize(kMostFrequent);
    const bool decks = tally.decks.size() > 1;
    for (const JournalTally::Card* card : cards) {
        const auto chance = cardChance.find(card->deck);
        charts.frequent.Add(decks ? card->name + " (" + card->deck + ")" : card->name, {static_cast<double>(card->count)},
                            chance == cardChance.end() ? std::optional<double>() : chance->second);
    }
    return charts;
}

Chart ReversedChart(const JournalTally& tally) {
    Chart chart("sw-reversed", "Reversed cards", Chart::Shape::Bars, "Cards", {"Share"}, kChanceWouldGive);
    chart.percent = true;
    if (tally.couldReverse > 0)
        chart.Add("Reversed", {100.0 * static_cast<double>(tally.reversed) / static_cast<double>(tally.couldReverse)},
                  100.0 * kReversedChance);
    return chart;
}

Chart HexagramsChart(const JournalTally& tally, std::int64_t casts) {
    Chart chart("sw-hexagrams", "Hexagrams cast", Chart::Shape::Columns, "Hexagram", {"Cast"}, kChanceWouldGive);
    for (int number = 1; number <= 64; ++number) {
        if (tally.hexagrams[static_cast<std::size_t>(number)] == 0) continue;
        chart.Add(HexagramName(number), {static_cast<double>(tally.hexagrams[static_cast<std::size_t>(number)])},
                  static_cast<double>(casts) / 64)
            .mark = std::to_string(number);
    }
    return chart;
}

Chart AnswersChart(const JournalTally& tally, std::int64_t answers) {
    Chart chart("sw-answers", "Yes/No answers", Chart::Shape::Bars, "Answer", {"Given"}, kChanceWouldGive);
    for (std::size_t i = 0; i < tally.answers.size() && i < YesNoAnswers.size(); ++i)
        if (tally.answers[i] > 0)
            chart.Add(YesNoAnswers[i], {static_cast<double>(tally.answers[i])},
                      static_cast<double>(answers) / static_cast<double>(YesNoAnswers.size()));
    return chart;
}

std::string Counted(std::int64_t n, const char* one, const char* many) {
    return Thousands(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void InsightsPage::Show(bool searched) {
    std::string html = kPageStart;
    html += "<div class='sw-insights'><BR><h3>Insights</h3>";
    const JournalQuery query = searched ? journal_.Query() : JournalQuery{};
    JournalStore* store = journal_.Store();
    JournalTally tally;
    std::string err;
    std::string buttons;
    if (!journal_.Query().Empty())
        buttons += searched ? Button("insightswhole", "The whole journal") : Button("insightssearch", "The search only");
    buttons += Button("journalback", "Back to the journal") + Button("insightshelp", "Help");
    if (!store) {
        html += "<p>The journal cannot be opened now.</p>";
    } else if (!store->Tally(query, &tally, &err)) {
        html += "<p>" + EscapeHtml(err) + "</p>";
    } else {
        std::int64_t kept[3] = {};
        for (const auto& month : tally.months)
            for (std::size_t k = 0; k < 3; ++k) kept[k] += month.kept[k];
        html += "<p>" +
                std::string(searched ? "Of the entries " + DescribeQuery(query) : std::string("Of the whole journal")) +
                ": " + Counted(tally.entries, "entry", "entries") + " (" +
                Counted(kept[0], "card reading", "card readings") + ", " + Counted(kept[1], "cast", "casts") + ", " +
                Counted(kept[2], "answer", "answers") + ").</p>";
        html += "<p>" + buttons + "</p>";
        if (tally.entries == 0) {
            html += "<p>There is nothing to count yet.</p>";
        } else {
            std::string monthsNote;
            html += DrawChart(MonthsChart(tally, &monthsNote));
            if (!monthsNote.empty()) html += "<p class='sw-note'>" + monthsNote + "</p>";
            if (kept[0] > 0) {
                const CardCharts cards = CardChartsOf(tally, data_);
                html += "<p class='sw-note'>What chance would give: in a reading of <i>k</i> cards from a deck of "
                        "<i>n</i>, each card of that deck comes up with a chance of <i>k</i>/<i>n</i>, and the figure "
                        "is that chance added up over the readings counted (the decks as they are now).</p>";
                if (cards.unknownReadings > 0)
                    html += "<p class='sw-note'>" + Counted(cards.unknownReadings, "reading is", "readings are") +
                            " of a deck that is no longer here: " + (cards.unknownReadings == 1 ? "its" : "their") +
                            " cards are counted, but chance cannot be given for them.</p>";
                html += DrawChart(cards.groups) + DrawChart(cards.frequent);
                html += DrawChart(ReversedChart(tally));
                if (tally.couldReverse > 0)
                    html += Format("<p class='sw-note'>%s of the %s cards dealt where they could come up reversed "
                                   "did; the deal turns such a card once in four.</p>",
                                   Thousands(tally.reversed).c_str(), Thousands(tally.couldReverse).c_str());
            }
            if (kept[1] > 0)
                html += DrawChart(HexagramsChart(tally, kept[1])) +
                        "<p class='sw-note'>Each hexagram comes up once in 64 casts.</p>";
            if (kept[2] > 0)
                html += DrawChart(AnswersChart(tally, kept[2])) +
                        "<p class='sw-note'>Each of the 23 answers comes up about once in 23.</p>";
        }
    }
    if (!store || !err.empty()) html += "<p>" + buttons + "</p>";
    html += "</div>";
    html += kPageEnd;
    write_(html);
}

}  // namespace sw
