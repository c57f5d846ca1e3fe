#pragma once
// What the journal knows of an entry beyond its own columns, derived from
// the kept result when the entry is kept (and when an older journal is
// brought up to date): the words it is found by, what came up (for the
// tallies of the Insights page), and its digest, by which an imported entry
// that is already there is recognised. Nothing here is ever the only copy:
// it can always be derived again from the entry.
#include <cstdint>
#include <string>
#include <vector>

#include "journal/journal_store.h"

namespace sw {

struct EntryFacts {
    // Card names with their orientation ("The Tower (reversed)"), the
    // layout's and the deck's names, the hexagrams' numbers and names, the
    // answer: what the search finds besides the question and the notes.
    std::string keptText;
    // A reading.
    std::string layout;
    std::string deck;
    bool reversible = false;  // dealt with reversed cards allowed
    struct Card {
        int card = 0;          // index in its deck
        std::string name;
        std::string suit;      // "" for the major arcana and cards of no suit
        bool reversed = false;
        bool canReverse = false;  // dealt where it could have come up reversed
    };
    std::vector<Card> cards;
    // A cast: the hexagram numbers, 0 for none.
    int present = 0;
    int changed = 0;
    // An answer: its index, -1 for none.
    int answer = -1;
};

// The facts of a kept result; only the keptText of what can be read when
// the result is damaged (then nothing is counted).
EntryFacts FactsOf(Oracle oracle, const std::string& result);

// The suit a card name names ("Three of Cups" is of Cups), "" for none.
std::string SuitOf(const std::string& cardName);

// The result in one form whatever its spacing or order of keys (JSON as the
// program writes it); the text itself when it is no JSON.
std::string CanonicalResult(const std::string& result);

// A 64-bit digest of what makes an entry the same entry: when it was kept,
// by which oracle, its question and its result (canonical). Notes are left
// out: they may have been written since.
std::int64_t EntryDigest(const std::string& keptAt, Oracle oracle, const std::string& question,
                         const std::string& canonicalResult);

}  // namespace sw
