#include "journal/journal_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <utility>

#include "core/text.h"

namespace sw {

namespace {

// Step k brings a journal of version k to version k + 1, inside the
// transaction that then records the new version; a new version is one more
// step at the end.
constexpr const char* kMigrations[] = {
    // 1: the entries. AUTOINCREMENT so that the id of a deleted entry is
    // never given again: a page still showing it cannot reach a newer one.
    // kept_utc orders the list whatever offsets the times were kept with.
    "CREATE TABLE entries ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " kept_at TEXT NOT NULL,"
    " kept_utc INTEGER NOT NULL,"
    " oracle INTEGER NOT NULL CHECK (oracle BETWEEN 1 AND 3),"
    " question TEXT NOT NULL,"
    " notes TEXT NOT NULL DEFAULT '',"
    " result TEXT NOT NULL);"
    "CREATE INDEX entries_by_time ON entries (kept_utc, id);",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

// "SgWj" in the database header marks the file as ours.
constexpr std::int32_t kApplicationId = 0x5367576A;

// Long enough to wait out another Sagewend keeping an entry, short enough
// that a journal held open for writing elsewhere does not hang the page.
constexpr int kBusyTimeoutMs = 250;

constexpr std::size_t kMaxSearchWords = 64;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string DamagedMessage(const std::string& path) {
    return "The journal file " + Quoted(path) +
           " is damaged or is not a Sagewend journal, so it cannot be used. It has been left as it is.";
}

std::string NewerMessage(const std::string& path) {
    return "The journal file " + Quoted(path) +
           " was made by a newer version of Sagewend and cannot be used by this one. It has been left as it is.";
}

std::string ReadOnlyMessage(const std::string& path) {
    return "The journal file " + Quoted(path) +
           " cannot be written (the file or its folder is read-only), so entries cannot be kept, changed or "
           "deleted.";
}

const char* const kMissingMessage = "This journal entry no longer exists; it may have been deleted.";

// A sentence for an SQLite result code.
std::string Problem(int rc, const std::string& path) {
    switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "The journal file " + Quoted(path) +
                   " is in use by another program. Close it there, or try again in a moment.";
        case SQLITE_READONLY: return ReadOnlyMessage(path);
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: return DamagedMessage(path);
        case SQLITE_FULL:
            return "The journal file " + Quoted(path) + " could not be written because the disk is full.";
        case SQLITE_TOOBIG: return "The text is too long to keep in the journal.";
        default:
            return "The journal file " + Quoted(path) + " could not be read or written (" +
                   sqlite3_errstr(rc) + ").";
    }
}

bool HoldsBytes(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

std::string FolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// path for a "file:" URI: everything but letters, digits, "/" and "-._~"
// percent-encoded, so "?", "#" and "%" in folder names stay part of it.
std::string UriPath(const std::string& path) {
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~')
            out += static_cast<char>(c);
        else
            out += Format("%%%02X", c);
    }
    return out;
}

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) { rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, const std::string& text) {
        Keep(sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    void Bind(int index, std::int64_t value) { Keep(sqlite3_bind_int64(stmt_, index, value)); }
    // SQLITE_ROW, SQLITE_DONE or the first error, including one of preparing
    // or binding.
    int Step() { return rc_ != SQLITE_OK ? rc_ : sqlite3_step(stmt_); }
    std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
    }

private:
    void Keep(int rc) {
        if (rc_ == SQLITE_OK) rc_ = rc;
    }
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

// fold(text): text with the ASCII letters in lower case, the same fold
// SearchWords makes, whatever case rules the SQLite build brings.
void FoldAscii(sqlite3_context* context, int, sqlite3_value** arguments) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
    if (!text) return sqlite3_result_null(context);
    std::string folded(text, static_cast<std::size_t>(sqlite3_value_bytes(arguments[0])));
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    sqlite3_result_text64(context, folded.data(), folded.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// The one integer or text a pragma or query answers; false with its code.
bool QueryInt(sqlite3* db, const char* sql, std::int64_t* value, int* rc) {
    Statement statement(db, sql);
    *rc = statement.Step();
    if (*rc != SQLITE_ROW) return false;
    *value = statement.Int(0);
    *rc = SQLITE_OK;
    return true;
}

bool QueryText(sqlite3* db, const char* sql, std::string* value, int* rc) {
    Statement statement(db, sql);
    *rc = statement.Step();
    if (*rc != SQLITE_ROW) return false;
    *value = statement.Text(0);
    *rc = SQLITE_OK;
    return true;
}

// Closes a connection unless it is handed on.
class Connection {
public:
    ~Connection() { sqlite3_close_v2(db_); }
    sqlite3** Out() { return &db_; }
    sqlite3* Get() const { return db_; }
    sqlite3* Release() { return std::exchange(db_, nullptr); }

private:
    sqlite3* db_ = nullptr;
};

enum class HeaderVerdict { kUsable, kDamaged, kNewer };

std::uint32_t BigEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
}

// Whether the 100 header bytes are the header SQLite writes, field by field
// as its file format gives them; a damaged header fails here, whatever its
// version field happens to hold.
bool WellFormedHeader(const unsigned char* header) {
    if (std::memcmp(header, "SQLite format 3", 16) != 0) return false;
    const std::uint32_t pageSize = BigEndian(header + 16, 2) == 1 ? 65536 : BigEndian(header + 16, 2);
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0) return false;
    if (header[18] < 1 || header[18] > 2 || header[19] < 1 || header[19] > 2) return false;
    if (header[21] != 64 || header[22] != 32 || header[23] != 32) return false;
    if (BigEndian(header + 44, 4) > 4 || BigEndian(header + 56, 4) > 3) return false;
    for (int i = 72; i < 92; ++i)
        if (header[i] != 0) return false;
    return true;
}

// Reads the header of an existing file before SQLite opens it, so that a
// file that is not a database, is damaged, or comes from a newer version is
// refused without SQLite making its side files beside it. Only a well-formed
// header that marks the file as a journal of a later version is newer;
// anything else wrong is damage. A file shorter than the pages its header
// counts is damaged too (SQLite reads the missing pages as empty ones, which
// its quick check can pass), unless a write-ahead log may still hold them.
// Empty is an empty database.
bool CheckHeader(const std::string& path, bool logHoldsBytes, HeaderVerdict* verdict, std::string* err) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *err = "The journal file " + Quoted(path) + " could not be opened (" + std::strerror(errno) + ").";
        return false;
    }
    unsigned char header[100];
    std::size_t got = 0;
    while (got < sizeof header) {
        const ssize_t n = ::read(fd, header + got, sizeof header - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    struct stat info {};
    const bool sized = ::fstat(fd, &info) == 0;
    ::close(fd);
    *verdict = HeaderVerdict::kUsable;
    if (got == 0) return true;
    if (got < sizeof header || !WellFormedHeader(header)) {
        *verdict = HeaderVerdict::kDamaged;
        return true;
    }
    const auto version = static_cast<std::int32_t>(BigEndian(header + 60, 4));
    const auto applicationId = static_cast<std::int32_t>(BigEndian(header + 68, 4));
    if (version < 0) *verdict = HeaderVerdict::kDamaged;
    if (version > kSchemaVersion)
        *verdict = applicationId == kApplicationId ? HeaderVerdict::kNewer : HeaderVerdict::kDamaged;

    // The page count in the header holds when the change counter beside it
    // matches the one it was written with.
    const std::uint64_t pageSize = BigEndian(header + 16, 2) == 1 ? 65536 : BigEndian(header + 16, 2);
    const std::uint64_t pages = BigEndian(header + 28, 4);
    const bool countHolds = BigEndian(header + 24, 4) == BigEndian(header + 92, 4) && pages > 0;
    if (sized && !logHoldsBytes && countHolds && static_cast<std::uint64_t>(info.st_size) < pages * pageSize)
        *verdict = HeaderVerdict::kDamaged;
    return true;
}

// Whether an open database is a journal this version can use, and its
// version; reads only the first page (the pages are the integrity check's).
bool Examine(sqlite3* db, const std::string& path, std::int64_t* version, std::string* err) {
    int rc = SQLITE_OK;
    std::int64_t applicationId = 0;
    if (!QueryInt(db, "PRAGMA user_version", version, &rc) ||
        !QueryInt(db, "PRAGMA application_id", &applicationId, &rc)) {
        *err = Problem(rc, path);
        return false;
    }
    if (*version > kSchemaVersion && applicationId == kApplicationId) {
        *err = NewerMessage(path);
        return false;
    }
    if (*version < 0 || (*version > 0 && applicationId != kApplicationId) || *version > kSchemaVersion) {
        *err = DamagedMessage(path);
        return false;
    }
    if (*version == 0) {
        // Version 0 is a database nobody has made a journal of yet; one that
        // already holds tables belongs to something else.
        std::int64_t objects = 0;
        if (!QueryInt(db, "SELECT count(*) FROM sqlite_schema", &objects, &rc)) {
            *err = Problem(rc, path);
            return false;
        }
        if (objects != 0) {
            *err = DamagedMessage(path);
            return false;
        }
    }
    return true;
}

bool Exec(sqlite3* db, const std::string& sql, int* rc) {
    *rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    return *rc == SQLITE_OK;
}

// Brings a writable journal to the current version in one transaction.
bool Migrate(sqlite3* db, const std::string& path, std::string* err) {
    int rc = SQLITE_OK;
    if (!Exec(db, "BEGIN IMMEDIATE", &rc)) {
        *err = Problem(rc, path);
        return false;
    }
    // Read again under the write lock: another program may have moved it on.
    std::int64_t version = 0;
    bool done = QueryInt(db, "PRAGMA user_version", &version, &rc);
    if (done && version > kSchemaVersion) {
        Exec(db, "ROLLBACK", &rc);
        *err = NewerMessage(path);
        return false;
    }
    for (auto step = version; done && step < kSchemaVersion; ++step) done = Exec(db, kMigrations[step], &rc);
    if (done && version < kSchemaVersion)
        done = Exec(db, Format("PRAGMA user_version = %d; PRAGMA application_id = %d", kSchemaVersion, kApplicationId),
                    &rc) &&
               Exec(db, "COMMIT", &rc);
    else if (done)
        done = Exec(db, "COMMIT", &rc);
    if (!done) {
        *err = Problem(rc, path);
        int ignored = SQLITE_OK;
        Exec(db, "ROLLBACK", &ignored);
        return false;
    }
    return true;
}

std::vector<std::string> SearchWords(const std::string& search) {
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 0; i <= search.size(); ++i) {
        const char c = i < search.size() ? search[i] : ' ';
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            if (!word.empty() && std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
            word.clear();
        } else {
            word += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return words;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

// SQLite's integrity check of an existing journal, on a read-only connection
// of its own and a thread of its own. The verdict is SQLITE_OK, SQLITE_CORRUPT
// (the check found damage) or the error that kept it from running.
class IntegrityCheck {
public:
    IntegrityCheck(std::string name, int flags) : thread_([this, name = std::move(name), flags] { Run(name, flags); }) {}
    ~IntegrityCheck() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            if (db_) sqlite3_interrupt(db_);
        }
        thread_.join();
    }
    IntegrityCheck(const IntegrityCheck&) = delete;
    IntegrityCheck& operator=(const IntegrityCheck&) = delete;

    // The verdict once it is in; with wait, waits for it.
    std::optional<int> Verdict(bool wait) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wait) done_.wait(lock, [&] { return verdict_.has_value(); });
        return verdict_;
    }

