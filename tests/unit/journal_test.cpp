// The journal: entries kept and read back, search, notes and deletion;
// journals that cannot be used left exactly as they were; a journal of the
// first version brought up to date; a writer or an import killed mid-loop
// losing nothing it reported kept; the Markdown and JSON Lines exports and
// importing them again.
#include <gtest/gtest.h>
#include <grp.h>
#include <sqlite3.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <ctime>
#include <nlohmann/json.hpp>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "iching/hexagram_table.h"
#include "journal/journal_export.h"
#include "journal/journal_import.h"
#include "journal/journal_markdown.h"
#include "journal/journal_store.h"
#include "core/text.h"
#include "store_test_support.h"

namespace sw {
namespace {

using storetest::FilesUnder;
using storetest::ReadBytes;
using storetest::TempDir;
using storetest::WriteBytes;

JournalEntry Entry(Oracle oracle, const std::string& question, const std::string& keptAt = "",
                   const std::string& notes = "") {
    JournalEntry entry;
    entry.oracle = oracle;
    entry.question = question;
    entry.keptAt = keptAt;
    entry.notes = notes;
    entry.result = oracle == Oracle::YesNo ? R"({"answer": 0, "text": "Yes."})" : R"({"draws": [1, 1, 2, 2, 0, 3]})";
    return entry;
}

std::unique_ptr<JournalStore> OpenOrFail(const std::string& path) {
    std::string err;
    auto store = JournalStore::Open(path, &err);
    EXPECT_TRUE(store) << err;
    return store;
}

std::int64_t Keep(JournalStore& store, JournalEntry entry) {
    std::string err;
    EXPECT_TRUE(store.Add(entry, &err)) << err;
    return entry.id;
}

std::vector<JournalEntry> Listed(JournalStore& store, const JournalQuery& query) {
    std::vector<JournalEntry> entries;
    std::string err;
    EXPECT_TRUE(store.List(query, JournalStore::kNewest, 100000, &entries, &err)) << err;
    return entries;
}

std::vector<JournalEntry> Searched(JournalStore& store, const std::string& search) {
    JournalQuery query;
    query.text = search;
    return Listed(store, query);
}

std::vector<std::string> Questions(JournalStore& store, const std::string& search) {
    std::vector<std::string> questions;
    for (const auto& entry : Searched(store, search)) questions.push_back(entry.question);
    return questions;
}

// Every entry, with its result, newest first, as the export reads them.
std::vector<JournalEntry> AllEntries(JournalStore& store) {
    std::string err;
    auto reader = store.Reader(true, &err);
    EXPECT_TRUE(reader) << err;
    std::vector<JournalEntry> entries;
    JournalEntry entry;
    while (reader && reader->Next(&entry)) entries.push_back(entry);
    EXPECT_TRUE(!reader || reader->Error().empty()) << reader->Error();
    return entries;
}

// A connection of "another program".
struct RawConnection {
    explicit RawConnection(const std::string& path) { EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK); }
    ~RawConnection() { sqlite3_close(db); }
    int Exec(const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }
    sqlite3* db = nullptr;
};

// Runs body as an unprivileged user when the tests run as root, who could
// write read-only files and folders anyway.
template <class Body>
void AsUnprivileged(const std::filesystem::path& dir, Body body) {
    if (::geteuid() != 0) return body();
    ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        body();
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(JournalStore, KeepsEveryKindAndReadsItBackAfterReopening) {
    TempDir dir;
    const std::string path = dir / "journal.sqlite3";
    std::vector<JournalEntry> kept = {
        Entry(Oracle::Reading, "Will Zo\xC3\xAB's \"move\" go well? \xE6\x97\xA5\xE6\x9C\xAC; DROP TABLE entries; --", "",
              "First line\n  'indented' second line"),
        Entry(Oracle::IChing, "", "2026-12-07T14:03:11+01:00"),
        Entry(Oracle::YesNo, std::string("nul\0inside", 10), "2026-12-07T14:03:11Z", std::string(100000, 'n')),
    };
    kept[0].result = R"({"layout": {"name": "Caf\u00e9 \"row\""}, "dealt": []})";
    {
        auto store = OpenOrFail(path);
        // Opening keeps nothing, so it makes no file.
        EXPECT_FALSE(store->ReadOnly());
        EXPECT_TRUE(FilesUnder(dir.path()).empty());
        EXPECT_TRUE(Questions(*store, "").empty());
        for (auto& entry : kept) {
            std::string err;
            ASSERT_TRUE(store->Add(entry, &err)) << err;
            EXPECT_GT(entry.id, 0);
        }
        // Again: the entry is kept already.
        std::string err;
        EXPECT_FALSE(store->Add(kept[1], &err));
        EXPECT_EQ(err, "This entry is already in the journal.");
        JournalEntry undated = Entry(Oracle::YesNo, "When?", "yesterday");
        EXPECT_FALSE(store->Add(undated, &err));
        EXPECT_EQ(undated.id, 0);
    }
    std::int64_t keptUtc = 0;
    ASSERT_TRUE(ParseKeptAt(kept[0].keptAt, &keptUtc)) << kept[0].keptAt;
    EXPECT_LE(std::abs(keptUtc - static_cast<std::int64_t>(std::time(nullptr))), 60);
    EXPECT_EQ(kept[1].keptAt, "2026-12-07T14:03:11+01:00");

    auto store = OpenOrFail(path);
    for (const auto& entry : kept) {
        JournalEntry read;
        std::string err;
        ASSERT_TRUE(store->Get(entry.id, &read, &err)) << err;
        EXPECT_EQ(read.id, entry.id);
        EXPECT_EQ(read.keptAt, entry.keptAt);
        EXPECT_EQ(read.oracle, entry.oracle);
        EXPECT_EQ(read.question, entry.question);
        EXPECT_EQ(read.notes, entry.notes);
        EXPECT_EQ(read.result, entry.result);
    }
}

