#include "app/help_index.h"

#include <gtest/gtest.h>
#include <gumbo.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/quote_table.h"
#include "core/text.h"
#include "store_test_support.h"

// The index pages are read back as a browser would, with an HTML parser: what
// counts is the document it builds, not the characters we wrote.

namespace {

using sw::storetest::ChangeDir;
using sw::storetest::MessageLog;
using sw::storetest::TempDir;

struct Element {
    std::string tag;
    std::map<std::string, std::string> attributes;
    std::string text;
    std::vector<Element> children;

    std::string Attr(const std::string& name) const {
        auto found = attributes.find(name);
        return found == attributes.end() ? std::string() : found->second;
    }
    bool HasClass(const std::string& name) const {
        const auto pieces = sw::Tokenize(Attr("class"), ' ');
        return std::find(pieces.begin(), pieces.end(), name) != pieces.end();
    }
    // Every element below this one, in document order, that passes the test.
    template <typename Test>
    std::vector<const Element*> Find(const Test& test) const {
        std::vector<const Element*> out;
        for (const auto& child : children) {
            if (test(child)) out.push_back(&child);
            for (const Element* below : child.Find(test)) out.push_back(below);
        }
        return out;
    }
    std::vector<const Element*> WithTag(const std::string& name) const {
        return Find([&](const Element& e) { return e.tag == name; });
    }
    std::vector<const Element*> WithClass(const std::string& name) const {
        return Find([&](const Element& e) { return e.HasClass(name); });
    }
    std::string TextOfClass(const std::string& name) const {
        auto found = WithClass(name);
        return found.empty() ? "(missing)" : found.front()->text;
    }
};

Element Convert(const GumboNode* node) {
    Element element;
    const GumboElement& source = node->v.element;
    element.tag = gumbo_normalized_tagname(source.tag);
    for (unsigned i = 0; i < source.attributes.length; ++i) {
        auto* attribute = static_cast<const GumboAttribute*>(source.attributes.data[i]);
        element.attributes[attribute->name] = attribute->value;
    }
    for (unsigned i = 0; i < source.children.length; ++i) {
        auto* child = static_cast<const GumboNode*>(source.children.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE) {
            element.text += child->v.text.text;
        } else if (child->type == GUMBO_NODE_ELEMENT) {
            element.children.push_back(Convert(child));
            element.text += element.children.back().text;
        }
    }
    return element;
}

Element Parse(const std::string& html) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size());
    Element root = Convert(output->root);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return root;
}

// The things every help page needs: a title, the help's style sheets and a way back.
void ExpectHelpPage(const Element& page, const std::string& title) {
    auto titles = page.WithTag("title");
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0]->text, title);
    std::vector<std::string> sheets;
    for (const Element* link : page.WithTag("link")) sheets.push_back(link->Attr("href"));
    bool back = false;
    for (const Element* link : page.WithTag("a")) back |= link->Attr("href") == "index.htm";
    // The chosen look is laid over the green, so it comes second.
    EXPECT_EQ(sheets, (std::vector<std::string>{"help.css", "look.css"}));
    EXPECT_TRUE(back);
    EXPECT_TRUE(page.WithTag("script").empty());
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// ---- Hexagrams ----------------------------------------------------------------

// The figure's lines in document order, as "solid" or "broken".
std::vector<std::string> FigureLines(const Element& section) {
    std::vector<std::string> lines;
    for (const Element* line : section.WithClass("line"))
        lines.push_back(line->HasClass("solid") ? "solid" : line->HasClass("broken") ? "broken" : "?");
    return lines;
}

