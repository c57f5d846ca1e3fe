#include "app/help_index.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/text.h"

// Names and titles are escaped. Hexagram texts are the program's own HTML
// (with "<BR>" breaks) and go in as they stand. Card meanings come from deck
// files that anyone may have written, and the help has no sanitiser: there
// they are text, with only a few plain tags let through (see HelpMeaning).
// The pages carry no script and no inline style: every look comes from
// help.css, and the look chosen beside the green from look.css.

namespace sw {

namespace {

std::string PageStart(const char* title) {
    std::string html;
    html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    html += title;
    html += "</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"help.css\">\n"
            "<link rel=\"stylesheet\" type=\"text/css\" href=\"look.css\">\n</head>\n<body>\n";
    html += "<p class=\"back\" id=\"top\"><a href=\"index.htm\">Back to Sagewend Help</a></p>\n";
    html += "<h1>";
    html += title;
    html += "</h1>\n";
    return html;
}

std::string PageEnd() {
    return "<hr>\n<p><a href=\"#top\">Back to the top</a> &middot; <a href=\"index.htm\">Back to Sagewend Help</a></p>\n"
           "</body>\n</html>\n";
}

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

bool IsUnreserved(unsigned char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' ||
           ch == '.' || ch == '_' || ch == '~';
}

std::string EncodeSegment(std::string_view segment) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : segment) {
        if (IsUnreserved(ch)) {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += kHex[ch >> 4];
            out += kHex[ch & 15];
        }
    }
    return out;
}

// A meaning or text that is empty still says so, rather than leaving a gap
// under its label.
std::string TextOrNote(const std::string& html, const char* note) {
    return html.empty() ? std::string("<p class=\"none\">") + note + "</p>" : html;
}

// ---- Cards ----------------------------------------------------------------

// The length of the character reference ("&amp;", "&#233;", "&#xE9;") at
// text[at], or 0 when there is none.
std::size_t CharacterReference(std::string_view text, std::size_t at) {
    std::size_t i = at + 1;
    const bool numeric = i < text.size() && text[i] == '#';
    const bool hex = numeric && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
    i += numeric ? (hex ? 2 : 1) : 0;
    const std::size_t start = i;
    while (i < text.size() && i - start < 32) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool digit = c >= '0' && c <= '9';
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!(numeric ? digit || (hex && letter && (c | 0x20) <= 'f') : digit || letter)) break;
        ++i;
    }
    if (i == start || i >= text.size() || text[i] != ';') return 0;
    return i + 1 - at;
}

// A card meaning for the help: escaped as text, except the plain tags
// meanings are written with, which pass in lower case, and character
// references, which stay as written. No tag with attributes passes, so
// nothing can link, load, refresh or post; emphasis left open is closed at
// the end, so it cannot run into the next card.
std::string HelpMeaning(std::string_view html) {
    static constexpr std::string_view kPlainTags[] = {"b", "i", "em", "strong", "p"};
    static constexpr std::string_view kBreaks[] = {"<br>", "<br/>", "<br />"};
    std::string out;
    std::vector<std::string_view> open;
    auto tagAt = [&](std::size_t at, std::string_view tag) {
        return html.size() - at >= tag.size() && EqualsNoCase(html.substr(at, tag.size()), tag);
    };
    for (std::size_t i = 0; i < html.size();) {
        if (html[i] == '<') {
            std::size_t taken = 0;
            for (std::string_view brk : kBreaks)
                if (!taken && tagAt(i, brk)) {
                    out += "<br>";
                    taken = brk.size();
                }
            for (std::string_view name : kPlainTags) {
                if (taken) break;
                const std::string start = "<" + std::string(name) + ">";
                const std::string end = "</" + std::string(name) + ">";
                if (tagAt(i, start)) {
                    out += start;
                    if (name != "p") open.push_back(name);
                    taken = start.size();
                } else if (tagAt(i, end)) {
                    out += end;
                    const auto last = std::find(open.rbegin(), open.rend(), name);
                    if (last != open.rend()) open.erase(std::next(last).base());
                    taken = end.size();
                }
            }
            if (taken) {
                i += taken;
                continue;
            }
        } else if (html[i] == '&') {
            if (const std::size_t taken = CharacterReference(html, i)) {
                out.append(html.substr(i, taken));
                i += taken;
                continue;
            }
        }
        out += EscapeHtml(html.substr(i, 1));
        ++i;
    }
    for (auto name = open.rbegin(); name != open.rend(); ++name) out += "</" + std::string(*name) + ">";
    return out;
}

