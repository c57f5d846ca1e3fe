// A reading of one's own cards; declared in owncards/own_cards.h.
#include "owncards/own_cards.h"

#include <algorithm>

#include "app/msg_box.h"
#include "app/page_pieces.h"
#include "core/text.h"

namespace sw {

using platform::PageParts;

PageParts::Control OwnCards::Control() {
    PageParts::Control control;
    control.id = "owncards";
    control.label = "Enter my own cards";
    return control;
}

std::vector<DealtCard> OwnCards::AskOrder(const LayoutRecord& layout) {
    std::vector<DealtCard> cells = OracleData::FilledCells(layout);
    std::stable_sort(cells.begin(), cells.end(),
                     [](const DealtCard& a, const DealtCard& b) { return a.position < b.position; });
    return cells;
}

std::vector<DealtCard> OwnCards::PlacedSpread(const DeckRecord& deck, std::vector<DealtCard> placed) {
    std::sort(placed.begin(), placed.end(), [](const DealtCard& a, const DealtCard& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    for (DealtCard& card : placed) card.reversed = card.roll == 1 && deck.CardAt(card.card).hasReversedImage ? 1 : 0;
    return placed;
}

std::string OwnCards::Value(const char* name) const {
    auto element = host_.GetElement(name);
    return element ? element->Text("value") : std::string();
}

void OwnCards::Start() {
    // The form as the user left it, as "Ask the Oracle" reads it.
    if (!host_.GetElement("layout") || !host_.GetElement("deck")) return;
    const int layout = CAtoi(Value("layout"));
    const int deck = CAtoi(Value("deck"));
    std::string why;
    if (!data_.CheckSpread(layout, deck, &why)) {
        CMsgBox().Show(why, platform::kIconExclamation);
        return;
    }
    active_ = true;
    layout_ = layout;
    deck_ = deck;
    question_ = Value("Question");
    cells_ = AskOrder(data_.LayoutAt(layout));
    placed_ = 0;
    if (cells_.empty()) {
        // A layout with no card on it: its spread, empty as a deal of it is.
        active_ = false;
        show_(layout_, deck_, question_, {});
        return;
    }
    ShowStep();
}

bool OwnCards::StillAsStarted() const {
    // The layouts may have changed under a step page left behind.
    std::string why;
    if (!active_ || placed_ >= cells_.size() || !data_.CheckSpread(layout_, deck_, &why)) return false;
    const std::vector<DealtCard> cells = AskOrder(data_.LayoutAt(layout_));
    return std::equal(cells.begin(), cells.end(), cells_.begin(), cells_.end(), [](const DealtCard& a, const DealtCard& b) {
        return a.row == b.row && a.column == b.column && a.position == b.position;
    });
}

void OwnCards::Place() {
    if (!StillAsStarted()) return;
    const DeckRecord& deck = data_.DeckAt(deck_);
    auto chosen = host_.GetElement("owncard");
    const std::string value = chosen ? chosen->Text("value") : std::string();
    if (value.empty()) {
        const std::string typed = Value("ownfind");
        CMsgBox().Show(typed.empty() ? "Please choose the card that came up"
                                     : Format("No card of the deck %s is called \"%s\"", deck.directory.c_str(), typed.c_str()),
                       platform::kIconExclamation);
        return;
    }
    const int card = CAtoi(value);
    if (card < 0 || card >= deck.cardCount) return;
    for (std::size_t i = 0; i < placed_; ++i) {
        if (cells_[i].card != card) continue;
        CMsgBox().Show(Format("%s is placed already, at %d - %s", deck.CardAt(card).name.c_str(), cells_[i].position + 1,
                              PositionTitle(data_.PositionText(layout_, cells_[i].position)).c_str()),
                       platform::kIconExclamation);
        return;
    }
    auto reversed = host_.GetElement("ownreversed");
    cells_[placed_].card = card;
    cells_[placed_].roll = reversed && reversed->Text("checked") == "-1" ? 1 : 0;
    ++placed_;
    if (placed_ < cells_.size()) {
        ShowStep();
        return;
    }
    active_ = false;
    show_(layout_, deck_, question_, PlacedSpread(deck, cells_));
}

void OwnCards::Back() {
    if (placed_ == 0 || !StillAsStarted()) return;
    --placed_;
    ShowStep();
}

void OwnCards::ShowStep() {
    const LayoutRecord& layout = data_.LayoutAt(layout_);
    const DeckRecord& deck = data_.DeckAt(deck_);
    const DealtCard& cell = cells_[placed_];
    const std::string text = data_.PositionText(layout_, cell.position);
    std::string html = kPageStart;
    html += Format("<BR><BR><h3>Card %zu of %zu: %d - %s</h3>", placed_ + 1, cells_.size(), cell.position + 1,
                   EscapeHtml(PositionTitle(text)).c_str());
    if (!PositionDescription(text).empty()) html += "<p>" + EscapeHtml(PositionDescription(text)) + "</p>";
    html += Format("<p class='sw-note'>%s, from the deck %s%s%s</p>", EscapeHtml(layout.name).c_str(),
                   EscapeHtml(deck.directory).c_str(), question_.empty() ? "" : ": ", EscapeHtml(question_).c_str());
    html += "<table cellpadding='5' class='sw-owncards'>";
    html += "<tr><td><label for='ownfind'><b>Card:</b></label></td><td><input id='ownfind' name='ownfind' type='text' "
            "size='30' autocomplete='off' aria-describedby='ownhint'></td></tr>";
    html += "<tr><td valign='top'><label for='owncard'><b>From the deck:</b></label></td>"
            "<td><select id='owncard' name='owncard' size='8'>";
    for (int card = 0; card < deck.cardCount; ++card) {
        const bool placed = std::any_of(cells_.begin(), cells_.begin() + static_cast<long>(placed_),
                                        [card](const DealtCard& other) { return other.card == card; });
        if (!placed) html += Format("<option value='%d'>%s</option>", card, EscapeHtml(deck.CardAt(card).name).c_str());
    }
    html += "</select></td></tr>";
    html += "<tr><td><label for='ownreversed'><b>Reversed:</b></label></td><td><input type='checkbox' id='ownreversed' "
            "name='ownreversed'></td></tr></table>";
    html += "<p class='sw-note' id='ownhint'>Type a few letters of the card's name, or choose it from the list; "
            "Enter places it.</p>";
    html += Button("ownplace", placed_ + 1 == cells_.size() ? "Show the spread" : "Place card");
    if (placed_ > 0) html += Button("ownback", "Back");
    html += Button("owncancel", "Cancel");
    if (placed_ > 0) {
        html += "<h4>Placed so far</h4><ul class='sw-placed'>";
        for (std::size_t i = 0; i < placed_; ++i) {
            const DealtCard& done = cells_[i];
            html += Format("<li>%d - %s: %s%s</li>", done.position + 1,
                           EscapeHtml(PositionTitle(data_.PositionText(layout_, done.position))).c_str(),
                           EscapeHtml(deck.CardAt(done.card).name).c_str(), done.roll ? ", reversed" : "");
        }
        html += "</ul>";
    }
    html += kPageEnd;
    write_(html);
    PageParts parts;
    parts.focus = "ownfind";
    host_.DescribePage(parts);
}

}  // namespace sw
