// The line decoder takes any bytes; it must never fail, and what it gives
// must fit the encoding's arithmetic.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "store/line_coder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = sw::DecodeLine(text);
    if (decoded.size() > (size + 3) / 4 * 3) std::abort();
    // Whatever the input, encoding it and decoding gives it back.
    if (sw::DecodeLine(sw::EncodeLine(text)) != text) std::abort();
    // Whole groups of alphabet characters decode to three bytes each.
    if (size % 4 == 0 && text.find_first_not_of(
                             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/") == std::string_view::npos &&
        decoded.size() != size / 4 * 3)
        std::abort();
    const std::string line = sw::DecodedLineText(text);
    if (line.find('\0') != std::string::npos || !sw::IsValidUtf8(line)) std::abort();
    return 0;
}
