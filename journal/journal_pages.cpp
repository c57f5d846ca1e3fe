// The journal's pages and handlers; declared in journal/journal_pages.h.
#include "journal/journal_pages.h"

#include <filesystem>

#include "app/msg_box.h"
#include "app/page_pieces.h"
#include "core/text.h"
#include "journal/journal_markdown.h"
#include "yesno/yes_no.h"

namespace sw {

using platform::Element;

namespace {

// "2026-12-07T14:03:11+01:00" as "7 December 2026, 14:03".
std::string ShownDate(const std::string& keptAt) {
    static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "August",   "September", "October", "November", "December"};
    if (keptAt.size() < 16) return keptAt;
    const int month = CAtoi(keptAt.substr(5, 2));
    if (month < 1 || month > 12) return keptAt;
    return Format("%d %s %s, %s", CAtoi(keptAt.substr(8, 2)), months[month - 1], keptAt.substr(0, 4).c_str(),
                  keptAt.substr(11, 5).c_str());
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// A card picture's file, from its page address.
std::string PictureFile(const std::string& url) { return url.rfind("file:", 0) == 0 ? ToUtf8(url.substr(5)) : url; }

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

JournalPages::JournalPages(platform::Host& host, const OracleData& data, const HexagramTable& hexagrams)
    : host_(host), data_(data), hexagrams_(hexagrams) {}

JournalPages::~JournalPages() = default;

JournalStore* JournalPages::Store() {
    if (store_) return store_.get();
    std::string err;
    store_ = JournalStore::Open(kJournalFile, &err);
    if (!store_) Say(err + " The oracles, the editor and your layouts are not affected.");
    return store_.get();
}

std::string JournalPages::Value(std::string_view name) const {
    auto element = host_.GetElement(name);
    return element ? element->Text("value") : std::string();
}

std::int64_t JournalPages::EntryId(const Element& element) const {
    const std::string text = element.Text("entry");
    return std::max(0, CAtoi(text));
}

void JournalPages::Write(const std::string& html, platform::PageParts parts, const std::vector<std::string>& cardLabels) {
    PageReplaced();
    host_.WritePage(html);
    if (!cardLabels.empty()) host_.DescribeCards(cardLabels);
    // A kept result is read here, not asked again: nothing of its oracle's form acts.
    parts.menu = "journal";
    parts.focus.clear();
    if (parts.enter != "journalfind") parts.enter.clear();
    host_.DescribePage(parts);
}
void JournalPages::Say(const std::string& message) const { CMsgBox().Show(message, platform::kIconExclamation); }

void JournalPages::Offer(Oracle oracle, const std::string& question, std::string result) {
    offered_ = Offered{oracle, ToUtf8(question), std::move(result)};
    host_.SetKeepControl(platform::Host::Keep::Offered);
}

void JournalPages::PageReplaced() {
    offered_.reset();
    shown_.reset();
    printed_.clear();
}

const KeptReading* JournalPages::ShownReading(const Element& card) const {
    // The printed journal marks each card with its entry.
    if (card.HasAttribute("entry")) {
        auto found = printed_.find(EntryId(card));
        return found == printed_.end() ? nullptr : &found->second;
    }
    return shown_ ? &*shown_ : nullptr;
}

void JournalPages::Find() {
    search_ = Value("journalsearch");
    ShowList(search_);
}

// ---- keeping -----------------------------------------------------------------

void JournalPages::Keep() {
    if (!offered_) return;  // kept already, or the page has changed
    JournalStore* store = Store();
    if (!store) return;
    JournalEntry entry;
    entry.oracle = offered_->oracle;
    entry.question = offered_->question;
    entry.result = offered_->result;
    std::string err;
    if (!store->Add(entry, &err)) {
        Say(err);
        return;
    }
    offered_.reset();  // once: a second click keeps nothing more
    host_.SetKeepControl(platform::Host::Keep::Kept);
}

// ---- the journal's pages ------------------------------------------------------

void JournalPages::ShowList(const std::string& search) {
    std::string html = kPageStart;
    html += "<BR><BR><h3>Journal</h3>";
    html += "<table cellpadding='5'><tr><td><label for='journalsearch'><b>Search:</b></label></td>";
    html += Format("<td><input id='journalsearch' name='journalsearch' type='text' value='%s' size='40'></td>",
                   EscapeHtml(search).c_str());
    html += "<td>" + Button("journalfind", "Find") + "</td></tr></table>";

    std::vector<JournalEntry> entries;
    std::string err;
    JournalStore* store = Store();
    if (!store) {
        html += "<p>The journal cannot be opened now.</p>";
    } else if (!store->List(search, &entries, &err)) {
        html += "<p>" + EscapeHtml(err) + "</p>";
    } else if (entries.empty()) {
        html += search.empty() ? "<p>Nothing is kept yet. After a reading, a cast or an answer, choose Keep in journal.</p>"
                               : "<p>No entry holds every word of the search.</p>";
    } else {
        html += "<table class='sw-journal' cellpadding='4'><tr><th scope='col'>Kept</th><th scope='col'>Oracle</th>"
                "<th scope='col'>Question</th><th scope='col'>Notes</th></tr>";
        for (const JournalEntry& entry : entries) {
            const std::string question = entry.question.empty() ? "(no question)" : entry.question;
            html += Format("<tr><td>%s</td><td>%s</td><td><button type='button' class='sw-link' id='journalentry' "
                           "entry='%lld'>%s</button></td><td>%s</td></tr>",
                           EscapeHtml(ShownDate(entry.keptAt)).c_str(), OracleName(entry.oracle),
                           static_cast<long long>(entry.id), EscapeHtml(question).c_str(),
                           EscapeHtml(FirstLine(entry.notes)).c_str());
        }
        html += "</table><BR>" + Button("journalexport", "Export") + Button("journalprintall", "Print");
    }
    html += kPageEnd;
    platform::PageParts parts;
    parts.enter = "journalfind";
    Write(html, parts);
}

JournalPages::ResultShown JournalPages::ResultPage(const JournalEntry& entry, std::string* err) const {
    ResultShown shown;
    switch (entry.oracle) {
        case Oracle::Reading: {
            KeptReading kept;
            if (!ReadReading(entry.result, &kept, err)) return shown;
            shown.html = OracleData::RenderDealtSpread(kept.layout, kept.deck, entry.question, kept.dealt);
            shown.cardLabels = OracleData::CardLabels(kept.layout, kept.deck, kept.dealt);
            shown.parts = OracleData::SpreadParts(kept.layout, kept.deck, kept.dealt);
            shown.reading = std::move(kept);
            return shown;
        }
        case Oracle::IChing: {
            std::array<int, 6> draws{};
            if (!ReadCast(entry.result, &draws, err)) return shown;
            shown.html = hexagrams_.RenderCast(draws, entry.question);
            shown.parts = hexagrams_.CastParts(draws);
            return shown;
        }
        case Oracle::YesNo: {
            int answer = 0;
            if (!ReadAnswer(entry.result, &answer, err)) return shown;
            shown.html = YesNoOracle::RenderAnswerPage(answer, entry.question);
            shown.parts = YesNoOracle::Parts();
            return shown;
        }
    }
    *err = "This entry of the journal is of an unknown kind.";
    return shown;
}

bool JournalPages::Load(std::int64_t id, JournalEntry* entry) {
    JournalStore* store = Store();
    std::string err;
    if (!store) return false;
    if (store->Get(id, entry, &err)) return true;
    Say(err);
    return false;
}

void JournalPages::ShowEntry(std::int64_t id) {
    JournalEntry entry;
    if (!Load(id, &entry)) return;
    std::string err;
    ResultShown shown = ResultPage(entry, &err);
    const std::optional<KeptReading>& reading = shown.reading;
    std::string html = Format("<div class='sw-entry'><h3>%s of %s</h3>", OracleName(entry.oracle),
                              EscapeHtml(ShownDate(entry.keptAt)).c_str());
    if (reading) {
        html += Format("<p>Layout: <b>%s</b>, deck: <b>%s</b>%s</p>", EscapeHtml(reading->layout.name).c_str(),
                       EscapeHtml(reading->deck.directory).c_str(), reading->byHand ? ", drawn by hand" : "");
        bool pictures = true;
        for (const DealtCard& card : reading->dealt)
            pictures = pictures && FileExists(PictureFile(reading->deck.CardImageUrl(card.card, card.roll)));
        if (!pictures)
            html += Format("<p class='sw-note'>The deck %s is no longer here as it was, so some of its pictures "
                           "cannot be shown. The cards and their meanings are as they were kept.</p>",
                           EscapeHtml(reading->deck.directory).c_str());
    }
    html += "</div>";
    html += shown.html.empty() ? "<p class='sw-note'>" + EscapeHtml(err) + "</p>" : shown.html;
    html += "<div class='sw-entry-notes'><label for='journalnotes'><b>Notes</b></label><br>";
    html += Format("<textarea id='journalnotes' name='journalnotes' rows='6' cols='70'>%s</textarea><br>",
                   EscapeHtml(entry.notes).c_str());
    html += Button("journalsavenotes", "Save notes", entry.id) + Button("journalexportone", "Export", entry.id) +
            Button("journalprint", "Print") + Button("journaldelete", "Delete", entry.id) + Button("journal", "Back");
    html += "</div>";
    Write(html, shown.parts, shown.cardLabels);
    shown_ = std::move(shown.reading);
}

void JournalPages::SaveNotes(std::int64_t id) {
    JournalStore* store = Store();
    std::string err;
    if (!store) return;
    if (!store->SetNotes(id, Value("journalnotes"), &err)) {
        Say(err);
        return;
    }
    host_.Notify("Notes saved");
}

void JournalPages::Delete(std::int64_t id) {
    JournalStore* store = Store();
    if (!store || CMsgBox().Show("Are you sure?", platform::kIconQuestion) != platform::kIdOk) return;
    std::string err;
    if (!store->Delete(id, &err)) {
        Say(err);
        return;
    }
    ShowList(search_);
}

void JournalPages::ExportOne(std::int64_t id) {
    JournalEntry entry;
    if (!Load(id, &entry)) return;
    std::string name = entry.keptAt.substr(0, 16);
    for (char& c : name)
        if (c == ':' || c == 'T') c = '-';
    host_.Download("sagewend-" + name + ".md", EntryMarkdown(entry, hexagrams_));
}

void JournalPages::ExportAll() {
    std::vector<JournalEntry> entries;
    if (!LoadAll(&entries)) return;
    host_.Download("sagewend-journal.md", JournalMarkdown(entries, hexagrams_));
}

bool JournalPages::LoadAll(std::vector<JournalEntry>* entries) {
    JournalStore* store = Store();
    std::string err;
    if (!store) return false;
    if (store->All(entries, &err)) return true;
    Say(err);
    return false;
}

void JournalPages::PrintAll() {
    std::vector<JournalEntry> entries;
    if (!LoadAll(&entries)) return;
    std::string err;
    std::string html = "<div class='sw-entry'><h3>Journal</h3></div>";
    platform::PageParts parts;
    std::vector<std::string> cardLabels;
    std::map<std::int64_t, KeptReading> printed;
    for (const JournalEntry& entry : entries) {
        html += Format("<div class='sw-entry'><h3>%s of %s</h3></div>", OracleName(entry.oracle),
                       EscapeHtml(ShownDate(entry.keptAt)).c_str());
        ResultShown shown = ResultPage(entry, &err);
        if (shown.reading) {
            // Each card names its entry, so that a click opens the meaning it was kept with.
            const std::string marked = Format("<IMG class='card' entry='%lld' ", static_cast<long long>(entry.id));
            shown.html = ReplaceAll(shown.html, "<IMG class='card' ", marked);
            printed.emplace(entry.id, std::move(*shown.reading));
        }
        html += shown.html.empty() ? "<p class='sw-note'>" + EscapeHtml(err) + "</p>" : shown.html;
        if (!entry.notes.empty()) html += "<div class='sw-entry-notes'><pre>" + EscapeHtml(entry.notes) + "</pre></div>";
        html += "<hr class='mainhr' width='420'>";
        cardLabels.insert(cardLabels.end(), shown.cardLabels.begin(), shown.cardLabels.end());
        parts.hexagrams.insert(parts.hexagrams.end(), shown.parts.hexagrams.begin(), shown.parts.hexagrams.end());
        parts.pictures.insert(parts.pictures.end(), shown.parts.pictures.begin(), shown.parts.pictures.end());
        for (const auto& field : shown.parts.fields) parts.fields.push_back(field);
    }
    html += Button("journal", "Back");
    Write(html, parts, cardLabels);
    printed_ = std::move(printed);
    host_.Print();
}

}  // namespace sw