TEST(JournalStore, ListsNewestFirstAndFindsEveryWord) {
    TempDir dir;
    auto store = OpenOrFail(dir / "journal.sqlite3");
    // Local times with their offsets: the order is that of the instants.
    Keep(*store, Entry(Oracle::YesNo, "Should I take the NEW job?", "2026-01-01T10:00:00+00:00", "I'm 10% sure"));
    Keep(*store, Entry(Oracle::YesNo, "A new house", "2026-01-01T10:30:00+02:00", "10 rooms for Zo\xC3\xAB"));
    Keep(*store, Entry(Oracle::IChing, "Old_friend", "2026-01-01T19:00:00-05:00"));
    Keep(*store, Entry(Oracle::IChing, "An odd fish", "2026-01-02T00:00:00Z"));
    Keep(*store, Entry(Oracle::Reading, "Same moment, kept later", "2026-01-02T01:00:00+01:00", "\"quoted\""));

    using Q = std::vector<std::string>;
    EXPECT_EQ(Questions(*store, ""),
              (Q{"Same moment, kept later", "An odd fish", "Old_friend", "Should I take the NEW job?", "A new house"}));
    // Whole words, in any case; a word ending in "*" begins words.
    EXPECT_EQ(Questions(*store, "new"), (Q{"Should I take the NEW job?", "A new house"}));
    EXPECT_EQ(Questions(*store, "  JOB\tnew "), Q{"Should I take the NEW job?"});
    EXPECT_EQ(Questions(*store, "job house"), Q{});      // every word, not any
    EXPECT_EQ(Questions(*store, "sure job"), Q{"Should I take the NEW job?"});  // question and notes together
    EXPECT_EQ(Questions(*store, "hou"), Q{});
    EXPECT_EQ(Questions(*store, "hou* ne*"), Q{"A new house"});
    EXPECT_EQ(Questions(*store, "*"), Q{});
    EXPECT_EQ(Questions(*store, "10%"), (Q{"Should I take the NEW job?", "A new house"}));
    EXPECT_EQ(Questions(*store, "1"), Q{});
    EXPECT_EQ(Questions(*store, "old_fr*"), Q{"Old_friend"});
    EXPECT_EQ(Questions(*store, "%"), Q{});
    EXPECT_EQ(Questions(*store, "i'm"), Q{"Should I take the NEW job?"});
    EXPECT_EQ(Questions(*store, "\"quoted\""), Q{"Same moment, kept later"});
    EXPECT_EQ(Questions(*store, "\"new house\""), Q{"A new house"});  // a phrase: the words together
    EXPECT_EQ(Questions(*store, "\"job new\""), Q{});
    EXPECT_EQ(Questions(*store, "ZO\xC3\xAB"), Q{"A new house"});
    EXPECT_EQ(Questions(*store, "zoe"), Q{"A new house"});  // accents aside
    // The search's own syntax is text like any other.
    for (const char* words : {"new OR job", "NEAR(new house)", "new**", "-job", "{question}: new", "(new", "\"a*\""})
        EXPECT_NO_FATAL_FAILURE(Questions(*store, words)) << words;
    EXPECT_EQ(Questions(*store, "house OR"), Q{});
    // What came up: the answer of a yes/no, the hexagrams of a cast by
    // number and name (line 5 and 6 move: 56 The Traveller becomes 31).
    EXPECT_EQ(Questions(*store, "yes"), (Q{"Should I take the NEW job?", "A new house"}));
    EXPECT_EQ(Questions(*store, "56"), (Q{"An odd fish", "Old_friend"}));
    EXPECT_EQ(Questions(*store, "traveller odd"), Q{"An odd fish"});
    EXPECT_EQ(Questions(*store, "31"), (Q{"An odd fish", "Old_friend"}));

    // The export's listing: the same order, with the results.
    const std::vector<JournalEntry> all = AllEntries(*store);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[1].question, "An odd fish");
    EXPECT_EQ(all[1].result, R"({"draws": [1, 1, 2, 2, 0, 3]})");
}

TEST(JournalStore, PagesFiltersAndCountsCostTheSameAtAnyPlace) {
    TempDir dir;
    auto store = OpenOrFail(dir / "journal.sqlite3");
    // 130 entries over 130 days, three of them in one second.
    std::vector<JournalEntry> entries;
    for (int day = 0; day < 130; ++day) {
        const Oracle oracle = day % 3 == 0 ? Oracle::IChing : Oracle::YesNo;
        entries.push_back(Entry(oracle, "day " + std::to_string(day),
                                Format("2026-%02d-%02dT12:00:00+00:00", 1 + day / 28, 1 + day % 28)));
    }
    for (const char* question : {"first of three", "second of three", "third of three"})
        entries.push_back(Entry(Oracle::YesNo, question, "2027-01-01T00:00:00+00:00"));
    std::size_t added = 0;
    std::string err;
    ASSERT_TRUE(store->AddMany(entries, &added, &err)) << err;
    ASSERT_EQ(added, entries.size());

    // Page after page, newest first, each entry once.
    std::vector<std::string> paged;
    for (std::int64_t before = JournalStore::kNewest;;) {
        std::vector<JournalEntry> page;
        ASSERT_TRUE(store->List(JournalQuery(), before, 50, &page, &err)) << err;
        for (const auto& entry : page) paged.push_back(entry.question);
        if (page.size() < 50) break;
        before = page.back().place;
    }
    ASSERT_EQ(paged.size(), 133u);
    EXPECT_EQ(paged[0], "third of three");  // kept last in its second
    EXPECT_EQ(paged[2], "first of three");
    EXPECT_EQ(paged[3], "day 129");
    EXPECT_EQ(paged[132], "day 0");

    JournalQuery casts;
    casts.oracle = Oracle::IChing;
    casts.from = "2026-02-01";
    casts.to = "2026-02-28";
    std::int64_t count = 0;
    ASSERT_TRUE(store->Count(casts, 1000, &count, &err)) << err;
    const std::vector<JournalEntry> february = Listed(*store, casts);
    EXPECT_EQ(count, static_cast<std::int64_t>(february.size()));
    ASSERT_EQ(february.size(), 9u);  // days 28 to 55 that are a multiple of three
    EXPECT_EQ(february.front().question, "day 54");
    EXPECT_EQ(february.back().question, "day 30");
    casts.text = "day";
    EXPECT_EQ(Listed(*store, casts).size(), 9u);
    ASSERT_TRUE(store->Count(JournalQuery(), 10, &count, &err)) << err;
    EXPECT_EQ(count, 133);  // the whole journal, always
    ASSERT_TRUE(store->Count(casts, 4, &count, &err)) << err;
    EXPECT_EQ(count, 4);  // a search, as far as asked

    JournalQuery wrong;
    wrong.from = "2026-02-30";
    std::vector<JournalEntry> none;
    EXPECT_FALSE(store->List(wrong, JournalStore::kNewest, 50, &none, &err));
    EXPECT_NE(err.find("is not a date"), std::string::npos) << err;
    wrong.from = "2026-03-01";
    wrong.to = "2026-02-01";
    EXPECT_FALSE(store->Count(wrong, 1000, &count, &err));
    EXPECT_NE(err.find("comes after"), std::string::npos) << err;
}

