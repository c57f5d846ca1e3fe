#pragma once
// The 64 hexagrams keyed by their line pattern, and the I Ching page.
#include <array>
#include <map>
#include <string>

#include "platform/host.h"

namespace sw {

// ordinal, romanised name, English name, upper and lower trigram, judgement,
// image, lines 1 to 6, all-moving text.
using HexagramEntry = std::array<std::string, 14>;

enum HexagramField : int {
    kOrdinal = 0,
    kRomanisedName = 1,
    kEnglishName = 2,
    kUpperTrigram = 3,
    kLowerTrigram = 4,
    kJudgement = 5,
    kImage = 6,
    kFirstLine = 7,
    kAllMovingText = 13,
};

// Six draws of rand() % 4 read as lines, bottom first: 0 yin moving, 1 yin,
// 2 yang, 3 yang moving; the present and changed hexagrams' keys.
struct CastLines {
    std::string presentKey = "_";
    std::string changedKey = "_";
    std::array<bool, 6> moving{};
    bool anyMoving = false;
};
CastLines ReadLines(const std::array<int, 6>& draws);

class HexagramTable {
public:
    HexagramTable();

    const HexagramEntry* Find(const std::string& key) const;
    std::size_t Size() const { return entries_.size(); }
    const std::map<std::string, HexagramEntry>& Entries() const { return entries_; }

    // The question page (session 0) or a cast and its reading; the cast's
    // draws go to *draws when given (for the journal).
    std::string RenderIChing(int session, const std::string& question, platform::Host& host,
                             std::array<int, 6>* draws = nullptr) const;
    // The reading for six draws of rand() % 4, bottom line first.
    std::string RenderCast(const std::array<int, 6>& draws, const std::string& question) const;
    // What the question page's and a cast's parts are (platform/page_parts.h).
    static platform::PageParts QuestionParts();
    platform::PageParts CastParts(const std::array<int, 6>& draws) const;

private:
    std::map<std::string, HexagramEntry> entries_;
};

}  // namespace sw
