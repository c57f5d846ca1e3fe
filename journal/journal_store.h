#pragma once
// The journal: readings, casts and answers the user chose to keep, with the
// notes written on them, in one SQLite file (journal.sqlite3 in the working
// folder).
//
// The handler thread calls the store, one call at a time; the store owns one
// connection and is not shared between threads. Every change is a single
// transaction, committed and synced (WAL, synchronous=FULL) before the call
// returns, so an entry that Add reported kept survives a crash or a kill.
// Beside each entry the store keeps what it is found and counted by
// (journal/journal_index.h: its words in a full-text index, what came up,
// its place in the list), written in the same transaction as the entry.
// A reader (the export) has a connection of its own and may be used on
// another thread.
//
// A journal that cannot be used as it stands (damaged, not a journal, made
// by a newer version, locked for longer than a short wait) is refused with a
// message and never written, moved or migrated: it stays for the user, or a
// newer program, to deal with. Opening checks what is cheap to check (the
// header, field by field, and the file's length against it); SQLite's full
// integrity check reads every page, too slow to wait for at a hundred
// thousand entries, so it runs on a connection and a thread of its own, and
// every change waits for its verdict. A journal that fails it is refused
// from then on, and closing moves nothing into it. A journal of an older
// version is brought up to date when it is opened (once its verdict is in),
// in one transaction: when that fails, it is left as it was, with a
// message. A journal that cannot be written (read-only
// file or folder) opens for reading, and every change is refused with a
// message. The file is created by the first Add, so a user who never keeps
// anything gets no file.
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace sw {

namespace journal_sql {
class Statement;
}
class IntegrityCheck;

enum class Oracle { Reading = 1, IChing = 2, YesNo = 3 };

// Places in the list an entry may take within one second of keeping time
// (entry_index.place is that time times this, plus its order in the second).
inline constexpr std::int64_t kPlacesPerSecond = std::int64_t{1} << 22;

struct JournalEntry {
    std::int64_t id = 0;   // 0 until kept
    std::string keptAt;    // local time, ISO 8601 with offset, e.g. "2026-12-07T14:03:11+01:00"
    Oracle oracle = Oracle::Reading;
    std::string question;  // UTF-8
    std::string notes;     // UTF-8, may be empty
    std::string result;    // JSON text of the result; opaque to the store
    std::int64_t place = 0;  // its place in the list, newest highest; set when listed
};

// Which entries a list, a count or a tally is of; an empty part keeps all.
struct JournalQuery {
    // Every word (a word of the question, the notes or what came up, in any
    // case and without accents; ending in "*", any word it begins) and every
    // "quoted phrase" must be there.
    std::string text;
    std::optional<Oracle> oracle;
    // Kept on or after from and on or before to: local dates, "YYYY-MM-DD".
    std::string from;
    std::string to;

    bool Empty() const { return text.empty() && !oracle && from.empty() && to.empty(); }
};

// What the entries of a query hold, for the Insights page.
struct JournalTally {
    std::int64_t entries = 0;
    struct Month {
        std::string month;  // "YYYY-MM", local
        std::array<std::int64_t, 3> kept{};  // readings, casts, answers
    };
    std::vector<Month> months;  // oldest first, only months with entries
    struct Deck {
        std::string deck;
        std::int64_t readings = 0;
        std::int64_t dealt = 0;  // cards dealt in them
    };
    std::vector<Deck> decks;
    struct Card {
        std::string deck;
        int card = 0;
        std::string name;
        std::string suit;  // "" for the major arcana
        std::int64_t count = 0;
        std::int64_t reversed = 0;
    };
    std::vector<Card> cards;  // every card that came up
    std::int64_t couldReverse = 0;  // cards dealt where they could come up reversed
    std::int64_t reversed = 0;      // of those, the ones that did
    std::array<std::int64_t, 65> hexagrams{};  // casts by present hexagram, 1 to 64
    std::vector<std::int64_t> answers;         // answers by index
};

class JournalReader;

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
    // Keeps many in one transaction (an import), each with its keptAt; one
    // already in the journal (the same keptAt, oracle, question and result)
    // is not kept again and its id stays 0. *added says how many were kept.
    // Nothing is kept when it fails.
    bool AddMany(std::vector<JournalEntry>& entries, std::size_t* added, std::string* err);
    // False with a message when there is no entry id.
    bool Get(std::int64_t id, JournalEntry* entry, std::string* err);

    // The place before every entry: the newest come first after it.
    static constexpr std::int64_t kNewest = std::numeric_limits<std::int64_t>::max();
    // At most limit entries of the query, newest first, from those whose
    // place is before `before`; result is left empty. False with a message
    // for a query that cannot be run (a date that is none, too many words).
    bool List(const JournalQuery& query, std::int64_t before, std::size_t limit, std::vector<JournalEntry>* entries,
              std::string* err);
    // How many entries the query keeps, counting no further than atMost: a
    // search that finds most of a large journal is counted as far as the
    // page needs, so it costs no more than one that finds a few. The whole
    // journal is always counted.
    bool Count(const JournalQuery& query, std::int64_t atMost, std::int64_t* count, std::string* err);
    bool Tally(const JournalQuery& query, JournalTally* tally, std::string* err);
    // Every entry with its result, newest or oldest first, on a connection
    // of its own.
    std::unique_ptr<JournalReader> Reader(bool newestFirst, std::string* err);

    bool SetNotes(std::int64_t id, const std::string& notes, std::string* err);
    bool Delete(std::int64_t id, std::string* err);

private:
    explicit JournalStore(std::string path);
    bool Connect(bool create, std::string* err);
    bool CanChange(std::string* err);
    // Takes the integrity check's verdict when it is in (waiting for it with
    // wait); false with the damaged message once it has found damage.
    bool TakeVerdict(sqlite3* db, bool wait, std::string* err);
    // Whether a change can be made, making the file when there is none.
    bool Ready(std::string* err);
    // Runs statements on entry id (?1; ?2 the text, when given) in one
    // transaction; the first changes the entry itself, and finding none
    // there is "no such entry".
    bool Change(std::int64_t id, const std::vector<std::string>& statements, const std::string* text,
                std::string* err);
    std::string Failure(int rc) const;  // a sentence naming the file

    std::string path_;
    sqlite3* db_ = nullptr;  // null while the file does not exist
    bool readOnly_ = false;
    bool immutable_ = false;  // read as a file that does not change
    std::unique_ptr<IntegrityCheck> check_;  // null once its verdict is in, or when there was nothing to check
    bool damaged_ = false;
};

// Every entry of a journal in the list's order or its reverse, as one
// consistent view taken when the first is read.
class JournalReader {
public:
    ~JournalReader();
    JournalReader(const JournalReader&) = delete;
    JournalReader& operator=(const JournalReader&) = delete;
    // The next entry; false at the end, and after a failure (Error says it).
    bool Next(JournalEntry* entry);
    const std::string& Error() const { return error_; }

private:
    friend class JournalStore;
    JournalReader(sqlite3* db, std::string path, bool newestFirst);
    sqlite3* db_;
    bool newestFirst_;
    std::unique_ptr<journal_sql::Statement> rows_;
    std::string path_;
    std::string error_;
};

// The oracle's name as the journal shows it: "Card reading", "I Ching", "Yes/No".
const char* OracleName(Oracle oracle);

// The UTC seconds of a keptAt text ("YYYY-MM-DDTHH:MM:SS" and "Z" or an
// offset "+HH:MM"); false when it is not in that form.
bool ParseKeptAt(const std::string& text, std::int64_t* utcSeconds);
// t as local time in the form of keptAt.
std::string LocalKeptAt(std::int64_t utcSeconds);

}  // namespace sw