TEST(HelpIndex, HexagramPageListsAllSixtyFourInOrderWithTheirFigures) {
    const sw::HexagramTable table;
    std::map<int, const sw::HexagramEntry*> byNumber;
    for (const auto& [key, entry] : table.Entries()) byNumber[sw::CAtoi(entry[sw::kOrdinal])] = &entry;
    ASSERT_EQ(byNumber.size(), 64u);

    const Element page = Parse(sw::BuildHexagramIndexPage(table));
    ExpectHelpPage(page, "Sagewend Hexagram Index");

    auto sections = page.Find([](const Element& e) { return e.Attr("id").starts_with("hexagram-"); });
    ASSERT_EQ(sections.size(), 64u);
    for (int n = 1; n <= 64; ++n) {
        const Element& section = *sections[static_cast<std::size_t>(n - 1)];
        const sw::HexagramEntry& entry = *byNumber.at(n);
        SCOPED_TRACE("hexagram " + std::to_string(n));
        EXPECT_EQ(section.Attr("id"), "hexagram-" + std::to_string(n));
        EXPECT_EQ(section.TextOfClass("number"), std::to_string(n));
        EXPECT_EQ(section.TextOfClass("romanised"), entry[sw::kRomanisedName]);
        EXPECT_EQ(section.TextOfClass("english"), entry[sw::kEnglishName]);
        EXPECT_EQ(FigureLines(section).size(), 6u);
        // The judgement goes in as authored, so its line breaks become elements.
        auto texts = section.WithClass("text");
        ASSERT_FALSE(texts.empty());
        EXPECT_FALSE(texts[0]->WithTag("br").empty());
    }

    // Keys are bottom line first with '8' solid; the figure and its label go
    // from the bottom too, as the help teaches a hexagram to be read.
    EXPECT_EQ(FigureLines(*sections[0]), std::vector<std::string>(6, "solid"));
    EXPECT_EQ(FigureLines(*sections[1]), std::vector<std::string>(6, "broken"));
    // 3 is "_877787", 27 "_877778", 63 "_878787".
    EXPECT_EQ(FigureLines(*sections[2]), (std::vector<std::string>{"solid", "broken", "broken", "broken", "solid", "broken"}));
    EXPECT_EQ(FigureLines(*sections[26]), (std::vector<std::string>{"solid", "broken", "broken", "broken", "broken", "solid"}));
    EXPECT_EQ(FigureLines(*sections[62]), (std::vector<std::string>{"solid", "broken", "solid", "broken", "solid", "broken"}));
    EXPECT_EQ(sections[2]->WithClass("figure")[0]->Attr("aria-label"),
              "Hexagram 3, " + byNumber.at(3)->at(sw::kEnglishName) + ": lines from the bottom: yang, yin, yin, yin, yang, yin");

    // Drawn with markup, and every number of the contents list leads to its entry.
    EXPECT_TRUE(page.WithTag("img").empty());
    auto jumps = page.Find([](const Element& e) { return e.tag == "a" && e.Attr("href").starts_with("#hexagram-"); });
    ASSERT_EQ(jumps.size(), 64u);
    for (int n = 1; n <= 64; ++n) EXPECT_EQ(jumps[static_cast<std::size_t>(n - 1)]->Attr("href"), "#hexagram-" + std::to_string(n));
}

// ---- About --------------------------------------------------------------------

// The home page credits a translator as "Author, tr. Translator"; the About page
// must name each one, so a new translated quotation cannot go uncredited.
TEST(HelpIndex, AboutPageGivesTheVersionAndCreditsEveryTranslatorTheQuotationsName) {
    const std::string html = sw::BuildAboutPage();
    const Element page = Parse(html);
    ExpectHelpPage(page, "About Sagewend");
    EXPECT_EQ(page.TextOfClass("version"), SAGEWEND_VERSION);

    std::set<std::string> credited;
    for (const Element* item : page.WithTag("li"))
        for (const Element* name : item->WithTag("b")) credited.insert(name->text);
    std::set<std::string> translators;
    for (const sw::Quote& quote : sw::QuoteTable) {
        const std::string attribution = quote.attribution;
        const auto tr = attribution.find(", tr. ");
        if (tr != std::string::npos) translators.insert(attribution.substr(tr + 6));
    }
    ASSERT_FALSE(translators.empty());
    for (const std::string& translator : translators) EXPECT_EQ(credited.count(translator), 1u) << translator;

    EXPECT_NE(html.find("Card pictures of the 1909 deck: Pamela Colman Smith (1878-1951), public domain; scans of "
                        "a 1909 printing via Wikimedia Commons."),
              std::string::npos);
}

