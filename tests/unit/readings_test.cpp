// The reading form, the deal and the card meaning page.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "core/random.h"
#include "core/text.h"
#include "owncards/own_cards.h"
#include "readings/card_meaning.h"
#include "store/oracle_data.h"

namespace sw {
namespace {

DeckRecord MakeDeck(const std::string& directory, int cards, bool reversedPictures = true) {
    DeckRecord deck;
    deck.directory = directory;
    deck.loaded = true;
    deck.cardCount = cards;
    for (int i = 0; i < cards; ++i) {
        CardRecord card;
        card.number = Format("%02d", i);
        card.name = Format("Card %d", i);
        card.meaning = Format("Upright %d<BR>", i);
        card.reversedMeaning = Format("Reversed %d<BR>", i);
        card.imageExtension = "jpg";
        card.reversedImageSuffix = "r";
        card.hasReversedImage = reversedPictures;
        deck.cards.push_back(card);
    }
    return deck;
}

LayoutRecord MakeLayout(const std::string& name, std::vector<std::string> positions,
                        std::vector<std::tuple<int, int, std::string>> cells, int rows = 3, int columns = 3) {
    LayoutRecord layout;
    layout.name = name;
    layout.positions = std::move(positions);
    layout.positionCount = static_cast<int>(layout.positions.size());
    layout.rows = rows;
    layout.columns = columns;
    for (auto& [r, c, text] : cells) layout.grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = text;
    return layout;
}

OracleData MakeData() {
    OracleData data{OracleData::NoLoad{}};
    data.decks = {MakeDeck("Alpha", 10), MakeDeck("Plain", 5, false)};
    data.deckCount = 2;
    data.layouts = {MakeLayout("Triangle", {"Past|What has led here", "Present|Where things stand", "Future|Where things lead"},
                               {{0, 1, "1"}, {1, 0, "2"}, {1, 2, "3"}}),
                    MakeLayout("Backwards", {"One|first", "Two|second", "|Only a description"},
                               {{0, 0, "3"}, {0, 2, "1"}}, 1, 3)};
    data.layoutCount = 2;
    return data;
}

std::string Card(int p, int reversed, int card, const std::string& url, const std::string& title) {
    return Format("<IMG class='card' pos='%d' reversed='%d' card='%d' src='%s'  border='0' alt='%s' ><br><div "
                  "style='font-size:10pt;font-weight:bold;'>%d - %s</div>",
                  p, reversed, card, url.c_str(), title.c_str(), p + 1, title.c_str());
}

TEST(ReadingForm, OffersThePreviousChoicesAndEscapesTheQuestion) {
    OracleData data = MakeData();
    data.decks.push_back(MakeDeck("Broken", 3));
    data.decks.back().loaded = false;
    data.decks.push_back(MakeDeck("Gamma", 3));
    data.deckCount = 4;
    data.selectedLayout = 1;
    data.selectedDeck = 3;
    std::string expected;
    expected += "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
    expected += "<BR><BR><img src='file:images/readings.gif' border='0'><BR><BR><BR><BR>";
    expected += "<h3>Type your question below and select a reading below</h3>";
    expected += "<table cellpadding='5' cellspacing='5'><tr>";
    expected += "<td><b>Question:</b></td>";
    expected += "<td  style='text-align:left'><input name='question' type='text' value='a friend&#39;s &lt;idea&gt;' "
                "SIZE='40' MAXLENGTH='80'></td></tr>";
    expected += "<tr><td><b>Layout:</b></td>";
    expected += "<td style='text-align:left'><select name='layout'>";
    expected += "<option value='0'>Triangle</option><option selected value='1'>Backwards</option>";
    expected += "</select></td></tr>";
    expected += "<tr><td style='text-align:left;'><b>Deck:</b></td>";
    expected += "<td style='text-align:left;'>";
    expected += "<select name='deck'>";
    expected += "<option value='0'>Alpha</option><option value='1'>Plain</option><option value='3' selected>Gamma</option>";
    expected += "</select>";
    expected += "</td></tr><tr>";
    expected += "<td style='text-align:left;'><b>Reversed:</b></td>";
    expected += "<td style='text-align:left;'>";
    expected += "<input type='checkbox' name='reverse' value='1' CHECKED>";
    expected += "</td></tr>";
    expected += "<tr><td colspan='2' align='center'>";
    expected += "<INPUT id='reading' TYPE='image' src='file:images/ask.gif' border='0' name='submit' value='Ask the Oracle'>";
    expected += "</td></tr></table>";
    EXPECT_EQ(data.RenderReadingForm("a friend's <idea>"), expected);
}

TEST(ReadingForm, MarksNothingWhenTheSelectionNamesNoEntry) {
    OracleData data = MakeData();
    data.selectedLayout = -1;
    data.selectedDeck = 7;
    const std::string html = data.RenderReadingForm("");
    EXPECT_EQ(html.find("selected"), std::string::npos);
    EXPECT_NE(html.find("value='' SIZE='40'"), std::string::npos);

    OracleData empty{OracleData::NoLoad{}};
    const std::string none = empty.RenderReadingForm("");
    EXPECT_NE(none.find("<select name='layout'></select>"), std::string::npos);
    EXPECT_NE(none.find("<select name='deck'></select>"), std::string::npos);
}

TEST(Spread, DealsInGridOrderWithTheDrawsInOrder) {
    OracleData data = MakeData();
    SRand(99);
    RandomGenerator replay;
    replay.Seed(99);
    std::set<int> used;
    auto draw = [&] {
        int k = replay.Next() % 10;
        while (used.count(k)) k = replay.Next() % 10;
        used.insert(k);
        return k;
    };
    // Cells (0,1)=1, (1,0)=2, (1,2)=3: a draw and then a roll for each.
    std::string expected = "<h3><center>Will it rain?</center></h3><TABLE align='center' cellspacing=10>";
    expected += "<tr><td align=center valign=top></td><td align=center valign=top>";
    int card = draw();
    int roll = replay.Next() % 4 == 0;
    expected += Card(0, roll, card, Format("file:decks/Alpha/%02d%s.jpg", card, roll ? "r" : ""), "Past");
    expected += "</td><td align=center valign=top></td></tr><tr><td align=center valign=top>";
    card = draw();
    roll = replay.Next() % 4 == 0;
    expected += Card(1, roll, card, Format("file:decks/Alpha/%02d%s.jpg", card, roll ? "r" : ""), "Present");
    expected += "</td><td align=center valign=top></td><td align=center valign=top>";
    card = draw();
    roll = replay.Next() % 4 == 0;
    expected += Card(2, roll, card, Format("file:decks/Alpha/%02d%s.jpg", card, roll ? "r" : ""), "Future");
    expected += "</td></tr><tr><td align=center valign=top></td><td align=center valign=top></td><td align=center "
                "valign=top></td></tr></TABLE><br><br>";
    EXPECT_EQ(data.RenderSpread(0, 0, "Will it rain?", true), expected);
    EXPECT_EQ(Rand(), replay.Next()) << "no random number beyond the draws and rolls";
    EXPECT_EQ(data.selectedLayout, 0);
    EXPECT_EQ(data.selectedDeck, 0);
    EXPECT_TRUE(data.reversedAllowed);
}

TEST(Spread, PositionNumbersOutOfOrderAndLeadingBarsAndNoReversalRoll) {
    OracleData data = MakeData();
    SRand(5);
    RandomGenerator replay;
    replay.Seed(5);
    const int first = replay.Next() % 5;
    int second = replay.Next() % 5;
    while (second == first) second = replay.Next() % 5;
    // The deck without reversed pictures, reversed cards not allowed: no roll.
    const std::string html = data.RenderSpread(1, 1, "", false);
    std::string expected = "<h3><center></center></h3><TABLE align='center' cellspacing=10><tr><td align=center valign=top>";
    expected += Card(2, 0, first, Format("file:decks/Plain/%02d.jpg", first), "Only a description");
    expected += "</td><td align=center valign=top></td><td align=center valign=top>";
    expected += Card(0, 0, second, Format("file:decks/Plain/%02d.jpg", second), "One");
    expected += "</td></tr></TABLE><br><br>";
    EXPECT_EQ(html, expected);
    EXPECT_EQ(Rand(), replay.Next());
}

TEST(Spread, ACardAlreadyDealtIsDrawnAgainFromTheGenerator) {
    OracleData data = MakeData();
    // Seed 36 gives 156, 1446, 8988, 16748, 19731, 22087: with ten cards
    // 6, then 6 again (drawn afresh), 8, then 8 again (afresh), then 1.
    SRand(36);
    const std::string html = data.RenderSpread(0, 0, "", false);
    std::vector<int> dealt;
    for (std::size_t at = html.find("card='"); at != std::string::npos; at = html.find("card='", at + 1))
        dealt.push_back(CAtoi(html.substr(at + 6)));
    EXPECT_EQ(dealt, (std::vector<int>{6, 8, 1}));
    EXPECT_EQ(Rand(), 22087) << "five draws for three cards";
}

TEST(Spread, ADeckWithoutReversedPicturesShowsNothingReversed) {
    OracleData data = MakeData();
    data.layouts[0] = MakeLayout("Full", {"A|a"}, {}, 1, 5);
    for (int c = 0; c < 5; ++c) data.layouts[0].grid[0][static_cast<std::size_t>(c)] = "1";
    for (unsigned seed = 1; seed < 200; ++seed) {
        SRand(seed);
        const std::string html = data.RenderSpread(0, 1, "", true);
        ASSERT_EQ(html.find("reversed='1'"), std::string::npos);
        ASSERT_EQ(html.find(".jpgr"), std::string::npos);
        // As many cells as cards: every card once.
        for (int card = 0; card < 5; ++card) ASSERT_NE(html.find(Format("card='%d'", card)), std::string::npos);
    }
}

TEST(Spread, DealsAreFairOverManySeededDeals) {
    OracleData data = MakeData();
    data.decks[0] = MakeDeck("Alpha", 20);
    SRand(2024);
    const int deals = 20000;
    std::vector<int> firstCell(20, 0);
    int rolled = 0, cards = 0;
    for (int i = 0; i < deals; ++i) {
        const std::string html = data.RenderSpread(0, 0, "", true);
        std::set<int> seen;
        std::size_t at = 0;
        bool first = true;
        while ((at = html.find("card='", at)) != std::string::npos) {
            const int card = CAtoi(html.substr(at + 6));
            ASSERT_TRUE(seen.insert(card).second) << "a card twice in one deal";
            if (first) ++firstCell[static_cast<std::size_t>(card)];
            first = false;
            ++at;
        }
        ASSERT_EQ(seen.size(), 3u);
        for (std::size_t r = 0; (r = html.find("reversed='", r)) != std::string::npos; ++r) {
            ++cards;
            rolled += html[r + 10] == '1';
        }
    }
    // Chi-square with 19 degrees of freedom; 43.8 is the 0.1% critical value.
    double chiSquare = 0;
    const double expected = deals / 20.0;
    for (int count : firstCell) chiSquare += (count - expected) * (count - expected) / expected;
    EXPECT_LT(chiSquare, 43.8);
    const double rate = static_cast<double>(rolled) / cards;
    EXPECT_NEAR(rate, 0.25, 0.01);
}

TEST(Spread, RefusesWhatCannotBeDealtWithoutTouchingTheGenerator) {
    OracleData data = MakeData();
    data.decks.push_back(MakeDeck("Empty", 0));
    data.decks.push_back(MakeDeck("Huge", 121));
    data.deckCount = 4;
    data.layouts.push_back(MakeLayout("Too many", {"A|a"}, {}, 2, 3));
    for (auto& row : data.layouts.back().grid)
        for (auto& cell : row) cell = "1";
    data.layouts.push_back(MakeLayout("Dangling", {"A|a"}, {{0, 0, "1"}, {0, 1, "2"}}));
    data.layouts.push_back(MakeLayout("Zero", {"A|a"}, {{0, 0, "0"}}));
    data.layoutCount = 5;
    struct Case {
        int layout, deck;
    };
    const Case cases[] = {{0, 2}, {0, 3}, {2, 1}, {3, 0}, {4, 0}, {-1, 0}, {9, 0}, {0, -1}, {0, 17}};
    for (const auto& test : cases) {
        SRand(1);
        std::string problem;
        EXPECT_EQ(data.RenderSpread(test.layout, test.deck, "q", true, &problem), "");
        EXPECT_FALSE(problem.empty()) << test.layout << "/" << test.deck;
        EXPECT_EQ(Rand(), 41) << "nothing was drawn";
    }
    data.decks[0].loaded = false;
    std::string problem;
    data.RenderSpread(0, 0, "q", true, &problem);
    EXPECT_EQ(problem, "Please choose a layout and a deck");
}

// A deck numbered as the usual tarot is: the 22 trumps "00" to "21" after
// eight minor cards, so trumps are not the first indices.
DeckRecord TarotLikeDeck() {
    DeckRecord deck = MakeDeck("Tarot", 30);
    for (int i = 0; i < 8; ++i) deck.cards[static_cast<std::size_t>(i)].number = Format("W%d", i + 1);
    for (int t = 0; t < kMajorArcana; ++t) deck.cards[static_cast<std::size_t>(8 + t)].number = Format("%02d", t);
    return deck;
}

TEST(DealOptions, OnlyADeckNumberedAsUsualTellsItsTrumps) {
    const DeckRecord tarot = TarotLikeDeck();
    std::vector<int> expected;
    for (int t = 0; t < kMajorArcana; ++t) expected.push_back(8 + t);
    EXPECT_EQ(MajorArcana(tarot), expected);
    DeckRecord oneDigit = tarot;
    oneDigit.cards[8].number = "0";
    oneDigit.cards[13].number = "5";
    EXPECT_EQ(MajorArcana(oneDigit), expected) << "0 and 5 are the Fool and the Hierophant";
    DeckRecord twice = tarot;
    twice.cards[0].number = "07";
    EXPECT_TRUE(MajorArcana(twice).empty()) << "two cards numbered 7";
    DeckRecord missing = tarot;
    missing.cards[29].number = "X";
    EXPECT_TRUE(MajorArcana(missing).empty()) << "no 21";
    EXPECT_TRUE(MajorArcana(MakeDeck("Small", 10)).empty());
    DeckRecord wide = tarot;
    wide.cards[29].number = "121";
    EXPECT_TRUE(MajorArcana(wide).empty()) << "three digits name no trump";
}

TEST(DealOptions, MajorArcanaOnlyDrawsAmongTheTrumpsByTheSameRejection) {
    OracleData data = MakeData();
    data.decks.push_back(TarotLikeDeck());
    data.deckCount = 3;
    DealOptions major;
    major.majorOnly = true;
    SRand(36);
    RandomGenerator replay;
    replay.Seed(36);
    std::set<int> used;
    std::vector<int> expected;
    while (expected.size() < 3) {
        const int card = 8 + replay.Next() % kMajorArcana;
        if (used.insert(card).second) {
            expected.push_back(card);
            replay.Next();  // its roll, one in four as ever
        }
    }
    std::string problem;
    const std::string html = data.RenderSpread(0, 2, "", true, &problem, major);
    std::vector<int> dealt;
    for (const DealtCard& card : data.lastDeal) dealt.push_back(card.card);
    EXPECT_EQ(dealt, expected);
    EXPECT_EQ(Rand(), replay.Next()) << "no random number beyond the draws and rolls";
    for (unsigned seed = 1; seed < 300; ++seed) {
        SRand(seed);
        data.RenderSpread(0, 2, "", true, &problem, major);
        for (const DealtCard& card : data.lastDeal) ASSERT_GE(card.card, 8) << "a trump each time";
    }
    // A deck that cannot tell deals from all its cards, as without the option.
    SRand(5);
    const std::string plain = data.RenderSpread(0, 0, "", true);
    SRand(5);
    EXPECT_EQ(data.RenderSpread(0, 0, "", true, &problem, major), plain);
    // More cells than trumps cannot be dealt from them.
    data.layouts.push_back(MakeLayout("Wide", {"A|a"}, {}, 3, 10));
    data.layoutCount = 3;
    for (int c = 0; c < 23; ++c) data.layouts[2].grid[static_cast<std::size_t>(c / 10)][static_cast<std::size_t>(c % 10)] = "1";
    SRand(1);
    EXPECT_EQ(data.RenderSpread(2, 2, "", true, &problem, major), "");
    EXPECT_EQ(problem, "The layout Wide needs more cards than the major arcana hold");
    EXPECT_EQ(Rand(), 41) << "nothing was drawn";
}

TEST(DealOptions, ReversalsNeverRollAndAsOftenAsUprightRollOneInTwo) {
    OracleData data = MakeData();
    DealOptions never;
    never.reversals = DealOptions::Reversals::Never;
    DealOptions often;
    often.reversals = DealOptions::Reversals::Often;
    // Never: the draws alone, with the Reversed box ticked.
    SRand(99);
    RandomGenerator replay;
    replay.Seed(99);
    std::string problem;
    data.RenderSpread(0, 0, "", true, &problem, never);
    std::set<int> used;
    for (const DealtCard& card : data.lastDeal) {
        int k = replay.Next() % 10;
        while (used.count(k)) k = replay.Next() % 10;
        used.insert(k);
        EXPECT_EQ(card.card, k);
        EXPECT_EQ(card.roll, 0);
    }
    EXPECT_FALSE(data.reversedAllowed);
    EXPECT_EQ(Rand(), replay.Next());
    // Often: a draw, then a roll of one in two.
    SRand(7);
    replay.Seed(7);
    used.clear();
    data.RenderSpread(0, 0, "", true, &problem, often);
    for (const DealtCard& card : data.lastDeal) {
        int k = replay.Next() % 10;
        while (used.count(k)) k = replay.Next() % 10;
        used.insert(k);
        EXPECT_EQ(card.card, k);
        EXPECT_EQ(card.roll, replay.Next() % 2 == 0 ? 1 : 0);
    }
    // The Reversed box left clear still means no roll at all.
    SRand(7);
    data.RenderSpread(0, 0, "", false, &problem, often);
    for (const DealtCard& card : data.lastDeal) EXPECT_EQ(card.roll, 0);
}

TEST(OwnCards, PlacedCardsGiveTheSpreadADealOfThemWould) {
    OracleData data = MakeData();
    // Out of order numbers (3 before 1), and a deck with reversed pictures
    // and one without (whose rolled cards still lie upright).
    for (int deck : {0, 1}) {
        for (unsigned seed : {3u, 11u, 40u}) {
            SRand(seed);
            const std::string dealt = data.RenderSpread(1, deck, "Which way?", true);
            const std::vector<DealtCard> deal = data.lastDeal;
            std::vector<DealtCard> asked = OwnCards::AskOrder(data.LayoutAt(1));
            ASSERT_EQ(asked.size(), 2u);
            EXPECT_EQ(asked[0].position, 0) << "position 1 is asked for first";
            EXPECT_EQ(asked[1].position, 2);
            // The user names each card and how it lies, in the order asked.
            for (DealtCard& cell : asked) {
                for (const DealtCard& card : deal) {
                    if (card.row != cell.row || card.column != cell.column) continue;
                    cell.card = card.card;
                    cell.roll = card.roll;
                }
            }
            const std::string placed =
                data.RenderPlacedSpread(1, deck, "Which way?", OwnCards::PlacedSpread(data.DeckAt(deck), asked));
            EXPECT_EQ(placed, dealt) << "deck " << deck << ", seed " << seed;
            EXPECT_EQ(OracleData::CardLabels(data.LayoutAt(1), data.DeckAt(deck), data.lastDeal),
                      OracleData::CardLabels(data.LayoutAt(1), data.DeckAt(deck), deal));
        }
    }
    // Cells of one number are asked for in grid order.
    const LayoutRecord twice = MakeLayout("Twice", {"A|a", "B|b"}, {{0, 2, "2"}, {1, 0, "1"}, {2, 1, "2"}, {0, 0, "1"}});
    std::vector<std::pair<int, int>> order;
    for (const DealtCard& cell : OwnCards::AskOrder(twice)) order.emplace_back(cell.row, cell.column);
    EXPECT_EQ(order, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 2}, {2, 1}}));
}

