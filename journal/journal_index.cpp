// The facts of a kept entry; declared in journal/journal_index.h.
#include "journal/journal_index.h"

#include <array>
#include <nlohmann/json.hpp>

#include "core/text.h"
#include "iching/hexagram_table.h"
#include "iching/hexagram_texts.h"
#include "journal/journal_result.h"
#include "yesno/yes_no.h"

namespace sw {

namespace {

using nlohmann::json;

// The built-in texts of a hexagram by its key; null for none.
const HexagramText* Hexagram(const std::string& key) {
    for (const auto* texts : {&kHexagramTextsFirst, &kHexagramTextsSecond})
        for (const HexagramText& text : *texts)
            if (key == text.key) return &text;
    return nullptr;
}

std::string HexagramWords(const HexagramText& text) {
    return std::string("Hexagram ") + text.ordinal + " " + text.romanisedName + " " + text.englishName;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithNoCase(const std::string& text, std::string_view end) {
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i)
        if (Lower(text[text.size() - end.size() + i]) != Lower(end[i])) return false;
    return true;
}

void Reading(const std::string& result, EntryFacts& facts) {
    KeptReading kept;
    std::string err;
    if (!ReadReading(result, &kept, &err)) return;
    const json value = json::parse(result, nullptr, false);
    const auto allowed = value.find("reversedAllowed");
    facts.reversible = allowed != value.end() && allowed->is_boolean() && allowed->get<bool>();
    facts.layout = kept.layout.name;
    facts.deck = kept.deck.directory;
    facts.keptText = facts.layout + ". " + facts.deck + ".";
    for (const DealtCard& dealt : kept.dealt) {
        const CardRecord& record = kept.deck.CardAt(dealt.card);
        EntryFacts::Card card;
        card.card = dealt.card;
        card.name = record.name;
        card.suit = SuitOf(record.name);
        card.reversed = dealt.reversed == 1;
        card.canReverse = facts.reversible && record.hasReversedImage;
        facts.keptText += " " + card.name + (card.reversed ? " (reversed)." : " (upright).");
        facts.cards.push_back(std::move(card));
    }
}

void Cast(const std::string& result, EntryFacts& facts) {
    std::array<int, 6> draws{};
    std::string err;
    if (!ReadCast(result, &draws, &err)) return;
    const CastLines lines = ReadLines(draws);
    const HexagramText* present = Hexagram(lines.presentKey);
    const HexagramText* changed = lines.anyMoving ? Hexagram(lines.changedKey) : nullptr;
    if (!present) return;
    facts.present = CAtoi(present->ordinal);
    facts.keptText = HexagramWords(*present) + ".";
    if (changed) {
        facts.changed = CAtoi(changed->ordinal);
        facts.keptText += " Changing to " + HexagramWords(*changed) + ".";
    }
}

void Answer(const std::string& result, EntryFacts& facts) {
    int answer = 0;
    std::string err;
    if (!ReadAnswer(result, &answer, &err)) return;
    facts.answer = answer;
    facts.keptText = YesNoAnswers[static_cast<std::size_t>(answer)];
}

}  // namespace

std::string SuitOf(const std::string& cardName) {
    // The usual names of the four suits and their common other names.
    static constexpr std::array<std::pair<const char*, const char*>, 10> kSuits = {{
        {" of Wands", "Wands"},
        {" of Rods", "Wands"},
        {" of Staves", "Wands"},
        {" of Cups", "Cups"},
        {" of Swords", "Swords"},
        {" of Pentacles", "Pentacles"},
        {" of Coins", "Pentacles"},
        {" of Disks", "Pentacles"},
        {" of Discs", "Pentacles"},
        {" of Chalices", "Cups"},
    }};
    for (const auto& [ending, suit] : kSuits)
        if (EndsWithNoCase(cardName, ending)) return suit;
    return {};
}

EntryFacts FactsOf(Oracle oracle, const std::string& result) {
    EntryFacts facts;
    switch (oracle) {
        case Oracle::Reading: Reading(result, facts); break;
        case Oracle::IChing: Cast(result, facts); break;
        case Oracle::YesNo: Answer(result, facts); break;
    }
    return facts;
}

std::string CanonicalResult(const std::string& result) {
    const json value = json::parse(result, nullptr, false);
    if (value.is_discarded()) return result;
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::int64_t EntryDigest(const std::string& keptAt, Oracle oracle, const std::string& question,
                         const std::string& canonicalResult) {
    // FNV-1a over the parts, each ended by a byte no UTF-8 text holds, so
    // moving text from one part to the next changes the digest.
    std::uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](std::string_view part) {
        for (unsigned char c : part) hash = (hash ^ c) * 1099511628211ull;
        hash = (hash ^ 0xFFu) * 1099511628211ull;
    };
    add(keptAt);
    add(std::to_string(static_cast<int>(oracle)));
    add(question);
    add(canonicalResult);
    return static_cast<std::int64_t>(hash);
}

}  // namespace sw
