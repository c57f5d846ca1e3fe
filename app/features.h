#pragma once
// The features beyond the dialog's own pages. Each lives in a folder of its
// own with its own handler class and state (journal/, library/, owncards/,
// daycard/, settings/); the table in app/features.cpp is the one place that
// says which page ids and which keys reach which of them. The main dialog
// routes a click through its event map first and hands what the map does
// not match to OnClick; keys the accelerator table does not hold go to
// OnKey. Everything runs on the handler thread, like the dialog's own
// handlers.
#include <string>
#include <string_view>
#include <vector>

#include "daycard/day_card.h"
#include "iching/hexagram_table.h"
#include "journal/journal_pages.h"
#include "library/card_library.h"
#include "owncards/own_cards.h"
#include "platform/element.h"
#include "platform/host.h"
#include "settings/settings.h"
#include "store/oracle_data.h"

namespace sw {

class Features {
public:
    // showPlaced shows the cards a user placed as the dialog shows a deal.
    Features(platform::Host& host, const OracleData& data, const HexagramTable& hexagrams, OwnCards::Shower showPlaced);

    // False when no feature owns the clicked element or the key.
    bool OnClick(const platform::Element& element);
    bool OnKey(std::string_view key);
    // A page was written in place of the one on show.
    void PageReplaced() { journal.PageReplaced(); }
    // The page is there: it gets what it applies itself.
    void PageOpened() { settings.Share(); }
    // What the features put beside the reading form.
    void AddReadingControls(platform::PageParts& parts) const;
    // The settings page (its choices are the settings' own).
    void ShowSettings();

    Settings settings;
    JournalPages journal;
    CardLibrary library;
    OwnCards owncards;
    DayCard daycard;

    platform::Host& Host() { return host_; }
    const OracleData& Data() const { return data_; }

private:
    // A page of a feature, the menu link it lights and the controls beside it.
    void Write(const std::string& html, const char* menu, std::vector<platform::PageParts::Control> controls = {});

    platform::Host& host_;
    const OracleData& data_;
};

}  // namespace sw