std::string CardAnchor(std::size_t deck, std::size_t card) {
    return "deck-" + std::to_string(deck + 1) + "-card-" + std::to_string(card + 1);
}

void AppendDeck(std::string& html, const DeckRecord& deck, std::size_t deckIndex) {
    const std::string deckName = EscapeHtml(deck.directory);
    html += "<h2 id=\"deck-" + std::to_string(deckIndex + 1) + "\">" + deckName + "</h2>\n";
    if (deck.cards.empty()) {
        html += "<p class=\"none\">This deck has no cards.</p>\n";
        return;
    }
    html += "<p class=\"jump\">";
    for (std::size_t i = 0; i < deck.cards.size(); ++i) {
        if (i > 0) html += " &middot; ";
        html += "<a href=\"#" + CardAnchor(deckIndex, i) + "\">" + EscapeHtml(deck.cards[i].name) + "</a>";
    }
    html += "</p>\n";

    for (std::size_t i = 0; i < deck.cards.size(); ++i) {
        const CardRecord& card = deck.cards[i];
        const std::string name = EscapeHtml(card.name);
        html += "<section class=\"card\" id=\"" + CardAnchor(deckIndex, i) + "\">\n";
        html += "<img class=\"card-picture\" width=\"100\" src=\"" +
                EscapeHtml(ServedPictureUrl(deck.CardImageUrl(static_cast<int>(i), 0))) + "\" alt=\"" + name + "\">\n";
        html += "<div class=\"card-text\">\n<h3>" + name + "</h3>\n";
        html += "<h4>Upright</h4>\n<div class=\"meaning\">" +
                TextOrNote(HelpMeaning(card.meaning), "No upright meaning is given for this card.") + "</div>\n";
        if (card.hasReversedImage) {
            html += "<h4>Reversed</h4>\n<div class=\"meaning\">" +
                    TextOrNote(HelpMeaning(card.reversedMeaning), "No reversed meaning is given for this card.") +
                    "</div>\n";
        } else {
            // The spread never turns such a card over, so its reversed text is never read.
            html += "<p class=\"none\">This card has no reversed form: it is always read upright.</p>\n";
        }
        html += "</div>\n</section>\n";
    }
}

// ---- Hexagrams --------------------------------------------------------------

// The key holds '8' for a solid line and '7' for a broken one, bottom line
// first. The figure keeps that order, the order in which a hexagram is cast
// and read, and the style sheet stacks its lines upwards, so the first line
// lies at the bottom; its label reads them the same way, in the words the
// reading page uses. Borders rather than backgrounds draw the lines, so they
// stay visible in forced colours.
std::string Figure(const std::string& key, const HexagramEntry& entry) {
    std::string lines;
    std::string label = "Hexagram " + EscapeHtml(entry[kOrdinal]) + ", " + EscapeHtml(entry[kEnglishName]) +
                        ": lines from the bottom:";
    const std::size_t end = std::min<std::size_t>(key.size(), 7);
    for (std::size_t line = 1; line < end; ++line) {
        const bool solid = key[line] == '8';
        lines += solid ? "<span class=\"line solid\"></span>"
                       : "<span class=\"line broken\"><span></span><span></span></span>";
        label += line > 1 ? ", " : " ";
        label += solid ? "yang" : "yin";
    }
    return "<div class=\"figure\" role=\"img\" aria-label=\"" + label + "\">" + lines + "</div>";
}

// A trigram text is its romanised name padded to seven characters, then its
// English name and image: "Kun    The Yielding, Earth".
std::string Trigram(const std::string& text) {
    if (text.size() > 7) {
        const std::string romanised = Trim(std::string_view(text).substr(0, 7));
        const std::string rest = Trim(std::string_view(text).substr(7));
        if (!romanised.empty() && !rest.empty() && romanised.find(' ') == std::string::npos)
            return "<b>" + EscapeHtml(romanised) + "</b> " + EscapeHtml(rest);
    }
    return EscapeHtml(Trim(text));
}

