#pragma once
// The card library: every card of a deck with both its meanings, reached by
// the Cards link (Alt+C). Its only state is the deck last shown, so a return
// to the library shows that deck again.
#include <functional>
#include <string>

#include "platform/element.h"
#include "platform/host.h"
#include "store/oracle_data.h"

namespace sw {

class CardLibrary {
public:
    // write puts a page in place of the one on show, as every page of the
    // program is put (it ends what the page on show offered).
    using Writer = std::function<void(const std::string&)>;
    CardLibrary(platform::Host& host, const OracleData& data, Writer write)
        : host_(host), data_(data), write_(std::move(write)) {}

    // The deck last shown (or the first loaded one).
    void Show() { ShowDeck(deck_); }
    // The deck chosen in the page's list.
    void ShowChosen();
    // One card, from a picture of the library's page.
    void ShowCard(const platform::Element& picture);

private:
    void ShowDeck(int deck);

    platform::Host& host_;
    const OracleData& data_;
    Writer write_;
    int deck_ = -1;
};

}  // namespace sw
