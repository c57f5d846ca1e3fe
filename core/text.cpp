#include "core/text.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <array>
#include <cstring>

namespace sw {

namespace {

// Code points of 0x80..0x9F in Windows-1252; the undefined ones keep their
// own value.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}


// The length of the valid UTF-8 sequence at s (1 for ASCII), or 0 when the
// bytes there do not start one.
std::size_t SequenceLength(const unsigned char* s, std::size_t remaining) {
    const unsigned c = s[0];
    if (c < 0x80) return 1;
    std::size_t length;
    std::uint32_t code;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (remaining < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (s[k] & 0x3F);
    }
    if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return 0;
    if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return 0;
    return length;
}

void AppendWindows1252(std::string& out, unsigned char c) {
    if (c < 0x80)
        out += static_cast<char>(c);
    else if (c < 0xA0)
        AppendUtf8(out, kCp1252High[c - 0x80]);
    else
        AppendUtf8(out, c);
}

// The length of the run of ASCII bytes at the start of text, eight at a time.
std::size_t AsciiRun(const unsigned char* s, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080ULL) break;
    }
    while (i < n && s[i] < 0x80) ++i;
    return i;
}

}  // namespace

int CAtoi(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(length + 1);
        std::vsnprintf(result.data(), result.size(), format, args);
        result.resize(length);
    }
    va_end(args);
    return result;
}

std::vector<std::string> Tokenize(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::string Token(std::string_view text, char separator, std::size_t n) {
    auto pieces = Tokenize(text, separator);
    return n < pieces.size() ? pieces[n] : std::string();
}

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    if (from.empty()) return std::string(text);
    std::size_t at = 0;
    for (std::size_t found; (found = text.find(from, at)) != std::string_view::npos; at = found + from.size()) {
        out.append(text.substr(at, found - at));
        out.append(to);
    }
    out.append(text.substr(at));
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool IsValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = AsciiRun(s, n); i < n; i += AsciiRun(s + i, n - i)) {
        const std::size_t length = SequenceLength(s + i, n - i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (char ch : text) AppendWindows1252(out, static_cast<unsigned char>(ch));
    return out;
}

std::string ToUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = AsciiRun(s, n);
    if (i == n) return std::string(text);
    std::string out(text.substr(0, i));
    out.reserve(n + n / 8);
    while (i < n) {
        const std::size_t ascii = AsciiRun(s + i, n - i);
        out.append(text.substr(i, ascii));
        i += ascii;
        if (i == n) break;
        if (const std::size_t length = SequenceLength(s + i, n - i)) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            AppendWindows1252(out, s[i++]);
        }
    }
    return out;
}

std::string_view FirstCharacters(std::string_view text, std::size_t n) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t at = 0;
    for (std::size_t count = 0; count < n && at < text.size(); ++count) {
        const std::size_t length = SequenceLength(s + at, text.size() - at);
        at += length == 0 ? 1 : length;
    }
    return text.substr(0, at);
}

}  // namespace sw
