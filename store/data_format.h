#pragma once
// Readers and writer of the decoded lines of the data files, shared by the
// program's loaders and the data tool. They show nothing: a failure comes
// back with the line it was found at and a description.
#include <string>
#include <vector>

#include "store/deck.h"
#include "store/layout.h"
#include "store/line_source.h"

namespace sw {

inline constexpr const char* kCardMarker = "######CARD######";
inline constexpr const char* kMeaningMarker = "~~~~~~Meaning~~~~~~";
inline constexpr const char* kReverseMarker = "~~~~~~Reverse~~~~~~";
inline constexpr const char* kEndMarker = "######END######";

struct ReadProblem {
    int line = 0;  // the line the problem was found at; 0 for the whole file
    std::string message;
};

// The fewest lines a card block takes: its six field and marker lines, the
// two meaning markers and the end marker.
inline constexpr std::size_t kCardBlockLines = 9;

// "the count is 5, but only 3 cards follow it": a count line larger than
// the entries after it.
std::string ShortCount(int count, int found, const char* one, const char* many);
// The message a program shows for such a file, naming it and the count's
// line; consequence ends it ("Only those are offered.").
std::string ShortCountMessage(const std::string& path, const ReadProblem& problem, const char* consequence);

// Where each card's block starts (the line of its card marker), for tools.
struct CardIndexLines {
    int countLine = 0;
    std::vector<int> cardLines;
    std::vector<int> meaningLines;   // the upright meaning marker
    std::vector<int> reverseLines;   // the reversed meaning marker
    std::vector<int> endLines;       // the end marker
};

// Reads a deck's index into deck.cardCount and deck.cards. A count below 1
// gives no cards. When the lines end where a card should begin, the cards
// before are the deck: true, with *problem naming the count line and what
// it says. False for a count above kMaxDeckCards (no cards are kept) or a
// missing marker, including the end of the lines inside a card; the cards
// read so far stay, the rest are empty. Cards are allocated only for the
// lines there are.
bool ReadCardIndex(LineSource& in, DeckRecord& deck, ReadProblem* problem = nullptr,
                   CardIndexLines* lines = nullptr);

struct LayoutLines {
    int first = 0;      // the position count line
    int positions = 0;  // the first position line
    int columns = 0;
    int rows = 0;       // the rows line; row r is on rowLines[r]
    std::vector<int> rowLines;
    int terminator = 0;
};

// Reads the whole layout store. When the lines end where a layout should
// begin, the layouts before are the store: true, with *problem naming the
// count line and what it says. False when a layout lacks its terminator or
// the lines end inside one, or a count lies outside the format (negative
// counts, more position lines than the lines left, more than kGridSize
// rows, columns or pieces on a row line); the lines are read one by one,
// so a huge count cannot cause a huge allocation.
bool ReadLayouts(LineSource& in, std::vector<LayoutRecord>& layouts, ReadProblem* problem = nullptr,
                 std::vector<LayoutLines>* lines = nullptr, int* countLine = nullptr);

// The decoded lines of the layout store for these layouts. Line breaks
// inside a name or a position text become spaces, so no text can shift the
// lines after it; an empty cell is written as " ".
std::vector<std::string> LayoutFileLines(const std::vector<LayoutRecord>& layouts);

}  // namespace sw
