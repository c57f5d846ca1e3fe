// The card of the day; declared in daycard/day_card.h.
#include "daycard/day_card.h"

#include <cstdint>
#include <ctime>

#include "app/page_pieces.h"
#include "core/text.h"
#include "journal/journal_result.h"

namespace sw {

namespace {

// "2026-12-07" as "7 December 2026".
std::string ShownDay(const std::string& date) {
    static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
    const int month = date.size() == 10 ? CAtoi(date.substr(5, 2)) : 0;
    if (month < 1 || month > 12) return date;
    return Format("%d %s %s", CAtoi(date.substr(8, 2)), months[month - 1], date.substr(0, 4).c_str());
}

}  // namespace

int DayCardIndex(std::string_view date, const DeckRecord& deck) {
    // FNV-1a over the date and the folder, then a final mix so that days
    // next to each other land far apart.
    std::uint32_t hash = 2166136261u;
    auto add = [&hash](std::string_view text) {
        for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
    };
    add(date);
    add("\n");
    add(deck.directory);
    hash ^= hash >> 16;
    hash *= 0x85ebca6bu;
    hash ^= hash >> 13;
    hash *= 0xc2b2ae35u;
    hash ^= hash >> 16;
    return static_cast<int>(hash % static_cast<std::uint32_t>(deck.cardCount));
}

std::string LocalDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

void DayCard::Show() { ShowDeck(LoadedDeck(data_, deck_) == deck_ ? deck_ : data_.selectedDeck); }

void DayCard::ShowChosen() {
    ShowDeck(ChosenDeck(host_, "daydeck"));
}

void DayCard::ShowDeck(int deck) {
    deck = LoadedDeck(data_, deck);
    deck_ = deck;
    const std::string date = today_();
    std::string html = kPageStart;
    html += "<BR><BR><h3>Card of the day</h3><p>" + EscapeHtml(ShownDay(date)) + "</p>";
    html += DeckChooser(data_, "daydeck", deck, "daycardshow");
    const bool hasCards = deck >= 0 && data_.DeckAt(deck).cardCount > 0 &&
                          static_cast<int>(data_.DeckAt(deck).cards.size()) == data_.DeckAt(deck).cardCount;
    if (!hasCards) {
        html += "<p>No deck with cards could be loaded.</p>" + std::string(kPageEnd);
        write_(html);
        return;
    }
    const DeckRecord& record = data_.DeckAt(deck);
    const int card = DayCardIndex(date, record);
    const CardRecord& entry = record.CardAt(card);
    const std::string name = EscapeHtml(entry.name);
    html += Format("<table cellspacing='20' class='sw-daycard'><tr><td align='center' valign='top'><img src='%s' alt='%s'>"
                   "<div class='heading'><b>%s</b></div></td><td valign='top' class='sw-daymeaning'><h4>Meaning</h4>"
                   "<div id='sw-fill-daycard'></div></td></tr></table>",
                   EscapeHtml(record.CardImageUrl(card, 0)).c_str(), name.c_str(), name.c_str());
    html += kPageEnd;
    write_(html);
    host_.FillHtml("sw-fill-daycard", entry.meaning);

    // Kept, it is a reading of one card on a layout of one place.
    LayoutRecord layout;
    layout.name = "Card of the day";
    layout.rows = 1;
    layout.columns = 1;
    layout.Cell(0, 0) = "1";
    layout.positions = {"Card of the day|The card of " + ShownDay(date)};
    layout.positionCount = 1;
    DealtCard dealt;
    dealt.card = card;
    journal_.Offer(Oracle::Reading, "Card of the day", ReadingResult(layout, record, {dealt}, false));
}

}  // namespace sw