TEST(JournalStore, NotesAndDeletionsLastAndIdsAreNotReused) {
    TempDir dir;
    const std::string path = dir / "journal.sqlite3";
    std::int64_t first = 0, last = 0;
    std::string err;
    {
        auto store = OpenOrFail(path);
        first = Keep(*store, Entry(Oracle::YesNo, "first"));
        last = Keep(*store, Entry(Oracle::YesNo, "last"));
        ASSERT_TRUE(store->SetNotes(first, "Came true,\nmostly.", &err)) << err;
        ASSERT_TRUE(store->Delete(last, &err)) << err;
        EXPECT_FALSE(store->Delete(last, &err));
        EXPECT_EQ(err, "This journal entry no longer exists; it may have been deleted.");
        EXPECT_FALSE(store->SetNotes(last, "lost", &err));
    }
    auto store = OpenOrFail(path);
    JournalEntry read;
    EXPECT_FALSE(store->Get(last, &read, &err));
    ASSERT_TRUE(store->Get(first, &read, &err)) << err;
    EXPECT_EQ(read.notes, "Came true,\nmostly.");
    EXPECT_EQ(Questions(*store, ""), std::vector<std::string>{"first"});
    // A page still showing the deleted entry must not reach a new one.
    EXPECT_GT(Keep(*store, Entry(Oracle::YesNo, "next")), last);
}

// ---- journals that cannot be used -----------------------------------------

