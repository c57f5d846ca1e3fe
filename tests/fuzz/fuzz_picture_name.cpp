// The names the deck importer reads cards from: a plain folder's picture
// names and the deck folder format's places. Any name gives a card of the
// 78, no card, or no picture; never a crash.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "importer/card_identity.h"

namespace {

void CheckName(const sw::importer::PictureName& name) {
    using sw::importer::PictureName;
    if (name.kind == PictureName::kCard) {
        if (name.order < 0 || name.order >= sw::importer::kTarotCount) std::abort();
        // The card's own picture name says the same card.
        if (sw::importer::CardOrder(sw::importer::CardCode(name.order)) != name.order) std::abort();
    } else if (name.order != -1) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckName(sw::importer::ParsePictureName(text));
    // The first line is the folder, the rest the file's name.
    const std::size_t newline = text.find('\n');
    if (newline != std::string_view::npos)
        CheckName(sw::importer::ParseLayoutPictureName(text.substr(0, newline), text.substr(newline + 1)));
    if (sw::importer::MajorByKey(text) >= sw::importer::kMajorCount) std::abort();
    return 0;
}
