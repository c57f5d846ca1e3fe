#pragma once
// The journal of readings and the card library: pages beside the oracles'
// own, reached by the Journal (Alt+J) and Cards (Alt+C) links of the main
// page and driven like every page, by clicks routed on the handler thread.
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
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "iching/hexagram_table.h"
#include "journal/journal_result.h"
#include "journal/journal_store.h"
#include "platform/element.h"
#include "platform/host.h"
#include "store/oracle_data.h"

namespace sw {

class JournalView {
public:
    JournalView(platform::Host& host, const OracleData& data, const HexagramTable& hexagrams);
    ~JournalView();

    // The result just written, offered for keeping.
    void Offer(Oracle oracle, const std::string& question, std::string result);
    // Another page was written: nothing is offered or shown any more.
    void PageReplaced();
    // Handles a click on one of the journal's or the library's elements;
    // false when the element is none of theirs.
    bool Route(const platform::Element& element);
    // Alt+J and Alt+C; false for any other key.
    bool OnKey(std::string_view key);
    // The kept reading on show, when the page shows one.
    const KeptReading* ShownReading() const { return shown_ ? &*shown_ : nullptr; }

    static constexpr const char* kJournalFile = "journal.sqlite3";

private:
    struct Offered {
        Oracle oracle;
        std::string question;
        std::string result;
    };

    JournalStore* Store();
    // An entry, or all of them newest first; false after saying why.
    bool Load(std::int64_t id, JournalEntry* entry);
    bool LoadAll(std::vector<JournalEntry>* entries);
    std::string Value(std::string_view name) const;
    std::int64_t EntryId(const platform::Element& element) const;
    void Write(const std::string& html);
    void Say(const std::string& message) const;

    void ShowList(const std::string& search);
    void ShowEntry(std::int64_t id);
    void Keep();
    void SaveNotes(std::int64_t id);
    void Delete(std::int64_t id);
    void ExportOne(std::int64_t id);
    void ExportAll();
    void PrintAll();
    void ShowLibrary(int deck);
    void ShowLibraryCard(int deck, int card);

    // The page of a kept result, as its oracle drew it; empty with a message
    // in *err when the result cannot be read.
    std::string ResultPage(const JournalEntry& entry, std::optional<KeptReading>* reading, std::string* err) const;

    platform::Host& host_;
    const OracleData& data_;
    const HexagramTable& hexagrams_;
    std::unique_ptr<JournalStore> store_;
    std::optional<Offered> offered_;
    std::optional<KeptReading> shown_;
    std::string search_;
    int libraryDeck_ = -1;
};

}  // namespace sw
