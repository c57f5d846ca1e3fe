// A deck index of any content, read through the encoded file as the program
// reads it: never a crash, a bounded deck, and no working copy left behind.
#include <cstdint>
#include <cstdlib>

#include "fuzz_support.h"
#include "store/deck.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sw::fuzz::EnterPrivateFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sw::fuzz::WriteEncodedInput("decks/F/index.dat", data, size);
    sw::DeckRecord deck;
    const bool loaded = deck.LoadIndex("F", sw::fuzz::NoSync());
    if (loaded != deck.loaded) std::abort();
    if (deck.cardCount < 0 || deck.cardCount > sw::kMaxDeckCards) std::abort();
    if (static_cast<std::size_t>(deck.cardCount) != deck.cards.size()) std::abort();
    for (int i = 0; i < deck.cardCount; ++i) deck.CardImageUrl(i, i % 2);
    if (!sw::fuzz::HoldsOnly("decks/F", "index.dat")) std::abort();
    return 0;
}
