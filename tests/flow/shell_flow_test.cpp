// Clicking and typing through the main page: routing, keys, home page,
// notifications, help and exit, and the preferences kept from run to run.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/home_page.h"
#include "app/quote_table.h"
#include "app/sagewend_dlg.h"
#include "core/random.h"
#include "settings/settings_file.h"
#include "support/session.h"

namespace sw::testing {
namespace {

using platform::Element;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

Element MakeElement(const std::string& tag, std::vector<std::pair<std::string, std::string>> attributes) {
    Element element(tag);
    for (auto& [name, value] : attributes) element.SetAttribute(name, platform::Variant(value));
    return element;
}

TEST(ShellFlow, HomePageIsWrittenAtStartWithTheFirstDraw) {
    Session session(1);
    // Seed 1 draws 41 first.
    EXPECT_EQ(session.page().Fragment(), RenderHomePage(41 % kQuoteCount));
    EXPECT_EQ(session.page().Writes(), 1);
    EXPECT_TRUE(session.page().Messages().empty());
}

TEST(ShellFlow, MenuLinksAndTheirUnderlinedLettersReachTheSameHandlers) {
    Session session(7);
    auto& page = session.page();
    struct Case {
        std::string id;
        std::string expect;
    };
    const std::vector<Case> cases = {
        {"tarotbtn", "Type your question below and select a reading below"},
        {"tarotu", "Type your question below and select a reading below"},
        {"ichingbtn", "Type your question below and then focus on it in your mind"},
        {"ichingu", "Type your question below and then focus on it in your mind"},
        {"yesnobtn", "Without a question there can be no answer"},
        {"yesnou", "Without a question there can be no answer"},
        {"editor", "Select the layout you wish to edit or click add to create a new one."},
    };
    for (const auto& test : cases) {
        page.WritePage("<p>blank</p>");
        // The links share their ids with their letters, so click by tag.
        const auto elements = page.Elements();
        std::optional<Element> target;
        for (const auto& element : elements)
            if (element.Id() == test.id) target = element;
        ASSERT_TRUE(target) << test.id;
        session.dialog().OnClick(*target);
        EXPECT_TRUE(Contains(page.Fragment(), test.expect)) << test.id;
    }
    EXPECT_TRUE(page.Pauses().empty()) << "menu pages never pause";
    EXPECT_TRUE(page.Messages().empty());
}

TEST(ShellFlow, RoutingMatchesTheClassWholeAndTheIdExactly) {
    Session session(3);
    auto& dialog = session.dialog();
    auto& page = session.page();

    // The card class is the first entry: it wins over an id that would
    // route elsewhere. With no spread on show it is refused with a message.
    EXPECT_TRUE(dialog.Route(MakeElement("IMG", {{"class", "card"}, {"id", "home"}, {"pos", "0"}, {"card", "0"}, {"reversed", "0"}})));
    ASSERT_EQ(page.Messages().size(), 1u);
    EXPECT_EQ(page.Messages()[0].icon, platform::kIconExclamation);

    // Two classes do not match "card"; the id then routes.
    const int writes = page.Writes();
    EXPECT_TRUE(dialog.Route(MakeElement("IMG", {{"class", "card big"}, {"id", "home"}})));
    EXPECT_EQ(page.Writes(), writes + 1);
    EXPECT_EQ(page.Messages().size(), 1u);

    // Ids compare case-sensitively; unmatched clicks do nothing.
    EXPECT_FALSE(dialog.Route(MakeElement("A", {{"id", "Home"}})));
    EXPECT_FALSE(dialog.Route(MakeElement("TD", {})));
    EXPECT_FALSE(dialog.Route(MakeElement("DIV", {{"id", "fileList"}})));
    EXPECT_EQ(page.Writes(), writes + 1);
    EXPECT_EQ(page.Messages().size(), 1u);
}

TEST(ShellFlow, EveryEventMapEntryIsAClickAndTheTableEnds) {
    int entries = 0;
    for (auto* entry = CSagewendDlg::GetDHtmlEventMap(); entry->kind != 5; ++entry) {
        EXPECT_EQ(entry->event, -600);
        EXPECT_NE(entry->handler, nullptr);
        ++entries;
    }
    EXPECT_EQ(entries, 27);  // the oracles', the frame's and the editor's, with the list's Delete and Duplicate
    EXPECT_STREQ(CSagewendDlg::GetDHtmlEventMap()[0].name, "card");
    EXPECT_EQ(CSagewendDlg::GetDHtmlEventMap()[0].kind, 1);
}

TEST(ShellFlow, HomeAndAltODrawANewQuotationEachTime) {
    Session session(1);
    auto& page = session.page();
    page.Click("tarotbtn");
    page.Key("Alt+O");
    EXPECT_EQ(page.Fragment(), RenderHomePage(18467 % kQuoteCount));
    page.WritePage("");
    // Clicking the underlined o of Home routes like the link.
    for (const auto& element : page.Elements()) {
        if (element.Id() == "home" && element.Tag() == "U") {
            session.dialog().OnClick(element);
            break;
        }
    }
    EXPECT_EQ(page.Fragment(), RenderHomePage(6334 % kQuoteCount));
}

TEST(ShellFlow, ExitAsksFirstAndOnlyOkEnds) {
    for (const std::string way : {"click", "Alt+X", "Escape"}) {
        Session session(2);
        auto& page = session.page();
        const std::string before = page.Fragment();
        page.AnswerNext(platform::kIdCancel);
        if (way == "click") page.Click("exit", {{"class", "btn"}});
        else page.Key(way);
        ASSERT_EQ(page.Messages().size(), 1u) << way;
        EXPECT_EQ(page.Messages()[0].message, "Are you sure?");
        EXPECT_EQ(page.Messages()[0].icon, platform::kIconQuestion);
        EXPECT_FALSE(page.Ended()) << way;
        EXPECT_EQ(page.Fragment(), before);

        page.AnswerNext(platform::kIdOk);
        if (way == "click") page.Click("exit", {{"class", "btn"}});
        else page.Key(way);
        EXPECT_TRUE(page.Ended()) << way;
    }
}

TEST(ShellFlow, EnterAndF5DoNothing) {
    Session session(2);
    auto& page = session.page();
    const std::string before = page.Fragment();
    page.Key("Enter");
    page.Key("F5");
    page.Key("Alt+Q");
    EXPECT_EQ(page.Fragment(), before);
    EXPECT_EQ(page.Writes(), 1);
    EXPECT_TRUE(page.Messages().empty());
    EXPECT_FALSE(page.Ended());
}

TEST(ShellFlow, HelpAndDisclaimerOpenTopicsAndLeaveThePage) {
    Session session(2);
    auto& page = session.page();
    const std::string before = page.Fragment();
    page.Click("help", {{"class", "btn"}});
    page.Key("Alt+H");
    page.Key("F1");
    page.Click("disclaim", {{"class", "btn"}});
    EXPECT_EQ(page.HelpTopics(), (std::vector<std::string>{"", "", "", "disclaimer.htm"}));
    EXPECT_EQ(page.Fragment(), before);
    EXPECT_EQ(page.Writes(), 1);
}

TEST(ShellFlow, KeysLookUpTheMenuLinksSoTheyActAsMenuClicks) {
    Session session(2);
    auto& page = session.page();
    page.Key("Alt+Y");
    EXPECT_TRUE(Contains(page.Fragment(), "Without a question there can be no answer"));
    EXPECT_TRUE(page.Pauses().empty());
    page.Key("Alt+I");
    EXPECT_TRUE(Contains(page.Fragment(), "then focus on it in your mind"));
    page.Key("Alt+R");
    EXPECT_TRUE(Contains(page.Fragment(), "select a reading below"));
    page.Key("Alt+E");
    EXPECT_TRUE(Contains(page.Fragment(), "Select the layout you wish to edit"));
}

TEST(ShellFlow, MenuPagesHideTheMeaningWindowButHelpDoesNot) {
    Session session(5);
    auto& page = session.page();
    page.Click("tarotbtn");
    page.Click("reading");
    ASSERT_TRUE(page.Messages().empty());
    page.ClickClass("card", {{"pos", "0"}});
    ASSERT_TRUE(page.MeaningVisible());
    page.Click("help", {{"class", "btn"}});
    EXPECT_TRUE(page.MeaningVisible());
    for (const std::string key : {"Alt+O", "Alt+R", "Alt+I", "Alt+Y", "Alt+E"}) {
        page.ShowMeaningWindow(true);
        page.Key(key);
        EXPECT_FALSE(page.MeaningVisible()) << key;
    }
}

// The page script names a page's fields and pictures from what the program
// sends beside the fragment; a page builder that adds or renames a field
// without saying what it is would leave it unnamed for screen readers.
TEST(ShellFlow, EveryFieldAndPictureOfEveryPageIsNamed) {
    Session session(3);
    auto& page = session.page();
    auto expectNamed = [&](const std::string& where) {
        EXPECT_EQ(page.Unnamed(), std::vector<std::string>{}) << where;
    };
    expectNamed("home");
    page.Key("Alt+R");
    expectNamed("reading form");
    page.Key("Alt+I");
    expectNamed("I Ching question");
    EXPECT_EQ(page.Parts().focus, "question");
    page.Type("question", "Which way?");
    page.Click("iching");
    expectNamed("cast");
    // Seed 3's cast: the hexagrams drawn, in order, present first.
    ASSERT_FALSE(page.Parts().hexagrams.empty());
    EXPECT_TRUE(Contains(page.Fragment(), "<b>" + std::to_string(page.Parts().hexagrams[0].number) + " "));
    page.Key("Alt+Y");
    expectNamed("yes/no");
    page.Key("Alt+E");
    expectNamed("layout list");
    page.Click("editlayout");
    expectNamed("layout editor");
    page.Key("Alt+J");
    expectNamed("journal");
    page.Key("Alt+C");
    expectNamed("card library");
    page.Key("Alt+A");
    expectNamed("card of the day");
    page.Key("Alt+S");
    expectNamed("settings");
    ASSERT_EQ(page.Parts().controls.size(), 2u);
    EXPECT_EQ(page.Parts().menu, "settings");
    page.Key("Alt+R");
    page.Click("owncards");
    expectNamed("a reading of one's own cards");
}

// What the user chose stays for the next run; a first start writes nothing
// and offers what it always did.
TEST(ShellFlow, PreferencesSurviveARestartAndAFirstStartWritesNothing) {
    std::filesystem::path kept;
    {
        Session session(8);
        PageDouble& page = session.page();
        page.Click("tarotbtn");
        EXPECT_TRUE(Contains(page.Fragment(), "<option selected value='0'>Single Card</option>"));
        const auto& controls = page.Parts().controls;
        ASSERT_EQ(controls.size(), 3u);
        EXPECT_EQ(controls[0].id, "dealmajor");
        EXPECT_EQ(controls[0].value, "");
        EXPECT_EQ(controls[1].value, "sometimes");
        EXPECT_FALSE(std::filesystem::exists(session.dir() / "settings.json"));

        page.Tick("dealmajor", true);
        page.Click("dealmajor");
        page.Tick("dealreversals-often", true);
        page.Click("dealreversals-often");
        page.Choose("layout", "3");
        page.Click("reading");
        for (const DealtCard& card : session.dialog().Data().lastDeal) EXPECT_LT(card.card, 22) << "a trump";
        page.Key("Alt+S");
        page.Click("cardsize-larger");
        const SettingsRead read = ReadSettings((session.dir() / "settings.json").string(), RealFileSystem());
        EXPECT_EQ(read.state, SettingsRead::State::Read);
        EXPECT_EQ(read.preferences.layout, "Celtic Cross");
        EXPECT_EQ(read.preferences.cardSize, "larger");
        kept = session.dir().string() + "-kept";
        std::filesystem::copy(session.dir(), kept, std::filesystem::copy_options::recursive);
    }
    Session later(8, kept.string());
    std::filesystem::remove_all(kept);
    PageDouble& page = later.page();
    page.Click("tarotbtn");
    EXPECT_TRUE(Contains(page.Fragment(), "<option selected value='3'>Celtic Cross</option>"));
    EXPECT_EQ(page.Parts().controls[0].value, "1");
    EXPECT_EQ(page.Parts().controls[1].value, "often");
    page.Key("Alt+S");
    EXPECT_EQ(page.Parts().controls[1].value, "larger") << "the settings page shows what is kept";
    EXPECT_TRUE(page.Messages().empty());
}

}  // namespace
}  // namespace sw::testing
