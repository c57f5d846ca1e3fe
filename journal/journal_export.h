#pragma once
// The whole journal exported as a file the browser downloads (Markdown for
// people, JSON Lines for other programs and for importing again), written
// as it is read: a JournalReader walks the entries on a connection of its
// own, and each piece holds a few dozen kilobytes of
// them, so the export needs the same memory at any size. The handler thread
// makes the export; the server's workers then read it (platform/download.cpp).
//
// A JSON Lines export holds one entry per line, oldest first:
//   {"keptAt": "2026-12-07T14:03:11+01:00", "oracle": "reading"|"iching"|"yesno",
//    "question": .., "notes": .., "result": {the kept result, journal/journal_result.h}}
// (a result that is no JSON, in a damaged journal, is written as a string).
#include <memory>
#include <string>
#include <string_view>

#include "iching/hexagram_table.h"
#include "journal/journal_store.h"
#include "platform/download_source.h"

namespace sw {

class JournalExport final : public platform::DownloadSource {
public:
    enum class Kind { Markdown, JsonLines };
    JournalExport(std::unique_ptr<JournalReader> reader, Kind kind, const HexagramTable& hexagrams);

    bool Next(std::string* piece) override;
    bool Complete() const override { return complete_; }

    // Markdown, for people, comes newest first; JSON Lines, for programs
    // and imports, in the order the entries were kept.
    static bool NewestFirst(Kind kind) { return kind == Kind::Markdown; }
    static const char* FileName(Kind kind);
    static const char* MediaType(Kind kind);

private:
    std::unique_ptr<JournalReader> reader_;
    Kind kind_;
    const HexagramTable& hexagrams_;
    bool started_ = false;
    bool any_ = false;
    bool done_ = false;
    bool complete_ = false;
};

// One entry as a line of the JSON Lines export, without its line end.
std::string EntryJsonLine(const JournalEntry& entry);
// The entry a line of such an export holds; false with the reason, for the
// user, when it holds none that can be kept ("it is not JSON").
bool ReadEntryJsonLine(std::string_view line, JournalEntry* entry, std::string* why);

}  // namespace sw
