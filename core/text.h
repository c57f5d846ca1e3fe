#pragma once
// Small text helpers shared by the readers and the page builders.
#include <string>
#include <string_view>
#include <vector>

namespace sw {

// The C library's atoi rules: leading white space, an optional sign, digits up
// to the first other character; no digits gives 0. Saturates instead of
// overflowing, so hostile input cannot invoke undefined behaviour.
int CAtoi(std::string_view text);

// printf-style formatting into a std::string (the pages are composed with %s
// and %d pieces).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Splits on any of the separator characters, skipping empty pieces.
std::vector<std::string> Tokenize(std::string_view text, char separator);

// The n-th non-empty piece of text split on separator, or "" when missing.
std::string Token(std::string_view text, char separator, std::size_t n);

// Escapes text for HTML element content and for quoted attribute values
// (both quote characters), so user text always shows as typed.
std::string EscapeHtml(std::string_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace sw
