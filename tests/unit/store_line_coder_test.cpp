// The line encoding: RFC 4648 Base64 one way, the lenient reading the other.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "store/line_coder.h"
#include "store_test_support.h"

namespace sw {
namespace {

using storetest::TempDir;

TEST(LineCoder, Rfc4648Vectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},         {"f", "Zg=="},        {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(EncodeLine(plain), encoded) << plain;
        EXPECT_EQ(DecodeLine(encoded), plain) << encoded;
    }
}

TEST(LineCoder, EveryByteValueRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(DecodeLine(EncodeLine(one)), one) << b;
        all += one;
    }
    // Three shifts so every byte value stands in every place of a group.
    for (std::size_t shift = 0; shift < 3; ++shift) {
        const std::string line = all.substr(shift) + all.substr(0, shift);
        const std::string encoded = EncodeLine(line);
        EXPECT_EQ(encoded.size(), (line.size() + 2) / 3 * 4);
        EXPECT_EQ(DecodeLine(encoded), line);
    }
}

TEST(LineCoder, LenientDecoding) {
    // A lone fifth character: its six bits, then two set bits.
    EXPECT_EQ(DecodeLine("Zm9vY"), std::string("foo") + static_cast<char>((24 << 2) | 3));
    EXPECT_EQ(DecodeLine("Z"), std::string(1, static_cast<char>((25 << 2) | 3)));
    EXPECT_EQ(DecodeLine("Zg"), "f");
    // "=" in the third or fourth place ends the whole line.
    EXPECT_EQ(DecodeLine("Zg=AZm9v"), "f");
    EXPECT_EQ(DecodeLine("Zm8=Zm9v"), "fo");
    // In the first or second place it is an ordinary stray character (255).
    EXPECT_EQ(DecodeLine("=m9v"), "\xFEoo");
    // A stray character counts as 255, and the fourth is not masked.
    EXPECT_EQ(DecodeLine("Zm9v Zg=="), "foo\xFD\x98");
    EXPECT_EQ(DecodeLine("Zm9 "), "fo\xFF");
    EXPECT_EQ(DecodeLine("Zm9\r"), "fo\xFF");
}

TEST(LineCoder, DecodedTextEndsAtZeroByteAndIsUtf8) {
    EXPECT_EQ(DecodeLine(EncodeLine(std::string("a\0b", 3))), std::string("a\0b", 3));
    EXPECT_EQ(DecodedLineText(EncodeLine(std::string("a\0b", 3))), "a");
    EXPECT_EQ(DecodedLineText(EncodeLine(std::string("\0a", 2))), "");
    // UTF-8 stays as it is; anything else is Windows-1252.
    EXPECT_EQ(DecodedLineText(EncodeLine("caf\xC3\xA9")), "caf\xC3\xA9");
    EXPECT_EQ(DecodedLineText(EncodeLine("caf\xE9")), "caf\xC3\xA9");
    EXPECT_EQ(Windows1252ToUtf8("\x80\x81\x93\x9F\xA0\xFF"), "\xE2\x82\xAC\xC2\x81\xE2\x80\x9C\xC5\xB8\xC2\xA0\xC3\xBF");
}

TEST(LineCoder, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("\xE2\x82\xAC \xF0\x9F\x82\xA1 \xF4\x8F\xBF\xBF"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_FALSE(IsValidUtf8("\x80"));
    // For the page: UTF-8 kept, every other byte read as Windows-1252, even
    // both in one text; the result is always valid.
    EXPECT_EQ(ToUtf8("plain"), "plain");
    EXPECT_EQ(ToUtf8("caf\xC3\xA9 caf\xE9 \x80 \xE2\x82"), "caf\xC3\xA9 caf\xC3\xA9 \xE2\x82\xAC \xC3\xA2\xE2\x80\x9A");
    EXPECT_TRUE(IsValidUtf8(ToUtf8("\xFF\xC0\xAF\xED\xA0\x80")));
}

TEST(LineCoder, AgreesWithCoreutilsBase64) {
    TempDir dir;
    std::mt19937 random(20240611);
    const std::string plainPath = dir / "plain", encodedPath = dir / "encoded";
    for (int n = 0; n < 60; ++n) {
        std::string line(random() % 200, '\0');
        for (char& c : line) c = static_cast<char>(random() & 0xff);
        storetest::WriteBytes(plainPath, line);
        EXPECT_EQ(EncodeLine(line), storetest::RunCommand("base64 -w0 '" + plainPath + "'"));

        storetest::WriteBytes(encodedPath, EncodeLine(line));
        EXPECT_EQ(storetest::RunCommand("base64 -d '" + encodedPath + "'"), line);
        EXPECT_EQ(DecodeLine(storetest::RunCommand("base64 -w0 '" + plainPath + "'")), line);
    }
}

}  // namespace
}  // namespace sw
