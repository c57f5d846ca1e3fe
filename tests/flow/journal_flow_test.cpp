// The journal and the card library driven through the page: keeping each
// kind of result, showing it again exactly as it was dealt (also once its
// deck is gone), notes, search, deletion and the exports; a reading of
// one's own cards and the card of the day, kept like a deal.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <fstream>
#include <iterator>

#include "core/random.h"
#include "core/text.h"
#include "daycard/day_card.h"
#include "support/session.h"

namespace sw::testing {
namespace {

using platform::Element;
using Keep = platform::Host::Keep;

Element Clicked(const std::string& id, std::vector<std::pair<std::string, std::string>> attributes = {}) {
    Element element("BUTTON");
    element.SetAttribute("id", id);
    for (auto& [name, value] : attributes) element.SetAttribute(name, value);
    return element;
}

void Click(Session& session, const std::string& id, std::vector<std::pair<std::string, std::string>> attributes = {}) {
    session.dialog().OnClick(Clicked(id, std::move(attributes)));
}

// The entry links of the journal page, newest first: their entry numbers.
std::vector<std::string> EntriesShown(PageDouble& page) {
    std::vector<std::string> ids;
    for (const Element& element : page.Elements())
        if (element.Id() == "journalentry") ids.push_back(element.Text("entry"));
    return ids;
}

bool Shows(const PageDouble& page, const std::string& part) { return page.Fragment().find(part) != std::string::npos; }

TEST(JournalFlow, EachKindIsKeptOnlyWhenAskedAndShownAgainAsItWasDealt) {
    std::filesystem::path folder;
    std::string spread, cast, answer;
    {
        Session session(9);
        PageDouble& page = session.page();
        folder = session.dir();
        page.Click("tarotbtn");
        page.Type("question", "Which way?");
        page.Choose("layout", "3");
        page.Click("reading");
        spread = page.Fragment();
        EXPECT_EQ(page.KeepState(), Keep::Offered);
        Click(session, "keep");
        EXPECT_EQ(page.KeepState(), Keep::Kept);
        Click(session, "keep");  // a second click keeps nothing more

        page.Click("ichingbtn");
        EXPECT_EQ(page.KeepState(), Keep::Hidden) << "the question page offers nothing";
        page.Click("iching", {{"session", "1"}});
        cast = page.Fragment();
        Click(session, "keep");

        page.Click("yesnobtn");
        page.Click("yesno", {{"session", "1"}});
        answer = page.Fragment();
        page.Key("Alt+O");  // not kept: the answer is gone with its page
        Click(session, "keep");
        page.Click("yesnobtn");
        page.Click("yesno", {{"session", "1"}});
        answer = page.Fragment();
        Click(session, "keep");

        // Printed with every entry, after another deal, a kept card opens
        // the meaning of its own spread's position, not the deal's.
        page.Click("tarotbtn");
        page.Choose("layout", "0");
        page.Click("reading");
        Click(session, "journalprintall");
        page.ClickClass("card", {{"entry", "1"}, {"pos", "0"}});
        const std::string keptTitle = PositionTitle(session.dialog().Data().LayoutAt(3).PositionText(0));
        ASSERT_NE(keptTitle, PositionTitle(session.dialog().Data().LayoutAt(0).PositionText(0)));
        EXPECT_NE(page.MeaningPage().find("<div class=heading>" + keptTitle + "</div>"), std::string::npos);

        Click(session, "journal");
        EXPECT_EQ(EntriesShown(page), (std::vector<std::string>{"3", "2", "1"}));
        EXPECT_TRUE(page.Messages().empty());
        // Keep the copy of the folder for the next run.
        std::filesystem::copy(folder, folder.string() + "-kept", std::filesystem::copy_options::recursive);
    }
    // A later run, whose deck has since gone: the entries open from what
    // was kept.
    const std::string kept = folder.string() + "-kept";
    std::filesystem::remove_all(kept + "/decks/Tarot 1909");  // the deck dealt by default
    Session later(1, kept);
    std::filesystem::remove_all(kept);
    PageDouble& page = later.page();
    page.Messages().clear();  // the missing deck, reported at start
    Click(later, "journal");
    page.Click("journalentry", {{"entry", "1"}});
    EXPECT_TRUE(Shows(page, spread)) << "the spread as it was dealt, byte for byte";
    EXPECT_TRUE(Shows(page, "no longer here as it was"));
    EXPECT_EQ(page.KeepState(), Keep::Hidden);
    // Its cards open their meanings from the kept deck.
    page.ClickClass("card", {{"pos", "0"}});
    EXPECT_TRUE(page.MeaningVisible());
    EXPECT_NE(page.MeaningPage().find("<div class=heading>Meaning</div>"), std::string::npos);
    EXPECT_TRUE(page.Messages().empty());

    page.ClickInFragment("journal");  // the entry page's Back
    page.Click("journalentry", {{"entry", "2"}});
    EXPECT_TRUE(Shows(page, cast));
    page.ClickInFragment("journal");
    page.Click("journalentry", {{"entry", "3"}});
    EXPECT_TRUE(Shows(page, answer));
}

TEST(JournalFlow, NotesSearchDeletionAndExports) {
    Session session(4);
    PageDouble& page = session.page();
    for (const char* question : {"Move to the sea?", "Change work?", "Call my sister?"}) {
        page.Click("yesnobtn");
        page.Type("question", question);
        page.Click("yesno", {{"session", "1"}});
        Click(session, "keep");
    }
    Click(session, "journal");
    page.Click("journalentry", {{"entry", "2"}});
    page.Type("journalnotes", "Talked it over;\nwait for spring");
    page.Click("journalsavenotes", {{"entry", "2"}});
    EXPECT_TRUE(page.Messages().empty()) << "saved notes are told without a box";
    EXPECT_EQ(page.Notices(), std::vector<std::string>{"Notes saved"});

    // Words of the question or the notes, in any case, all of them.
    page.ClickInFragment("journal");
    page.Type("journalsearch", "SPRING wait");
    page.Click("journalfind");
    EXPECT_EQ(EntriesShown(page), std::vector<std::string>{"2"});
    page.Type("journalsearch", "sister");
    page.Click("journalfind");
    EXPECT_EQ(EntriesShown(page), std::vector<std::string>{"3"});

    page.Type("journalsearch", "");
    page.Click("journalfind");
    page.Click("journalentry", {{"entry", "2"}});
    page.Click("journalexportone", {{"entry", "2"}});
    ASSERT_EQ(page.Downloads().size(), 1u);
    EXPECT_NE(page.Downloads()[0].second.find("> Change work?"), std::string::npos) << page.Downloads()[0].second;
    EXPECT_NE(page.Downloads()[0].second.find("wait for spring"), std::string::npos);

    // Deletion asks first; only OK deletes.
    page.ClickInFragment("journal");
    page.Click("journalentry", {{"entry", "3"}});
    page.AnswerNext(platform::kIdCancel);
    page.Click("journaldelete", {{"entry", "3"}});
    page.ClickInFragment("journal");
    EXPECT_EQ(EntriesShown(page), (std::vector<std::string>{"3", "2", "1"}));
    page.Click("journalentry", {{"entry", "3"}});
    page.AnswerNext(platform::kIdOk);
    page.Click("journaldelete", {{"entry", "3"}});
    EXPECT_EQ(EntriesShown(page), (std::vector<std::string>{"2", "1"}));

    page.Click("journalexport");
    ASSERT_EQ(page.Downloads().size(), 2u);
    EXPECT_EQ(page.Downloads()[1].first, "sagewend-journal.md");
    EXPECT_EQ(page.Downloads()[1].second.find("Call my sister?"), std::string::npos);
    page.Click("journalprintall");
    EXPECT_EQ(page.Prints(), 1);
}

TEST(JournalFlow, AJournalThatCannotBeReadIsReportedAndLeftAsItWas) {
    Session session(2);
    PageDouble& page = session.page();
    const std::string garbage = "not a database, but somebody's file";
    {
        std::ofstream out(session.dir() / "journal.sqlite3", std::ios::binary);
        out << garbage;
    }
    page.Click("yesnobtn");
    page.Click("yesno", {{"session", "1"}});
    Click(session, "keep");
    ASSERT_EQ(page.Messages().size(), 1u);
    EXPECT_NE(page.Messages()[0].message.find("journal.sqlite3"), std::string::npos) << page.Messages()[0].message;
    // The oracles go on.
    page.Click("tarotbtn");
    page.Click("reading");
    EXPECT_EQ(page.Messages().size(), 1u);
    std::ifstream in(session.dir() / "journal.sqlite3", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbage);
}

// The spread's cards as the page shows them: "pos:card:reversed", in grid order.
std::vector<std::string> CardsShown(const PageDouble& page) {
    std::vector<std::string> cards;
    const std::string& html = page.Fragment();
    for (std::size_t at = html.find("<IMG class='card' "); at != std::string::npos; at = html.find("<IMG class='card' ", at + 1)) {
        const std::string tag = html.substr(at, html.find('>', at) - at);
        auto value = [&](const std::string& name) {
            const std::size_t start = tag.find(" " + name + "='") + name.size() + 3;
            return tag.substr(start, tag.find('\'', start) - start);
        };
        cards.push_back(value("pos") + ":" + value("card") + ":" + value("reversed"));
    }
    return cards;
}

TEST(JournalFlow, OwnCardsArePlacedPositionByPositionShownAsADealAndKeptAsDrawnByHand) {
    Session session(5);
    PageDouble& page = session.page();
    const OracleData& data = session.dialog().Data();
    const LayoutRecord& cross = data.LayoutAt(3);
    page.Click("tarotbtn");
    ASSERT_EQ(page.Parts().controls.back().id, "owncards");
    page.Type("question", "What lies ahead?");
    page.Choose("layout", "3");
    page.Click("owncards");
    EXPECT_TRUE(Shows(page, "<h3>Card 1 of 10: 1 - " + PositionTitle(cross.PositionText(0)) + "</h3>"));
    EXPECT_EQ(page.Parts().focus, "ownfind");
    EXPECT_TRUE(Shows(page, "<option value='16'>The Tower</option>"));

    // Nothing chosen, or nothing of that name: said, and nothing placed.
    page.Click("ownplace");
    page.Type("ownfind", "Towr");
    page.Click("ownplace");
    ASSERT_EQ(page.Messages().size(), 2u);
    EXPECT_EQ(page.Messages()[0].message, "Please choose the card that came up");
    EXPECT_EQ(page.Messages()[1].message, "No card of the deck Tarot 1909 is called \"Towr\"");
    EXPECT_TRUE(Shows(page, "<h3>Card 1 of 10:"));

    // Ten cards, every third one reversed; a card placed is no longer offered.
    const int placed[] = {16, 0, 21, 30, 45, 60, 77, 5, 8, 13};
    for (int i = 0; i < 10; ++i) {
        if (i == 3) {
            // A card placed already cannot be placed again, even when the page offers it.
            page.Type("owncard", "16");
            page.Click("ownplace");
            EXPECT_EQ(page.Messages().back().message, "The Tower is placed already, at 1 - " + PositionTitle(cross.PositionText(0)));
            // Back takes the last card off again.
            page.Click("ownback");
            EXPECT_TRUE(Shows(page, "<h3>Card 3 of 10:"));
            EXPECT_TRUE(Shows(page, "<option value='21'>The World</option>"));
            page.Choose("owncard", "21");
            page.Tick("ownreversed", false);
            page.Click("ownplace");
        }
        EXPECT_FALSE(i > 0 && Shows(page, "<option value='16'>")) << "the Tower is placed";
        page.Choose("owncard", std::to_string(placed[i]));
        page.Tick("ownreversed", i % 3 == 0);
        page.Click("ownplace");
    }
    // The spread, as a deal of these cards shows it.
    EXPECT_TRUE(Shows(page, "<h3><center>What lies ahead?</center></h3>"));
    // Each position holds the card named for it, reversed as said (every
    // card of the sample deck has a reversed picture).
    std::map<std::string, std::string> named;
    const std::vector<DealtCard> asked = OwnCards::AskOrder(cross);
    for (std::size_t i = 0; i < asked.size(); ++i)
        named[std::to_string(asked[i].position)] = Format("%d:%d", placed[i], i % 3 == 0 ? 1 : 0);
    std::map<std::string, std::string> shown;
    for (const std::string& card : CardsShown(page)) shown[card.substr(0, card.find(':'))] = card.substr(card.find(':') + 1);
    EXPECT_EQ(shown, named);
    const std::string spread = page.Fragment();
    EXPECT_EQ(session.dialog().Question(), "What lies ahead?");
    page.ClickClass("card", {{"card", "16"}});
    EXPECT_TRUE(page.MeaningVisible());
    EXPECT_NE(page.MeaningPage().find("alt='The Tower'"), std::string::npos);
    EXPECT_NE(page.MeaningPage().find(data.DeckAt(0).CardAt(16).reversedMeaning), std::string::npos) << "it lies reversed";

    EXPECT_EQ(page.KeepState(), Keep::Offered);
    Click(session, "keep");
    Click(session, "journal");
    page.Click("journalentry", {{"entry", "1"}});
    EXPECT_TRUE(Shows(page, "deck: <b>Tarot 1909</b>, drawn by hand</p>"));
    EXPECT_TRUE(Shows(page, spread));
    // The form offers the draw's layout next, as after a deal.
    page.Click("tarotbtn");
    EXPECT_TRUE(Shows(page, "<option selected value='3'>Celtic Cross</option>"));

    // A layout with no card on it asks for nothing: its spread is empty, as a deal of it is.
    OracleData& changed = session.dialog().Data();
    changed.layouts.emplace_back();
    changed.layouts.back().name = "Nothing yet";
    changed.layoutCount = static_cast<int>(changed.layouts.size());
    page.Click("tarotbtn");
    page.Choose("layout", std::to_string(changed.layoutCount - 1));
    page.Click("owncards");
    EXPECT_TRUE(Shows(page, "<h3><center>What lies ahead?</center></h3><TABLE align='center' cellspacing=10><tr><td"));
    EXPECT_EQ(CardsShown(page), std::vector<std::string>{});
}

TEST(JournalFlow, TheCardOfTheDayIsTheSameAllDayLeavesTheDrawsAloneAndIsKept) {
    Session session(6);
    PageDouble& page = session.page();
    const OracleData& data = session.dialog().Data();
    RandomGenerator replay;
    replay.Seed(6);
    replay.Next();  // the home page's quotation
    page.Key("Alt+A");
    EXPECT_TRUE(Shows(page, "<h3>Card of the day</h3>"));
    const std::string today = page.Fragment();
    ASSERT_EQ(page.Fills().size(), 1u);
    EXPECT_EQ(page.Fills()[0].first, "sw-fill-daycard");
    page.Click("daycard", {{"class", "btn"}});
    EXPECT_EQ(page.Fragment(), today) << "the same card again";
    EXPECT_EQ(Rand(), replay.Next()) << "no random number was drawn";

    // A fixed day: the same card for every run, and another card on other days.
    JournalPages journal(page, data, session.dialog().Hexagrams());
    auto write = [&](const std::string& html) { page.WritePage(html); };
    std::string date = "2026-12-07";
    DayCard first(page, data, journal, write, [&] { return date; });
    DayCard second(page, data, journal, write, [&] { return date; });
    first.Show();
    const std::string shown = page.Fragment();
    EXPECT_TRUE(Shows(page, "<p>7 December 2026</p>"));
    second.Show();
    EXPECT_EQ(page.Fragment(), shown);
    const int card = DayCardIndex(date, data.DeckAt(0));
    EXPECT_TRUE(Shows(page, "alt='" + data.DeckAt(0).CardAt(card).name + "'"));
    std::set<int> month;
    for (int day = 1; day <= 28; ++day) month.insert(DayCardIndex(Format("2027-02-%02d", day), data.DeckAt(0)));
    EXPECT_GT(month.size(), 15u) << "the days of a month show many cards";

    // Kept, it is a reading of one card.
    page.Click("daycard", {{"class", "btn"}});
    EXPECT_EQ(page.KeepState(), Keep::Offered);
    Click(session, "keep");
    Click(session, "journal");
    page.Click("journalentry", {{"entry", "1"}});
    EXPECT_TRUE(Shows(page, "Layout: <b>Card of the day</b>, deck: <b>Tarot 1909</b></p>"));
    EXPECT_TRUE(Shows(page, "<h3><center>Card of the day</center></h3>"));
    EXPECT_TRUE(page.Messages().empty());
}

TEST(CardLibrary, ShowsEveryCardOfTheChosenDeckAndBothMeanings) {
    Session session(3);
    PageDouble& page = session.page();
    page.Key("Alt+C");
    int cards = 0;
    for (const Element& element : page.Elements()) cards += element.Id() == "librarycard";
    EXPECT_EQ(cards, 78);
    page.Click("librarycard", {{"deck", "0"}, {"card", "16"}});
    EXPECT_TRUE(Shows(page, "<h3>The Tower</h3>"));
    ASSERT_EQ(page.Fills().size(), 2u);
    EXPECT_EQ(page.Fills()[0].first, "sw-fill-upright");
    EXPECT_EQ(page.Fills()[1].first, "sw-fill-reversed");
    EXPECT_NE(page.Fills()[0].second, page.Fills()[1].second);
    // Out of range: back to the list, nothing breaks.
    Click(session, "librarycard", {{"deck", "0"}, {"card", "999"}});
    EXPECT_TRUE(Shows(page, "id='librarycard'"));
    EXPECT_TRUE(page.Messages().empty());
}

}  // namespace
}  // namespace sw::testing