// ---- Cards --------------------------------------------------------------------

TEST(HelpIndex, CardPageShowsEverySampleCardWithAPictureThatExists) {
    TempDir dir;
    std::filesystem::copy(std::filesystem::path(SAGEWEND_SOURCE_DIR) / "sample", dir.path(),
                          std::filesystem::copy_options::recursive);
    MessageLog log;
    ChangeDir into(dir.path());
    const sw::OracleData data;
    ASSERT_TRUE(log.messages().empty());
    ASSERT_FALSE(data.decks.empty());

    const Element page = Parse(sw::BuildCardIndexPage(data));
    ExpectHelpPage(page, "Sagewend Card Index");
    auto headings = page.WithTag("h2");
    ASSERT_EQ(headings.size(), data.decks.size());

    // Every deck of the sample, each after its heading, in the catalogue's order.
    auto cards = page.WithClass("card");
    std::size_t listed = 0;
    for (std::size_t d = 0; d < data.decks.size(); ++d) {
        const sw::DeckRecord& deck = data.decks[d];
        SCOPED_TRACE(deck.directory);
        ASSERT_TRUE(deck.loaded);
        ASSERT_FALSE(deck.cards.empty());
        EXPECT_EQ(headings[d]->text, deck.directory);
        ASSERT_LE(listed + deck.cards.size(), cards.size());
        for (std::size_t i = 0; i < deck.cards.size(); ++i) {
            const Element& card = *cards[listed++];
            SCOPED_TRACE(deck.cards[i].name);
            EXPECT_EQ(card.Attr("id"), "deck-" + std::to_string(d + 1) + "-card-" + std::to_string(i + 1));
            ASSERT_EQ(card.WithTag("h3").size(), 1u);
            EXPECT_EQ(card.WithTag("h3")[0]->text, deck.cards[i].name);
            auto pictures = card.WithTag("img");
            ASSERT_EQ(pictures.size(), 1u);
            EXPECT_EQ(pictures[0]->Attr("alt"), deck.cards[i].name);
            const std::string src = pictures[0]->Attr("src");
            ASSERT_TRUE(src.starts_with("/decks/")) << src;
            EXPECT_EQ(src.find(' '), std::string::npos) << src;
            EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / PercentDecode(src.substr(1)))) << src;
        }
    }
    EXPECT_EQ(listed, cards.size());
}

TEST(HelpIndex, CardPageEscapesNamesEncodesPicturePathsAndSkipsDecksThatFailedToLoad) {
    const std::string hostile = "<b>&\"'";
    sw::OracleData data{sw::OracleData::NoLoad{}};
    sw::DeckRecord broken;
    broken.directory = "Broken Deck";
    broken.cards.resize(1);
    broken.cards[0].name = "Never Listed";
    sw::DeckRecord odd;
    odd.directory = "Odd #1? 100% \xc3\xa9";
    odd.loaded = true;
    sw::CardRecord card;
    card.name = hostile;
    card.number = "0x";
    card.imageExtension = "svg";
    card.meaning = "Up<BR>text";
    card.reversedMeaning = "Down";
    card.hasReversedImage = true;
    odd.cards = {card};
    odd.cardCount = 1;
    data.decks = {broken, odd};
    data.deckCount = 2;

    const std::string html = sw::BuildCardIndexPage(data);
    EXPECT_EQ(html.find(hostile), std::string::npos);
    EXPECT_EQ(html.find("Never Listed"), std::string::npos);
    EXPECT_EQ(html.find("Broken Deck"), std::string::npos);

    const Element page = Parse(html);
    auto cards = page.WithClass("card");
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0]->Attr("id"), "deck-2-card-1");
    EXPECT_EQ(cards[0]->WithTag("h3")[0]->text, hostile);
    EXPECT_TRUE(cards[0]->WithTag("b").empty());
    const Element& picture = *cards[0]->WithTag("img")[0];
    EXPECT_EQ(picture.Attr("alt"), hostile);
    EXPECT_EQ(picture.Attr("src"), "/decks/Odd%20%231%3F%20100%25%20%C3%A9/0x.svg");
    // Meanings are authored HTML: their breaks are kept as breaks.
    EXPECT_EQ(cards[0]->WithTag("br").size(), 1u);

    sw::OracleData none{sw::OracleData::NoLoad{}};
    none.decks = {broken};
    EXPECT_TRUE(Parse(sw::BuildCardIndexPage(none)).WithClass("card").empty());
}

