// The deal's options and their controls; declared in readings/deal_options.h.
#include "readings/deal_options.h"

#include <algorithm>
#include <array>

#include "core/text.h"

namespace sw {

using platform::PageParts;

namespace {

constexpr std::array<std::pair<DealOptions::Reversals, const char*>, 3> kReversalNames{{
    {DealOptions::Reversals::Never, "never"},
    {DealOptions::Reversals::Sometimes, "sometimes"},
    {DealOptions::Reversals::Often, "often"},
}};

// A trump's number: one or two digits, 0 to 21; -1 for any other text.
int TrumpNumber(const std::string& number) {
    if (number.empty() || number.size() > 2) return -1;
    for (char c : number)
        if (c < '0' || c > '9') return -1;
    const int value = CAtoi(number);
    return value < kMajorArcana ? value : -1;
}

}  // namespace

std::vector<int> MajorArcana(const DeckRecord& deck) {
    std::vector<int> trumps(kMajorArcana, -1);
    const int count = std::min(deck.cardCount, static_cast<int>(deck.cards.size()));
    for (int i = 0; i < count; ++i) {
        const int number = TrumpNumber(deck.CardAt(i).number);
        if (number < 0) continue;
        if (trumps[number] >= 0) return {};  // two cards with one number: it cannot tell
        trumps[number] = i;
    }
    for (int index : trumps)
        if (index < 0) return {};
    return trumps;
}

const char* ReversalsName(DealOptions::Reversals reversals) {
    for (const auto& [value, name] : kReversalNames)
        if (value == reversals) return name;
    return "sometimes";
}

bool ReversalsFromName(std::string_view name, DealOptions::Reversals* reversals) {
    for (const auto& [value, known] : kReversalNames) {
        if (name == known) {
            *reversals = value;
            return true;
        }
    }
    return false;
}

std::vector<PageParts::Control> DealOptionControls(const std::vector<DeckRecord>& decks, const DealOptions& options) {
    PageParts::Control major;
    major.kind = PageParts::Control::Kind::Check;
    major.id = kMajorOnlyControl;
    major.label = "Major arcana only";
    major.value = options.majorOnly ? "1" : "";
    major.watch = "deck";
    for (std::size_t i = 0; i < decks.size(); ++i)
        if (decks[i].loaded && MajorArcana(decks[i]).empty()) major.offFor.push_back(std::to_string(i));
    major.note = "This deck's cards are not numbered in the usual way, so it cannot tell which are its major arcana.";

    PageParts::Control reversals;
    reversals.kind = PageParts::Control::Kind::Choice;
    reversals.id = kReversalsControl;
    reversals.label = "Reversed cards come up";
    reversals.value = ReversalsName(options.reversals);
    reversals.choices = {{"never", "Never"}, {"sometimes", "Sometimes"}, {"often", "As often as upright"}};
    return {std::move(major), std::move(reversals)};
}

DealOptions ReadDealOptions(platform::Host& host, const DealOptions& fallback) {
    DealOptions options = fallback;
    if (auto major = host.GetElement(kMajorOnlyControl)) options.majorOnly = major->Text("checked") == "-1";
    for (const auto& [value, name] : kReversalNames) {
        auto choice = host.GetElement(Format("%s-%s", kReversalsControl, name));
        if (choice && choice->Text("checked") == "-1") options.reversals = value;
    }
    return options;
}

}  // namespace sw
