#pragma once
// Markdown of journal entries, for the user to save or print. The stored
// result (JSON) is read here and nothing else: a deck, layout or table
// changed since the entry was kept does not change what the export says,
// except that a cast's texts come from the built-in hexagram table. Stored
// HTML becomes plain text and every piece of text is escaped, so nothing a
// user or a data file wrote turns into Markdown structure.
#include <string>
#include <string_view>
#include <vector>

#include "iching/hexagram_table.h"
#include "journal/journal_store.h"

namespace sw {

// One entry as a document of its own.
std::string EntryMarkdown(const JournalEntry& entry, const HexagramTable& hexagrams);
// The whole journal under a title, newest entry first whatever the order
// given.
std::string JournalMarkdown(const std::vector<JournalEntry>& entries, const HexagramTable& hexagrams);
// The same in pieces, for an export written as it is read: the title, then
// each entry (newest first), or the words for a journal with none.
std::string JournalMarkdownTitle();
std::string JournalMarkdownEntry(const JournalEntry& entry, const HexagramTable& hexagrams);
std::string JournalMarkdownEmpty();

// Stored HTML as plain text: "<BR>" and block tags end lines, other tags go,
// common entities are decoded.
std::string HtmlToText(std::string_view html);

}  // namespace sw