void AppendHexagram(std::string& html, const std::string& key, const HexagramEntry& entry) {
    const std::string ordinal = EscapeHtml(entry[kOrdinal]);
    html += "<section class=\"hexagram\" id=\"hexagram-" + std::to_string(CAtoi(entry[kOrdinal])) + "\">\n";
    html += "<h2><span class=\"number\">" + ordinal + "</span>. <span class=\"romanised\">" +
            EscapeHtml(entry[kRomanisedName]) + "</span> &ndash; <span class=\"english\">" +
            EscapeHtml(entry[kEnglishName]) + "</span></h2>\n";
    html += "<div class=\"hexagram-head\">" + Figure(key, entry) + "\n";
    html += "<p class=\"trigrams\">Upper trigram: " + Trigram(entry[kUpperTrigram]) + "<br>Lower trigram: " +
            Trigram(entry[kLowerTrigram]) + "</p></div>\n";
    html += "<h3>The Judgement</h3>\n<div class=\"text\">" +
            TextOrNote(entry[kJudgement], "No judgement is given for this hexagram.") + "</div>\n";
    html += "<h3>The Image</h3>\n<div class=\"text\">" +
            TextOrNote(entry[kImage], "No image is given for this hexagram.") + "</div>\n";
    html += "</section>\n";
}

}  // namespace

