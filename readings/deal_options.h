#pragma once
// How a deal draws, beside the reading form's own Reversed box: from the
// whole deck or its 22 trumps alone, and how often a card comes up reversed.
// The defaults are the deal as it always was: every random number of a
// seeded deal is the same with them. The controls stand beside the form's
// fragment (platform/page_parts.h), which stays as it is; their values come
// back in the snapshot of the click that deals.
#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"
#include "platform/page_parts.h"
#include "store/deck.h"

namespace sw {

struct DealOptions {
    // Never: no roll at all; Sometimes: one in four (rand() % 4 == 0), as
    // always; Often: one in two (rand() % 2 == 0), as often as upright.
    enum class Reversals { Never, Sometimes, Often };

    bool majorOnly = false;
    Reversals reversals = Reversals::Sometimes;

    bool operator==(const DealOptions&) const = default;
};

inline constexpr int kMajorArcana = 22;

// The card indices of a deck's trumps in their order (the Fool first),
// when its cards follow the usual numbering: each of the numbers 0 to 21
// (written with one or two digits) held by exactly one card. Empty when the
// deck cannot tell which cards are its trumps.
std::vector<int> MajorArcana(const DeckRecord& deck);

// "never", "sometimes", "often"; false for any other text.
const char* ReversalsName(DealOptions::Reversals reversals);
bool ReversalsFromName(std::string_view name, DealOptions::Reversals* reversals);

// Ids of the controls beside the reading form.
inline constexpr const char* kMajorOnlyControl = "dealmajor";
inline constexpr const char* kReversalsControl = "dealreversals";

// The controls beside the reading form for these options; the major-only
// box is off (with a note) while the form's deck list names a deck that
// cannot tell its trumps.
std::vector<platform::PageParts::Control> DealOptionControls(const std::vector<DeckRecord>& decks,
                                                             const DealOptions& options);
// The options the controls beside the form show in the page's snapshot;
// what the snapshot lacks stays as in fallback.
DealOptions ReadDealOptions(platform::Host& host, const DealOptions& fallback);

}  // namespace sw
