#pragma once
// The markup the page keeps of a deck's texts. res/markup-policy.json is the
// policy the page's sanitiser is given for meanings; its bytes are built into
// the program too (generated/markup_policy.cpp), so the data tool's check
// reads the very same lists and can warn, before a deck is shared or
// used, about what the page would drop. The scanner here only warns: the
// page does the sanitising.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

// The policy file's bytes.
std::string_view MarkupPolicyJson();

struct DroppedMarkup {
    std::size_t offset = 0;  // where in the text the tag starts
    std::string what;        // a sentence's subject: "the tag <meta> ..."
};

// Every tag, attribute and picture source in html that the page would drop,
// in text order. Tags, event handlers, links, forms, refreshes, bases and
// "javascript:" addresses, which could reach outside the page, are named
// as such.
std::vector<DroppedMarkup> FindDroppedMarkup(std::string_view html);

}  // namespace sw
