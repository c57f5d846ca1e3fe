// A deck list of any content beside one real deck, read as the program reads
// it at start: never a crash, never more decks than the list names (whatever
// its count line says), at most one message about the count, and nothing
// left behind or made outside the data folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "store/oracle_data.h"

namespace {

int shown = 0;

void WriteEncoded(const char* path, std::string_view text) {
    sw::fuzz::WriteEncodedInput(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sw::fuzz::EnterPrivateFolder();
    // One deck to find, and an empty layout store.
    WriteEncoded("decks/A/index.dat",
                 "1\n######CARD######\nOne\n0\njpg\n\n00\n~~~~~~Meaning~~~~~~\nm\n~~~~~~Reverse~~~~~~\n######END######");
    WriteEncoded("data/layouts.dat", "0");
    sw::CMsgBox::SetPresenter([](const std::string& message, int) {
        if (message.find("data/decks.dat, line ") == 0) ++shown;
        return 1;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sw::fuzz::WriteEncodedInput("data/decks.dat", data, size);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    if (size > 0 && data[size - 1] != '\n') ++lines;
    shown = 0;
    sw::OracleData store{sw::fuzz::NoSync()};
    if (store.deckCount != static_cast<int>(store.decks.size())) std::abort();
    if (store.deckCount > sw::kMaxDecks) std::abort();
    // Only folder lines make decks: never one for a line the file lacks.
    if (lines > 0 && static_cast<std::size_t>(store.deckCount) > lines - 1) std::abort();
    if (shown > 1) std::abort();
    for (const auto& entry : std::filesystem::directory_iterator("data")) {
        const std::string name = entry.path().filename().string();
        if (name != "decks.dat" && name != "layouts.dat") std::abort();
    }
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().filename() != "data" && entry.path().filename() != "decks") std::abort();
    if (!sw::fuzz::HoldsOnly("decks/A", "index.dat")) std::abort();
    return 0;
}
