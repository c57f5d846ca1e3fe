#pragma once
// The few SQLite helpers the journal's source files share (the store, its
// searches and tallies, its readers). Everything here runs on the thread
// that owns the connection.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "journal/journal_store.h"

namespace sw::journal_sql {

class Statement {
public:
    Statement(sqlite3* db, std::string_view sql) {
        rc_ = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, std::string_view text) {
        Keep(sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    void Bind(int index, std::int64_t value) { Keep(sqlite3_bind_int64(stmt_, index, value)); }
    void BindNull(int index) { Keep(sqlite3_bind_null(stmt_, index)); }
    // SQLITE_ROW, SQLITE_DONE or the first error, including one of preparing
    // or binding.
    int Step() { return rc_ != SQLITE_OK ? rc_ : sqlite3_step(stmt_); }
    // Ready to run again with new bindings.
    void Reset() {
        if (!stmt_) return;
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
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

// The entry a row holds in its first columns: id, kept_at, oracle, question,
// notes and, when asked for, result.
inline JournalEntry EntryOf(const Statement& row, bool withResult) {
    JournalEntry entry;
    entry.id = row.Int(0);
    entry.keptAt = row.Text(1);
    entry.oracle = static_cast<Oracle>(row.Int(2));
    entry.question = row.Text(3);
    entry.notes = row.Text(4);
    if (withResult) entry.result = row.Text(5);
    return entry;
}

inline bool Exec(sqlite3* db, const std::string& sql, int* rc) {
    *rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    return *rc == SQLITE_OK;
}

// One write transaction: rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) { begun_ = Exec(db_, "BEGIN IMMEDIATE", &rc_); }
    ~Transaction() {
        if (begun_) {
            int ignored = SQLITE_OK;
            Exec(db_, "ROLLBACK", &ignored);
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // SQLITE_OK once begun.
    int Begun() const { return begun_ ? SQLITE_OK : rc_; }
    int Commit() {
        if (!begun_) return rc_;
        if (Exec(db_, "COMMIT", &rc_)) begun_ = false;
        return rc_;
    }

private:
    sqlite3* db_;
    bool begun_ = false;
    int rc_ = SQLITE_OK;
};

}  // namespace sw::journal_sql
