#include "readings/card_meaning.h"

#include "core/text.h"
#include "store/layout.h"

namespace sw {

std::string CCardMeaning::ComposeMeaning(const DeckRecord& deck, int cardIndex, const std::string& positionText,
                                         int reversed) {
    const CardRecord& card = deck.CardAt(cardIndex);
    const std::string title = PositionTitle(positionText);
    const std::string description = PositionDescription(positionText);
    std::string html;
    html += "<table width=100% border='0'>";
    html += "<tr><td valign='top' align='center'>";
    // The card's name and the position's title are text; the description and
    // the meaning are HTML as the deck's author wrote them (the page
    // sanitises them when it shows them).
    const std::string name = EscapeHtml(card.name);
    html += Format("<IMG card='%d' src='%s'  border='0' alt='%s' >", cardIndex,
                   EscapeHtml(deck.CardImageUrl(cardIndex, reversed)).c_str(), name.c_str());
    html += Format("<div class=heading>%s</div><BR>", name.c_str());
    html += "</td></tr><tr><td valign='top'>";
    html += Format("<div class=heading>%s</div>", EscapeHtml(title).c_str());
    html += "</td></tr><tr><td valign='top'>";
    html += Format("%s", description.c_str());
    html += "<br></td></tr><tr><td valign='top'>";
    html += "<div class=heading>Meaning</div>";
    html += "</td></tr><tr><td valign='top'>";
    html += reversed == 1 ? card.reversedMeaning : card.meaning;
    html += "</td></tr></table>";
    return html;
}

void CCardMeaning::ShowMeaning(const DeckRecord& deck, int cardIndex, const std::string& positionText, int reversed) {
    WriteMeaningPage(ComposeMeaning(deck, cardIndex, positionText, reversed));
}

}  // namespace sw
