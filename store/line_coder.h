#pragma once
// The line encoding of the data files: every text line is stored as the
// Base64 (RFC 4648, padded, unwrapped) encoding of its bytes.
#include <string>
#include <string_view>

#include "core/text.h"

namespace sw {

// Base64 of the line's bytes; an empty line gives an empty result.
std::string EncodeLine(std::string_view text);

// Lenient decoding in groups of four: no character is rejected, a character
// outside the alphabet counts as 255, "=" ends the line only in the third or
// fourth place of a group, and all arithmetic is on 8-bit bytes. Returns
// exactly the encoded bytes for any line EncodeLine produced.
std::string DecodeLine(std::string_view text);
// The same into out, reusing its storage (the loaders decode millions of lines).
void DecodeLineInto(std::string_view text, std::string& out);

// The bytes a stored line holds for the program: its decoding up to the
// first zero byte, kept as they are (a Windows file's text stays in its code
// page until it is shown; see ToUtf8).
std::string StoredLineBytes(std::string_view storedLine);
void StoredLineBytesInto(std::string_view storedLine, std::string& bytes);

// The same as readable UTF-8 text, for people (the data tool): taken as
// Windows-1252 when the bytes are not UTF-8.
std::string DecodedLineText(std::string_view storedLine);

}  // namespace sw
