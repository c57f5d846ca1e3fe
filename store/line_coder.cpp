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

void DecodeLineInto(std::string_view text, std::string& out) {
    const std::size_t n = text.size();
    // Grown only when too short (a reused string mostly is not), so the fill
    // that resize does costs nothing in the loaders' loops.
    if (out.size() < (n + 3) / 4 * 3) out.resize((n + 3) / 4 * 3);
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
    out.resize(o - out.data());
}

std::string DecodeLine(std::string_view text) {
    std::string out;
    DecodeLineInto(text, out);
    return out;
}

void StoredLineBytesInto(std::string_view storedLine, std::string& bytes) {
    DecodeLineInto(storedLine, bytes);
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
}

std::string StoredLineBytes(std::string_view storedLine) {
    std::string bytes;
    StoredLineBytesInto(storedLine, bytes);
    return bytes;
}

std::string DecodedLineText(std::string_view storedLine) {
    std::string bytes = StoredLineBytes(storedLine);
    if (IsValidUtf8(bytes)) return bytes;
    return Windows1252ToUtf8(bytes);
}

}  // namespace sw
