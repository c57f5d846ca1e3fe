// Makes a journal for bench/journal.sh: in a data folder (the working
// directory, a copy of sample/), journal.sqlite3 with COUNT copies of one
// kept Celtic Cross reading, as the issue measured it, kept one every two
// hours back from the end of 2026, and one yes/no answer "needle in the
// haystack" halfway. The reading is dealt by the program's own code from
// the folder's deck with a fixed seed, Death among its cards, so a search
// for "Death" finds every copy. Kept through the store, a few thousand to a
// transaction.
//
//   journal_fill COUNT
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/random.h"
#include "journal/journal_result.h"
#include "journal/journal_store.h"
#include "store/oracle_data.h"

namespace {

constexpr int kDeath = 13;
constexpr std::size_t kBatch = 5000;

int Fail(const std::string& why) {
    std::fprintf(stderr, "journal_fill: %s\n", why.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage: journal_fill COUNT (in a data folder)");
    const long count = std::atol(argv[1]);
    sw::OracleData data;
    int layout = -1;
    for (int i = 0; i < data.layoutCount; ++i)
        if (data.LayoutAt(i).name == "Celtic Cross") layout = i;
    if (layout < 0 || data.deckCount < 1) return Fail("no Celtic Cross layout or no deck here");
    sw::SRand(25);
    std::string problem;
    if (data.RenderSpread(layout, 0, "Celtic Cross", true, &problem).empty()) return Fail(problem);
    std::vector<sw::DealtCard> dealt = data.lastDeal;
    bool death = false;
    for (const auto& card : dealt) death = death || card.card == kDeath;
    if (!death) dealt.front().card = kDeath;
    const std::string result = sw::ReadingResult(data.LayoutAt(layout), data.DeckAt(0), dealt, true);

    std::string err;
    auto store = sw::JournalStore::Open("journal.sqlite3", &err);
    if (!store) return Fail(err);
    // Newest last: the end of 2026, two hours apart.
    const std::int64_t end = 1798761600;  // 2027-01-01T00:00:00Z
    std::vector<sw::JournalEntry> batch;
    auto flush = [&]() {
        std::size_t added = 0;
        if (!store->AddMany(batch, &added, &err)) return false;
        batch.clear();
        return true;
    };
    for (long i = 0; i < count; ++i) {
        sw::JournalEntry entry;
        entry.keptAt = sw::LocalKeptAt(end - (count - i) * 7200);
        if (i == count / 2) {
            entry.oracle = sw::Oracle::YesNo;
            entry.question = "needle in the haystack";
            entry.result = sw::AnswerResult(3);
        } else {
            entry.oracle = sw::Oracle::Reading;
            entry.question = "What does the year hold?";
            entry.result = result;
        }
        batch.push_back(std::move(entry));
        if (batch.size() == kBatch && !flush()) return Fail(err);
    }
    if (!flush()) return Fail(err);
    return 0;
}
