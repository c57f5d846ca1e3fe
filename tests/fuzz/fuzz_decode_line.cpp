// The line decoder takes any bytes; it must never fail, and it must agree
// with a plain group-by-group reading of the decoding rules.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/line_coder.h"

namespace {

std::uint8_t Value(char c) {
    static const std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t at = alphabet.find(c);
    return at == std::string_view::npos ? 0xff : static_cast<std::uint8_t>(at);
}

// One group of four at a time, every test spelt out.
std::string ReferenceDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const std::uint8_t v0 = Value(text[i]);
        const std::uint8_t v1 = i + 1 < text.size() ? Value(text[i + 1]) : 0xff;
        out += static_cast<char>(static_cast<std::uint8_t>((v0 << 2) | ((v1 >> 4) & 3)));
        if (i + 2 < text.size()) {
            if (text[i + 2] == '=') break;
            const std::uint8_t v2 = Value(text[i + 2]);
            out += static_cast<char>(static_cast<std::uint8_t>((v1 << 4) | ((v2 >> 2) & 15)));
        }
        if (i + 3 < text.size()) {
            if (text[i + 3] == '=') break;
            out += static_cast<char>(static_cast<std::uint8_t>((Value(text[i + 2]) << 6) | Value(text[i + 3])));
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (sw::DecodeLine(text) != ReferenceDecode(text)) std::abort();
    // Whatever the input, encoding it and decoding gives it back.
    if (sw::DecodeLine(sw::EncodeLine(text)) != text) std::abort();
    const std::string line = sw::DecodedLineText(text);
    if (line.find('\0') != std::string::npos || !sw::IsValidUtf8(line)) std::abort();
    return 0;
}
