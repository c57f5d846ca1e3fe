#pragma once
// The card meaning window: a small second window with its own document.
#include <string>

#include "platform/host.h"
#include "store/deck.h"

namespace sw {

class CCardMeaning {
public:
    explicit CCardMeaning(platform::Host& host) : host_(host) {}

    // Composes the meaning page for a card at a position and writes it.
    void ShowMeaning(const DeckRecord& deck, int cardIndex, const std::string& positionText, int reversed);
    static std::string ComposeMeaning(const DeckRecord& deck, int cardIndex, const std::string& positionText,
                                      int reversed);
    void WriteMeaningPage(const std::string& html) { host_.WriteMeaningPage(html); }
    void Show() { host_.ShowMeaningWindow(true); }
    void Hide() { host_.ShowMeaningWindow(false); }

private:
    platform::Host& host_;
};

}  // namespace sw
