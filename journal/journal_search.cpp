// The journal's lists, counts and tallies: JournalStore's reading side,
// declared in journal/journal_store.h.
//
// Every list is read by place (entry_index.place: the time it was kept, in
// seconds, times kPlacesPerSecond, plus its order within that second), a
// page at a time from a given place, so a page costs the same however many
// entries come before it. With words to find, the full-text index is
// walked by the same place (it is its rowid), newest first, and stops once
// the page is full.
#include <algorithm>
#include <ctime>
#include <functional>

#include "core/text.h"
#include "journal/journal_sql.h"
#include "journal/journal_store.h"

namespace sw {

using journal_sql::Statement;

namespace {

constexpr std::size_t kMaxSearchWords = 64;

// A query as the statements take it.
struct Compiled {
    std::string match;  // the full-text expression; empty for none
    std::int64_t low = std::numeric_limits<std::int64_t>::min();
    std::int64_t high = std::numeric_limits<std::int64_t>::max();
    std::int64_t oracle = 0;  // 0 for any
    bool none = false;        // words that can match nothing (only punctuation)
};

bool Findable(std::string_view term) {
    return std::any_of(term.begin(), term.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x80 || std::isalnum(u);
    });
}

// Words and "quoted phrases", each a quoted string of the full-text syntax,
// so nothing the user types is read as an operator. A word matches that
// word; one that ends in "*" matches the words it begins. (A whole word is
// one list in the index, read from its newest entry as far as the page
// needs; the words a beginning stands for are first gathered, all of them.)
bool Terms(const std::string& text, std::vector<std::string>* terms, bool* dropped, std::string* err) {
    std::string current;
    bool quoted = false;
    auto flush = [&](bool phrase) {
        if (current.empty()) return;
        const bool beginning = !phrase && current.back() == '*';
        if (beginning) current.pop_back();
        if (Findable(current)) terms->push_back("\"" + current + "\"" + (beginning ? "*" : ""));
        else *dropped = true;
        current.clear();
    };
    for (char c : text) {
        if (c == '"') {
            flush(quoted);
            quoted = !quoted;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')) {
            flush(false);
        } else {
            current += c;
        }
    }
    flush(quoted);
    if (terms->size() > kMaxSearchWords) {
        *err = Format("The search has too many words; use at most %zu.", kMaxSearchWords);
        return false;
    }
    return true;
}

// The UTC second at which a local date ("YYYY-MM-DD") begins, days later.
bool DayStarts(const std::string& date, int daysLater, std::int64_t* utc) {
    std::int64_t ignored = 0;
    if (date.size() != 10 || !ParseKeptAt(date + "T00:00:00Z", &ignored)) return false;
    std::tm day{};
    day.tm_year = CAtoi(date.substr(0, 4)) - 1900;
    day.tm_mon = CAtoi(date.substr(5, 2)) - 1;
    day.tm_mday = CAtoi(date.substr(8, 2)) + daysLater;
    day.tm_isdst = -1;
    const std::time_t t = std::mktime(&day);
    if (t == static_cast<std::time_t>(-1) && !(day.tm_year == 69 && day.tm_mon == 11 && day.tm_mday == 31)) return false;
    *utc = static_cast<std::int64_t>(t);
    return true;
}

bool Compile(const JournalQuery& query, Compiled* compiled, std::string* err) {
    std::vector<std::string> terms;
    bool dropped = false;
    if (!Terms(query.text, &terms, &dropped, err)) return false;
    for (std::size_t i = 0; i < terms.size(); ++i) compiled->match += (i ? " AND " : "") + terms[i];
    compiled->none = terms.empty() && dropped;
    compiled->oracle = query.oracle ? static_cast<std::int64_t>(*query.oracle) : 0;
    std::int64_t from = 0, until = 0;
    if (!query.from.empty()) {
        if (!DayStarts(query.from, 0, &from)) {
            *err = "The search's first day \"" + query.from + "\" is not a date (year-month-day).";
            return false;
        }
        compiled->low = from * kPlacesPerSecond;
    }
    if (!query.to.empty()) {
        if (!DayStarts(query.to, 1, &until)) {
            *err = "The search's last day \"" + query.to + "\" is not a date (year-month-day).";
            return false;
        }
        compiled->high = until * kPlacesPerSecond - 1;
    }
    if (!query.from.empty() && !query.to.empty() && until <= from) {
        *err = "The search's first day comes after its last.";
        return false;
    }
    return true;
}

// What the statements choose from, with the query's bindings: ?1 the
// words, ?2 and ?3 the places, ?4 the oracle. `place` names the place.
struct Chosen {
    std::string from;
    std::string where;
};

Chosen ChosenBy(const Compiled& compiled) {
    Chosen chosen;
    if (!compiled.match.empty()) {
        chosen.from = "entry_text t JOIN entry_index i ON i.place = t.rowid";
        chosen.where = "entry_text MATCH ?1 AND t.rowid BETWEEN ?2 AND ?3";
    } else {
        chosen.from = "entry_index i";
        chosen.where = "?1 IS NULL AND i.place BETWEEN ?2 AND ?3";
    }
    if (compiled.oracle) chosen.where += " AND i.oracle = ?4";
    return chosen;
}

void BindChosen(Statement& statement, const Compiled& compiled) {
    if (compiled.match.empty()) statement.BindNull(1);
    else statement.Bind(1, compiled.match);
    statement.Bind(2, compiled.low);
    statement.Bind(3, compiled.high);
    if (compiled.oracle) statement.Bind(4, compiled.oracle);
}

}  // namespace