TEST(JournalRefusal, LockedJournalRefusesChangesAndStaysUnchanged) {
    TempDir dir;
    const std::string path = dir / "journal.sqlite3";
    Keep(*OpenOrFail(path), Entry(Oracle::YesNo, "kept before"));
    const std::string before = ReadBytes(path);
    std::string err;
    {
        // Another program in the middle of a change: reading goes on.
        RawConnection other(path);
        ASSERT_EQ(other.Exec("BEGIN IMMEDIATE"), SQLITE_OK);
        auto store = OpenOrFail(path);
        ASSERT_TRUE(store);
        EXPECT_EQ(Questions(*store, ""), std::vector<std::string>{"kept before"});
        JournalEntry entry = Entry(Oracle::YesNo, "blocked");
        EXPECT_FALSE(store->Add(entry, &err));
        EXPECT_NE(err.find("is in use by another program"), std::string::npos) << err;
        EXPECT_NE(err.find(path), std::string::npos) << err;
        EXPECT_EQ(entry.id, 0);
        EXPECT_FALSE(store->Delete(1, &err));
        EXPECT_NE(err.find("is in use"), std::string::npos) << err;
        EXPECT_EQ(ReadBytes(path), before);
        other.Exec("ROLLBACK");
        // Once the other program lets go, the same store works again.
        EXPECT_GT(Keep(*store, Entry(Oracle::YesNo, "after")), 0);
    }
    const std::string withSecond = ReadBytes(path);
    {
        // Another program holding the file for itself: nothing can be read.
        RawConnection other(path);
        ASSERT_EQ(other.Exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE"), SQLITE_OK);
        EXPECT_FALSE(JournalStore::Open(path, &err));
        EXPECT_NE(err.find("is in use by another program"), std::string::npos) << err;
        other.Exec("ROLLBACK");
    }
    EXPECT_EQ(ReadBytes(path), withSecond);
    EXPECT_EQ(FilesUnder(dir.path()), std::set<std::string>{"journal.sqlite3"});
}

TEST(JournalRefusal, ReadOnlyJournalOpensForReadingAndRefusesChanges) {
    TempDir dir;
    AsUnprivileged(dir.path(), [&] {
        const std::string path = dir / "journal.sqlite3";
        const std::int64_t id = Keep(*OpenOrFail(path), Entry(Oracle::YesNo, "kept"));
        const std::string before = ReadBytes(path);
        auto tryEverything = [&](const char* what) {
            SCOPED_TRACE(what);
            auto store = OpenOrFail(path);
            ASSERT_TRUE(store);
            EXPECT_TRUE(store->ReadOnly());
            EXPECT_EQ(Questions(*store, "kept"), std::vector<std::string>{"kept"});
            std::string err;
            JournalEntry entry = Entry(Oracle::YesNo, "refused");
            EXPECT_FALSE(store->Add(entry, &err));
            EXPECT_NE(err.find("cannot be written"), std::string::npos) << err;
            EXPECT_NE(err.find(path), std::string::npos) << err;
            EXPECT_FALSE(store->SetNotes(id, "refused", &err));
            EXPECT_FALSE(store->Delete(id, &err));
            store.reset();
            EXPECT_EQ(ReadBytes(path), before);
            EXPECT_EQ(FilesUnder(dir.path()), std::set<std::string>{"journal.sqlite3"});
        };
        ::chmod(dir.path().c_str(), 0555);
        tryEverything("read-only folder");
        ::chmod(dir.path().c_str(), 0755);
        ::chmod(path.c_str(), 0444);
        tryEverything("read-only file");
        // No journal yet in a read-only folder: nothing to read, and keeping
        // says why it cannot.
        ::chmod(dir.path().c_str(), 0555);
        auto store = OpenOrFail(dir / "other.sqlite3");
        ASSERT_TRUE(store);
        EXPECT_TRUE(store->ReadOnly());
        std::string err;
        JournalEntry entry = Entry(Oracle::YesNo, "refused");
        EXPECT_FALSE(store->Add(entry, &err));
        EXPECT_NE(err.find("cannot be written"), std::string::npos) << err;
    });
}

TEST(JournalRefusal, DamagedForeignAndNewerJournalsAreLeftByteForByte) {
    TempDir dir;
    const std::string good = dir / "good.sqlite3";
    {
        auto store = OpenOrFail(good);
        for (int i = 0; i < 200; ++i) Keep(*store, Entry(Oracle::YesNo, std::string(200, 'q')));
    }
    const std::string goodBytes = ReadBytes(good);
    std::mt19937 random(11);
    std::string noise(8192, '\0');
    for (char& c : noise) c = static_cast<char>(random());

    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"random bytes", [&](const std::string& p) { WriteBytes(p, noise); }, "is damaged"},
        {"truncated database", [&](const std::string& p) { WriteBytes(p, goodBytes.substr(0, goodBytes.size() / 2)); },
         "is damaged"},
        {"cut inside the header", [&](const std::string& p) { WriteBytes(p, goodBytes.substr(0, 60)); }, "is damaged"},
        {"another program's database",
         [&](const std::string& p) { RawConnection(p).Exec("CREATE TABLE entries (x); INSERT INTO entries VALUES (1)"); },
         "is not a Sagewend journal"},
        {"newer version",
         [&](const std::string& p) {
             WriteBytes(p, goodBytes);
             RawConnection(p).Exec("PRAGMA user_version = 3");
         },
         "was made by a newer version of Sagewend"},
        // A damaged header is damage, whatever its version field holds.
        // Its version field reads 0x11111111, far above this version's.
        {"header overwritten past its first sixteen bytes",
         [&](const std::string& p) { WriteBytes(p, goodBytes.substr(0, 16) + std::string(84, '\x11') + goodBytes.substr(100)); },
         "is damaged"},
        {"a later version from another program",
         [&](const std::string& p) { RawConnection(p).Exec("CREATE TABLE t (x); PRAGMA user_version = 7"); },
         "is not a Sagewend journal"},
        {"one page short",
         [&](const std::string& p) { WriteBytes(p, goodBytes.substr(0, goodBytes.size() - 4096)); }, "is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir caseDir;
        const std::string path = caseDir / "journal.sqlite3";
        c.make(path);
        const std::string before = ReadBytes(path);
        const auto files = FilesUnder(caseDir.path());
        std::string err;
        EXPECT_FALSE(JournalStore::Open(path, &err));
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_NE(err.find("\"" + path + "\""), std::string::npos) << err;
        EXPECT_EQ(ReadBytes(path), before);
        EXPECT_EQ(FilesUnder(caseDir.path()), files);
    }
}

// Damage past the header is for the integrity check, which does not hold
// up opening: the journal opens, and nothing is ever written into it.
TEST(JournalRefusal, DamageInsideIsFoundBeforeAnyChangeAndNothingIsWritten) {
    for (const bool quickCheckPasses : {false, true}) {
        SCOPED_TRACE(quickCheckPasses ? "an index that does not match its table" : "a page overwritten");
        TempDir dir;
        const std::string path = dir / "journal.sqlite3";
        {
            auto store = OpenOrFail(path);
            for (int i = 0; i < 300; ++i) Keep(*store, Entry(Oracle::YesNo, "question " + std::to_string(i)));
        }
        if (quickCheckPasses) {
            // The index is declared on other columns than it holds: only the
            // full integrity check compares an index with its table.
            RawConnection raw(path);
            ASSERT_EQ(raw.Exec("PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, "
                               "'(kept_utc, id)', '(oracle, id)') WHERE name = 'entries_by_time'"),
                      SQLITE_OK);
        }
        std::string bytes = ReadBytes(path);
        ASSERT_GT(bytes.size(), 4096u * 4);
        // Every byte of the third page but its first: a table page no more.
        if (!quickCheckPasses)
            for (std::size_t i = 2 * 4096 + 1; i < 3 * 4096; ++i) bytes[i] = static_cast<char>(0x5A);
        WriteBytes(path, bytes);
        const auto files = FilesUnder(dir.path());

        std::string err;
        auto store = JournalStore::Open(path, &err);
        ASSERT_TRUE(store) << err;
        JournalEntry entry = Entry(Oracle::YesNo, "never kept");
        EXPECT_FALSE(store->Add(entry, &err));
        EXPECT_NE(err.find("is damaged"), std::string::npos) << err;
        EXPECT_EQ(entry.id, 0);
        EXPECT_FALSE(store->SetNotes(1, "no", &err));
        EXPECT_FALSE(store->Delete(1, &err));
        std::vector<JournalEntry> entries;
        EXPECT_FALSE(store->List(JournalQuery(), JournalStore::kNewest, 50, &entries, &err));
        EXPECT_NE(err.find("is damaged"), std::string::npos) << err;
        store.reset();
        EXPECT_EQ(ReadBytes(path), bytes);
        EXPECT_EQ(FilesUnder(dir.path()), files);
    }
}

