// The journal's and the card library's pages and handlers; declared in
// app/journal_view.h.
#include "app/journal_view.h"

#include <filesystem>

#include "app/msg_box.h"
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

std::string Button(const char* id, const char* text, std::int64_t entry = 0) {
    if (entry > 0)
        return Format("<button type='button' class='btn' id='%s' entry='%lld'>%s</button>", id,
                      static_cast<long long>(entry), text);
    return Format("<button type='button' class='btn' id='%s'>%s</button>", id, text);
}

const char* const kPageStart = "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
const char* const kPageEnd = "</td></tr></table>";

}  // namespace

JournalView::JournalView(platform::Host& host, const OracleData& data, const HexagramTable& hexagrams)
    : host_(host), data_(data), hexagrams_(hexagrams) {}

JournalView::~JournalView() = default;

JournalStore* JournalView::Store() {
    if (store_) return store_.get();
    std::string err;
    store_ = JournalStore::Open(kJournalFile, &err);
    if (!store_) Say(err + " The oracles, the editor and your layouts are not affected.");
    return store_.get();
}

std::string JournalView::Value(std::string_view name) const {
    auto element = host_.GetElement(name);
    return element ? element->Text("value") : std::string();
}

std::int64_t JournalView::EntryId(const Element& element) const {
    const std::string text = element.Text("entry");
    return std::max(0, CAtoi(text));
}

void JournalView::Write(const std::string& html) {
    PageReplaced();
    host_.WritePage(html);
}

void JournalView::Say(const std::string& message) const { CMsgBox().Show(message, platform::kIconExclamation); }

void JournalView::Offer(Oracle oracle, const std::string& question, std::string result) {
    offered_ = Offered{oracle, ToUtf8(question), std::move(result)};
    host_.SetKeepControl(platform::Host::Keep::Offered);
}

void JournalView::PageReplaced() {
    offered_.reset();
    shown_.reset();
}

bool JournalView::OnKey(std::string_view key) {
    if (key == "Alt+J") {
        host_.ShowMeaningWindow(false);
        ShowList(search_);
        return true;
    }
    if (key == "Alt+C") {
        host_.ShowMeaningWindow(false);
        ShowLibrary(libraryDeck_);
        return true;
    }
    return false;
}

bool JournalView::Route(const Element& element) {
    const std::string id = element.Id();
    if (id == "journal" || id == "cards") {
        // Like the oracles' menu pages, these close the meaning window.
        host_.ShowMeaningWindow(false);
        if (id == "journal") ShowList(search_);
        else ShowLibrary(libraryDeck_);
    } else if (id == "journalfind") {
        search_ = Value("journalsearch");
        ShowList(search_);
    } else if (id == "journalentry") {
        ShowEntry(EntryId(element));
    } else if (id == "keep") {
        Keep();
    } else if (id == "journalsavenotes") {
        SaveNotes(EntryId(element));
    } else if (id == "journaldelete") {
        Delete(EntryId(element));
    } else if (id == "journalexportone") {
        ExportOne(EntryId(element));
    } else if (id == "journalprint") {
        host_.Print();
    } else if (id == "journalexport") {
        ExportAll();
    } else if (id == "journalprintall") {
        PrintAll();
    } else if (id == "cardsshow") {
        ShowLibrary(CAtoi(Value("cardsdeck")));
    } else if (id == "librarycard") {
        ShowLibraryCard(CAtoi(element.Text("deck")), CAtoi(element.Text("card")));
    } else {
        return false;
    }
    return true;
}

// ---- keeping -----------------------------------------------------------------

