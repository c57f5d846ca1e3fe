#pragma once
// The card of the day: one card of a deck with its meaning, the same card
// all day for the same deck. It is derived from the date and the deck's
// folder name, never from the run's random generator, so the seeded draws
// of the oracles are untouched by it. Reached by the Card of the day link
// (Alt+A); the card can be kept in the journal as a reading of one card.
// Its only state is the deck last shown. Runs on the handler thread.
#include <functional>
#include <string>
#include <string_view>

#include "journal/journal_pages.h"
#include "platform/host.h"
#include "store/oracle_data.h"

namespace sw {

// The day's card of a deck with cards, for a date "YYYY-MM-DD": a hash of
// the date and the deck's folder name, modulo its card count.
int DayCardIndex(std::string_view date, const DeckRecord& deck);
// Today's date where the user is, "YYYY-MM-DD".
std::string LocalDate();

class DayCard {
public:
    using Writer = std::function<void(const std::string&)>;
    using Clock = std::function<std::string()>;  // today's date, "YYYY-MM-DD"

    DayCard(platform::Host& host, const OracleData& data, JournalPages& journal, Writer write, Clock today = LocalDate)
        : host_(host), data_(data), journal_(journal), write_(std::move(write)), today_(std::move(today)) {}

    // The deck last shown here, else the one last read with, else the first.
    void Show();
    // The deck chosen in the page's list.
    void ShowChosen();

private:
    void ShowDeck(int deck);

    platform::Host& host_;
    const OracleData& data_;
    JournalPages& journal_;
    Writer write_;
    Clock today_;
    int deck_ = -1;
};

}  // namespace sw
