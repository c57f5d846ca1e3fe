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

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

// "2026-12-07" as "7 December 2026"; the text itself when it is no date.
std::string ShownDay(const std::string& date) {
    if (date.size() < 10) return date;
    const int month = CAtoi(date.substr(5, 2));
    if (month < 1 || month > 12) return date;
    return Format("%d %s %s", CAtoi(date.substr(8, 2)), kMonths[month - 1], date.substr(0, 4).c_str());
}

// "2026-12-07T14:03:11+01:00" as "7 December 2026, 14:03".
std::string ShownDate(const std::string& keptAt) {
    if (keptAt.size() < 16) return keptAt;
    return ShownDay(keptAt) + ", " + keptAt.substr(11, 5);
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// Text for a cell of the list, escaped: a word too long for a column gets
// places to break (every 24 characters), so no other word need be broken.
std::string CellText(const std::string& text) {
    constexpr std::size_t kLongest = 24;
    std::string html;
    std::size_t run = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::string_view character = FirstCharacters(std::string_view(text).substr(at), 1);
        if (character == " " || character == "\t") run = 0;
        else if (++run > kLongest) {
            html += "<wbr>";
            run = 1;
        }
        html += EscapeHtml(character);
        at += character.size();
    }
    return html;
}

// A card picture's file, from its page address.
std::string PictureFile(const std::string& url) { return url.rfind("file:", 0) == 0 ? ToUtf8(url.substr(5)) : url; }

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// An oracle's page may leave tables open at its end, which the browser
// closes only at the end of the whole fragment: whatever came after it
// would be moved out in front of them. Closing them keeps the page's own
// markup where it is written.
std::string Closed(const std::string& fragment) {
    std::string lower = fragment;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::size_t opened = 0, closed = 0;
    for (std::size_t at = 0; (at = lower.find("<table", at)) != std::string::npos; ++at) ++opened;
    for (std::size_t at = 0; (at = lower.find("</table", at)) != std::string::npos; ++at) ++closed;
    std::string html = fragment;
    for (; closed < opened; ++closed) html += "</table>";
    return html;
}

// A kept answer as it is read again: the question and the answer, and no
// form to ask again.
std::string KeptAnswerPage(int answer, const std::string& question) {
    std::string html = "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
    html += "<BR><BR><img src='file:images/yesno.gif' border='0'><BR><BR>";
    html += "<p class='sw-kept-question'>" + EscapeHtml(question.empty() ? "(no question)" : question) + "</p>";
    html += Format("<h3>%s</h3>", YesNoAnswers[static_cast<std::size_t>(answer)]);
    html += "</td></tr></table>";
    return html;
}

// An oracle's entries, as the search's list names them and in a sentence.
const char* OracleEntries(Oracle oracle, bool inSentence) {
    switch (oracle) {
        case Oracle::Reading: return inSentence ? "card readings" : "Card readings";
        case Oracle::IChing: return "I Ching casts";
        case Oracle::YesNo: return "Yes/No answers";
    }
    return "";
}

}  // namespace

std::string DescribeQuery(const JournalQuery& query) {
    std::vector<std::string> parts;
    if (!query.text.empty()) parts.push_back("that hold \xE2\x80\x9C" + query.text + "\xE2\x80\x9D");
    if (query.oracle) parts.push_back(std::string("of ") + OracleEntries(*query.oracle, true));
    if (!query.from.empty() && !query.to.empty())
        parts.push_back("kept from " + ShownDay(query.from) + " to " + ShownDay(query.to));
    else if (!query.from.empty())
        parts.push_back("kept on or after " + ShownDay(query.from));
    else if (!query.to.empty())
        parts.push_back("kept on or before " + ShownDay(query.to));
    std::string words;
    for (std::size_t i = 0; i < parts.size(); ++i) words += (i ? ", " : "") + parts[i];
    return words;
}

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
    import_.reset();
}

