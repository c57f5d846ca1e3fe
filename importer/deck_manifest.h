#pragma once
// What a deck folder in the tarot deck folder format says about itself: its
// deck.toml (the deck's name, renamed suits and court cards, trumps in
// another order, cards left out on purpose) and names/en.toml (its own card
// names). Both are read with toml++; whatever they hold, a reader returns
// problems that name the file and line, and never throws.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "importer/card_identity.h"

namespace sw::importer {

struct Problem {
    std::string file;
    int line = 0;  // 0 for the whole file
    std::string message;
};

inline constexpr std::size_t kMaxManifestBytes = 1 << 20;
// Longer than any card's name; a deck name is held to less (see import_deck.h).
inline constexpr std::size_t kMaxCardNameCharacters = 100;

struct DeckManifest {
    std::string name;  // [deck] name; empty when not given
    // Card names the deck gives, by picture: majors by their number in this
    // deck, minors by suit and rank; empty where it gives none.
    std::array<std::string, kTarotCount> names;
    // The card each trump picture shows: identity[n] is the bundled order
    // of major_arcana/<n>'s card (n itself unless remapped).
    std::array<int, kMajorCount> identity;
    // Cards the deck leaves out on purpose, by identity.
    std::array<bool, kTarotCount> excluded{};
    std::vector<Problem> notes;  // what was read but is not imported

    DeckManifest();
};

// Reads deck.toml's text into manifest. False, with problems, when it is
// not TOML or says what cannot be: a [deck] that is no table, a name that
// is not text, a remapping that names no trump or shows one trump twice.
bool ReadDeckManifest(std::string_view text, const std::string& file, DeckManifest* manifest,
                      std::vector<Problem>* problems);

// Reads names/en.toml's text: [major_arcana] 00 = "The Fool" ... and
// [minor_arcana.<suit>] ace = "Ace of Wands" ...; other keys are left alone.
bool ReadCardNames(std::string_view text, const std::string& file, DeckManifest* manifest,
                   std::vector<Problem>* problems);

// Why text cannot be a card's name (empty, control characters, markup,
// over kMaxCardNameCharacters); empty when it can.
std::string CardNameProblem(std::string_view text);

// The number of characters of UTF-8 text.
std::size_t CharacterCount(std::string_view text);

}  // namespace sw::importer
