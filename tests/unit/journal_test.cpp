// The journal: entries kept and read back, search, notes and deletion;
// journals that cannot be used left exactly as they were; a writer killed
// mid-loop losing nothing it reported kept; the Markdown export.
#include <gtest/gtest.h>
#include <grp.h>
#include <sqlite3.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <ctime>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "iching/hexagram_table.h"
#include "journal/journal_markdown.h"
#include "journal/journal_store.h"
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

std::vector<std::string> Questions(JournalStore& store, const std::string& search) {
    std::vector<JournalEntry> entries;
    std::string err;
    EXPECT_TRUE(store.List(search, &entries, &err)) << err;
    std::vector<std::string> questions;
    for (const auto& entry : entries) questions.push_back(entry.question);
    return questions;
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

TEST(JournalStore, ListsNewestFirstAndFindsEveryWordLiterally) {
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
    EXPECT_EQ(Questions(*store, "new"), (Q{"Should I take the NEW job?", "A new house"}));
    EXPECT_EQ(Questions(*store, "  JOB\tnew "), Q{"Should I take the NEW job?"});
    EXPECT_EQ(Questions(*store, "job house"), Q{});      // every word, not any
    EXPECT_EQ(Questions(*store, "sure job"), Q{"Should I take the NEW job?"});  // question and notes together
    EXPECT_EQ(Questions(*store, "10%"), Q{"Should I take the NEW job?"});
    EXPECT_EQ(Questions(*store, "d_f"), Q{"Old_friend"});
    EXPECT_EQ(Questions(*store, "%"), Q{"Should I take the NEW job?"});
    EXPECT_EQ(Questions(*store, "i'm"), Q{"Should I take the NEW job?"});
    EXPECT_EQ(Questions(*store, "\"quoted\""), Q{"Same moment, kept later"});
    EXPECT_EQ(Questions(*store, "ZO\xC3\xAB"), Q{"A new house"});

    // The export's listing: the same order, with the results.
    std::vector<JournalEntry> all;
    std::string err;
    ASSERT_TRUE(store->All(&all, &err)) << err;
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[1].question, "An odd fish");
    EXPECT_EQ(all[1].result, R"({"draws": [1, 1, 2, 2, 0, 3]})");
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
             RawConnection(p).Exec("PRAGMA user_version = 2");
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
        EXPECT_FALSE(store->List("", &entries, &err));
        EXPECT_NE(err.find("is damaged"), std::string::npos) << err;
        store.reset();
        EXPECT_EQ(ReadBytes(path), bytes);
        EXPECT_EQ(FilesUnder(dir.path()), files);
    }
}

TEST(JournalKill, EveryReportedEntrySurvivesAKilledWriter) {
    TempDir dir;
    const std::string path = dir / "journal.sqlite3";
    std::mt19937 random(5);
    std::size_t reportedInAll = 0;
    for (int round = 0; round < 100; ++round) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(report[0]);
            std::string err;
            auto store = JournalStore::Open(path, &err);
            if (!store) ::_exit(2);
            for (int i = 0;; ++i) {
                JournalEntry entry = Entry(Oracle::IChing, "round " + std::to_string(round), "", std::string(500, 'n'));
                if (!store->Add(entry, &err)) ::_exit(3);
                if (::write(report[1], &entry.id, sizeof entry.id) != sizeof entry.id) ::_exit(4);
            }
        }
        ::close(report[1]);
        // Killed at a random moment once it is writing, however slow the
        // disk is today.
        std::vector<std::int64_t> reported;
        std::int64_t id = 0;
        if (::read(report[0], &id, sizeof id) == sizeof id) reported.push_back(id);
        ::usleep(static_cast<useconds_t>(random() % 30000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the writer ended with " << status;
        while (::read(report[0], &id, sizeof id) == sizeof id) reported.push_back(id);
        ::close(report[0]);
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