const KeptReading* JournalPages::ShownReading(const Element& card) const {
    // The printed journal marks each card with its entry.
    if (card.HasAttribute("entry")) {
        auto found = printed_.find(EntryId(card));
        return found == printed_.end() ? nullptr : &found->second;
    }
    return shown_ ? &*shown_ : nullptr;
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

// ---- the list ------------------------------------------------------------------

void JournalPages::Visit() {
    query_ = JournalQuery();
    pages_.assign(1, JournalStore::kNewest);
    ShowList();
}

void JournalPages::Find() {
    query_.text = Value("journalsearch");
    const int oracle = CAtoi(Value("journaloracle"));
    query_.oracle = oracle >= 1 && oracle <= 3 ? std::optional<Oracle>(static_cast<Oracle>(oracle)) : std::nullopt;
    query_.from = Value("journalfrom");
    query_.to = Value("journalto");
    pages_.assign(1, JournalStore::kNewest);
    ShowList();
}

void JournalPages::Older() {
    if (!older_) return;
    pages_.push_back(*older_);
    ShowList();
}

void JournalPages::Newer() {
    if (pages_.size() > 1) pages_.pop_back();
    ShowList();
}

std::string JournalPages::ListBody(JournalStore& store) {
    older_.reset();
    std::int64_t count = 0;
    std::vector<JournalEntry> entries;
    std::string err;
    // A page emptied by deletions gives way to the one before it.
    for (;;) {
        if (!store.Count(query_, kCountedAtMost + 1, &count, &err) ||
            !store.List(query_, pages_.back(), kPageSize + 1, &entries, &err))
            return "<p>" + EscapeHtml(err) + "</p>";
        if (!entries.empty() || pages_.size() == 1) break;
        pages_.pop_back();
    }
    // A search's count goes only so far; the whole journal's is exact.
    const std::string counted = !query_.Empty() && count > static_cast<std::int64_t>(kCountedAtMost)
                                    ? "more than " + Thousands(static_cast<long long>(kCountedAtMost))
                                    : Thousands(count);
    const std::string entriesCounted = counted + (count == 1 ? " entry" : " entries");
    std::string html;
    if (!query_.Empty()) {
        const std::string described = EscapeHtml(DescribeQuery(query_));
        html += count == 0 ? Format("<p class='sw-journal-filter'>There are no entries %s. ", described.c_str())
                           : Format("<p class='sw-journal-filter'>The entries %s: %s. ", described.c_str(),
                                    entriesCounted.c_str());
        html += Button("journalclear", "Clear the search") + "</p>";
    } else if (count > 0) {
        html += Format("<p>%s, newest first.</p>", entriesCounted.c_str());
    }
    if (entries.empty())
        return html + (query_.Empty() ? "<p>Nothing is kept yet. After a reading, a cast or an answer, choose Keep in "
                                        "journal.</p>"
                                      : "");
    if (entries.size() > kPageSize) {
        entries.resize(kPageSize);
        older_ = entries.back().place;
    }
    html += "<table class='sw-journal' cellpadding='4'><tr><th scope='col'>Kept</th><th scope='col'>Oracle</th>"
            "<th scope='col'>Question</th><th scope='col'>Notes</th></tr>";
    for (const JournalEntry& entry : entries) {
        const std::string question = entry.question.empty() ? "(no question)" : entry.question;
        // The day stays on one line, the time may go to the next.
        const std::string kept = entry.keptAt.size() >= 16 ? "<span class='sw-day'>" + EscapeHtml(ShownDay(entry.keptAt)) +
                                                                 ",</span> " + EscapeHtml(entry.keptAt.substr(11, 5))
                                                           : EscapeHtml(entry.keptAt);
        html += Format("<tr><td>%s</td><td>%s</td><td><button type='button' class='sw-link' id='journalentry' "
                       "entry='%lld'>%s</button></td><td>%s</td></tr>",
                       kept.c_str(), OracleName(entry.oracle),
                       static_cast<long long>(entry.id), CellText(question).c_str(),
                       CellText(FirstLine(entry.notes)).c_str());
    }
    html += "</table>";
    const auto first = static_cast<long long>((pages_.size() - 1) * kPageSize + 1);
    if (pages_.size() > 1 || older_) {
        html += Format("<p class='sw-journal-pages'>Entries %s to %s of %s. ", Thousands(first).c_str(),
                       Thousands(first + static_cast<long long>(entries.size()) - 1).c_str(), counted.c_str());
        if (pages_.size() > 1) html += Button("journalnewer", "Newer entries");
        if (older_) html += Button("journalolder", "Older entries");
        html += "</p>";
    }
    return html;
}

void JournalPages::ShowList() {
    std::string html = kPageStart;
    html += "<BR><BR><h3>Journal</h3>";
    html += "<table class='sw-journal-search' cellpadding='4'><tr><td><label for='journalsearch'><b>Search:</b></label>"
            "</td>";
    html += Format("<td colspan='3'><input id='journalsearch' name='journalsearch' type='text' value='%s' size='40'>"
                   "</td></tr>",
                   EscapeHtml(query_.text).c_str());
    html += "<tr><td><label for='journaloracle'>Oracle:</label></td><td><select id='journaloracle' name='journaloracle'>";
    html += Format("<option value='0'%s>All</option>", query_.oracle ? "" : " selected");
    for (Oracle oracle : {Oracle::Reading, Oracle::IChing, Oracle::YesNo})
        html += Format("<option value='%d'%s>%s</option>", static_cast<int>(oracle),
                       query_.oracle == oracle ? " selected" : "", OracleEntries(oracle, false));
    html += "</select></td>";
    html += Format("<td><label for='journalfrom'>From:</label> <input id='journalfrom' name='journalfrom' type='date' "
                   "value='%s'></td><td><label for='journalto'>to:</label> <input id='journalto' name='journalto' "
                   "type='date' value='%s'></td>",
                   EscapeHtml(query_.from).c_str(), EscapeHtml(query_.to).c_str());
    html += "<td>" + Button("journalfind", "Find") + "</td></tr></table>";

    JournalStore* store = Store();
    if (!store) {
        html += "<p>The journal cannot be opened now.</p>";
    } else {
        html += ListBody(*store);
        html += "<p class='sw-journal-actions'>" + Button("journalinsights", "Insights") +
                Button("journalexport", "Export as Markdown") + Button("journalexportjsonl", "Export as JSON Lines") +
                Button("journalprintall", "Print this page") + Button("journalhelp", "Help") + "</p>";
        html += "<p class='sw-journal-import'><label for='journalimport'>Import a JSON Lines export:</label> "
                "<input id='journalimport' name='journalimport' type='file' "
                "accept='.jsonl,.ndjson,.json,application/x-ndjson,application/json'> "
                "<span id='journalimportstatus' class='sw-note'></span></p>";
    }
    html += kPageEnd;
    platform::PageParts parts;
    parts.enter = "journalfind";
    Write(html, parts);
}

// ---- an entry --------------------------------------------------------------------

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
            shown.html = Closed(hexagrams_.RenderCast(draws, entry.question));
            shown.parts = hexagrams_.CastParts(draws);
            return shown;
        }
        case Oracle::YesNo: {
            int answer = 0;
            if (!ReadAnswer(entry.result, &answer, err)) return shown;
            shown.html = KeptAnswerPage(answer, entry.question);
            shown.parts.pictures.push_back({"file:images/yesno.gif", "Yes/No"});
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
            Button("journalprint", "Print") + Button("journaldelete", "Delete", entry.id) +
            Button("journalback", "Back");
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
    ShowList();
}

