#include "core/random.h"
#include "core/text.h"
#include "store/oracle_data.h"

namespace sw {

void OracleData::ClearDrawn() { drawn.fill(0); }

int OracleData::DrawCard() {
    const int n = decks[static_cast<std::size_t>(selectedDeck)].cardCount;
    int k = Rand() % n;
    while (drawn[static_cast<std::size_t>(k)] == 1) k = Rand() % n;
    drawn[static_cast<std::size_t>(k)] = 1;
    return k;
}

std::string OracleData::PositionText(int layout, int position) const {
    if (!IsLayoutIndex(layout)) return {};
    const LayoutRecord& record = layouts[static_cast<std::size_t>(layout)];
    if (position < 0 || position >= static_cast<int>(record.positions.size())) return {};
    return record.positions[static_cast<std::size_t>(position)];
}

std::string OracleData::CheckSpread(int layoutIndex, int deckIndex) const {
    if (!IsLayoutIndex(layoutIndex) || !IsDeckIndex(deckIndex) || !decks[static_cast<std::size_t>(deckIndex)].loaded)
        return "Please choose a layout and a deck";
    const DeckRecord& deck = decks[static_cast<std::size_t>(deckIndex)];
    const LayoutRecord& layout = layouts[static_cast<std::size_t>(layoutIndex)];
    if (deck.cardCount < 1 || deck.cardCount > kMaxDeckCards || static_cast<int>(deck.cards.size()) != deck.cardCount)
        return Format("The deck %s has no cards that can be dealt", deck.directory.c_str());
    int filled = 0;
    for (int r = 0; r < layout.rows; ++r) {
        for (int c = 0; c < layout.columns; ++c) {
            const std::string& cell = layout.grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            if (cell == " ") continue;
            ++filled;
            const int p = CAtoi(cell) - 1;
            if (p < 0 || p >= static_cast<int>(layout.positions.size()))
                return Format("The layout %s has a cell that names no position", layout.name.c_str());
        }
    }
    if (filled > deck.cardCount)
        return Format("The layout %s needs more cards than the deck %s holds", layout.name.c_str(),
                      deck.directory.c_str());
    return {};
}

std::string OracleData::RenderSpread(int layoutIndex, int deckIndex, const std::string& question, bool reversed,
                                     std::string* problem) {
    // Refuse what cannot be dealt before touching any state, so a bad choice
    // can neither crash the deal nor loop forever looking for a free card.
    std::string why = CheckSpread(layoutIndex, deckIndex);
    if (!why.empty()) {
        if (problem) *problem = why;
        return {};
    }
    ClearDrawn();
    reversedAllowed = reversed;
    selectedDeck = deckIndex;
    selectedLayout = layoutIndex;
    const DeckRecord& deck = decks[static_cast<std::size_t>(deckIndex)];
    const LayoutRecord& layout = layouts[static_cast<std::size_t>(layoutIndex)];
    lastDeal = Deal(layout, deck, reversedAllowed);
    return RenderDealtSpread(layout, deck, question, lastDeal);
}

std::vector<DealtCard> OracleData::Deal(const LayoutRecord& layout, const DeckRecord& deck, bool allowed) {
    std::vector<DealtCard> dealt;
    for (int r = 0; r < layout.rows; ++r) {
        for (int c = 0; c < layout.columns; ++c) {
            const std::string& cell = layout.grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            if (cell == " ") continue;
            DealtCard card;
            card.row = r;
            card.column = c;
            card.card = DrawCard();
            card.position = CAtoi(cell) - 1;
            if (allowed) card.roll = Rand() % 4 == 0 ? 1 : 0;
            card.reversed = card.roll == 1 && deck.cards[static_cast<std::size_t>(card.card)].hasReversedImage ? 1 : 0;
            dealt.push_back(card);
        }
    }
    return dealt;
}

std::string OracleData::RenderDealtSpread(const LayoutRecord& layout, const DeckRecord& deck, const std::string& question,
                                          const std::vector<DealtCard>& dealt) {
    std::string html = Format("<h3><center>%s</center></h3><TABLE align='center' cellspacing=10>",
                              EscapeHtml(question).c_str());
    auto next = dealt.begin();
    for (int r = 0; r < layout.rows; ++r) {
        html += "<tr>";
        for (int c = 0; c < layout.columns; ++c) {
            html += "<td align=center valign=top>";
            if (next != dealt.end() && next->row == r && next->column == c) {
                const DealtCard& card = *next++;
                const std::string title = PositionTitle(layout.positions[static_cast<std::size_t>(card.position)]);
                // Names are text, never markup: a title holding an apostrophe
                // must not cut the attribute short.
                const std::string url = EscapeHtml(deck.CardImageUrl(card.card, card.roll));
                const std::string shownTitle = EscapeHtml(title);
                html += Format("<IMG class='card' pos='%d' reversed='%d' card='%d' src='%s'  border='0' alt='%s' ><br>"
                               "<div style='font-size:10pt;font-weight:bold;'>%d - %s</div>",
                               card.position, card.reversed, card.card, url.c_str(), shownTitle.c_str(),
                               card.position + 1, shownTitle.c_str());
            }
            html += "</td>";
        }
        html += "</tr>";
    }
    html += "</TABLE><br><br>";
    return html;
}

std::vector<std::string> OracleData::CardLabels(const LayoutRecord& layout, const DeckRecord& deck,
                                                const std::vector<DealtCard>& dealt) {
    std::vector<std::string> labels;
    for (const DealtCard& card : dealt) {
        const std::string title = PositionTitle(layout.positions[static_cast<std::size_t>(card.position)]);
        labels.push_back(Format("%s, %s, position %d, %s", deck.cards[static_cast<std::size_t>(card.card)].name.c_str(),
                                card.reversed ? "reversed" : "upright", card.position + 1, title.c_str()));
    }
    return labels;
}

}  // namespace sw
