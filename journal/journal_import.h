#pragma once
// Entries imported from a JSON Lines export (journal/journal_export.h), fed
// piece by piece as the page reads the file the user chose: each piece's
// whole lines are read and kept in one transaction, so memory stays small
// whatever the file's size, and a kill or a crash leaves every piece
// imported before it. An entry already in the journal (the same time,
// oracle, question and result) is recognised and left as it is; a line
// that holds no entry that can be kept is named and skipped.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "journal/journal_store.h"

namespace sw {

class JournalImport {
public:
    explicit JournalImport(std::string fileName) : fileName_(std::move(fileName)) {}

    // Takes the next piece of the file (last: the file ends with it). False
    // with a message when the journal refused the piece's entries: none of
    // them is kept, and the import is over.
    bool Feed(JournalStore& store, std::string_view piece, bool last, std::string* err);

    std::size_t Pieces() const { return pieces_; }
    std::size_t Lines() const { return line_; }
    std::size_t Imported() const { return imported_; }
    std::size_t Known() const { return known_; }
    // The lines skipped: their numbers (from 1) and why.
    const std::vector<std::pair<std::size_t, std::string>>& Skipped() const { return skipped_; }
    // What happened, for the user.
    std::string Report() const;

private:
    void ReadLine(std::string_view line, std::vector<JournalEntry>& batch);

    std::string fileName_;
    std::string partial_;  // the unfinished line the last piece ended with
    bool tooLong_ = false; // inside a line too long to be an entry
    std::size_t pieces_ = 0;
    std::size_t line_ = 0;
    std::size_t imported_ = 0;
    std::size_t known_ = 0;
    std::vector<std::pair<std::size_t, std::string>> skipped_;
};

}  // namespace sw
