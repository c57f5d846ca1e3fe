#pragma once
// A reading of cards drawn from one's own deck. From the reading form,
// "Enter my own cards" takes the question, layout and deck as chosen; the
// user then says, position by position in number order, which card came up
// and whether it lies reversed, on a page of its own (the page script,
// res/page/owncards.mjs, narrows the deck's list as letters are typed).
// The result is handed to the dialog, which shows it as it shows a deal:
// the same page builder, captions, card names, meaning window and journal
// offer (marked as drawn by hand).
//
// State: the draw in progress (its layout, deck, question and the cards
// placed so far), from Start until the spread is shown or another Start.
// Runs on the handler thread; app/features.cpp routes the clicks here.
#include <functional>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/page_parts.h"
#include "store/oracle_data.h"

namespace sw {

class OwnCards {
public:
    using Writer = std::function<void(const std::string&)>;
    // Shows the finished spread: layout and deck indices, the question and
    // the cards in grid order.
    using Shower = std::function<void(int, int, const std::string&, std::vector<DealtCard>)>;

    OwnCards(platform::Host& host, const OracleData& data, Writer write, Shower show)
        : host_(host), data_(data), write_(std::move(write)), show_(std::move(show)) {}

    // The button beside the reading form.
    static platform::PageParts::Control Control();
    // The filled cells of a layout in the order they are asked for: by
    // position number, cells of one number in grid order.
    static std::vector<DealtCard> AskOrder(const LayoutRecord& layout);
    // Cards placed in asking order, each with roll 1 when the user said it
    // lies reversed: the spread a deal of the same cards would give (grid
    // order, shown reversed only with a reversed picture).
    static std::vector<DealtCard> PlacedSpread(const DeckRecord& deck, std::vector<DealtCard> placed);

    // Handlers.
    void Start();
    void Place();
    void Back();

private:
    std::string Value(const char* name) const;
    // Whether the draw in progress still fits its layout as it now stands.
    bool StillAsStarted() const;
    void ShowStep();

    platform::Host& host_;
    const OracleData& data_;
    Writer write_;
    Shower show_;
    bool active_ = false;
    int layout_ = -1;
    int deck_ = -1;
    std::string question_;
    std::vector<DealtCard> cells_;  // in asking order
    std::size_t placed_ = 0;        // how many of them hold a card
};

}  // namespace sw