// Runs write in a child process that reports numbers into the pipe it is
// given, and kills it at a random moment once it has reported one, however
// slow the disk is today (a child that is done waits for the kill). What
// it reported before it died comes back in reported.
void KillWhileWriting(std::mt19937& random, unsigned maxDelayUs, const std::function<void(int)>& write,
                      std::vector<std::int64_t>* reported) {
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        write(report[1]);
        ::pause();
    }
    ::close(report[1]);
    std::int64_t value = 0;
    if (::read(report[0], &value, sizeof value) == sizeof value) reported->push_back(value);
    ::usleep(static_cast<useconds_t>(random() % maxDelayUs));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the child ended with " << status;
    while (::read(report[0], &value, sizeof value) == sizeof value) reported->push_back(value);
    ::close(report[0]);
}

TEST(JournalKill, EveryReportedEntrySurvivesAKilledWriter) {
    TempDir dir;
    const std::string path = dir / "journal.sqlite3";
    std::mt19937 random(5);
    std::size_t reportedInAll = 0;
    for (int round = 0; round < 100; ++round) {
        std::vector<std::int64_t> reported;
        KillWhileWriting(random, 30000, [&](int report) {
            std::string err;
            auto store = JournalStore::Open(path, &err);
            if (!store) ::_exit(2);
            for (;;) {
                JournalEntry entry = Entry(Oracle::IChing, "round " + std::to_string(round), "", std::string(500, 'n'));
                if (!store->Add(entry, &err)) ::_exit(3);
                if (::write(report, &entry.id, sizeof entry.id) != sizeof entry.id) ::_exit(4);
            }
        }, &reported);
        ASSERT_FALSE(HasFailure()) << "round " << round;
        reportedInAll += reported.size();

        auto store = OpenOrFail(path);
        ASSERT_TRUE(store) << "round " << round;
        for (std::int64_t kept : reported) {
            JournalEntry entry;
            std::string err;
            ASSERT_TRUE(store->Get(kept, &entry, &err)) << "round " << round << ", id " << kept << ": " << err;
            EXPECT_EQ(entry.question, "round " + std::to_string(round));
        }
    }
    EXPECT_GE(reportedInAll, 100u);
    RecordProperty("reported", static_cast<int>(reportedInAll));
}

// ---- a journal of the first version -------------------------------------------

// tests/unit/fixtures/journal-v1.sqlite3 (its README says how it was made):
// three readings, two casts and two answers.
const std::string kFirstVersion = std::string(SAGEWEND_SOURCE_DIR) + "/tests/unit/fixtures/journal-v1.sqlite3";

// Every row of the entries table, as another program reads it.
std::vector<std::string> RawEntries(const std::string& path) {
    RawConnection raw(path);
    sqlite3_stmt* rows = nullptr;
    std::vector<std::string> entries;
    EXPECT_EQ(sqlite3_prepare_v2(raw.db, "SELECT * FROM entries ORDER BY id", -1, &rows, nullptr), SQLITE_OK);
    while (sqlite3_step(rows) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(rows); ++c)
            row += std::string(reinterpret_cast<const char*>(sqlite3_column_text(rows, c))) + "|";
        entries.push_back(row);
    }
    sqlite3_finalize(rows);
    return entries;
}

std::vector<std::int64_t> Found(JournalStore& store, const std::string& search) {
    std::vector<std::int64_t> ids;
    for (const auto& entry : Searched(store, search)) ids.push_back(entry.id);
    return ids;
}

TEST(JournalMigration, AFirstVersionJournalIsFoundByWhatCameUpAndKeepsEveryEntry) {
    TempDir dir;
    const std::string path = dir / "journal.sqlite3";
    WriteBytes(path, ReadBytes(kFirstVersion));
    const std::vector<std::string> before = RawEntries(path);
    ASSERT_EQ(before.size(), 7u);
    {
        auto store = OpenOrFail(path);
        ASSERT_TRUE(store);
        using Ids = std::vector<std::int64_t>;
        // Each reading by the names of its cards, with their orientation.
        EXPECT_EQ(Found(*store, "Justice"), Ids{1});
        EXPECT_EQ(Found(*store, "four cups"), Ids{1});
        EXPECT_EQ(Found(*store, "\"Four of Cups (reversed)\""), Ids{1});
        EXPECT_EQ(Found(*store, "\"King of Pentacles (reversed)\""), Ids{});
        EXPECT_EQ(Found(*store, "\"Six of Pentacles (reversed)\" \"nine of wands\""), Ids{2});
        EXPECT_EQ(Found(*store, "\"Four of Pentacles\""), Ids{2});
        EXPECT_EQ(Found(*store, "Four of Pentacles"), (Ids{2, 1}));  // words, not a phrase: Four of Cups and King of Pentacles
        EXPECT_EQ(Found(*store, "Hierophant"), Ids{3});
        EXPECT_EQ(Found(*store, "pentacles"), (Ids{2, 1}));
        // By layout and deck.
        EXPECT_EQ(Found(*store, "celtic"), Ids{});
        EXPECT_EQ(Found(*store, "simple cross"), Ids{2});
        EXPECT_EQ(Found(*store, "classic tarot"), (Ids{3, 2, 1}));
        // The casts by hexagram, number and name; the answers by answer.
        EXPECT_EQ(Found(*store, "33"), Ids{4});
        EXPECT_EQ(Found(*store, "withdrawal"), Ids{4});
        EXPECT_EQ(Found(*store, "15 humility"), Ids{5});
        EXPECT_EQ(Found(*store, "perhaps"), Ids{6});
        // Notes are found as before, and the newest stays first.
        EXPECT_EQ(Found(*store, "beans"), Ids{7});
        EXPECT_EQ(Listed(*store, JournalQuery()).front().id, 7);
        EXPECT_GT(Keep(*store, Entry(Oracle::YesNo, "after")), 7);
        EXPECT_EQ(Listed(*store, JournalQuery()).front().question, "after");
    }
    std::vector<std::string> after = RawEntries(path);
    ASSERT_EQ(after.size(), 8u);
    after.pop_back();
    EXPECT_EQ(after, before) << "no entry of the first version changes";
    RawConnection raw(path);
    sqlite3_stmt* version = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw.db, "PRAGMA user_version", -1, &version, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(version), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(version, 0), 2);
    sqlite3_finalize(version);
}

