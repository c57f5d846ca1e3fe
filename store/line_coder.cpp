#include "store/line_coder.h"

#include <array>
#include <cstdint>

namespace sw {

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every byte outside the alphabet (including "=", CR and zero) maps to -1;
// only the low eight bits of an entry take part in decoding.
constexpr std::array<std::int32_t, 256> MakeDecodeTable() {
    std::array<std::int32_t, 256> table{};
    for (auto& entry : table) entry = -1;
    for (std::size_t i = 0; i < kAlphabet.size(); ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int32_t>(i);
    return table;
}
constexpr std::array<std::int32_t, 256> kDecodeTable = MakeDecodeTable();

inline std::uint8_t Value(char c) {
    return static_cast<std::uint8_t>(kDecodeTable[static_cast<unsigned char>(c)] & 0xff);
}

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

}  // namespace

std::string EncodeLine(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::string out((n + 2) / 3 * 4, '=');
    char* o = out.data();
    std::size_t i = 0;
    // Whole groups first, without the bounds tests of the tail.
    for (; i + 3 <= n; i += 3, o += 4) {
        const unsigned b0 = bytes[i], b1 = bytes[i + 1], b2 = bytes[i + 2];
        o[0] = kAlphabet[b0 >> 2];
        o[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        o[2] = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
        o[3] = kAlphabet[b2 & 63];
    }
    if (i < n) {  // one or two bytes left; the padding is already there
        const unsigned b0 = bytes[i];
        const unsigned b1 = i + 1 < n ? bytes[i + 1] : 0;
        o[0] = kAlphabet[b0 >> 2];
        o[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        if (i + 1 < n) o[2] = kAlphabet[(b1 & 15) << 2];
    }
    return out;
}

std::string DecodeLine(std::string_view text) {
    const std::size_t n = text.size();
    std::string out((n + 3) / 4 * 3, '\0');
    char* o = out.data();
    std::size_t i = 0;
    // Whole groups with no "=" in them first.
    for (; i + 4 <= n && text[i + 2] != '=' && text[i + 3] != '='; i += 4) {
        const std::uint8_t v0 = Value(text[i]), v1 = Value(text[i + 1]), v2 = Value(text[i + 2]),
                           v3 = Value(text[i + 3]);
        *o++ = static_cast<char>(static_cast<std::uint8_t>((v0 << 2) | ((v1 >> 4) & 3)));
        *o++ = static_cast<char>(static_cast<std::uint8_t>((v1 << 4) | ((v2 >> 2) & 15)));
        *o++ = static_cast<char>(static_cast<std::uint8_t>((v2 << 6) | v3));
    }
    // The last group, or the one whose "=" ends the line.
    if (i < n) {
        const std::uint8_t v0 = Value(text[i]);
        const std::uint8_t v1 = i + 1 < n ? Value(text[i + 1]) : 0xff;
        *o++ = static_cast<char>(static_cast<std::uint8_t>((v0 << 2) | ((v1 >> 4) & 3)));
        if (i + 2 < n && text[i + 2] != '=') {
            const std::uint8_t v2 = Value(text[i + 2]);
            *o++ = static_cast<char>(static_cast<std::uint8_t>((v1 << 4) | ((v2 >> 2) & 15)));
            if (i + 3 < n && text[i + 3] != '=') {
                const std::uint8_t v3 = Value(text[i + 3]);
                *o++ = static_cast<char>(static_cast<std::uint8_t>((v2 << 6) | v3));
            }
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

bool IsValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
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
            return false;
        }
        if (n - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        if (length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) return false;
        if (length == 4 && (code < 0x10000 || code > 0x10FFFF)) return false;
        i += length;
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else if (c < 0xA0)
            AppendUtf8(out, kCp1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::string DecodedLineText(std::string_view storedLine) {
    std::string bytes = DecodeLine(storedLine);
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
    if (IsValidUtf8(bytes)) return bytes;
    return Windows1252ToUtf8(bytes);
}

}  // namespace sw