private:
    void Run(const std::string& name, int flags) {
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
        if (rc == SQLITE_OK) {
            // It only reads: closing must never move a log into the file.
            sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
            sqlite3_busy_timeout(db, kBusyTimeoutMs);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                db_ = stopping_ ? nullptr : db;
                if (stopping_) rc = SQLITE_INTERRUPT;
            }
            std::string result;
            if (rc == SQLITE_OK && QueryText(db, "PRAGMA integrity_check", &result, &rc) && result != "ok")
                rc = SQLITE_CORRUPT;
            if ((rc & 0xff) == SQLITE_NOTADB) rc = SQLITE_CORRUPT;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            db_ = nullptr;
        }
        sqlite3_close_v2(db);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            verdict_ = rc & 0xff;
        }
        done_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable done_;
    sqlite3* db_ = nullptr;  // while the check runs, for the destructor to interrupt
    bool stopping_ = false;
    std::optional<int> verdict_;
    std::thread thread_;  // last: it starts once the rest is there
};

const char* OracleName(Oracle oracle) {
    switch (oracle) {
        case Oracle::Reading: return "Card reading";
        case Oracle::IChing: return "I Ching";
        case Oracle::YesNo: return "Yes/No";
    }
    return "Journal entry";
}

bool ParseKeptAt(const std::string& text, std::int64_t* utcSeconds) {
    // YYYY-MM-DDTHH:MM:SS then Z or +HH:MM / -HH:MM
    if (text.size() != 20 && text.size() != 25) return false;
    auto digits = [&](std::size_t at, std::size_t count, int* value) {
        *value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            *value = *value * 10 + (text[i] - '0');
        }
        return true;
    };
    int year, month, day, hour, minute, second, offsetHours = 0, offsetMinutes = 0;
    if (!digits(0, 4, &year) || text[4] != '-' || !digits(5, 2, &month) || text[7] != '-' || !digits(8, 2, &day) ||
        text[10] != 'T' || !digits(11, 2, &hour) || text[13] != ':' || !digits(14, 2, &minute) || text[16] != ':' ||
        !digits(17, 2, &second))
        return false;
    int sign = 0;
    if (text.size() == 20) {
        if (text[19] != 'Z') return false;
    } else {
        if (text[19] != '+' && text[19] != '-') return false;
        sign = text[19] == '+' ? 1 : -1;
        if (!digits(20, 2, &offsetHours) || text[22] != ':' || !digits(23, 2, &offsetMinutes)) return false;
        if (offsetHours > 23 || offsetMinutes > 59) return false;
    }
    static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12 || day < 1) return false;
    if (day > kMonthDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
    if (hour > 23 || minute > 59 || second > 60) return false;
    const std::int64_t local = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                               hour * 3600 + minute * 60 + second;
    *utcSeconds = local - sign * (offsetHours * 3600 + offsetMinutes * 60);
    return true;
}