TEST(JournalMigration, AJournalThatCannotBeBroughtUpToDateIsLeftAsItWas) {
    TempDir dir;
    const std::string path = dir / "journal.sqlite3";
    WriteBytes(path, ReadBytes(kFirstVersion));
    // Something of another program's in the way of the new tables.
    ASSERT_EQ(RawConnection(path).Exec("CREATE TABLE entry_text (x)"), SQLITE_OK);
    const std::string bytes = ReadBytes(path);
    const auto files = FilesUnder(dir.path());
    std::string err;
    EXPECT_FALSE(JournalStore::Open(path, &err));
    EXPECT_NE(err.find("could not be brought up to date"), std::string::npos) << err;
    EXPECT_NE(err.find("left as it is"), std::string::npos) << err;
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(FilesUnder(dir.path()), files);
}

// ---- export and import ------------------------------------------------------------

// The JSON Lines export of a journal, as the download hands it over.
std::string JsonLinesOf(JournalStore& store) {
    std::string err;
    auto reader = store.Reader(false, &err);
    EXPECT_TRUE(reader) << err;
    const HexagramTable hexagrams;
    JournalExport out(std::move(reader), JournalExport::Kind::JsonLines, hexagrams);
    std::string text, piece;
    while (out.Next(&piece)) text += piece;
    EXPECT_TRUE(out.Complete());
    return text;
}

// Imports text in pieces of pieceBytes, as the page sends a file.
JournalImport ImportText(JournalStore& store, const std::string& text, std::size_t pieceBytes) {
    JournalImport import("export.jsonl");
    std::string err;
    for (std::size_t at = 0; at == 0 || at < text.size(); at += pieceBytes) {
        const bool last = at + pieceBytes >= text.size();
        EXPECT_TRUE(import.Feed(store, std::string_view(text).substr(at, pieceBytes), last, &err)) << err;
    }
    return import;
}

std::vector<std::string> Described(const std::vector<JournalEntry>& entries) {
    std::vector<std::string> described;
    for (const auto& entry : entries)
        described.push_back(entry.keptAt + "|" + std::to_string(static_cast<int>(entry.oracle)) + "|" + entry.question +
                            "|" + entry.notes + "|" + nlohmann::json::parse(entry.result).dump());
    return described;
}

TEST(JournalImport, AnExportImportsAsTheSameEntriesOnceAndDamagedLinesAreNamed) {
    TempDir dir;
    const std::string first = dir / "first.sqlite3";
    WriteBytes(first, ReadBytes(kFirstVersion));
    auto source = OpenOrFail(first);
    ASSERT_TRUE(source);
    Keep(*source, Entry(Oracle::IChing, "Zo\xC3\xAB's \"line\"\nbreak", "2026-12-07T14:03:11+01:00", "notes\r\nhere"));
    const std::string exported = JsonLinesOf(*source);
    EXPECT_EQ(std::count(exported.begin(), exported.end(), '\n'), 8);

    auto target = OpenOrFail(dir / "second.sqlite3");
    // Pieces that cut lines, and characters, anywhere.
    const JournalImport import = ImportText(*target, exported, 97);
    EXPECT_EQ(import.Imported(), 8u);
    EXPECT_EQ(import.Known(), 0u);
    EXPECT_TRUE(import.Skipped().empty());
    EXPECT_EQ(Described(AllEntries(*target)), Described(AllEntries(*source)));
    EXPECT_EQ(Found(*target, "Hierophant").size(), 1u);

    // Again, with notes written since and a damaged line or two: what is
    // there already is recognised, the rest imported, the damage named.
    std::string again = exported;
    const std::size_t second = again.find('\n') + 1;
    again.insert(second, "{\"keptAt\": \"2026-12-07T15:00:00Z\", \"oracle\": \"iching\", \"question\": \"cut off\"\n"
                         "not JSON at all\r\n\n");
    again += EntryJsonLine(Entry(Oracle::YesNo, "new one", "2026-12-08T09:00:00+00:00")) + "\n";
    again += R"({"keptAt": "yesterday", "oracle": "yesno", "question": "", "result": {"answer": 1}})" "\n";
    again += R"({"keptAt": "2026-12-08T09:00:00Z", "oracle": "tarot", "question": "", "result": {}})";
    std::string err;
    const std::int64_t newest = Listed(*target, JournalQuery()).front().id;
    ASSERT_TRUE(target->SetNotes(newest, "written since", &err)) << err;
    const JournalImport repeat = ImportText(*target, again, 64);
    EXPECT_EQ(repeat.Imported(), 1u);
    EXPECT_EQ(repeat.Known(), 8u);
    ASSERT_EQ(repeat.Skipped().size(), 4u);
    EXPECT_EQ(repeat.Skipped()[0].first, 2u);
    EXPECT_EQ(repeat.Skipped()[1].first, 3u);
    EXPECT_EQ(repeat.Skipped()[2].first, 13u);
    EXPECT_EQ(repeat.Skipped()[3].first, 14u);
    const std::string report = repeat.Report();
    EXPECT_NE(report.find("Imported 1 entry from \"export.jsonl\"."), std::string::npos) << report;
    EXPECT_NE(report.find("8 entries were in the journal already"), std::string::npos) << report;
    EXPECT_NE(report.find("4 lines could not be read and were skipped: line 2 ("), std::string::npos) << report;
    EXPECT_NE(report.find("line 14 (it names no oracle the journal knows)"), std::string::npos) << report;
    EXPECT_EQ(AllEntries(*target).size(), 9u);
    JournalEntry noted;
    ASSERT_TRUE(target->Get(newest, &noted, &err)) << err;
    EXPECT_EQ(noted.notes, "written since");  // left as it is
}