TEST(CardMeaning, ComposesThePageForEitherOrientation) {
    DeckRecord deck = MakeDeck("Alpha", 3);
    auto expected = [](const std::string& url, const std::string& title, const std::string& description,
                       const std::string& meaning) {
        std::string html = "<table width=100% border='0'><tr><td valign='top' align='center'>";
        html += "<IMG card='2' src='" + url + "'  border='0' alt='Card 2' >";
        html += "<div class=heading>Card 2</div><BR>";
        html += "</td></tr><tr><td valign='top'><div class=heading>" + title + "</div>";
        html += "</td></tr><tr><td valign='top'>" + description;
        html += "<br></td></tr><tr><td valign='top'><div class=heading>Meaning</div>";
        html += "</td></tr><tr><td valign='top'>" + meaning + "</td></tr></table>";
        return html;
    };
    EXPECT_EQ(CCardMeaning::ComposeMeaning(deck, 2, "Past|What has led here", 0),
              expected("file:decks/Alpha/02.jpg", "Past", "What has led here", "Upright 2<BR>"));
    EXPECT_EQ(CCardMeaning::ComposeMeaning(deck, 2, "||Past||What has led here|extra", 1),
              expected("file:decks/Alpha/02r.jpg", "Past", "What has led here", "Reversed 2<BR>"));
    EXPECT_EQ(CCardMeaning::ComposeMeaning(deck, 2, "Just a title", 0),
              expected("file:decks/Alpha/02.jpg", "Just a title", "", "Upright 2<BR>"));
}

}  // namespace
}  // namespace sw
