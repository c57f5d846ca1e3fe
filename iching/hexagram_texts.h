#pragma once
// The built-in texts of the 64 hexagrams, in the traditional order.
#include <array>

namespace sw {

struct HexagramText {
    const char* key;            // "_" + six of '8' (solid) / '7' (broken), bottom line first
    const char* ordinal;        // "1" to "64"
    const char* romanisedName;
    const char* englishName;
    const char* upperTrigram;   // romanised name padded to 7, English name, ", ", image
    const char* lowerTrigram;
    const char* judgement;      // HTML, "<BR>" breaks, ends with "<BR>"
    const char* image;
    std::array<const char*, 6> lines;  // line 1 (bottom) to 6 (top)
    const char* allMovingText;  // only hexagrams 1 and 2
};

// Entries 1 to 32 and 33 to 64, in order.
extern const std::array<HexagramText, 32> kHexagramTextsFirst;
extern const std::array<HexagramText, 32> kHexagramTextsSecond;

}  // namespace sw