TEST(JournalImport, EveryPieceImportedBeforeAKillIsThereWhole) {
    // The file to import: 300 entries, in pieces of about ten lines.
    std::string text;
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) {
        JournalEntry entry = Entry(i % 2 ? Oracle::IChing : Oracle::YesNo, "entry " + std::to_string(i),
                                   Format("2026-01-01T10:%02d:%02d+00:00", i / 60, i % 60), std::string(300, 'n'));
        lines.push_back(EntryJsonLine(entry));
        text += lines.back() + "\n";
    }
    const std::size_t pieceBytes = lines[0].size() * 10 + 5;
    std::mt19937 random(25);
    std::size_t reportedInAll = 0;
    for (int round = 0; round < 40; ++round) {
        TempDir dir;
        const std::string path = dir / "journal.sqlite3";
        std::vector<std::int64_t> counts;
        KillWhileWriting(random, 60000, [&](int report) {
            std::string err;
            auto store = JournalStore::Open(path, &err);
            if (!store) ::_exit(2);
            JournalImport import("export.jsonl");
            for (std::size_t at = 0; at < text.size(); at += pieceBytes) {
                if (!import.Feed(*store, std::string_view(text).substr(at, pieceBytes), at + pieceBytes >= text.size(),
                                 &err))
                    ::_exit(3);
                const auto imported = static_cast<std::int64_t>(import.Imported());
                if (::write(report, &imported, sizeof imported) != sizeof imported) ::_exit(4);
            }
        }, &counts);
        ASSERT_FALSE(HasFailure()) << "round " << round;
        const std::size_t reported = counts.empty() ? 0 : static_cast<std::size_t>(counts.back());
        reportedInAll += reported;

        auto store = OpenOrFail(path);
        ASSERT_TRUE(store) << "round " << round;
        std::vector<JournalEntry> kept = AllEntries(*store);
        ASSERT_GE(kept.size(), reported) << "round " << round;
        // Whole pieces only: the entries are the file's first lines, and
        // the pieces end where a piece does.
        std::reverse(kept.begin(), kept.end());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            JournalEntry line;
            std::string why;
            ASSERT_TRUE(ReadEntryJsonLine(lines[i], &line, &why)) << why;
            EXPECT_EQ(kept[i].question, line.question) << "round " << round;
            EXPECT_EQ(kept[i].notes, line.notes) << "round " << round;
        }
        std::set<std::size_t> wholePieces;
        for (std::size_t end = 0;; end += pieceBytes) {
            wholePieces.insert(static_cast<std::size_t>(
                std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(end, text.size())), '\n')));
            if (end >= text.size()) break;
        }
        EXPECT_TRUE(wholePieces.count(kept.size())) << "round " << round << ": " << kept.size() << " entries end inside a piece";
    }
    EXPECT_GE(reportedInAll, 300u);
    RecordProperty("reported", static_cast<int>(reportedInAll));
}

// ---- Markdown ---------------------------------------------------------------