std::string LocalKeptAt(std::int64_t utcSeconds) {
    const auto t = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    ::localtime_r(&t, &local);
    const long offset = local.tm_gmtoff;
    const long size = offset < 0 ? -offset : offset;
    return Format("%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', size / 3600, size % 3600 / 60);
}

std::unique_ptr<JournalStore> JournalStore::Open(const std::string& path, std::string* err) {
    std::unique_ptr<JournalStore> store(new JournalStore(path));
    if (!store->Connect(false, err)) return nullptr;
    return store;
}

JournalStore::JournalStore(std::string path) : path_(std::move(path)) {}

JournalStore::~JournalStore() {
    std::string ignored;
    TakeVerdict(db_, false, &ignored);  // a verdict that is in
    // A check still running is stopped, and the journal then closes as one
    // not known to be sound: its log, if any, stays beside it.
    check_.reset();
    sqlite3_close_v2(db_);
}

bool JournalStore::TakeVerdict(sqlite3* db, bool wait, std::string* err) {
    if (check_) {
        const std::optional<int> verdict = check_->Verdict(wait);
        if (verdict) {
            check_.reset();
            damaged_ = *verdict == SQLITE_CORRUPT;
            // Known sound: closing may move the log into the file again. A
            // check that could not run (the file busy, say) proves nothing
            // either way; the journal is used as SQLite finds it.
            if (*verdict == SQLITE_OK && db) sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
        }
    }
    if (!damaged_) return true;
    *err = DamagedMessage(path_);
    return false;
}

bool JournalStore::Connect(bool create, std::string* err) {
    const std::string folder = FolderOf(path_);
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            *err = "The journal file " + Quoted(path_) + " could not be opened (" + std::strerror(errno) + ").";
            return false;
        }
        // Nothing kept yet; the first Add makes the file.
        readOnly_ = ::access(folder.c_str(), W_OK) != 0;
        if (!create) return true;
        if (readOnly_) {
            *err = ReadOnlyMessage(path_);
            return false;
        }
    } else {
        if (!S_ISREG(info.st_mode)) {
            *err = DamagedMessage(path_);
            return false;
        }
        HeaderVerdict verdict = HeaderVerdict::kUsable;
        if (!CheckHeader(path_, HoldsBytes(path_ + "-wal"), &verdict, err)) return false;
        if (verdict != HeaderVerdict::kUsable) {
            *err = verdict == HeaderVerdict::kNewer ? NewerMessage(path_) : DamagedMessage(path_);
            return false;
        }
        readOnly_ = ::access(path_.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0;
    }

    // A write-ahead log left by another program may hold changes its maker
    // had not yet moved into the file. Until the journal is known to be
    // sound, closing must not move them (a checkpoint), so a refused file
    // keeps every byte. With no log, closing has nothing to move and only
    // removes the side files SQLite made.
    const bool logWasThere = HoldsBytes(path_ + "-wal");
    const bool rollbackWasThere = HoldsBytes(path_ + "-journal");

    const bool existed = ::access(path_.c_str(), F_OK) == 0;
    Connection connection;
    // The integrity check opens the file as this connection does, read-only.
    std::string checkName = path_;
    int checkFlags = SQLITE_OPEN_READONLY;
    int rc;
    if (!readOnly_) {
        rc = sqlite3_open_v2(path_.c_str(), connection.Out(),
                             SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr);
    } else if (!logWasThere && !rollbackWasThere) {
        // Everything is in the file itself. Reading a WAL journal the usual
        // way needs side files, which a read-only folder cannot hold and a
        // read-only journal should not gain, so it is read as a file that
        // does not change. Should someone who may write it change it all the
        // same, the worst is a read that fails with a message.
        checkName = "file:" + UriPath(path_) + "?immutable=1";
        checkFlags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        rc = sqlite3_open_v2(checkName.c_str(), connection.Out(), checkFlags, nullptr);
    } else {
        rc = sqlite3_open_v2(path_.c_str(), connection.Out(), SQLITE_OPEN_READONLY, nullptr);
    }
    sqlite3* db = connection.Get();
    if (rc != SQLITE_OK) {
        *err = Problem(rc, path_);
        return false;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // Until the integrity check finds the journal sound (see above); a log
    // this connection makes stays empty until then.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, logWasThere ? 1 : 0, nullptr);
    // The file is outside the program's control: let nothing in it run
    // functions with side effects or write the schema.
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);

    rc = sqlite3_create_function_v2(db, "fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, FoldAscii, nullptr,
                                    nullptr, nullptr);
    if (rc != SQLITE_OK) {
        *err = Problem(rc, path_);
        return false;
    }

    std::int64_t version = 0;
    if (!Examine(db, path_, &version, err)) return false;

    if (readOnly_) {
        if (version == 0) return true;  // an empty database: no entries
        if (version < kSchemaVersion) {
            *err = "The journal file " + Quoted(path_) +
                   " was made by an older version of Sagewend and cannot be brought up to date because it is "
                   "read-only.";
            return false;
        }
        check_ = std::make_unique<IntegrityCheck>(checkName, checkFlags);
        db_ = connection.Release();
        return true;
    }
    if (existed) check_ = std::make_unique<IntegrityCheck>(checkName, checkFlags);

    // Nothing is written into a journal before its verdict: neither a new
    // journal mode nor a migration.
    std::string mode;
    if (!QueryText(db, "PRAGMA journal_mode", &mode, &rc)) {
        *err = Problem(rc, path_);
        return false;
    }
    if ((mode != "wal" || version < kSchemaVersion) && !TakeVerdict(db, true, err)) return false;
    if (mode != "wal" && !QueryText(db, "PRAGMA journal_mode = WAL", &mode, &rc)) {
        *err = Problem(rc, path_);
        return false;
    }
    if (mode != "wal") {
        *err = Problem(SQLITE_BUSY, path_);
        return false;
    }
    if (!Exec(db, "PRAGMA synchronous = FULL", &rc)) {
        *err = Problem(rc, path_);
        return false;
    }
    // Only an out-of-date journal takes the write lock here: one that another
    // program is writing to still opens.
    if (version < kSchemaVersion && !Migrate(db, path_, err)) return false;
    db_ = connection.Release();
    return true;
}

