// The journal's export, written as it is read; declared in journal/journal_export.h.
#include "journal/journal_export.h"

#include <nlohmann/json.hpp>

#include "journal/journal_markdown.h"
#include "journal/journal_result.h"

namespace sw {

namespace {

using nlohmann::json;

// A piece is sent once it holds this much; an entry is never split.
constexpr std::size_t kPieceBytes = 64 * 1024;

constexpr std::pair<Oracle, const char*> kOracleNames[] = {
    {Oracle::Reading, "reading"}, {Oracle::IChing, "iching"}, {Oracle::YesNo, "yesno"}};

const char* OracleKey(Oracle oracle) {
    for (const auto& [known, name] : kOracleNames)
        if (known == oracle) return name;
    return "";
}

bool Readable(Oracle oracle, const std::string& result) {
    std::string ignored;
    switch (oracle) {
        case Oracle::Reading: {
            KeptReading reading;
            return ReadReading(result, &reading, &ignored);
        }
        case Oracle::IChing: {
            std::array<int, 6> draws{};
            return ReadCast(result, &draws, &ignored);
        }
        case Oracle::YesNo: {
            int answer = 0;
            return ReadAnswer(result, &answer, &ignored);
        }
    }
    return false;
}

}  // namespace

JournalExport::JournalExport(std::unique_ptr<JournalReader> reader, Kind kind, const HexagramTable& hexagrams)
    : reader_(std::move(reader)), kind_(kind), hexagrams_(hexagrams) {}

const char* JournalExport::FileName(Kind kind) {
    return kind == Kind::Markdown ? "sagewend-journal.md" : "sagewend-journal.jsonl";
}

const char* JournalExport::MediaType(Kind kind) {
    return kind == Kind::Markdown ? "text/markdown; charset=utf-8" : "application/x-ndjson; charset=utf-8";
}

bool JournalExport::Next(std::string* piece) {
    piece->clear();
    if (done_) return false;
    if (!started_ && kind_ == Kind::Markdown) *piece = JournalMarkdownTitle();
    started_ = true;
    JournalEntry entry;
    while (piece->size() < kPieceBytes) {
        if (!reader_->Next(&entry)) {
            done_ = true;
            complete_ = reader_->Error().empty();
            if (complete_ && !any_ && kind_ == Kind::Markdown) *piece += JournalMarkdownEmpty();
            return complete_ && !piece->empty();
        }
        any_ = true;
        if (kind_ == Kind::Markdown) *piece += JournalMarkdownEntry(entry, hexagrams_);
        else *piece += EntryJsonLine(entry) + "\n";
    }
    return true;
}

std::string EntryJsonLine(const JournalEntry& entry) {
    json result = json::parse(entry.result, nullptr, false);
    if (result.is_discarded()) result = entry.result;
    const json line = {{"keptAt", entry.keptAt},     {"oracle", OracleKey(entry.oracle)}, {"question", entry.question},
                       {"notes", entry.notes},       {"result", std::move(result)}};
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool ReadEntryJsonLine(std::string_view line, JournalEntry* entry, std::string* why) {
    const json value = json::parse(line, nullptr, false);
    if (!value.is_object()) {
        *why = "it is not a journal entry in JSON";
        return false;
    }
    auto text = [&value](const char* name, std::string* out) {
        const auto found = value.find(name);
        if (found == value.end() || !found->is_string()) return false;
        *out = found->get<std::string>();
        return true;
    };
    JournalEntry read;
    std::string oracle;
    std::int64_t utc = 0;
    if (!text("keptAt", &read.keptAt) || !ParseKeptAt(read.keptAt, &utc)) {
        *why = "its date and time are missing or not in the journal's form";
        return false;
    }
    bool known = false;
    if (text("oracle", &oracle))
        for (const auto& [kind, name] : kOracleNames)
            if (oracle == name) {
                read.oracle = kind;
                known = true;
            }
    if (!known) {
        *why = "it names no oracle the journal knows";
        return false;
    }
    if (!text("question", &read.question) || (value.contains("notes") && !text("notes", &read.notes))) {
        *why = "its question or notes are not text";
        return false;
    }
    const auto result = value.find("result");
    if (result != value.end() && result->is_string()) read.result = result->get<std::string>();
    else if (result != value.end() && result->is_object()) read.result = result->dump();
    if (read.result.empty() || !Readable(read.oracle, read.result)) {
        *why = "its result is missing or damaged";
        return false;
    }
    *entry = std::move(read);
    return true;
}

}  // namespace sw