bool HasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST(JournalMarkdown, EachKindShowsWhatAReaderNeeds) {
    const HexagramTable hexagrams;
    JournalEntry reading = Entry(Oracle::Reading, "# Will the *move* go well?", "2026-12-07T14:03:11+01:00",
                                 "Line one\nLine two\n\n1. not a list");
    reading.result = R"({"layout": {"name": "Three in a row", "rows": 1, "columns": 3,
        "grid": [["3", " ", "1"]], "positions": ["Past|What has led here", "Present|Where things stand",
        "|Future|Where things lead"]},
      "deck": {"directory": "Alpha", "cards": {
        "0": {"number": "00", "name": "First Card", "meaning": "Upright text", "reversedMeaning":
              "Reversed &amp; <B>bold</B>,<BR>second line.", "imageExtension": "jpg", "reversedImageSuffix": "r",
              "hasReversedImage": true},
        "1": {"number": "01", "name": "Second Card", "meaning": "Second &lt;meaning&gt;", "reversedMeaning": "",
              "imageExtension": "jpg", "reversedImageSuffix": "", "hasReversedImage": false}}},
      "dealt": [{"row": 0, "column": 0, "position": 2, "card": 1, "roll": 1, "reversed": 0},
                {"row": 0, "column": 2, "position": 0, "card": 0, "roll": 1, "reversed": 1}],
      "reversedAllowed": true})";
    const std::string md = EntryMarkdown(reading, hexagrams);
    EXPECT_TRUE(HasLine(md, "# 2026-12-07 14:03 \xE2\x80\x94 Card reading")) << md;
    EXPECT_TRUE(HasLine(md, "> \\# Will the \\*move\\* go well?")) << md;
    EXPECT_TRUE(HasLine(md, "**Layout:** Three in a row  ")) << md;
    EXPECT_TRUE(HasLine(md, "**Deck:** Alpha")) << md;
    EXPECT_TRUE(HasLine(md, "## 1. Past: First Card (reversed)")) << md;
    EXPECT_TRUE(HasLine(md, "*What has led here*")) << md;
    EXPECT_TRUE(HasLine(md, "Reversed & bold,  ")) << md;
    EXPECT_TRUE(HasLine(md, "second line.")) << md;
    EXPECT_TRUE(HasLine(md, "## 3. Future: Second Card")) << md;
    EXPECT_TRUE(HasLine(md, "*Where things lead*")) << md;
    EXPECT_TRUE(HasLine(md, "Second \\<meaning\\>")) << md;
    EXPECT_EQ(md.find("Upright text"), std::string::npos) << md;  // the card lies reversed
    EXPECT_LT(md.find("1. Past"), md.find("3. Future")) << md;
    EXPECT_TRUE(HasLine(md, "## Notes")) << md;
    EXPECT_TRUE(HasLine(md, "Line one  ")) << md;
    EXPECT_TRUE(HasLine(md, "1\\. not a list")) << md;

    // Line 1 moves: hexagram 1 changes into hexagram 44.
    JournalEntry cast = Entry(Oracle::IChing, "And the cast?", "2026-12-07T15:00:00+01:00");
    cast.result = R"({"draws": [3, 2, 2, 2, 2, 2]})";
    const std::string castMd = EntryMarkdown(cast, hexagrams);
    const HexagramEntry& present = *hexagrams.Find("_888888");
    EXPECT_TRUE(HasLine(castMd, "## Present hexagram: 1 Qian \xE2\x80\x94 " + present[kEnglishName])) << castMd;
    EXPECT_TRUE(HasLine(castMd, "## Moving lines")) << castMd;
    EXPECT_TRUE(HasLine(castMd, "Nine at the beginning:  ")) << castMd;
    EXPECT_NE(castMd.find("A dragon lies hidden in the deep. Do not act."), std::string::npos) << castMd;
    EXPECT_EQ(castMd.find("Nine in the second place"), std::string::npos) << castMd;
    const HexagramEntry& changed = *hexagrams.Find("_788888");
    EXPECT_TRUE(HasLine(castMd, "## Changed hexagram: 44 " + changed[kRomanisedName] + " \xE2\x80\x94 " +
                                    changed[kEnglishName]))
        << castMd;
    EXPECT_EQ(castMd.find("<BR>"), std::string::npos) << castMd;

    JournalEntry answer = Entry(Oracle::YesNo, "", "2026-12-07T16:00:00+01:00");
    answer.result = R"({"answer": 9, "text": "Maybe the question is not the right one?"})";
    const std::string answerMd = EntryMarkdown(answer, hexagrams);
    EXPECT_TRUE(HasLine(answerMd, "*No question was asked.*")) << answerMd;
    EXPECT_TRUE(HasLine(answerMd, "**Answer:** Maybe the question is not the right one?")) << answerMd;

    JournalEntry broken = Entry(Oracle::IChing, "Broken", "2026-12-07T17:00:00+01:00");
    for (const char* damaged : {R"({"draws": [1, 2, 7]})", R"({"draws": [4294967296, 2, 2, 2, 2, 2]})"}) {
        broken.result = damaged;
        EXPECT_NE(EntryMarkdown(broken, hexagrams).find("The stored result could not be read."), std::string::npos)
            << damaged;
    }

    // Whatever a question, a note or a deck's text holds, no line of the
    // export starts Markdown structure: a bare CR is a line end like any
    // other, and each line's start is escaped.
    JournalEntry hostile = Entry(Oracle::Reading, "Fine?\r# Heading\r> quote\r- item\r```\r    code",
                                 "2026-12-07T18:00:00+01:00", "a\r\n# h\rb\r    indented\r1. one\r`tick`\r+ plus");
    hostile.result = R"({"layout": {"name": "L\r# layout", "rows": 1, "columns": 1, "grid": [["1"]],
        "positions": ["Title\r# t|About\r- d"]},
      "deck": {"directory": "D", "cards": {"0": {"number": "00", "name": "N\r# n",
        "meaning": "Start&#13;# Heading&#13;- item&#13;&gt; quote&#13;    code&#13;```js&#13;&#10;    deeper",
        "reversedMeaning": "", "imageExtension": "jpg", "reversedImageSuffix": "", "hasReversedImage": false}}},
      "dealt": [{"row": 0, "column": 0, "position": 0, "card": 0, "roll": 0, "reversed": 0}],
      "reversedAllowed": false})";
    const std::string hostileMd = EntryMarkdown(hostile, hexagrams);
    EXPECT_EQ(hostileMd.find('\r'), std::string::npos);
    for (const char* line : {"> Fine?  ", "> \\# Heading  ", "> \\> quote  ", "> \\- item  ",
                                    "> \\`\\`\\`  ", "> code", "\\# h  ", "b  ", "indented  ", "1\\. one  ",
                                    "\\`tick\\`  ", "\\+ plus", "Start  ", "\\# Heading  ", "\\- item  ",
                                    "\\> quote  ", "code  ", "\\`\\`\\`js  ", "deeper", "*About - d*",
                                    "**Layout:** L \\# layout  ", "## 1. Title \\# t: N \\# n"})
        EXPECT_TRUE(HasLine(hostileMd, line)) << line << " in\n" << hostileMd;
    std::size_t start = 0;
    while (start < hostileMd.size()) {
        const std::size_t end = hostileMd.find('\n', start);
        const std::string line = hostileMd.substr(start, end - start);
        start = end + 1;
        EXPECT_FALSE(line.starts_with("    ") || line.starts_with("\t") || line.starts_with("- ") ||
                     line.starts_with("```") || line.starts_with("1.") || line.starts_with("+ "))
            << line;
        if (line.starts_with("#")) {
            EXPECT_TRUE(line.starts_with("# 2026") || line.starts_with("## 1.") || line == "## Notes") << line;
        }
        if (line.starts_with(">")) {
            EXPECT_TRUE(line.starts_with("> ") && !line.starts_with("> >")) << line;
        }
    }

    // The whole journal: a title, then the entries newest first.
    const std::string all = JournalMarkdown({reading, answer, cast}, hexagrams);
    EXPECT_EQ(all.rfind("# Sagewend journal\n", 0), 0u) << all;
    const auto readingAt = all.find("\n## 2026-12-07 14:03 \xE2\x80\x94 Card reading\n");
    const auto castAt = all.find("\n## 2026-12-07 15:00 \xE2\x80\x94 I Ching\n");
    const auto answerAt = all.find("\n## 2026-12-07 16:00 \xE2\x80\x94 Yes/No\n");
    ASSERT_NE(readingAt, std::string::npos) << all;
    EXPECT_LT(answerAt, castAt);
    EXPECT_LT(castAt, readingAt);
    EXPECT_TRUE(HasLine(all, "### 1. Past: First Card (reversed)")) << all;
}

}  // namespace
}  // namespace sw
