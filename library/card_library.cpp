#include "library/card_library.h"

#include "app/page_pieces.h"
#include "core/text.h"

namespace sw {

void CardLibrary::ShowChosen() {
    ShowDeck(ChosenDeck(host_, "cardsdeck"));
}

void CardLibrary::ShowDeck(int deck) {
    // The chosen deck, or the first loaded one.
    deck = LoadedDeck(data_, deck);
    deck_ = deck;
    std::string html = kPageStart;
    html += "<BR><BR><h3>Cards</h3>" + DeckChooser(data_, "cardsdeck", deck, "cardsshow");
    if (deck < 0) {
        html += "<p>No deck could be loaded.</p>";
    } else {
        const DeckRecord& record = data_.DeckAt(deck);
        html += "<div class='sw-library'>";
        for (int card = 0; card < record.cardCount; ++card) {
            const std::string name = EscapeHtml(record.CardAt(card).name);
            html += Format("<figure class='sw-librarycard'><img class='sw-librarycard' id='librarycard' deck='%d' "
                           "card='%d' tabindex='0' role='button' src='%s' alt='%s'><figcaption>%s</figcaption></figure>",
                           deck, card, EscapeHtml(record.CardImageUrl(card, 0)).c_str(), name.c_str(), name.c_str());
        }
        html += "</div>";
    }
    html += kPageEnd;
    write_(html);
}

void CardLibrary::ShowCard(const platform::Element& picture) {
    const int deck = CAtoi(picture.Text("deck"));
    const int card = CAtoi(picture.Text("card"));
    if (!data_.IsDeckIndex(deck) || card < 0 || card >= data_.DeckAt(deck).cardCount) {
        ShowDeck(deck_);
        return;
    }
    const DeckRecord& record = data_.DeckAt(deck);
    const CardRecord& entry = record.CardAt(card);
    const std::string name = EscapeHtml(entry.name);
    std::string html = kPageStart;
    html += "<BR><BR><h3>" + name + "</h3><table cellspacing='20'><tr>";
    html += Format("<td align='center'><img src='%s' alt='%s, upright'><br>Upright</td>",
                   EscapeHtml(record.CardImageUrl(card, 0)).c_str(), name.c_str());
    if (entry.hasReversedImage)
        html += Format("<td align='center'><img src='%s' alt='%s, reversed'><br>Reversed</td>",
                       EscapeHtml(record.CardImageUrl(card, 1)).c_str(), name.c_str());
    html += "</tr></table><table width='600'><tr><td><h4>Upright</h4><div id='sw-fill-upright'></div></td></tr>";
    html += entry.hasReversedImage ? "<tr><td><h4>Reversed</h4><div id='sw-fill-reversed'></div></td></tr>"
                                   : "<tr><td><p>This card has no reversed form: a reading always shows it upright.</p></td></tr>";
    html += "</table>" + Button("cards", "Back") + kPageEnd;
    deck_ = deck;
    write_(html);
    host_.FillHtml("sw-fill-upright", entry.meaning);
    if (entry.hasReversedImage) host_.FillHtml("sw-fill-reversed", entry.reversedMeaning);
}

}  // namespace sw
