// The I Ching table and cast, and the yes/no page.
#include <gtest/gtest.h>

#include <set>

#include "core/random.h"
#include "core/text.h"
#include "iching/hexagram_table.h"
#include "support/page_double.h"
#include "support/session.h"
#include "yesno/yes_no.h"

namespace sw {
namespace {

// The traditional numbering: the key of hexagram n is kKeys[n - 1].
const char* const kKeys[64] = {
    "_888888", "_777777", "_877787", "_787778", "_888787", "_787888", "_787777", "_777787", "_888788", "_887888",
    "_888777", "_777888", "_878888", "_888878", "_778777", "_777877", "_877887", "_788778", "_887777", "_777788",
    "_877878", "_878778", "_777778", "_877777", "_877888", "_888778", "_877778", "_788887", "_787787", "_878878",
    "_778887", "_788877", "_778888", "_888877", "_777878", "_878777", "_878788", "_887878", "_778787", "_787877",
    "_887778", "_877788", "_888887", "_788888", "_777887", "_788777", "_787887", "_788787", "_878887", "_788878",
    "_877877", "_778778", "_778788", "_887877", "_878877", "_778878", "_788788", "_887887", "_787788", "_887787",
    "_887788", "_778877", "_878787", "_787878"};

std::string TrigramOf(const std::string& lines) {
    if (lines == "888") return "Qian   The Strong, Heaven";
    if (lines == "777") return "Kun    The Yielding, Earth";
    if (lines == "877") return "Zhen   Shock, Thunder";
    if (lines == "787") return "Kan    The Pit, Water";
    if (lines == "778") return "Gen    Stillness, Mountain";
    if (lines == "788") return "Xun    Entering, Wind";
    if (lines == "878") return "Li     Brightness, Fire";
    if (lines == "887") return "Dui    Joy, Lake";
    return "?";
}

bool EndsWithBreak(const std::string& text) { return text.size() >= 4 && text.compare(text.size() - 4, 4, "<BR>") == 0; }

TEST(HexagramTable, IsCompleteOneToOneAndNumberedTraditionally) {
    HexagramTable table;
    ASSERT_EQ(table.Size(), 64u);
    std::set<std::string> ordinals;
    for (int n = 1; n <= 64; ++n) {
        const std::string key = kKeys[n - 1];
        const HexagramEntry* entry = table.Find(key);
        ASSERT_NE(entry, nullptr) << key;
        EXPECT_EQ((*entry)[kOrdinal], std::to_string(n)) << key;
        ordinals.insert((*entry)[kOrdinal]);
        // Lower trigram: the first three lines cast; upper: the last three.
        EXPECT_EQ((*entry)[kLowerTrigram], TrigramOf(key.substr(1, 3))) << "hexagram " << n;
        EXPECT_EQ((*entry)[kUpperTrigram], TrigramOf(key.substr(4, 3))) << "hexagram " << n;
        EXPECT_FALSE((*entry)[kRomanisedName].empty());
        EXPECT_FALSE((*entry)[kEnglishName].empty());
        // A doubled trigram is the hexagram of its own name: "Gen    Stillness, Mountain" in 52 Gen, Stillness.
        if (key.substr(1, 3) == key.substr(4, 3)) {
            const std::string& trigram = (*entry)[kLowerTrigram];
            EXPECT_EQ(trigram.substr(0, trigram.find(' ')), (*entry)[kRomanisedName]) << "hexagram " << n;
            EXPECT_EQ(trigram.substr(7, trigram.find(',') - 7), (*entry)[kEnglishName]) << "hexagram " << n;
        }
        for (int field = kJudgement; field < kAllMovingText; ++field) {
            EXPECT_TRUE(EndsWithBreak((*entry)[static_cast<std::size_t>(field)])) << "hexagram " << n << " text " << field;
            EXPECT_EQ((*entry)[static_cast<std::size_t>(field)].find('"'), std::string::npos);
        }
        if (n <= 2) EXPECT_TRUE(EndsWithBreak((*entry)[kAllMovingText])) << n;
        else EXPECT_TRUE((*entry)[kAllMovingText].empty()) << n;
    }
    EXPECT_EQ(ordinals.size(), 64u);
}

TEST(HexagramTable, LineTextsCarryTheirOwnLabelAndTextsHoldNoOtherMarkup) {
    HexagramTable table;
    const char* const places[6] = {"at the beginning", "in the second place", "in the third place",
                                   "in the fourth place", "in the fifth place", "at the top"};
    for (const char* key : kKeys) {
        const HexagramEntry& entry = *table.Find(key);
        for (std::size_t line = 0; line < 6; ++line) {
            // A solid line is a nine, a broken one a six.
            const std::string label = std::string(key[line + 1] == '8' ? "Nine " : "Six ") + places[line] + ":<BR>";
            EXPECT_EQ(entry[kFirstLine + line].rfind(label, 0), 0u) << key << " line " << line + 1;
        }
        // The page inserts the texts unescaped: "<BR>" is their only markup.
        for (std::size_t field = kRomanisedName; field <= kAllMovingText; ++field) {
            std::string text = entry[field];
            for (std::size_t at = text.find("<BR>"); at != std::string::npos; at = text.find("<BR>")) text.erase(at, 4);
            for (char c : text) EXPECT_TRUE(c >= ' ' && c <= '~' && c != '<' && c != '>' && c != '&') << key << " text " << field;
        }
    }
}

const char* const kSolid = "<tr><td width='40'><HR class='iching'></td><td width='40'><HR class='iching'></td><td width='40'><HR class='iching'></td></tr>";
const char* const kBroken = "<tr><td width='40'><HR class='iching'></td><td width='40'></td><td width='40'><HR class='iching'></td></tr>";

std::string Drawing(const std::string& key) {
    std::string rows;
    for (int i = 6; i >= 1; --i) rows += key[static_cast<std::size_t>(i)] == '8' ? kSolid : kBroken;
    return rows;
}

TEST(IChingCast, WithoutMovingLinesShowsOneColumn) {
    HexagramTable table;
    const HexagramEntry& first = *table.Find("_888888");
    std::string expected = "<h3><center>Why?</center></h3><table width=100% cellspacing=10 border=0><tr>";
    expected += "<td align=center valign=top><b>1 " + first[kRomanisedName] + "</b><br> <i>" + first[kEnglishName] + "</i></td>";
    expected += "</tr><tr><td width=50% align=center><table cellpadding=0 cellspacing=0>" + Drawing("_888888") + "</table></td>";
    expected += "</tr><tr><td align=center valign=top style='color:cccc99'><b>The current situation</b></td>";
    expected += "</tr><tr><td  colspan=2 valign=top align=center><b>The Judgement</b></td></tr><tr>";
    expected += "<td align=center valign=top><table border=0><tr><td>" + first[kJudgement] + "</td></tr></table></td>";
    EXPECT_EQ(table.RenderCast({2, 2, 2, 2, 2, 2}, "Why?"), expected);
}

TEST(IChingCast, MovingLinesShowTwoColumnsAndThePresentLineTextsBottomFirst) {
    HexagramTable table;
    // Lines: 0 (7 moving to 8), 1, 2, 3 (8 moving to 7), 2, 1.
    const std::string present = "_778887", changed = "_878787";
    const HexagramEntry& p = *table.Find(present);
    const HexagramEntry& c = *table.Find(changed);
    std::string expected = "<h3><center>a&lt;b</center></h3><table width=100% cellspacing=10 border=0><tr>";
    expected += "<td align=center valign=top><b>" + p[kOrdinal] + " " + p[kRomanisedName] + "</b><br> <i>" + p[kEnglishName] + "</i></td>";
    expected += "<td align=center valign=top><b>" + c[kOrdinal] + " " + c[kRomanisedName] + "</b><br> <i>" + c[kEnglishName] + "</i></td>";
    expected += "</tr><tr><td width=50% align=center><table cellpadding=0 cellspacing=0>" + Drawing(present) + "</table></td>";
    expected += "<td width=50% align=center><table cellpadding=0 cellspacing=0>" + Drawing(changed) + "</table></td>";
    expected += "</tr><tr><td align=center valign=top style='color:cccc99'><b>The current situation</b></td>";
    expected += "<td align=center valign=top style='color:cccc99'><b>How things will progress</b></td>";
    expected += "</tr><tr><td  colspan=2 valign=top align=center><b>The Judgement</b></td></tr><tr>";
    expected += "<td align=center valign=top><table border=0><tr><td>" + p[kJudgement] + "</td></tr></table></td>";
    expected += "<td align=center valign=top><table border=0><tr><td>" + c[kJudgement] + "</td></tr></table></td>";
    expected += "</tr></table border=0><table  cellspacing=15 border=0><tr><td><b>Moving Lines</b></td></tr>";
    expected += "<tr><td>" + p[kFirstLine] + "</td></tr>";
    expected += "<tr><td>" + p[kFirstLine + 3] + "</td></tr>";
    EXPECT_EQ(table.RenderCast({0, 1, 2, 3, 2, 1}, "a<b"), expected);
    EXPECT_EQ(p[kOrdinal], "31");
    EXPECT_EQ(c[kOrdinal], "63");
}

TEST(IChingCast, AllSixMovingSwapsEveryLineAndListsAllTexts) {
    HexagramTable table;
    // Six moving yang lines: hexagram 1 moving to hexagram 2, the two entries
    // with a text for all lines moving, which the reading never shows.
    const std::string html = table.RenderCast({3, 3, 3, 3, 3, 3}, "");
    const HexagramEntry& present = *table.Find("_888888");
    const HexagramEntry& changed = *table.Find("_777777");
    EXPECT_NE(html.find("<b>1 " + present[kRomanisedName] + "</b>"), std::string::npos);
    EXPECT_NE(html.find("<b>2 " + changed[kRomanisedName] + "</b>"), std::string::npos);
    EXPECT_NE(html.find(Drawing("_888888") + "</table></td><td width=50% align=center><table cellpadding=0 cellspacing=0>" +
                        Drawing("_777777")),
              std::string::npos);
    std::size_t at = 0;
    for (int line = 0; line < 6; ++line) {
        at = html.find("<tr><td>" + present[kFirstLine + static_cast<std::size_t>(line)] + "</td></tr>", at);
        ASSERT_NE(at, std::string::npos) << "line " << line + 1 << " in order";
    }
    for (const HexagramEntry* entry : {&present, &changed}) {
        const std::string& allMoving = (*entry)[kAllMovingText];
        ASSERT_TRUE(EndsWithBreak(allMoving));
        EXPECT_EQ(html.find(allMoving.substr(0, allMoving.size() - 4)), std::string::npos) << allMoving;
    }
}

using Steps = std::vector<std::string>;

// The cursor changes, pauses and writes of one question submitted through
// the main dialog: the wait cursor must be on through the pause and off
// again before the answer is written.
Steps StepsOfSubmit(const std::string& menuKey, const std::string& submitId) {
    testing::Session session(3);
    testing::PageDouble& page = session.page();
    page.Key(menuKey);
    page.Type("question", "Will it work?");
    const std::size_t before = page.Steps().size();
    page.Click(submitId);
    return Steps(page.Steps().begin() + static_cast<std::ptrdiff_t>(before), page.Steps().end());
}

TEST(IChingPage, QuestionPageAndCastPauseWithTheWaitCursor) {
    HexagramTable table;
    testing::PageDouble page;
    std::string expected = "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
    expected += "<BR><BR><img src='file:images/iching.gif' border='0'><BR><BR><BR><BR>";
    expected += "<h3>Type your question below and then focus on it in your mind</h3><BR>";
    expected += "<input id='question' name='question' type='text' value='a friend&#39;s idea' size=60><BR><BR>";
    expected += "<INPUT session='1' id='iching' TYPE='image' src='file:images/ask.gif' border='0' name='submit' value='Ask the Oracle'>";
    expected += "</td></tr></table>";
    SRand(4);
    EXPECT_EQ(table.RenderIChing(0, "a friend's idea", page), expected);
    EXPECT_TRUE(page.Pauses().empty());
    EXPECT_EQ(Rand(), [] { RandomGenerator g; g.Seed(4); return g.Next(); }()) << "no draw for the question page";

    SRand(11);
    RandomGenerator replay;
    replay.Seed(11);
    std::array<int, 6> draws{};
    for (auto& draw : draws) draw = replay.Next() % 4;
    EXPECT_EQ(table.RenderIChing(1, "q", page), table.RenderCast(draws, "q"));
    EXPECT_EQ(page.Steps(), (Steps{"cursor wait", "pause 1000", "cursor normal"}));
    EXPECT_EQ(StepsOfSubmit("Alt+I", "iching"), (Steps{"cursor wait", "pause 1000", "cursor normal", "write"}));
}

std::string YesNoPage(const std::string& heading, const std::string& value) {
    std::string html = "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
    html += "<BR><BR><img src='file:images/yesno.gif' border='0'><BR><BR><BR><BR>";
    html += heading;
    html += "<input id='question' name='question' type='text' value='" + value + "' size=60><BR><BR>";
    html += "<INPUT session='1' id='yesno' TYPE='image' src='file:images/ask.gif' border='0' name='submit' value='Ask the Oracle'>";
    html += "</td></tr></table>";
    return html;
}

TEST(YesNo, MenuPageDrawsButShowsNoAnswerAndDoesNotPause) {
    YesNoOracle oracle;
    testing::PageDouble page;
    SRand(1);
    EXPECT_EQ(oracle.RenderYesNoPage(0, "Shall I?", page),
              YesNoPage("<h3>Without a question there can be no answer</h3><BR>", "Shall I?"));
    EXPECT_TRUE(page.Pauses().empty());
    EXPECT_EQ(Rand(), 18467) << "the draw happened on the menu call too";
}

TEST(YesNo, AnswerPageShowsTheDrawnAnswerAfterThePause) {
    YesNoOracle oracle;
    testing::PageDouble page;
    SRand(1);  // draws 41: answer 41 % 23 = 18
    EXPECT_EQ(oracle.RenderYesNoPage(1, "a<b", page), YesNoPage("<h3>No.</h3><BR>", "a&lt;b"));
    EXPECT_EQ(page.Steps(), (Steps{"cursor wait", "pause 1000", "cursor normal"}));
    EXPECT_EQ(StepsOfSubmit("Alt+Y", "yesno"), (Steps{"cursor wait", "pause 1000", "cursor normal", "write"}));
    EXPECT_EQ(std::string(YesNoAnswers[19]), "Things look promising");
    int yes = 0, no = 0;
    for (const char* answer : YesNoAnswers) {
        yes += std::string(answer) == "Yes.";
        no += std::string(answer) == "No.";
    }
    EXPECT_EQ(yes, 4);
    EXPECT_EQ(no, 4);
}

}  // namespace
}  // namespace sw
