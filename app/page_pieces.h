#pragma once
// Pieces the pages beside the dialog's own (the journal, the card library,
// the card of the day) share: they are written in the same nested-table
// manner as the oracles' pages, with real buttons.
#include <cstdint>
#include <string>

#include "core/text.h"
#include "platform/host.h"
#include "store/oracle_data.h"

namespace sw {

inline constexpr const char* kPageStart = "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
inline constexpr const char* kPageEnd = "</td></tr></table>";

// n with a comma between thousands: "100,007".
inline std::string Thousands(long long n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// A button routed by its id; entry names the journal entry it acts on.
inline std::string Button(const char* id, const char* text, std::int64_t entry = 0) {
    if (entry > 0)
        return Format("<button type='button' class='btn' id='%s' entry='%lld'>%s</button>", id,
                      static_cast<long long>(entry), text);
    return Format("<button type='button' class='btn' id='%s'>%s</button>", id, text);
}

// The deck to show: this one when it is loaded, else the first that is; -1
// when none is.
inline int LoadedDeck(const OracleData& data, int deck) {
    if (data.IsDeckIndex(deck) && data.DeckAt(deck).loaded) return deck;
    for (int i = 0; i < data.deckCount; ++i)
        if (data.DeckAt(i).loaded) return i;
    return -1;
}

// The deck chosen in the page's list named id (-1 when the page has none).
inline int ChosenDeck(platform::Host& host, const char* id) {
    auto list = host.GetElement(id);
    return list ? CAtoi(list->Text("value")) : -1;
}

// A row with the loaded decks to choose from, in a list named id with deck
// chosen, and the button show that shows the one chosen.
inline std::string DeckChooser(const OracleData& data, const char* id, int chosen, const char* show) {
    std::string html = Format("<table cellpadding='5'><tr><td><label for='%s'><b>Deck:</b></label></td>"
                              "<td><select id='%s' name='%s'>",
                              id, id, id);
    for (int i = 0; i < data.deckCount; ++i) {
        const DeckRecord& record = data.DeckAt(i);
        if (!record.loaded) continue;
        html += Format("<option value='%d'%s>%s</option>", i, i == chosen ? " selected" : "",
                       EscapeHtml(record.directory).c_str());
    }
    return html + "</select></td><td>" + Button(show, "Show") + "</td></tr></table>";
}

}  // namespace sw