bool JournalStore::List(const JournalQuery& query, std::int64_t before, std::size_t limit,
                        std::vector<JournalEntry>* entries, std::string* err) {
    entries->clear();
    Compiled compiled;
    if (!Compile(query, &compiled, err) || !TakeVerdict(db_, false, err)) return false;
    if (!db_ || compiled.none || limit == 0) return true;
    const Chosen chosen = ChosenBy(compiled);
    const std::string place = compiled.match.empty() ? "i.place" : "t.rowid";
    Statement select(db_, "SELECT e.id, e.kept_at, e.oracle, e.question, e.notes, " + place + " FROM " + chosen.from +
                              " JOIN entries e ON e.id = i.entry WHERE " + chosen.where + " AND " + place +
                              " < ?5 ORDER BY " + place + " DESC LIMIT ?6");
    BindChosen(select, compiled);
    select.Bind(5, before);
    select.Bind(6, static_cast<std::int64_t>(std::min<std::size_t>(limit, 1u << 30)));
    int rc;
    while ((rc = select.Step()) == SQLITE_ROW) {
        entries->push_back(journal_sql::EntryOf(select, false));
        entries->back().place = select.Int(5);
    }
    if (rc != SQLITE_DONE) {
        entries->clear();
        *err = Failure(rc);
        return false;
    }
    return true;
}

bool JournalStore::Count(const JournalQuery& query, std::int64_t atMost, std::int64_t* count, std::string* err) {
    *count = 0;
    Compiled compiled;
    if (!Compile(query, &compiled, err) || !TakeVerdict(db_, false, err)) return false;
    if (!db_ || compiled.none) return true;
    const Chosen chosen = ChosenBy(compiled);
    // The whole journal's count needs no range: SQLite counts the smallest index.
    Statement select(db_, query.Empty() ? std::string("SELECT count(*) FROM entry_index")
                                        : "SELECT count(*) FROM (SELECT 1 FROM " + chosen.from + " WHERE " +
                                              chosen.where + " LIMIT ?5)");
    if (!query.Empty()) {
        BindChosen(select, compiled);
        select.Bind(5, atMost);
    }
    const int rc = select.Step();
    if (rc != SQLITE_ROW) {
        *err = Failure(rc);
        return false;
    }
    *count = select.Int(0);
    return true;
}