void JournalView::Keep() {
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

void JournalView::ShowList(const std::string& search) {
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
    Write(html);
}

std::string JournalView::ResultPage(const JournalEntry& entry, std::optional<KeptReading>* reading,
                                    std::string* err) const {
    switch (entry.oracle) {
        case Oracle::Reading: {
            KeptReading kept;
            if (!ReadReading(entry.result, &kept, err)) return {};
            std::string html = OracleData::RenderDealtSpread(kept.layout, kept.deck, entry.question, kept.dealt);
            if (reading) *reading = std::move(kept);
            return html;
        }
        case Oracle::IChing: {
            std::array<int, 6> draws{};
            if (!ReadCast(entry.result, &draws, err)) return {};
            return hexagrams_.RenderCast(draws, entry.question);
        }
        case Oracle::YesNo: {
            int answer = 0;
            if (!ReadAnswer(entry.result, &answer, err)) return {};
            return YesNoOracle::RenderAnswerPage(answer, entry.question);
        }
    }
    *err = "This entry of the journal is of an unknown kind.";
    return {};
}

bool JournalView::Load(std::int64_t id, JournalEntry* entry) {
    JournalStore* store = Store();
    std::string err;
    if (!store) return false;
    if (store->Get(id, entry, &err)) return true;
    Say(err);
    return false;
}

void JournalView::ShowEntry(std::int64_t id) {
    JournalEntry entry;
    if (!Load(id, &entry)) return;
    std::string err;
    std::optional<KeptReading> reading;
    const std::string page = ResultPage(entry, &reading, &err);
    std::string html = Format("<div class='sw-entry'><h3>%s of %s</h3>", OracleName(entry.oracle),
                              EscapeHtml(ShownDate(entry.keptAt)).c_str());
    if (reading) {
        html += Format("<p>Layout: <b>%s</b>, deck: <b>%s</b></p>", EscapeHtml(reading->layout.name).c_str(),
                       EscapeHtml(reading->deck.directory).c_str());
        bool pictures = true;
        for (const DealtCard& card : reading->dealt)
            pictures = pictures && FileExists(PictureFile(reading->deck.CardImageUrl(card.card, card.roll)));
        if (!pictures)
            html += Format("<p class='sw-note'>The deck %s is no longer here as it was, so some of its pictures "
                           "cannot be shown. The cards and their meanings are as they were kept.</p>",
                           EscapeHtml(reading->deck.directory).c_str());
    }
    html += "</div>";
    html += page.empty() ? "<p class='sw-note'>" + EscapeHtml(err) + "</p>" : page;
    html += "<div class='sw-entry-notes'><label for='journalnotes'><b>Notes</b></label><br>";
    html += Format("<textarea id='journalnotes' name='journalnotes' rows='6' cols='70'>%s</textarea><br>",
                   EscapeHtml(entry.notes).c_str());
    html += Button("journalsavenotes", "Save notes", entry.id) + Button("journalexportone", "Export", entry.id) +
            Button("journalprint", "Print") + Button("journaldelete", "Delete", entry.id) + Button("journal", "Back");
    html += "</div>";
    Write(html);
    shown_ = std::move(reading);
}

void JournalView::SaveNotes(std::int64_t id) {
    JournalStore* store = Store();
    std::string err;
    if (!store) return;
    if (!store->SetNotes(id, Value("journalnotes"), &err)) {
        Say(err);
        return;
    }
    Say("Notes saved");
}

void JournalView::Delete(std::int64_t id) {
    JournalStore* store = Store();
    if (!store || CMsgBox().Show("Are you sure?", platform::kIconQuestion) != platform::kIdOk) return;
    std::string err;
    if (!store->Delete(id, &err)) {
        Say(err);
        return;
    }
    ShowList(search_);
}

void JournalView::ExportOne(std::int64_t id) {
    JournalEntry entry;
    if (!Load(id, &entry)) return;
    std::string name = entry.keptAt.substr(0, 16);
    for (char& c : name)
        if (c == ':' || c == 'T') c = '-';
    host_.Download("sagewend-" + name + ".md", EntryMarkdown(entry, hexagrams_));
}

void JournalView::ExportAll() {
    std::vector<JournalEntry> entries;
    if (!LoadAll(&entries)) return;
    host_.Download("sagewend-journal.md", JournalMarkdown(entries, hexagrams_));
}

bool JournalView::LoadAll(std::vector<JournalEntry>* entries) {
    JournalStore* store = Store();
    std::string err;
    if (!store) return false;
    if (store->All(entries, &err)) return true;
    Say(err);
    return false;
}

void JournalView::PrintAll() {
    std::vector<JournalEntry> entries;
    if (!LoadAll(&entries)) return;
    std::string err;
    std::string html = "<div class='sw-entry'><h3>Journal</h3></div>";
    for (const JournalEntry& entry : entries) {
        html += Format("<div class='sw-entry'><h3>%s of %s</h3></div>", OracleName(entry.oracle),
                       EscapeHtml(ShownDate(entry.keptAt)).c_str());
        const std::string page = ResultPage(entry, nullptr, &err);
        html += page.empty() ? "<p class='sw-note'>" + EscapeHtml(err) + "</p>" : page;
        if (!entry.notes.empty()) html += "<div class='sw-entry-notes'><pre>" + EscapeHtml(entry.notes) + "</pre></div>";
        html += "<hr class='mainhr' width='420'>";
    }
    html += Button("journal", "Back");
    Write(html);
    host_.Print();
}

// ---- the card library -----------------------------------------------------------

void JournalView::ShowLibrary(int deck) {
    // The chosen deck, or the first loaded one.
    if (!data_.IsDeckIndex(deck) || !data_.DeckAt(deck).loaded) {
        deck = -1;
        for (int i = 0; i < data_.deckCount && deck < 0; ++i)
            if (data_.DeckAt(i).loaded) deck = i;
    }
    libraryDeck_ = deck;
    std::string html = kPageStart;
    html += "<BR><BR><h3>Cards</h3><table cellpadding='5'><tr><td><label for='cardsdeck'><b>Deck:</b></label></td>"
            "<td><select id='cardsdeck' name='cardsdeck'>";
    for (int i = 0; i < data_.deckCount; ++i) {
        const DeckRecord& record = data_.DeckAt(i);
        if (!record.loaded) continue;
        html += Format("<option value='%d'%s>%s</option>", i, i == deck ? " selected" : "",
                       EscapeHtml(record.directory).c_str());
    }
    html += "</select></td><td>" + Button("cardsshow", "Show") + "</td></tr></table>";
    if (deck < 0) {
        html += "<p>No deck could be loaded.</p>";
    } else {
        const DeckRecord& record = data_.DeckAt(deck);
        html += "<div class='sw-library'>";
        for (int card = 0; card < record.cardCount; ++card) {
            const std::string name = EscapeHtml(record.CardAt(card).name);
            html += Format("<figure class='sw-librarycard'><img class='sw-librarycard' id='librarycard' deck='%d' "
                           "card='%d' tabindex='0' role='button' src='%s' alt='%s'><figcaption>%s</figcaption></figure>",
                           deck, card, EscapeHtml(record.CardImageUrl(card, 0)).c_str(), name.c_str(), name.c_str());
        }
        html += "</div>";
    }
    html += kPageEnd;
    Write(html);
}

void JournalView::ShowLibraryCard(int deck, int card) {
    if (!data_.IsDeckIndex(deck) || card < 0 || card >= data_.DeckAt(deck).cardCount) {
        ShowLibrary(libraryDeck_);
        return;
    }
    const DeckRecord& record = data_.DeckAt(deck);
    const CardRecord& entry = record.CardAt(card);
    const std::string name = EscapeHtml(entry.name);
    std::string html = kPageStart;
    html += "<BR><BR><h3>" + name + "</h3><table cellspacing='20'><tr>";
    html += Format("<td align='center'><img src='%s' alt='%s, upright'><br>Upright</td>",
                   EscapeHtml(record.CardImageUrl(card, 0)).c_str(), name.c_str());
    if (entry.hasReversedImage)
        html += Format("<td align='center'><img src='%s' alt='%s, reversed'><br>Reversed</td>",
                       EscapeHtml(record.CardImageUrl(card, 1)).c_str(), name.c_str());
    html += "</tr></table><table width='600'><tr><td><h4>Upright</h4><div id='sw-fill-upright'></div></td></tr>";
    html += entry.hasReversedImage ? "<tr><td><h4>Reversed</h4><div id='sw-fill-reversed'></div></td></tr>"
                                   : "<tr><td><p>This card has no reversed form: a reading always shows it upright.</p></td></tr>";
    html += "</table>" + Button("cards", "Back") + kPageEnd;
    libraryDeck_ = deck;
    Write(html);
    host_.FillHtml("sw-fill-upright", entry.meaning);
    if (entry.hasReversedImage) host_.FillHtml("sw-fill-reversed", entry.reversedMeaning);
}

}  // namespace sw
