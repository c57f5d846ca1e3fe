// The deck catalogue and the card index, read as the program reads them.
#include <gtest/gtest.h>

#include "core/text.h"
#include "store/data_format.h"
#include "store/oracle_data.h"
#include "store_test_support.h"

namespace sw {
namespace {

using storetest::ChangeDir;
using storetest::CountingSource;
using storetest::FilesUnder;
using storetest::MessageLog;
using storetest::TempDir;
using storetest::WriteEncoded;
using Lines = std::vector<std::string>;

// Reads index lines of a deck in folder D.
bool ReadIndex(const Lines& lines, DeckRecord& deck) {
    VectorLineSource source(lines);
    deck.directory = "D";
    return ReadCardIndex(source, deck);
}

// One card block with the given flag, suffix, number and meaning lines.
Lines Card(const std::string& flag, const std::string& suffix, const std::string& number, const Lines& meaning,
           const Lines& reversed = {}) {
    Lines out = {kCardMarker, "Name " + number, flag, "png", suffix, number, kMeaningMarker};
    out.insert(out.end(), meaning.begin(), meaning.end());
    out.push_back(kReverseMarker);
    out.insert(out.end(), reversed.begin(), reversed.end());
    out.push_back(kEndMarker);
    return out;
}

Lines Index(const std::string& count, const std::vector<Lines>& cards) { return storetest::CountedBlocks(count, cards); }

TEST(CardIndex, ExampleDeckLoadsFromItsFolder) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    WriteEncoded("decks/Alpha/index.dat", storetest::AlphaIndexLines());
    DeckRecord deck;
    ASSERT_TRUE(deck.LoadIndex("Alpha"));
    EXPECT_TRUE(deck.loaded);
    EXPECT_TRUE(log.messages().empty());
    ASSERT_EQ(deck.cardCount, 2);
    ASSERT_EQ(deck.cards.size(), 2u);
    const CardRecord& first = deck.cards[0];
    EXPECT_EQ(first.name, "First Card");
    EXPECT_TRUE(first.hasReversedImage);
    EXPECT_EQ(first.imageExtension, "jpg");
    EXPECT_EQ(first.reversedImageSuffix, "r");
    EXPECT_EQ(first.number, "00");
    EXPECT_EQ(first.meaning, "Upright text, first line,and its continuation.");
    EXPECT_EQ(first.reversedMeaning, "Reversed text.");
    EXPECT_EQ(deck.CardImageUrl(0, 0), "file:decks/Alpha/00.jpg");
    EXPECT_EQ(deck.CardImageUrl(0, 1), "file:decks/Alpha/00r.jpg");
    const CardRecord& second = deck.cards[1];
    EXPECT_EQ(second.name, "Second Card");
    EXPECT_FALSE(second.hasReversedImage);
    EXPECT_EQ(second.meaning, "");
    EXPECT_EQ(second.reversedMeaning, "");
    EXPECT_EQ(deck.CardImageUrl(1, 0), "file:decks/Alpha/01.jpg");
    EXPECT_EQ(deck.CardImageUrl(1, 1), "file:decks/Alpha/01.jpg");
    EXPECT_EQ(deck.CardImageUrl(2, 0), "");
    // Loading again reads nothing.
    std::filesystem::remove("decks/Alpha/index.dat");
    EXPECT_TRUE(deck.LoadIndex("Alpha"));
    EXPECT_EQ(FilesUnder(dir.path()), std::set<std::string>{});
}

TEST(CardIndex, FieldAndCountEdgeCases) {
    DeckRecord deck;
    for (const char* count : {"0", "", "none", "-4"}) {
        EXPECT_TRUE(ReadIndex(Index(count, {Card("1", "r", "00", {"x"})}), deck)) << count;
        EXPECT_EQ(deck.cardCount, 0);
        EXPECT_TRUE(deck.cards.empty());
    }
    // Only a flag line of exactly "1" gives a reversed picture.
    ASSERT_TRUE(ReadIndex(Index("3 cards", {Card("1 ", "r", "7", {}), Card("true", "r", "12", {}),
                                            Card("1", "", "345", {})}),
                          deck));
    ASSERT_EQ(deck.cardCount, 3);
    EXPECT_FALSE(deck.cards[0].hasReversedImage);
    EXPECT_FALSE(deck.cards[1].hasReversedImage);
    EXPECT_EQ(deck.CardImageUrl(0, 1), "file:decks/D/7.png");
    // Only the first two characters of the number name the pictures; an
    // empty suffix makes both orientations the same picture.
    EXPECT_EQ(deck.CardImageUrl(2, 0), "file:decks/D/34.png");
    EXPECT_EQ(deck.CardImageUrl(2, 1), "file:decks/D/34.png");
    // Two characters, never half of one: two bytes of a Windows file, two
    // UTF-8 characters (and a stray byte counts as one).
    ASSERT_TRUE(ReadIndex(Index("3", {Card("0", "", "1\xE9x", {}), Card("0", "", "1\xC3\xA9x", {}),
                                      Card("0", "", "\xC3" "1x", {})}),
                          deck));
    EXPECT_EQ(deck.CardImageUrl(0, 0), "file:decks/D/1\xE9.png");
    EXPECT_EQ(deck.CardImageUrl(1, 0), "file:decks/D/1\xC3\xA9.png");
    EXPECT_EQ(deck.CardImageUrl(2, 0), "file:decks/D/\xC3" "1.png");
    // More blocks than the count: the rest are ignored.
    ASSERT_TRUE(ReadIndex(Index("1", {Card("0", "", "00", {"a"}), Card("0", "", "01", {"b"})}), deck));
    EXPECT_EQ(deck.cardCount, 1);
}

TEST(CardIndex, MeaningTextIsJoinedVerbatim) {
    DeckRecord deck;
    // A marker with a trailing blank is text; an end marker inside the
    // upright meaning is text too.
    ASSERT_TRUE(ReadIndex(Index("1", {Card("1", "r", "00", {"one", std::string(kReverseMarker) + " ", kEndMarker, "two"},
                                           {kReverseMarker, "<BR>three"})}),
                          deck));
    EXPECT_EQ(deck.cards[0].meaning, std::string("one") + kReverseMarker + " " + kEndMarker + "two");
    EXPECT_EQ(deck.cards[0].reversedMeaning, std::string(kReverseMarker) + "<BR>three");
}

TEST(CardIndex, MalformedIndexesAreReadErrors) {
    DeckRecord deck;
    ReadProblem problem;
    const Lines good = Card("0", "", "00", {"m"});
    Lines misspelt = good;
    misspelt[6] = "~~~~~~meaning~~~~~~";
    const std::vector<std::pair<Lines, int>> cases = {
        {Index("1", {misspelt}), 8},                       // misspelt marker
        {Lines{"1", kCardMarker, "name", "0"}, 4},         // ends among the fields
        {Lines{"1", kCardMarker, "n", "0", "e", "", "00", kMeaningMarker, "text"}, 9},  // ends in a meaning
        {Lines{"1", kCardMarker, "n", "0", "e", "", "00", kMeaningMarker, kReverseMarker}, 9},
        {Lines{"1", "  " + std::string(kCardMarker)}, 2},
    };
    for (const auto& [lines, line] : cases) {
        VectorLineSource source(lines);
        EXPECT_FALSE(ReadCardIndex(source, deck, &problem)) << lines.size();
        EXPECT_EQ(problem.line, line) << problem.message;
        EXPECT_EQ(deck.cardCount, static_cast<int>(deck.cards.size()));
    }
    // The cards read before the error stay; the others are empty.
    Lines second = good;
    second[0] = "######CARD#####";
    VectorLineSource twoDeclared(Index("2", {good, second}));
    EXPECT_FALSE(ReadCardIndex(twoDeclared, deck));
    ASSERT_EQ(deck.cardCount, 2);
    EXPECT_EQ(deck.cards[0].meaning, "m");
    EXPECT_EQ(deck.cards[1].name, "");
}

TEST(CardIndex, ACountLargerThanTheCardsThereGivesThoseCards) {
    const Lines good = Card("1", "r", "00", {"m"});
    for (const char* count : {"2", "120"}) {
        SCOPED_TRACE(count);
        const Lines lines = Index(count, {good});
        CountingSource source(lines);
        DeckRecord deck;
        ReadProblem problem;
        ASSERT_TRUE(ReadCardIndex(source, deck, &problem));
        ASSERT_EQ(deck.cardCount, 1);
        ASSERT_EQ(deck.cards.size(), 1u);
        EXPECT_LE(deck.cards.capacity(), 1u) << "cards are allocated only for the lines there are";
        EXPECT_LE(source.reads, static_cast<int>(lines.size()) + 1);
        EXPECT_EQ(deck.cards[0].meaning, "m");
        EXPECT_EQ(problem.line, 1);
        EXPECT_EQ(problem.message, std::string("the count is ") + count + ", but only 1 card follows it");
    }
    // No card at all after the count.
    VectorLineSource none(Lines{"3"});
    DeckRecord deck;
    ReadProblem problem;
    ASSERT_TRUE(ReadCardIndex(none, deck, &problem));
    EXPECT_EQ(deck.cardCount, 0);
    EXPECT_EQ(problem.message, "the count is 3, but no card follows it");

    // The program says so once, naming the file and the line, and offers the deck.
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    WriteEncoded("decks/Short/index.dat", Index("2", {good}));
    DeckRecord shortDeck;
    EXPECT_TRUE(shortDeck.LoadIndex("Short"));
    EXPECT_TRUE(shortDeck.loaded);
    EXPECT_EQ(shortDeck.cardCount, 1);
    EXPECT_EQ(log.messages(), Lines{"decks/Short/index.dat, line 1: the count is 2, but only 1 card follows it. The "
                                    "deck is offered with the cards that are there."});
    // Counts no deck can hold are refused at once, with one message.
    for (const char* count : {"100000", "2147483647"}) {
        log.Clear();
        WriteEncoded("decks/Huge/index.dat", Index(count, {good}));
        DeckRecord huge;
        EXPECT_FALSE(huge.LoadIndex("Huge")) << count;
        EXPECT_TRUE(huge.cards.empty());
        EXPECT_EQ(log.messages(), Lines{"Error reading Huge index file"});
    }
}

TEST(CardIndex, MoreThan120CardsAreRefused) {
    std::vector<Lines> cards(121, Card("0", "", "00", {"m"}));
    DeckRecord deck;
    EXPECT_TRUE(ReadIndex(Index("120", {cards.begin(), cards.end() - 1}), deck));
    EXPECT_EQ(deck.cardCount, 120);
    EXPECT_FALSE(ReadIndex(Index("121", cards), deck));
    EXPECT_EQ(deck.cardCount, 0);
    EXPECT_TRUE(deck.cards.empty());
    EXPECT_FALSE(ReadIndex(Index("2000000000", {}), deck));
    EXPECT_TRUE(deck.cards.empty());
}

TEST(CardIndex, LoadFailuresAreShownAndLeaveNothingBehind) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    std::filesystem::create_directories("decks/Empty");
    WriteEncoded("decks/Bad/index.dat", {"1", "######CARD#####"});
    WriteEncoded("decks/Big/index.dat", {"121"});
    const auto before = FilesUnder(dir.path());
    struct Case {
        std::string folder;
        bool loaded;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"Missing", false,
         {"Error opening source plaintext file!", "Error opening destination ciphertext file!",
          "Error opening Missing index file"}},
        {"Empty", true, {"Error opening source plaintext file!"}},  // index missing: a deck with no cards
        {"Bad", false, {"Error reading Bad index file"}},
        {"Big", false, {"Error reading Big index file"}},
        {"../decks/Bad", false, {"Error opening ../decks/Bad index file"}},
        {"/tmp", false, {"Error opening /tmp index file"}},
    };
    for (const auto& c : cases) {
        log.Clear();
        DeckRecord deck;
        EXPECT_EQ(deck.LoadIndex(c.folder), c.loaded) << c.folder;
        EXPECT_EQ(deck.loaded, c.loaded);
        EXPECT_EQ(deck.directory, c.folder);
        EXPECT_EQ(log.messages(), c.messages) << c.folder;
        for (int icon : log.icons()) EXPECT_EQ(icon, 32515);
        EXPECT_EQ(FilesUnder(dir.path()), before) << c.folder;
    }
}