bool JournalStore::CanChange(std::string* err) {
    if (readOnly_) {
        *err = ReadOnlyMessage(path_);
        return false;
    }
    return TakeVerdict(db_, true, err);
}

bool JournalStore::Add(JournalEntry& entry, std::string* err) {
    if (entry.id != 0) {
        *err = "This entry is already in the journal.";
        return false;
    }
    if (entry.oracle != Oracle::Reading && entry.oracle != Oracle::IChing && entry.oracle != Oracle::YesNo) {
        *err = "The entry names no known oracle, so it was not kept.";
        return false;
    }
    std::string keptAt = entry.keptAt;
    std::int64_t utc = 0;
    if (keptAt.empty()) {
        utc = static_cast<std::int64_t>(std::time(nullptr));
        keptAt = LocalKeptAt(utc);
    } else if (!ParseKeptAt(keptAt, &utc)) {
        *err = "The entry's date and time \"" + keptAt + "\" is not in a form the journal understands.";
        return false;
    }
    if (!CanChange(err)) return false;
    if (!db_ && !Connect(true, err)) return false;
    if (!CanChange(err)) return false;

    Statement insert(db_,
                     "INSERT INTO entries (kept_at, kept_utc, oracle, question, notes, result) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    insert.Bind(1, keptAt);
    insert.Bind(2, utc);
    insert.Bind(3, static_cast<std::int64_t>(entry.oracle));
    insert.Bind(4, entry.question);
    insert.Bind(5, entry.notes);
    insert.Bind(6, entry.result);
    const int rc = insert.Step();
    if (rc != SQLITE_DONE) {
        *err = Problem(rc, path_);
        return false;
    }
    entry.id = sqlite3_last_insert_rowid(db_);
    entry.keptAt = keptAt;
    return true;
}

bool JournalStore::Get(std::int64_t id, JournalEntry* entry, std::string* err) {
    if (!TakeVerdict(db_, false, err)) return false;
    if (!db_) {
        *err = kMissingMessage;
        return false;
    }
    Statement select(db_, "SELECT id, kept_at, oracle, question, notes, result FROM entries WHERE id = ?1");
    select.Bind(1, id);
    const int rc = select.Step();
    if (rc == SQLITE_DONE) {
        *err = kMissingMessage;
        return false;
    }
    if (rc != SQLITE_ROW) {
        *err = Problem(rc, path_);
        return false;
    }
    entry->id = select.Int(0);
    entry->keptAt = select.Text(1);
    entry->oracle = static_cast<Oracle>(select.Int(2));
    entry->question = select.Text(3);
    entry->notes = select.Text(4);
    entry->result = select.Text(5);
    return true;
}

bool JournalStore::List(const std::string& search, std::vector<JournalEntry>* entries, std::string* err) {
    return Select(search, false, entries, err);
}

bool JournalStore::All(std::vector<JournalEntry>* entries, std::string* err) { return Select("", true, entries, err); }

bool JournalStore::Select(const std::string& search, bool withResults, std::vector<JournalEntry>* entries,
                          std::string* err) {
    entries->clear();
    const std::vector<std::string> words = SearchWords(search);
    if (words.size() > kMaxSearchWords) {
        *err = Format("The search has too many words; use at most %zu.", kMaxSearchWords);
        return false;
    }
    if (!TakeVerdict(db_, false, err)) return false;
    if (!db_) return true;
    // Only placeholders go into the text; the words are bound. instr compares
    // bytes, so "%", "_" and quotes are ordinary characters.
    std::string sql = withResults ? "SELECT id, kept_at, oracle, question, notes, result FROM entries"
                                  : "SELECT id, kept_at, oracle, question, notes FROM entries";
    for (std::size_t i = 0; i < words.size(); ++i)
        sql += Format("%s (instr(fold(question), ?%zu) > 0 OR instr(fold(notes), ?%zu) > 0)", i ? " AND" : " WHERE",
                      i + 1, i + 1);
    sql += " ORDER BY kept_utc DESC, id DESC";
    Statement select(db_, sql);
    for (std::size_t i = 0; i < words.size(); ++i) select.Bind(static_cast<int>(i + 1), words[i]);
    int rc;
    while ((rc = select.Step()) == SQLITE_ROW) {
        JournalEntry entry;
        entry.id = select.Int(0);
        entry.keptAt = select.Text(1);
        entry.oracle = static_cast<Oracle>(select.Int(2));
        entry.question = select.Text(3);
        entry.notes = select.Text(4);
        if (withResults) entry.result = select.Text(5);
        entries->push_back(std::move(entry));
    }
    if (rc != SQLITE_DONE) {
        entries->clear();
        *err = Problem(rc, path_);
        return false;
    }
    return true;
}

bool JournalStore::SetNotes(std::int64_t id, const std::string& notes, std::string* err) {
    if (!CanChange(err)) return false;
    if (!db_) {
        *err = kMissingMessage;
        return false;
    }
    Statement update(db_, "UPDATE entries SET notes = ?2 WHERE id = ?1");
    update.Bind(1, id);
    update.Bind(2, notes);
    const int rc = update.Step();
    if (rc != SQLITE_DONE) {
        *err = Problem(rc, path_);
        return false;
    }
    if (sqlite3_changes(db_) == 0) {
        *err = kMissingMessage;
        return false;
    }
    return true;
}

bool JournalStore::Delete(std::int64_t id, std::string* err) {
    if (!CanChange(err)) return false;
    if (!db_) {
        *err = kMissingMessage;
        return false;
    }
    Statement remove(db_, "DELETE FROM entries WHERE id = ?1");
    remove.Bind(1, id);
    const int rc = remove.Step();
    if (rc != SQLITE_DONE) {
        *err = Problem(rc, path_);
        return false;
    }
    if (sqlite3_changes(db_) == 0) {
        *err = kMissingMessage;
        return false;
    }
    return true;
}

}  // namespace sw
