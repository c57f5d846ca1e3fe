// A line of a file offered for import into the journal, of any content:
// it is read as an entry or refused with a reason, never a crash; what it
// is found by and counted as can be derived from an entry it reads; and an
// entry read is written back as a line that reads as the same entry.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "journal/journal_export.h"
#include "journal/journal_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    sw::JournalEntry entry;
    std::string why;
    if (!sw::ReadEntryJsonLine(line, &entry, &why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    const sw::EntryFacts facts = sw::FactsOf(entry.oracle, entry.result);
    if (entry.oracle == sw::Oracle::YesNo && facts.answer < 0) std::abort();
    sw::JournalEntry again;
    if (!sw::ReadEntryJsonLine(sw::EntryJsonLine(entry), &again, &why)) std::abort();
    if (again.keptAt != entry.keptAt || again.oracle != entry.oracle || again.question != entry.question ||
        again.notes != entry.notes || sw::CanonicalResult(again.result) != sw::CanonicalResult(entry.result))
        std::abort();
    return 0;
}
