#pragma once
// What a kept result holds (JSON, the journal's result column), and what
// it turns back into: the very inputs the oracles' page code takes, so a
// kept reading is shown again as it was dealt, without a new draw, and
// whatever has since become of its deck or layout.
//
//   Reading: {"layout": {"name", "rows", "columns", "grid": [[cell..]..],
//             "positions": [..]}, "deck": {"directory", "cards": {"<index>":
//             {"number", "name", "meaning", "reversedMeaning",
//             "imageExtension", "reversedImageSuffix", "hasReversedImage"}}},
//             "dealt": [{"row", "column", "position", "card", "roll",
//             "reversed"}..], "reversedAllowed", "byHand": true?}
//             ("byHand" only for cards the user placed; older entries lack it)
//   I Ching: {"draws": [six values of rand() % 4, bottom line first]}
//   Yes/No:  {"answer": index, "text": the answer}
//
// Texts are stored as UTF-8 (as the page showed them). A result that does
// not hold what its page code needs (a damaged or edited journal) is refused
// when read back, never trusted.
#include <array>
#include <string>
#include <vector>

#include "store/deck.h"
#include "store/layout.h"
#include "store/oracle_data.h"

namespace sw {

std::string ReadingResult(const LayoutRecord& layout, const DeckRecord& deck, const std::vector<DealtCard>& dealt,
                          bool reversedAllowed, bool byHand = false);
std::string CastResult(const std::array<int, 6>& draws);
std::string AnswerResult(int answer);

// A kept reading: its layout and the dealt cards of its deck (the other
// cards are empty records, so the deck's indices still hold).
struct KeptReading {
    LayoutRecord layout;
    DeckRecord deck;
    std::vector<DealtCard> dealt;
    bool byHand = false;  // drawn from the user's own deck, not dealt
};

bool ReadReading(const std::string& result, KeptReading* reading, std::string* err);
bool ReadCast(const std::string& result, std::array<int, 6>* draws, std::string* err);
bool ReadAnswer(const std::string& result, int* answer, std::string* err);

}  // namespace sw
