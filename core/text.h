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

// text with every occurrence of from replaced by to.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined
// become the C1 control characters of the same value.
std::string Windows1252ToUtf8(std::string_view text);

// Text for the page: valid UTF-8 sequences stay as they are and every other
// byte is read as Windows-1252, the code page of files written on Windows.
// The result is always valid UTF-8, whatever bytes a data file held.
std::string ToUtf8(std::string_view text);

// The bytes of the first n characters of text, a character being a valid
// UTF-8 sequence or else one byte (as in a Windows-1252 file).
std::string_view FirstCharacters(std::string_view text, std::size_t n);

}  // namespace sw