// ---- exports, imports and print -------------------------------------------------------

void JournalPages::ExportOne(std::int64_t id) {
    JournalEntry entry;
    if (!Load(id, &entry)) return;
    std::string name = entry.keptAt.substr(0, 16);
    for (char& c : name)
        if (c == ':' || c == 'T') c = '-';
    host_.Download("sagewend-" + name + ".md", EntryMarkdown(entry, hexagrams_));
}

void JournalPages::ExportAll(JournalExport::Kind kind) {
    JournalStore* store = Store();
    if (!store) return;
    std::string err;
    auto reader = store->Reader(JournalExport::NewestFirst(kind), &err);
    if (!reader) {
        Say(err);
        return;
    }
    host_.DownloadFile(JournalExport::FileName(kind), JournalExport::MediaType(kind),
                       std::make_unique<JournalExport>(std::move(reader), kind, hexagrams_));
}

void JournalPages::Import(const Element& piece) {
    if (piece.Tag() != "FILE") return;  // the file field itself, clicked to choose
    const int part = CAtoi(piece.Text("part"));
    const bool last = piece.Text("last") == "1";
    if (part == 0) import_.emplace(piece.Text("file"));
    if (!import_ || static_cast<std::size_t>(part) != import_->Pieces()) return;  // not the import under way
    JournalStore* store = Store();
    if (!store) {
        import_.reset();
        return;
    }
    std::string err;
    if (!import_->Feed(*store, piece.Text("text"), last, &err)) {
        const std::string report = import_->Report();
        Visit();
        Say(err + " The import has stopped. " + report);
        return;
    }
    if (!last) {
        host_.FillHtml("journalimportstatus",
                       Format("Importing: %s lines read.", Thousands(static_cast<long long>(import_->Lines())).c_str()));
        return;
    }
    const std::string report = import_->Report();
    Visit();
    Say(report);
}

void JournalPages::PrintAll() {
    JournalStore* store = Store();
    if (!store) return;
    std::vector<JournalEntry> listed;
    std::string err;
    if (!store->List(query_, pages_.back(), kPageSize, &listed, &err)) {
        Say(err);
        return;
    }
    std::string html = "<div class='sw-entry'><h3>Journal</h3></div>";
    platform::PageParts parts;
    std::vector<std::string> cardLabels;
    std::map<std::int64_t, KeptReading> printed;
    for (const JournalEntry& item : listed) {
        JournalEntry entry;
        if (!Load(item.id, &entry)) return;
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
    html += Button("journalback", "Back");
    Write(html, parts, cardLabels);
    printed_ = std::move(printed);
    host_.Print();
}

}  // namespace sw
