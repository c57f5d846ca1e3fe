#pragma once
// The journal of readings: a page beside the oracles' own, reached by the
// Journal link (Alt+J) and driven like every page, by clicks routed on the
// handler thread (app/features.cpp says which ids come here).
//
// A result on show (a spread, a cast, an answer) is offered for keeping
// through the "Keep in journal" control of the page's frame; nothing is kept
// unless the user asks. A kept entry is shown again from what the journal
// stored, by the same page code that dealt it, with no new draw: while it is
// on show, its card pictures open their meanings from the stored cards, not
// from the decks as they are now. The journal file is opened at first use;
// one that cannot be used is reported and the oracles go on without it.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "iching/hexagram_table.h"
#include "journal/journal_result.h"
#include "journal/journal_store.h"
#include "platform/element.h"
#include "platform/host.h"
#include "store/oracle_data.h"

namespace sw {

class JournalPages {
public:
    JournalPages(platform::Host& host, const OracleData& data, const HexagramTable& hexagrams);
    ~JournalPages();

    // The result just written, offered for keeping.
    void Offer(Oracle oracle, const std::string& question, std::string result);
    // Another page was written: nothing is offered or shown any more.
    void PageReplaced();
    // The kept reading a card picture on show belongs to, if any.
    const KeptReading* ShownReading(const platform::Element& card) const;

    // Handlers, routed by app/features.cpp.
    void ShowList() { ShowList(search_); }
    void Find();
    void ShowEntry(const platform::Element& element) { ShowEntry(EntryId(element)); }
    void Keep();
    void SaveNotes(const platform::Element& element) { SaveNotes(EntryId(element)); }
    void Delete(const platform::Element& element) { Delete(EntryId(element)); }
    void ExportOne(const platform::Element& element) { ExportOne(EntryId(element)); }
    void ExportAll();
    // The browser's print of the entry on show; of every entry.
    void Print() { host_.Print(); }
    void PrintAll();

    static constexpr const char* kJournalFile = "journal.sqlite3";

private:
    struct Offered {
        Oracle oracle;
        std::string question;
        std::string result;
    };
    // A kept result's page, as its oracle drew it, and what it is made of.
    struct ResultShown {
        std::string html;
        platform::PageParts parts;
        std::vector<std::string> cardLabels;
        std::optional<KeptReading> reading;
    };

    JournalStore* Store();
    // An entry, or all of them newest first; false after saying why.
    bool Load(std::int64_t id, JournalEntry* entry);
    bool LoadAll(std::vector<JournalEntry>* entries);
    std::string Value(std::string_view name) const;
    std::int64_t EntryId(const platform::Element& element) const;
    // A page of the journal, what it is made of and its cards' names.
    void Write(const std::string& html, platform::PageParts parts = {}, const std::vector<std::string>& cardLabels = {});
    void Say(const std::string& message) const;

    void ShowList(const std::string& search);
    void ShowEntry(std::int64_t id);
    void SaveNotes(std::int64_t id);
    void Delete(std::int64_t id);
    void ExportOne(std::int64_t id);

    // Empty html with a message in *err when the result cannot be read.
    ResultShown ResultPage(const JournalEntry& entry, std::string* err) const;

    platform::Host& host_;
    const OracleData& data_;
    const HexagramTable& hexagrams_;
    std::unique_ptr<JournalStore> store_;
    std::optional<Offered> offered_;
    std::optional<KeptReading> shown_;
    std::map<std::int64_t, KeptReading> printed_;  // the readings of the printed journal, by entry
    std::string search_;
};

}  // namespace sw
