#pragma once
// The journal: readings, casts and answers the user chose to keep, with the
// notes written on them, in one SQLite file (journal.sqlite3 in the working
// folder).
//
// The handler thread calls the store, one call at a time; the store owns one
// connection and is not shared between threads. Every change is a single
// transaction, committed and synced (WAL, synchronous=FULL) before the call
// returns, so an entry that Add reported kept survives a crash or a kill.
//
// A journal that cannot be used as it stands (damaged, not a journal, made
// by a newer version, locked for longer than a short wait) is refused with a
// message and never written, moved or migrated: it stays for the user, or a
// newer program, to deal with. Opening checks what is cheap to check (the
// header, field by field, and the file's length against it); SQLite's full
// integrity check reads every page, too slow to wait for at a hundred
// thousand entries, so it runs on a connection and a thread of its own, and
// every change waits for its verdict. A journal that fails it is refused
// from then on, and closing moves nothing into it. A journal that cannot be written (read-only
// file or folder) opens for reading, and every change is refused with a
// message. The file is created by the first Add, so a user who never keeps
// anything gets no file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace sw {

class IntegrityCheck;

enum class Oracle { Reading = 1, IChing = 2, YesNo = 3 };

struct JournalEntry {
    std::int64_t id = 0;   // 0 until kept
    std::string keptAt;    // local time, ISO 8601 with offset, e.g. "2026-12-07T14:03:11+01:00"
    Oracle oracle = Oracle::Reading;
    std::string question;  // UTF-8
    std::string notes;     // UTF-8, may be empty
    std::string result;    // JSON text of the result; opaque to the store
};

class JournalStore {
public:
    // Opens the journal at path, for reading only when the file or its folder
    // cannot be written. A missing file is not an error: it is created by the
    // first Add. Null with a message naming the file when the journal cannot
    // be used; the file is then left exactly as it was.
    static std::unique_ptr<JournalStore> Open(const std::string& path, std::string* err);
    ~JournalStore();
    JournalStore(const JournalStore&) = delete;
    JournalStore& operator=(const JournalStore&) = delete;

    bool ReadOnly() const { return readOnly_; }
    const std::string& Path() const { return path_; }

    // Keeps a new entry; sets its id, and keptAt when that is empty (the
    // current local time). Nothing of entry changes when it fails.
    bool Add(JournalEntry& entry, std::string* err);
    // False with a message when there is no entry id.
    bool Get(std::int64_t id, JournalEntry* entry, std::string* err);
    // Newest first. A non-empty search keeps the entries whose question or
    // notes contain every blank-separated word of it, ignoring ASCII case.
    // result is left empty.
    bool List(const std::string& search, std::vector<JournalEntry>* entries, std::string* err);
    // Every entry with its result, newest first: the whole-journal export.
    bool All(std::vector<JournalEntry>* entries, std::string* err);
    bool SetNotes(std::int64_t id, const std::string& notes, std::string* err);
    bool Delete(std::int64_t id, std::string* err);

private:
    explicit JournalStore(std::string path);
    bool Connect(bool create, std::string* err);
    bool Select(const std::string& search, bool withResults, std::vector<JournalEntry>* entries, std::string* err);
    bool CanChange(std::string* err);
    // Takes the integrity check's verdict when it is in (waiting for it with
    // wait); false with the damaged message once it has found damage.
    bool TakeVerdict(sqlite3* db, bool wait, std::string* err);

    std::string path_;
    sqlite3* db_ = nullptr;  // null while the file does not exist
    bool readOnly_ = false;
    std::unique_ptr<IntegrityCheck> check_;  // null once its verdict is in, or when there was nothing to check
    bool damaged_ = false;
};

// The oracle's name as the journal shows it: "Card reading", "I Ching", "Yes/No".
const char* OracleName(Oracle oracle);

// The UTC seconds of a keptAt text ("YYYY-MM-DDTHH:MM:SS" and "Z" or an
// offset "+HH:MM"); false when it is not in that form.
bool ParseKeptAt(const std::string& text, std::int64_t* utcSeconds);
// t as local time in the form of keptAt.
std::string LocalKeptAt(std::int64_t utcSeconds);

}  // namespace sw
