#pragma once
// The line encoding of the data files: every text line is stored as the
// Base64 (RFC 4648, padded, unwrapped) encoding of its bytes.
#include <string>
#include <string_view>

namespace sw {

// Base64 of the line's bytes; an empty line gives an empty result.
std::string EncodeLine(std::string_view text);

// Lenient decoding in groups of four: no character is rejected, a character
// outside the alphabet counts as 255, "=" ends the line only in the third or
// fourth place of a group, and all arithmetic is on 8-bit bytes. Returns
// exactly the encoded bytes for any line EncodeLine produced.
std::string DecodeLine(std::string_view text);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined
// become the C1 control characters of the same value.
std::string Windows1252ToUtf8(std::string_view text);

// The text a decoded line stands for in the working copy: the bytes up to
// the first zero byte, taken as Windows-1252 when they are not UTF-8 (files
// written by the Windows program are in that code page).
std::string DecodedLineText(std::string_view storedLine);

}  // namespace sw
