#pragma once

#include <array>

namespace sw {

// One entry of the home page's quotation table: the saying and who it is credited to.
struct Quote {
    const char* text;
    const char* attribution;
};

inline constexpr int kQuoteCount = 199;

extern const std::array<Quote, 199> QuoteTable;

}  // namespace sw
