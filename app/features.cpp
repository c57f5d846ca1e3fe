#include "app/features.h"

#include "app/sagewend_dlg.h"

namespace sw {

using platform::Element;

namespace {

// One route: what arrives (a clicked element's id, or a key), whether it
// opens a page of its own (which closes the card meaning window first, as
// the menu pages do), and what it runs.
struct Route {
    const char* name;
    bool opensPage;
    void (*run)(Features&, const Element&);
};

// The choices that several ids share.
void DealControl(Features& f, const Element&) { f.settings.DealControlClicked(f.Data()); }
void PageChoice(Features& f, const Element& e) { f.settings.PageChoiceClicked(e); }

const Route kClickRoutes[] = {
    // The journal (journal/). The Journal link is a new visit; the other
    // ways back keep the search in force.
    {"journal", true, [](Features& f, const Element&) { f.journal.Visit(); }},
    {"journalback", true, [](Features& f, const Element&) { f.journal.Back(); }},
    {"journalfind", false, [](Features& f, const Element&) { f.journal.Find(); }},
    {"journalclear", false, [](Features& f, const Element&) { f.journal.Visit(); }},
    {"journalolder", false, [](Features& f, const Element&) { f.journal.Older(); }},
    {"journalnewer", false, [](Features& f, const Element&) { f.journal.Newer(); }},
    {"journalentry", false, [](Features& f, const Element& e) { f.journal.ShowEntry(e); }},
    {"keep", false, [](Features& f, const Element&) { f.journal.Keep(); }},
    {"journalsavenotes", false, [](Features& f, const Element& e) { f.journal.SaveNotes(e); }},
    {"journaldelete", false, [](Features& f, const Element& e) { f.journal.Delete(e); }},
    {"journalexportone", false, [](Features& f, const Element& e) { f.journal.ExportOne(e); }},
    {"journalprint", false, [](Features& f, const Element&) { f.journal.Print(); }},
    {"journalexport", false, [](Features& f, const Element&) { f.journal.ExportAll(JournalExport::Kind::Markdown); }},
    {"journalexportjsonl", false,
     [](Features& f, const Element&) { f.journal.ExportAll(JournalExport::Kind::JsonLines); }},
    {"journalimport", false, [](Features& f, const Element& e) { f.journal.Import(e); }},
    {"journalprintall", false, [](Features& f, const Element&) { f.journal.PrintAll(); }},
    {"journalhelp", false, [](Features& f, const Element&) { f.journal.Help(); }},
    // The Insights page (insights/).
    {"journalinsights", true, [](Features& f, const Element&) { f.insights.Show(); }},
    {"insightswhole", false, [](Features& f, const Element&) { f.insights.ShowWhole(); }},
    {"insightssearch", false, [](Features& f, const Element&) { f.insights.ShowSearch(); }},
    {"insightshelp", false, [](Features& f, const Element&) { f.insights.Help(); }},
    // The card library (library/).
    {"cards", true, [](Features& f, const Element&) { f.library.Show(); }},
    {"cardsshow", false, [](Features& f, const Element&) { f.library.ShowChosen(); }},
    {"librarycard", false, [](Features& f, const Element& e) { f.library.ShowCard(e); }},
    // A reading of one's own cards (owncards/); Cancel goes back to the form.
    {"owncards", false, [](Features& f, const Element&) { f.owncards.Start(); }},
    {"ownplace", false, [](Features& f, const Element&) { f.owncards.Place(); }},
    {"ownback", false, [](Features& f, const Element&) { f.owncards.Back(); }},
    {"owncancel", false, [](Features& f, const Element&) { f.Host().PostCommand(kCmdReadings); }},
    // The card of the day (daycard/).
    {"daycard", true, [](Features& f, const Element&) { f.daycard.Show(); }},
    {"daycardshow", false, [](Features& f, const Element&) { f.daycard.ShowChosen(); }},
    // The kept preferences (settings/): the deal options beside the reading
    // form, and what the page sets itself.
    {"dealmajor", false, DealControl},
    {"dealreversals-never", false, DealControl},
    {"dealreversals-sometimes", false, DealControl},
    {"dealreversals-often", false, DealControl},
    {"setpref", false, [](Features& f, const Element& e) { f.settings.SetFromPage(e); }},
    // The settings page and its choices.
    {"settings", true, [](Features& f, const Element&) { f.ShowSettings(); }},
    {"look-system", false, PageChoice},
    {"look-green", false, PageChoice},
    {"look-dark", false, PageChoice},
    {"look-contrast", false, PageChoice},
    {"cardsize-smaller", false, PageChoice},
    {"cardsize-fit", false, PageChoice},
    {"cardsize-larger", false, PageChoice},
};

const Route kKeyRoutes[] = {
    {"Alt+J", true, [](Features& f, const Element&) { f.journal.Visit(); }},
    {"Alt+C", true, [](Features& f, const Element&) { f.library.Show(); }},
    {"Alt+A", true, [](Features& f, const Element&) { f.daycard.Show(); }},
    {"Alt+S", true, [](Features& f, const Element&) { f.ShowSettings(); }},
};

template <std::size_t N>
const Route* Find(const Route (&routes)[N], std::string_view name) {
    for (const Route& route : routes)
        if (name == route.name) return &route;
    return nullptr;
}

}  // namespace

Features::Features(platform::Host& host, const OracleData& data, const HexagramTable& hexagrams,
                   OwnCards::Shower showPlaced)
    : settings(host),
      journal(host, data, hexagrams),
      insights(host, data, journal, [this](const std::string& html) { Write(html, "journal"); }),
      library(host, data, [this](const std::string& html) { Write(html, "cards"); }),
      owncards(host, data, [this](const std::string& html) { Write(html, "tarotbtn"); }, std::move(showPlaced)),
      daycard(host, data, journal, [this](const std::string& html) { Write(html, "daycard"); }),
      host_(host),
      data_(data) {}

void Features::AddReadingControls(platform::PageParts& parts) const {
    parts.controls = DealOptionControls(data_.decks, settings.Get().deal);
    parts.controls.push_back(OwnCards::Control());
}

void Features::Write(const std::string& html, const char* menu, std::vector<platform::PageParts::Control> controls) {
    PageReplaced();
    host_.WritePage(html);
    platform::PageParts parts;
    parts.menu = menu;
    parts.controls = std::move(controls);
    host_.DescribePage(parts);
}

void Features::ShowSettings() { Write(Settings::PageHtml(), "settings", settings.PageControls()); }

bool Features::OnClick(const Element& element) {
    const Route* route = Find(kClickRoutes, element.Id());
    if (!route) return false;
    if (route->opensPage) host_.ShowMeaningWindow(false);
    route->run(*this, element);
    return true;
}

bool Features::OnKey(std::string_view key) {
    const Route* route = Find(kKeyRoutes, key);
    if (!route) return false;
    if (route->opensPage) host_.ShowMeaningWindow(false);
    route->run(*this, Element());
    return true;
}

}  // namespace sw