std::string ServedPictureUrl(const std::string& fileUrl) {
    std::string_view path = fileUrl;
    if (path.starts_with("file:")) path.remove_prefix(5);
    while (path.starts_with("./")) path.remove_prefix(2);
    std::string url;
    for (;;) {
        const auto slash = path.find('/');
        url += '/';
        url += EncodeSegment(path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return url;
}

std::string BuildCardIndexPage(const OracleData& data) {
    std::string html = PageStart("Sagewend Card Index");
    html += "<p>Every card of every deck, in the order of the deck, with its picture and its "
            "meanings: the <b>upright</b> meaning, and the <b>reversed</b> meaning that a reading gives when the "
            "card comes up upside down. How to read the cards together is told in "
            "<a href=\"index.htm#tarot\">Tarot basics</a>.</p>\n";

    std::vector<std::size_t> shown;
    for (std::size_t d = 0; d < data.decks.size(); ++d)
        if (data.decks[d].loaded) shown.push_back(d);
    if (shown.empty()) {
        html += "<p class=\"none\">No deck is loaded, so there are no cards to list.</p>\n";
        return html + PageEnd();
    }

    html += "<p class=\"jump\">Decks: ";
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (i > 0) html += " &middot; ";
        html += "<a href=\"#deck-" + std::to_string(shown[i] + 1) + "\">" + EscapeHtml(data.decks[shown[i]].directory) +
                "</a>";
    }
    html += "</p>\n";
    for (std::size_t d : shown) AppendDeck(html, data.decks[d], d);
    return html + PageEnd();
}

// ---- The look ---------------------------------------------------------------

// Only imports: the sheets themselves stay files of the help, served as such.
std::string BuildHelpLookSheet(std::string_view theme) {
    if (theme == "dark") return "@import url(\"help-dark.css\");\n";
    if (theme == "contrast") return "@import url(\"help-contrast.css\");\n";
    if (theme == "green") return "/* The green of help.css. */\n";
    return "@import url(\"help-contrast.css\") (prefers-contrast: more);\n"
           "@import url(\"help-dark.css\") (prefers-color-scheme: dark) and (not (prefers-contrast: more));\n";
}

// ---- About ------------------------------------------------------------------

// The version comes from the build, which is why this page is made rather
// than stored. The credits name every translator whose words the quotations
// use and the sources of the pictures, the hexagram texts and the page script.
std::string BuildAboutPage() {
    std::string html = PageStart("About Sagewend");
    html += "<p>Sagewend version <b class=\"version\">" + EscapeHtml(SAGEWEND_VERSION) +
            "</b>: card readings, the I Ching and a yes/no oracle, with a layout editor, a journal and a card "
            "library.</p>\n";
    html += "<h2 id=\"licence\">Licence</h2>\n"
            "<p>Copyright 2026 The Sagewend developers. Sagewend's own files are not yet released under a public "
            "licence; until they are, all rights are reserved by their authors.</p>\n"
            "<p>The page script uses DOMPurify, by Cure53 and other contributors, under the Apache License 2.0 or "
            "the Mozilla Public License 2.0. Its licence text comes with the sources "
            "(<code>res/vendor/purify.LICENSE</code>) and, in an installed Sagewend, in "
            "<code>/usr/share/doc/sagewend/copyright</code>.</p>\n";
    html += "<h2 id=\"credits\">Credits</h2>\n<h3>Pictures</h3>\n<ul>\n"
            "<li>The Classic Tarot deck: pictures of our own, drawn for Sagewend by its picture generator "
            "(<code>tools/make_cards.py</code>).</li>\n"
            "<li>Card pictures of the 1909 deck: Pamela Colman Smith (1878-1951), public domain; scans of a 1909 "
            "printing via Wikimedia Commons.</li>\n"
            "<li>The logo, the page pictures and the icon: our own (the pictures drawn by "
            "<code>tools/make_pictures.py</code>, the icon <code>res/icon.svg</code>).</li>\n</ul>\n"
            "<h3>The card meanings and the layouts</h3>\n"
            "<p>The meanings of the Classic Tarot's cards and the bundled layouts are written for Sagewend.</p>\n";
    html += "<h3>The hexagram texts</h3>\n"
            "<p>The names, judgements, images and line texts of the 64 hexagrams are Sagewend's own plain English "
            "rendering of the Chinese classic, made with the public-domain translation of James Legge (The Yi King, "
            "1882) beside it. Chinese names are given in pinyin.</p>\n";
    html += "<h3>The quotations</h3>\n"
            "<p>A quotation on the home page whose credit names a translator (&quot;Laozi, tr. Legge&quot;) is in "
            "the words of that public-domain translation:</p>\n<ul>\n"
            "<li><b>Legge</b>: James Legge, for Laozi (The Tao Teh King, 1891), Zhuangzi (The Writings of Kwang-ze, "
            "1891), Confucius (The Confucian Analects) and Mencius (The Works of Mencius).</li>\n"
            "<li><b>Basore</b>: John W. Basore, for Seneca (On the Shortness of Life, in the Moral Essays, "
            "1932).</li>\n"
            "<li><b>Burnet</b>: John Burnet, for Heraclitus (Early Greek Philosophy, 1892).</li>\n"
            "<li><b>Nicholson</b>: Reynold A. Nicholson, for Rumi (The Mathnawi, Book I, 1926).</li>\n"
            "<li><b>Common</b>: Thomas Common, for Nietzsche (Thus Spake Zarathustra, 1909).</li>\n"
            "</ul>\n<p>The other quotations were written in English, or are given in the wording they have long had "
            "in English.</p>\n";
    return html + PageEnd();
}

std::string BuildHexagramIndexPage(const HexagramTable& table) {
    std::vector<std::pair<int, const std::pair<const std::string, HexagramEntry>*>> order;
    for (const auto& item : table.Entries()) order.emplace_back(CAtoi(item.second[kOrdinal]), &item);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    std::string html = PageStart("Sagewend Hexagram Index");
    html += "<p>The 64 hexagrams of the I Ching in their traditional order. Read each figure from the "
            "bottom up, as it is cast: the first line lies at the bottom and the sixth at the top; a solid line is "
            "yang, a broken line yin. With each hexagram come its two trigrams (the lower three lines and the upper "
            "three), its judgement and its image. How to read a cast is told in "
            "<a href=\"index.htm#iching-basics\">I Ching basics</a>.</p>\n";

    html += "<nav class=\"jump numbers\" aria-label=\"Hexagrams by number\">";
    for (const auto& [number, item] : order) {
        html += "<a href=\"#hexagram-" + std::to_string(number) + "\" title=\"" +
                EscapeHtml(item->second[kRomanisedName] + " - " + item->second[kEnglishName]) + "\">" +
                std::to_string(number) + "</a>";
    }
    html += "</nav>\n";
    for (const auto& [number, item] : order) AppendHexagram(html, item->first, item->second);
    return html + PageEnd();
}

}  // namespace sw
