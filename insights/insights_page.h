#pragma once
// The Insights page: what the journal shows over time, a page of its own
// reached from the journal (app/features.cpp routes its ids here). The store
// counts by SQL (JournalStore::Tally), for the whole journal or for the
// journal's search in force; this page sets those counts beside what chance
// would give and draws them (insights/insights_charts.h). Nothing of the
// journal itself is sent to the page, only the figures. Runs on the handler
// thread, like every page.
#include <functional>
#include <string>

#include "journal/journal_pages.h"
#include "platform/host.h"
#include "store/oracle_data.h"

namespace sw {

class InsightsPage {
public:
    using Writer = std::function<void(const std::string&)>;
    InsightsPage(platform::Host& host, const OracleData& data, JournalPages& journal, Writer write)
        : host_(host), data_(data), journal_(journal), write_(std::move(write)) {}

    // Of the journal's search in force, or of the whole journal when none is.
    void Show() { Show(!journal_.Query().Empty()); }
    void ShowWhole() { Show(false); }
    void ShowSearch() { Show(true); }
    void Help() { host_.ShowHelp("journal.htm"); }

private:
    void Show(bool searched);

    platform::Host& host_;
    const OracleData& data_;
    JournalPages& journal_;
    Writer write_;
};

}  // namespace sw
