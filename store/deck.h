#pragma once
// A deck of the catalogue and its cards, read from decks/<deck>/index.dat.
#include <string>
#include <vector>

#include "store/file_system.h"

namespace sw {

inline constexpr int kMaxDeckCards = 120;
// Far more decks than anyone keeps; it bounds what a broken count line in
// the deck list can make the program allocate and look for.
inline constexpr int kMaxDecks = 1000;

struct CardRecord {
    std::string number;               // first two characters name the picture files
    std::string name;
    std::string meaning;              // HTML
    std::string reversedMeaning;      // HTML
    std::string imageExtension;       // without the dot
    std::string reversedImageSuffix;  // between the number and the dot
    bool hasReversedImage = false;
};

struct DeckRecord {
    int cardCount = 0;
    std::vector<CardRecord> cards;  // cardCount entries once the index is read
    bool loaded = false;
    std::string directory;          // folder under decks/, also the deck's display name

    // Reads decks/<directory>/index.dat relative to the working directory.
    // True when the deck is (or already was) completely loaded; false after an
    // error that has been shown.
    bool LoadIndex(const std::string& directory);
    bool LoadIndex(const std::string& directory, FileSystem& fileSystem);
    // "file:decks/<dir>/<nn><suffix>.<ext>" for a reversed card with a
    // reversed picture (orientation 1), otherwise the upright picture.
    std::string CardImageUrl(int cardIndex, int orientation) const;
    // Card cardIndex; no bounds check.
    const CardRecord& CardAt(int cardIndex) const { return cards[cardIndex]; }
    CardRecord& CardAt(int cardIndex) { return cards[cardIndex]; }
};

// Whether a deck folder name stays inside decks/ (not absolute, no "..").
bool IsSafeDeckDirectory(const std::string& directory);

}  // namespace sw
