// The reading form's page: OracleData::RenderReadingForm, declared in
// store/oracle_data.h.
#include "core/text.h"
#include "store/oracle_data.h"

namespace sw {

std::string OracleData::RenderReadingForm(const std::string& question) const {
    std::string html;
    html += "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
    html += "<BR><BR><img src='file:images/readings.gif' border='0'><BR><BR><BR><BR>";
    html += "<h3>Type your question below and select a reading below</h3>";
    html += "<table cellpadding='5' cellspacing='5'><tr>";
    html += "<td><b>Question:</b></td>";
    html += Format("<td  style='text-align:left'><input name='question' type='text' value='%s' SIZE='40' "
                   "MAXLENGTH='80'></td></tr>",
                   EscapeHtml(question).c_str());
    html += "<tr><td><b>Layout:</b></td>";
    html += "<td style='text-align:left'><select name='layout'>";
    for (int i = 0; i < layoutCount; ++i) {
        const char* format = i == selectedLayout ? "<option selected value='%d'>%s</option>" : "<option value='%d'>%s</option>";
        html += Format(format, i, EscapeHtml(LayoutAt(i).name).c_str());
    }
    html += "</select></td></tr>";
    html += "<tr><td style='text-align:left;'><b>Deck:</b></td>";
    html += "<td style='text-align:left;'>";
    html += "<select name='deck'>";
    for (int i = 0; i < deckCount; ++i) {
        const DeckRecord& deck = DeckAt(i);
        if (!deck.loaded) continue;
        const char* format = i == selectedDeck ? "<option value='%d' selected>%s</option>" : "<option value='%d'>%s</option>";
        html += Format(format, i, EscapeHtml(deck.directory).c_str());
    }
    html += "</select>";
    html += "</td></tr><tr>";
    html += "<td style='text-align:left;'><b>Reversed:</b></td>";
    html += "<td style='text-align:left;'>";
    html += "<input type='checkbox' name='reverse' value='1' CHECKED>";
    html += "</td></tr>";
    html += "<tr><td colspan='2' align='center'>";
    html += "<INPUT id='reading' TYPE='image' src='file:images/ask.gif' border='0' name='submit' value='Ask the Oracle'>";
    html += "</td></tr></table>";
    return html;
}

std::vector<std::string> OracleData::DeckPictures(int deck) const {
    std::vector<std::string> pictures;
    if (!IsDeckIndex(deck) || !DeckAt(deck).loaded) return pictures;
    const DeckRecord& record = DeckAt(deck);
    for (int card = 0; card < static_cast<int>(record.cards.size()); ++card) {
        pictures.push_back(record.CardImageUrl(card, 0));
        if (record.CardAt(card).hasReversedImage) pictures.push_back(record.CardImageUrl(card, 1));
    }
    return pictures;
}

platform::PageParts OracleData::ReadingFormParts() {
    platform::PageParts parts;
    parts.pictures.push_back({"file:images/readings.gif", "Readings"});
    parts.fields = {{"question", "Question"}, {"layout", "Layout"}, {"deck", "Deck"}, {"reverse", "Reversed"}};
    parts.focus = "question";
    parts.enter = "reading";
    parts.menu = "tarotbtn";
    return parts;
}

}  // namespace sw
