#pragma once
// A card picture checked and turned half a turn for its reversed form.
//
// The kind of a picture is told by its first bytes, never by its name.
// JPEG turns without loss in libjpeg-turbo's transform (the coded blocks are
// rearranged, nothing is decoded again); PNG is decoded and written again
// by libpng's simplified interface, pixel for pixel; SVG is checked with
// expat and wrapped, unchanged, in an SVG that turns it. Everything works
// on bytes in memory: the caller reads and writes the files.
#include <cstddef>
#include <string>
#include <string_view>

namespace sw::importer {

enum class PictureKind { kJpeg, kPng, kSvg, kGif, kWebp, kBmp, kTiff, kUnknown };

// A card picture may be no larger than this, in bytes and in pixels (a
// deck is shown at a few hundred pixels a card).
inline constexpr std::size_t kMaxPictureBytes = 20u << 20;
inline constexpr int kMaxPictureSide = 8000;
inline constexpr long kMaxPicturePixels = 25'000'000;

// What the first bytes of a file say it is.
PictureKind KindOfContent(std::string_view bytes);
// What a picture's file name says it is ("jpg" and "jpeg" are JPEG).
PictureKind KindOfExtension(std::string_view extension);
// "JPEG", "PNG", "SVG", ... for messages.
const char* KindName(PictureKind kind);

struct TurnedPicture {
    std::string upright;   // the picture to keep: the original bytes unless note says otherwise
    std::string reversed;  // the same picture turned half a turn
    std::string note;      // what was done beyond turning it, for the user; usually empty
};

// Turns bytes, a picture of the given kind (checked by its content
// already), half a turn. False with *error (a sentence without the file's
// name) when the picture cannot be read, is larger than the limits above,
// or, for SVG, refers to anything outside itself or holds a script.
bool TurnHalf(PictureKind kind, std::string_view bytes, TurnedPicture* out, std::string* error);

}  // namespace sw::importer
