// The journal and the card library driven through the page: keeping each
// kind of result, showing it again exactly as it was dealt (also once its
// deck is gone), notes, search, deletion and the exports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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
