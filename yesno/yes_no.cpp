#include "yesno/yes_no.h"

#include "core/random.h"
#include "core/text.h"

namespace sw {

const std::array<const char*, 23> YesNoAnswers = {
    "Yes.",
    "No.",
    "It depends on you.",
    "Time will tell.",
    "It is very unlikely.",
    "Perhaps.",
    "Yes.",
    "No.",
    "Definitely.",
    "Maybe the question is not the right one?",
    "The answer lies within your heart.",
    "Of course.",
    "YES.",
    "NO.",
    "The answer depends on what you decide.",
    "Ask again later.",
    "Take some time and the answer will come.",
    "Yes.",
    "No.",
    "Things look promising",
    "What you do will give you the answer",
    "Yes.",
    "No.",
};

std::string YesNoOracle::RenderYesNoPage(int asked, const std::string& question, platform::Host& host,
                                         int* answer) const {
    host.SetWaitCursor(true);
    const int n = Rand();  // drawn on every call, answer shown or not
    int shown = -1;
    if (asked != 0) {
        host.Pause(1000);
        shown = n % 23;
        if (answer) *answer = shown;
    }
    std::string html = RenderAnswerPage(shown, question);
    host.SetWaitCursor(false);
    return html;
}

std::string YesNoOracle::RenderAnswerPage(int answer, const std::string& question) {
    std::string html = "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
    html += "<BR><BR><img src='file:images/yesno.gif' border='0'><BR><BR><BR><BR>";
    if (answer >= 0 && answer < static_cast<int>(YesNoAnswers.size()))
        html += Format("<h3>%s</h3><BR>", YesNoAnswers[answer]);
    else
        html += "<h3>Without a question there can be no answer</h3><BR>";
    html += "<input id='question' name='question' type='text' value='";
    html += EscapeHtml(question);
    html += "' size=60><BR><BR>";
    html += "<INPUT session='1' id='yesno' TYPE='image' src='file:images/ask.gif' border='0' name='submit' "
            "value='Ask the Oracle'>";
    html += "</td></tr></table>";
    return html;
}

platform::PageParts YesNoOracle::Parts() {
    platform::PageParts parts;
    parts.pictures.push_back({"file:images/yesno.gif", "Yes/No"});
    parts.fields = {{"question", "Question"}};
    parts.focus = "question";
    parts.enter = "yesno";
    parts.menu = "yesnobtn";
    return parts;
}

}  // namespace sw
