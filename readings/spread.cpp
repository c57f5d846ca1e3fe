// The deal and the spread's page: OracleData's operations declared in
// store/oracle_data.h.
#include "core/random.h"
#include "core/text.h"
#include "store/oracle_data.h"

namespace sw {

void OracleData::ClearDrawn() { drawn.fill(0); }

int OracleData::DrawCard() {
    const int n = DeckAt(selectedDeck).cardCount;
    int k = Rand() % n;
    while (drawn[k] == 1) k = Rand() % n;
    drawn[k] = 1;
    return k;
}

int OracleData::DrawCard(const std::vector<int>& among) {
    const int n = static_cast<int>(among.size());
    int k = among[Rand() % n];
    while (drawn[k] == 1) k = among[Rand() % n];
    drawn[k] = 1;
    return k;
}

std::string OracleData::PositionText(int layout, int position) const {
    if (!IsLayoutIndex(layout)) return {};
    const LayoutRecord& record = LayoutAt(layout);
    if (position < 0 || position >= static_cast<int>(record.positions.size())) return {};
    return record.PositionText(position);
}

bool OracleData::CheckSpread(int layoutIndex, int deckIndex, std::string* err, bool majorOnly) const {
    auto fail = [err](std::string why) {
        *err = std::move(why);
        return false;
    };
    if (!IsLayoutIndex(layoutIndex) || !IsDeckIndex(deckIndex) || !DeckAt(deckIndex).loaded)
        return fail("Please choose a layout and a deck");
    const DeckRecord& deck = DeckAt(deckIndex);
    const LayoutRecord& layout = LayoutAt(layoutIndex);
    if (deck.cardCount < 1 || deck.cardCount > kMaxDeckCards || static_cast<int>(deck.cards.size()) != deck.cardCount)
        return fail(Format("The deck %s has no cards that can be dealt", deck.directory.c_str()));
    int filled = 0;
    for (int r = 0; r < layout.rows; ++r) {
        for (int c = 0; c < layout.columns; ++c) {
            const std::string& cell = layout.Cell(r, c);
            if (cell == " ") continue;
            ++filled;
            const int p = CAtoi(cell) - 1;
            if (p < 0 || p >= static_cast<int>(layout.positions.size()))
                return fail(Format("The layout %s has a cell that names no position", layout.name.c_str()));
        }
    }
    if (filled > deck.cardCount)
        return fail(Format("The layout %s needs more cards than the deck %s holds", layout.name.c_str(),
                           deck.directory.c_str()));
    if (majorOnly && filled > kMajorArcana)
        return fail(Format("The layout %s needs more cards than the major arcana hold", layout.name.c_str()));
    return true;
}

std::string OracleData::RenderSpread(int layoutIndex, int deckIndex, const std::string& question, bool reversed,
                                     std::string* problem, const DealOptions& options) {
    // Refuse what cannot be dealt before touching any state, so a bad choice
    // can neither crash the deal nor loop forever looking for a free card.
    // A deck that cannot tell its trumps deals from all its cards.
    DealOptions used = options;
    if (used.majorOnly && (!IsDeckIndex(deckIndex) || MajorArcana(DeckAt(deckIndex)).empty())) used.majorOnly = false;
    std::string why;
    if (!CheckSpread(layoutIndex, deckIndex, &why, used.majorOnly)) {
        if (problem) *problem = why;
        return {};
    }
    ClearDrawn();
    reversedAllowed = reversed && used.reversals != DealOptions::Reversals::Never;
    selectedDeck = deckIndex;
    selectedLayout = layoutIndex;
    const DeckRecord& deck = DeckAt(deckIndex);
    const LayoutRecord& layout = LayoutAt(layoutIndex);
    lastDeal = Deal(layout, deck, reversedAllowed, used);
    return RenderDealtSpread(layout, deck, question, lastDeal);
}

std::string OracleData::RenderPlacedSpread(int layoutIndex, int deckIndex, const std::string& question,
                                           std::vector<DealtCard> placed) {
    ClearDrawn();
    for (const DealtCard& card : placed) drawn[card.card] = 1;
    reversedAllowed = true;  // each card lies as the user said
    selectedDeck = deckIndex;
    selectedLayout = layoutIndex;
    lastDeal = std::move(placed);
    return RenderDealtSpread(LayoutAt(layoutIndex), DeckAt(deckIndex), question, lastDeal);
}

std::vector<DealtCard> OracleData::Deal(const LayoutRecord& layout, const DeckRecord& deck, bool allowed,
                                        const DealOptions& options) {
    const std::vector<int> trumps = options.majorOnly ? MajorArcana(deck) : std::vector<int>();
    // One in four reversed, as always; one in two when asked for.
    const int chance = options.reversals == DealOptions::Reversals::Often ? 2 : 4;
    if (options.reversals == DealOptions::Reversals::Never) allowed = false;
    std::vector<DealtCard> dealt = FilledCells(layout);
    for (DealtCard& card : dealt) {
        card.card = trumps.empty() ? DrawCard() : DrawCard(trumps);
        if (allowed) card.roll = Rand() % chance == 0 ? 1 : 0;
        card.reversed = card.roll == 1 && deck.CardAt(card.card).hasReversedImage ? 1 : 0;
    }
    return dealt;
}

std::vector<DealtCard> OracleData::FilledCells(const LayoutRecord& layout) {
    std::vector<DealtCard> cells;
    for (int r = 0; r < layout.rows; ++r) {
        for (int c = 0; c < layout.columns; ++c) {
            const std::string& cell = layout.Cell(r, c);
            if (cell == " ") continue;
            DealtCard card;
            card.row = r;
            card.column = c;
            card.position = CAtoi(cell) - 1;
            cells.push_back(card);
        }
    }
    return cells;
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
                const std::string title = PositionTitle(layout.PositionText(card.position));
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
        const std::string title = PositionTitle(layout.PositionText(card.position));
        labels.push_back(Format("%s, %s, position %d, %s", deck.CardAt(card.card).name.c_str(),
                                card.reversed ? "reversed" : "upright", card.position + 1, title.c_str()));
    }
    return labels;
}

platform::PageParts OracleData::SpreadParts(const LayoutRecord& layout, const DeckRecord& deck,
                                            const std::vector<DealtCard>& dealt) {
    platform::PageParts parts;
    parts.menu = "tarotbtn";
    for (const DealtCard& dealtCard : dealt) {
        const std::string text = layout.PositionText(dealtCard.position);
        const CardRecord& card = deck.CardAt(dealtCard.card);
        parts.cards.push_back({dealtCard.position + 1, PositionTitle(text), PositionDescription(text), card.name,
                               dealtCard.reversed == 1, deck.CardImageUrl(dealtCard.card, dealtCard.roll),
                               dealtCard.reversed == 1 ? card.reversedMeaning : card.meaning});
    }
    return parts;
}

}  // namespace sw