// A deck from someone else: its meanings show as the text they are, with
// only plain emphasis and breaks, and nothing in them can move the window,
// post, link, load or run.
TEST(HelpIndex, HostileMeaningsStayTextAndReachNothing) {
    const std::string hostile =
        "<meta http-equiv=\"refresh\" content=\"0;url=http://evil.example/\">"
        "<base href=\"http://evil.example/\"><form action=\"http://evil.example/\"><input name=q></form>"
        "<a href=\"http://evil.example/\">Click</a><img src=x onerror=alert(1)><script>alert(2)</script>"
        "<B>Bold</B> and <i>leaning</i><BR>kept &amp; &eacute;&#233; <b class=x>styled</b> <strong>open";
    sw::OracleData data{sw::OracleData::NoLoad{}};
    sw::DeckRecord deck;
    deck.directory = "Shared";
    deck.loaded = true;
    sw::CardRecord card;
    card.name = "Card";
    card.number = "00";
    card.imageExtension = "jpg";
    card.meaning = hostile;
    card.reversedMeaning = "<iframe src=http://evil.example/></iframe>Down";
    card.hasReversedImage = true;
    deck.cards = {card, card};
    deck.cardCount = 2;
    data.decks = {deck};
    data.deckCount = 1;

    const Element page = Parse(sw::BuildCardIndexPage(data));
    ExpectHelpPage(page, "Sagewend Card Index");
    auto meanings = page.WithClass("meaning");
    ASSERT_EQ(meanings.size(), 4u);
    for (const char* tag : {"meta", "base", "form", "input", "a", "img", "script", "iframe"})
        for (const Element* meaning : meanings) EXPECT_TRUE(meaning->WithTag(tag).empty()) << tag;
    // Only the page's own head has a meta element, and only its charset.
    auto metas = page.WithTag("meta");
    ASSERT_EQ(metas.size(), 1u);
    EXPECT_EQ(metas[0]->Attr("charset"), "utf-8");
    EXPECT_TRUE(page.WithTag("base").empty());
    EXPECT_TRUE(page.WithTag("form").empty());
    for (const Element* link : page.WithTag("a"))
        EXPECT_EQ(link->Attr("href").find("evil"), std::string::npos) << link->Attr("href");

    const Element& upright = *meanings[0];
    EXPECT_NE(upright.text.find("<a href=\"http://evil.example/\">Click</a>"), std::string::npos) << upright.text;
    EXPECT_NE(upright.text.find("kept & \xC3\xA9\xC3\xA9 <b class=x>styled"), std::string::npos) << upright.text;
    ASSERT_EQ(upright.WithTag("b").size(), 1u);
    EXPECT_EQ(upright.WithTag("b")[0]->text, "Bold");
    EXPECT_EQ(upright.WithTag("i").size(), 1u);
    EXPECT_EQ(upright.WithTag("br").size(), 1u);
    // Emphasis left open ends with its meaning: the next card is plain.
    ASSERT_EQ(upright.WithTag("strong").size(), 1u);
    EXPECT_EQ(upright.WithTag("strong")[0]->text, "open");
    EXPECT_TRUE(page.WithClass("card")[1]->WithTag("h3")[0]->WithTag("strong").empty());
    EXPECT_EQ(meanings[1]->text, "<iframe src=http://evil.example/></iframe>Down");
}

}  // namespace
