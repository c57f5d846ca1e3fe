// Importing a JSON Lines export; declared in journal/journal_import.h.
#include "journal/journal_import.h"

#include "core/text.h"
#include "journal/journal_export.h"

namespace sw {

namespace {

// Far beyond any entry the program writes (a reading of a whole deck with
// long meanings is a few hundred kilobytes); a longer line is not one.
constexpr std::size_t kMaxLineBytes = 16 << 20;
// How many skipped lines the report names.
constexpr std::size_t kNamedLines = 5;

std::string Count(std::size_t n, const char* one, const char* many) {
    return Format("%zu %s", n, n == 1 ? one : many);
}

}  // namespace

void JournalImport::ReadLine(std::string_view line, std::vector<JournalEntry>& batch) {
    ++line_;
    if (line_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // a byte order mark
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) return;
    JournalEntry entry;
    std::string why;
    if (ReadEntryJsonLine(line, &entry, &why)) batch.push_back(std::move(entry));
    else skipped_.emplace_back(line_, why);
}

bool JournalImport::Feed(JournalStore& store, std::string_view piece, bool last, std::string* err) {
    ++pieces_;
    const std::size_t linesBefore = line_;
    const auto skippedBefore = skipped_.size();
    const std::string partialBefore = partial_;
    const bool tooLongBefore = tooLong_;
    std::vector<JournalEntry> batch;
    while (!piece.empty() || last) {
        if (piece.empty() && partial_.empty() && !tooLong_) break;
        const std::size_t end = piece.find('\n');
        if (end == std::string_view::npos && !last) {
            // The line goes on in the next piece.
            if (!tooLong_ && partial_.size() + piece.size() > kMaxLineBytes) {
                tooLong_ = true;
                partial_.clear();
            }
            if (!tooLong_) partial_.append(piece);
            break;
        }
        const std::string_view rest = piece.substr(0, end);
        if (tooLong_) {
            ++line_;
            skipped_.emplace_back(line_, "it is too long to be a journal entry");
            tooLong_ = false;
        } else if (partial_.empty()) {
            ReadLine(rest, batch);
        } else {
            partial_.append(rest);
            ReadLine(partial_, batch);
            partial_.clear();
        }
        if (end == std::string_view::npos) break;  // the last line, without its line end
        piece.remove_prefix(end + 1);
        if (piece.empty() && last) break;
    }
    std::size_t added = 0;
    if (!store.AddMany(batch, &added, err)) {
        // Nothing of this piece was kept; the counts say what was before it.
        line_ = linesBefore;
        skipped_.resize(skippedBefore);
        partial_ = partialBefore;
        tooLong_ = tooLongBefore;
        return false;
    }
    imported_ += added;
    known_ += batch.size() - added;
    return true;
}

std::string JournalImport::Report() const {
    const std::string file = fileName_.empty() ? "the file" : "\"" + fileName_ + "\"";
    if (imported_ == 0 && known_ == 0 && skipped_.empty()) return "There are no journal entries in " + file + ".";
    std::string report = "Imported " + Count(imported_, "entry", "entries") + " from " + file + ".";
    if (known_ > 0)
        report += Format(" %s in the journal already and %s", Count(known_, "entry was", "entries were").c_str(),
                         known_ == 1 ? "was left as it is." : "were left as they are.");
    if (!skipped_.empty()) {
        report += Format(" %s could not be read and %s skipped: ", Count(skipped_.size(), "line", "lines").c_str(),
                         skipped_.size() == 1 ? "was" : "were");
        for (std::size_t i = 0; i < skipped_.size() && i < kNamedLines; ++i)
            report += Format("%sline %zu (%s)", i ? ", " : "", skipped_[i].first, skipped_[i].second.c_str());
        if (skipped_.size() > kNamedLines) report += Format(" and %zu more", skipped_.size() - kNamedLines);
        report += ".";
    }
    return report;
}

}  // namespace sw