TEST(CardIndex, SafeDeckFolders) {
    for (const char* safe : {"Alpha", "Tarot de Marseille", "a/b", "..x", "x..", "", "."})
        EXPECT_TRUE(IsSafeDeckDirectory(safe)) << safe;
    for (const char* unsafe : {"..", "../x", "a/../../x", "a/..", "/etc", "\\x", "a\\..\\..\\x"})
        EXPECT_FALSE(IsSafeDeckDirectory(unsafe)) << unsafe;
}

TEST(DeckCatalogue, ReadsDecksInOrderAndKeepsFailedOnesAsGaps) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    WriteEncoded("data/decks.dat", {"4 decks", "Alpha", "Gone", "Alpha", "My Deck"});
    WriteEncoded("decks/Alpha/index.dat", storetest::AlphaIndexLines());
    WriteEncoded("decks/My Deck/index.dat", Index("1", {Card("0", "", "05", {"m"})}));
    WriteEncoded("data/layouts.dat", storetest::ThreeInARowLines());
    const auto before = FilesUnder(dir.path());
    OracleData data;
    ASSERT_EQ(data.deckCount, 4);
    ASSERT_EQ(data.decks.size(), 4u);
    EXPECT_EQ(data.decks[0].directory, "Alpha");
    EXPECT_TRUE(data.decks[0].loaded);
    EXPECT_EQ(data.decks[1].directory, "Gone");
    EXPECT_FALSE(data.decks[1].loaded);
    EXPECT_TRUE(data.decks[2].loaded);
    EXPECT_EQ(data.decks[2].cardCount, 2);
    EXPECT_EQ(data.DeckAt(3).CardImageUrl(0, 0), "file:decks/My Deck/05.png");
    EXPECT_EQ(log.messages().back(), "Error opening Gone index file");
    EXPECT_EQ(data.layoutCount, 1);
    EXPECT_EQ(FilesUnder(dir.path()), before);
}