bool JournalStore::Tally(const JournalQuery& query, JournalTally* tally, std::string* err) {
    *tally = JournalTally();
    tally->answers.assign(23, 0);
    Compiled compiled;
    if (!Compile(query, &compiled, err) || !TakeVerdict(db_, false, err)) return false;
    if (!db_ || compiled.none) return true;
    // The entries of a query are chosen once, into a table of this
    // connection's own; the whole journal needs none.
    std::string join;
    int rc = SQLITE_OK;
    if (!query.Empty()) {
        const Chosen chosen = ChosenBy(compiled);
        if (!journal_sql::Exec(db_, "CREATE TEMP TABLE IF NOT EXISTS chosen (entry INTEGER PRIMARY KEY); "
                                    "DELETE FROM temp.chosen", &rc)) {
            *err = Failure(rc);
            return false;
        }
        Statement choose(db_, "INSERT INTO temp.chosen SELECT i.entry FROM " + chosen.from + " WHERE " + chosen.where);
        BindChosen(choose, compiled);
        if ((rc = choose.Step()) != SQLITE_DONE) {
            *err = Failure(rc);
            return false;
        }
        join = " JOIN temp.chosen ch ON ch.entry = ";
    }
    auto run = [&](const std::string& sql, const std::function<void(Statement&)>& row) {
        Statement select(db_, sql);
        while ((rc = select.Step()) == SQLITE_ROW) row(select);
        return rc == SQLITE_DONE;
    };
    const std::string entries = "entry_index i" + (join.empty() ? "" : join + "i.entry");
    const std::string cards = "entry_cards c" + (join.empty() ? "" : join + "c.entry");
    const bool done =
        run("SELECT i.month, i.oracle, count(*) FROM " + entries + " GROUP BY i.month, i.oracle ORDER BY i.month",
            [&](Statement& s) {
                const std::string month = s.Text(0);
                if (tally->months.empty() || tally->months.back().month != month) tally->months.push_back({month, {}});
                const auto oracle = s.Int(1);
                if (oracle >= 1 && oracle <= 3) tally->months.back().kept[static_cast<std::size_t>(oracle - 1)] += s.Int(2);
                tally->entries += s.Int(2);
            }) &&
        run("SELECT i.deck, count(*), sum(i.dealt) FROM " + entries +
                " WHERE i.oracle = 1 AND i.deck IS NOT NULL GROUP BY i.deck ORDER BY i.deck",
            [&](Statement& s) { tally->decks.push_back({s.Text(0), s.Int(1), s.Int(2)}); }) &&
        // A card turns up reversed only where it could.
        run("SELECT k.deck, k.card, k.name, k.suit, n.count, n.reversed, n.could FROM (SELECT c.card_key AS key, "
            "count(*) AS count, sum(c.reversed) AS reversed, sum(c.can_reverse) AS could FROM " +
                cards + " GROUP BY c.card_key) n JOIN cards k ON k.card_key = n.key ORDER BY k.deck, k.card",
            [&](Statement& s) {
                tally->cards.push_back(
                    {s.Text(0), static_cast<int>(s.Int(1)), s.Text(2), s.Text(3), s.Int(4), s.Int(5)});
                tally->reversed += s.Int(5);
                tally->couldReverse += s.Int(6);
            }) &&
        run("SELECT i.present, count(*) FROM " + entries +
                " WHERE i.oracle = 2 AND i.present BETWEEN 1 AND 64 GROUP BY i.present",
            [&](Statement& s) { tally->hexagrams[static_cast<std::size_t>(s.Int(0))] = s.Int(1); }) &&
        run("SELECT i.answer, count(*) FROM " + entries + " WHERE i.oracle = 3 AND i.answer BETWEEN 0 AND 22 GROUP BY i.answer",
            [&](Statement& s) { tally->answers[static_cast<std::size_t>(s.Int(0))] = s.Int(1); });
    if (!done) {
        *tally = JournalTally();
        *err = Failure(rc);
        return false;
    }
    return true;
}

}  // namespace sw
