// A deck folder's deck.toml and names/en.toml of any content: a problem or
// a manifest, never a crash or an exception, and a manifest that keeps to
// what the importer relies on (every trump shown once, names it can show).
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "importer/deck_manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sw::importer;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DeckManifest manifest;
    std::vector<Problem> problems;
    const bool read = ReadDeckManifest(text, "deck.toml", &manifest, &problems);
    if (read != problems.empty()) std::abort();
    ReadCardNames(text, "names/en.toml", &manifest, &problems);
    if (read) {
        std::array<bool, kMajorCount> shown{};
        for (int card : manifest.identity) {
            if (card < 0 || card >= kMajorCount || shown[card]) std::abort();
            shown[card] = true;
        }
    }
    for (const std::string& name : manifest.names)
        if (!name.empty() && !CardNameProblem(name).empty()) std::abort();
    return 0;
}