TEST(DeckCatalogue, ShortAndEmptyLists) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    WriteEncoded("data/layouts.dat", {"0"});
    std::filesystem::create_directories("decks");
    {
        storetest::WriteBytes("data/decks.dat", "");
        OracleData data;
        EXPECT_EQ(data.deckCount, 0);
        EXPECT_TRUE(data.decks.empty());
        EXPECT_TRUE(log.messages().empty());
    }
    {
        // A line present but empty is a deck with an empty folder name.
        WriteEncoded("data/decks.dat", {"2", "A", ""});
        OracleData data;
        ASSERT_EQ(data.deckCount, 2);
        EXPECT_EQ(data.decks[1].directory, "");
    }
}

TEST(DeckCatalogue, ACountLargerThanTheListOffersOnlyTheDecksListed) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    WriteEncoded("data/layouts.dat", {"0"});
    WriteEncoded("decks/A/index.dat", Index("1", {Card("0", "", "00", {"m"})}));
    WriteEncoded("decks/B/index.dat", Index("1", {Card("0", "", "00", {"m"})}));
    const std::vector<std::pair<Lines, std::string>> cases = {
        {{"3", "A", "B"}, "the count is 3, but only 2 decks follow it"},
        {{"2", "A"}, "the count is 2, but only 1 deck follows it"},
        {{"100000", "A"}, "the count is 100000, but only 1 deck follows it"},
        {{"2147483647", "A"}, "the count is 2147483647, but only 1 deck follows it"},
        {{"5"}, "the count is 5, but no deck follows it"},
    };
    for (const auto& [lines, said] : cases) {
        SCOPED_TRACE(lines.front());
        MessageLog log;
        WriteEncoded("data/decks.dat", lines);
        OracleData data;
        const std::size_t listed = lines.size() - 1;
        ASSERT_EQ(data.deckCount, static_cast<int>(listed));
        ASSERT_EQ(data.decks.size(), listed);
        EXPECT_LE(data.decks.capacity(), listed) << "decks are allocated only for the names there are";
        for (const DeckRecord& deck : data.decks) EXPECT_TRUE(deck.loaded) << deck.directory;
        // One message, naming the file and the line; no deck is looked for
        // under an empty name.
        EXPECT_EQ(log.messages(), Lines{"data/decks.dat, line 1: " + said + ". Only the decks listed are offered."});
    }
}

TEST(DeckCatalogue, MissingDataFolderIsFatal) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    MessageLog log;
    EXPECT_THROW(OracleData data, FatalDataError);
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"Error opening source plaintext file!",
                                                        "Error opening destination ciphertext file!",
                                                        "Error opening Deck files"}));
    EXPECT_TRUE(FilesUnder(dir.path()).empty());
}

}  // namespace
}  // namespace sw
