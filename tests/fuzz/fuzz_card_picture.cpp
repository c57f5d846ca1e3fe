// A card picture of any content, as the importer checks and turns it: the
// first byte picks JPEG, PNG or SVG, the rest is the file. Never a crash;
// a picture that turns gives both forms, and the turned one passes too.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "importer/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sw::importer;
    if (size == 0) return 0;
    static const PictureKind kinds[] = {PictureKind::kJpeg, PictureKind::kPng, PictureKind::kSvg};
    const PictureKind kind = kinds[data[0] % 3];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool named = KindOfContent(bytes) == kind;  // as the importer takes pictures
    TurnedPicture turned;
    std::string error;
    if (!TurnHalf(kind, bytes, &turned, &error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (turned.upright.empty() || turned.reversed.empty()) std::abort();
    if (kind != PictureKind::kJpeg && turned.upright != bytes) std::abort();
    // What was made is itself a picture of the same kind that passes.
    TurnedPicture again;
    if (named && (KindOfContent(turned.reversed) != kind || !TurnHalf(kind, turned.reversed, &again, &error))) {
        std::fprintf(stderr, "the turned %s picture does not pass: %s\n", KindName(kind), error.c_str());
        std::abort();
    }
    return 0;
}
