#include "app/quote_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <string_view>

namespace {

// The home page pastes both texts into element content unescaped, and its
// fragment is composed with printf-style formats, so these rules keep the page intact.

bool IsPlainAscii(std::string_view text) {
    for (unsigned char ch : text) {
        if (ch < 0x20 || ch > 0x7e) return false;
    }
    return true;
}

// Every '<' must open "<BR>" and every '>' must close one.
bool OnlyLineBreakMarkup(std::string_view text) {
    std::string rest(text);
    for (std::size_t at = rest.find("<BR>"); at != std::string::npos; at = rest.find("<BR>")) {
        rest.erase(at, 4);
    }
    return rest.find('<') == std::string::npos && rest.find('>') == std::string::npos;
}

TEST(QuoteTable, HoldsExactlyTheAdvertisedNumberOfEntries) {
    EXPECT_EQ(sw::QuoteTable.size(), 199u);
    EXPECT_EQ(static_cast<int>(sw::QuoteTable.size()), sw::kQuoteCount);
}

TEST(QuoteTable, EveryEntryIsSafeToPlaceOnThePage) {
    for (std::size_t i = 0; i < sw::QuoteTable.size(); ++i) {
        const sw::Quote& quote = sw::QuoteTable[i];
        SCOPED_TRACE("entry " + std::to_string(i));
        ASSERT_NE(quote.text, nullptr);
        ASSERT_NE(quote.attribution, nullptr);
        const std::string_view text = quote.text;
        const std::string_view attribution = quote.attribution;

        EXPECT_FALSE(text.empty());
        EXPECT_FALSE(attribution.empty());
        EXPECT_LE(text.size(), 180u);
        EXPECT_LE(attribution.size(), 29u);

        EXPECT_TRUE(IsPlainAscii(text)) << text;
        EXPECT_TRUE(IsPlainAscii(attribution)) << attribution;

        EXPECT_EQ(text.find('"'), std::string_view::npos) << text;
        EXPECT_EQ(attribution.find('"'), std::string_view::npos) << attribution;
        EXPECT_EQ(text.find('%'), std::string_view::npos) << text;
        EXPECT_EQ(attribution.find('%'), std::string_view::npos) << attribution;

        EXPECT_TRUE(OnlyLineBreakMarkup(text)) << text;
        EXPECT_EQ(attribution.find_first_of("<>"), std::string_view::npos) << attribution;
    }
}

TEST(QuoteTable, SomeVerseKeepsItsLineBreaks) {
    int withBreaks = 0;
    for (const sw::Quote& quote : sw::QuoteTable) {
        if (std::strstr(quote.text, "<BR>") != nullptr) ++withBreaks;
    }
    EXPECT_GT(withBreaks, 0);
}

TEST(QuoteTable, QuotationsAreAllDifferent) {
    std::set<std::string_view> seen;
    for (const sw::Quote& quote : sw::QuoteTable) {
        EXPECT_TRUE(seen.insert(quote.text).second) << "repeated: " << quote.text;
    }
}

TEST(QuoteTable, AttributionsRepeatButStayVaried) {
    std::set<std::string_view> attributions;
    for (const sw::Quote& quote : sw::QuoteTable) attributions.insert(quote.attribution);
    EXPECT_LT(attributions.size(), sw::QuoteTable.size());
    EXPECT_GE(attributions.size(), 50u);
}

// One author, one name: "Emerson" beside "Ralph Waldo Emerson", or
// "Shakespeare, Hamlet" beside "William Shakespeare", splits an author in two.
TEST(QuoteTable, EachAuthorIsCreditedInOneForm) {
    std::set<std::string_view> attributions;
    for (const sw::Quote& quote : sw::QuoteTable) attributions.insert(quote.attribution);
    for (std::string_view shorter : attributions) {
        for (std::string_view longer : attributions) {
            if (shorter == longer) continue;
            const std::string asSurname = " " + std::string(shorter);
            const std::string withTitle = std::string(shorter) + ", ";
            EXPECT_FALSE(longer.ends_with(asSurname)) << shorter << " / " << longer;
            EXPECT_FALSE(longer.starts_with(withTitle)) << shorter << " / " << longer;
        }
    }
}

// A malformed checker would pass everything; make sure it rejects what it should.
TEST(QuoteTable, MarkupCheckRejectsOtherTags) {
    EXPECT_TRUE(OnlyLineBreakMarkup("one<BR>two <BR> three"));
    EXPECT_FALSE(OnlyLineBreakMarkup("one<br>two"));
    EXPECT_FALSE(OnlyLineBreakMarkup("<B>bold</B>"));
    EXPECT_FALSE(OnlyLineBreakMarkup("a > b"));
    EXPECT_FALSE(IsPlainAscii("caf\xc3\xa9"));
    EXPECT_FALSE(IsPlainAscii("tab\there"));
}

}  // namespace
