#include "app/home_page.h"

#include "app/quote_table.h"
#include "core/text.h"

namespace sw {

std::string RenderHomePage(int index) {
    const Quote& quote = QuoteTable[index];
    std::string html;
    html += "<TABLE align='center' width='400' border='0' height='100%'>";
    html += "<TR><TD align=center style='font-size : 12pt;' valign='top'>";
    html += "<BR><BR><img src='file:./images/logo.gif'><br><BR><BR><BR><BR><BR> ";
    html += "<DIV  style='font-size : 12pt;' align='left'>";
    html += Format("%s</DIV><BR><B><I>- %s</B>", quote.text, quote.attribution);
    html += "</TD></TR></TABLE><BR>";
    return html;
}

platform::PageParts HomePageParts() {
    platform::PageParts parts;
    parts.pictures.push_back({"file:./images/logo.gif", "Sagewend"});
    parts.menu = "home";
    return parts;
}

}  // namespace sw
