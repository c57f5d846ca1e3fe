#pragma once
// The help pages the program makes on request: the card and hexagram index,
// built from the very tables a reading uses (the loaded decks and the hexagram
// table), so the index cannot drift from what the program shows, and the About
// page, which carries the version of this build. The builders only read; the
// decks never change once start-up has loaded them, so the server may call
// these from its own thread.
#include <string>
#include <string_view>

#include "iching/hexagram_table.h"
#include "store/oracle_data.h"

namespace sw {

// A complete HTML help page listing every card of every loaded deck: per deck a heading, then per card an
// anchor, its name, its upright picture and its upright and reversed meanings.
std::string BuildCardIndexPage(const OracleData& data);

// A complete HTML help page listing the 64 hexagrams in their traditional order: per hexagram an anchor
// ("hexagram-N"), number, romanised and English name, its figure (six lines, top first, drawn with HTML/CSS,
// not pictures), its two trigrams, the judgement and the image.
std::string BuildHexagramIndexPage(const HexagramTable& table);

// The help's About page: the program's version, its licence and the credits for the pictures, the
// hexagram texts and the translations the quotations use.
std::string BuildAboutPage();

// The help's look.css for the kept theme ("system", "green", "dark" or "contrast"): imports of the
// sheets laid over help.css, as the main page resolves the theme (res/page/look.mjs): a system that asks
// for more contrast gets the light high-contrast look, else a dark one the dark look, else the green.
std::string BuildHelpLookSheet(std::string_view theme);

// The address at which the program's own server serves a card picture named by a
// "file:decks/<deck>/<file>" URL: "/decks/<deck>/<file>", each path segment
// percent-encoded so spaces, '#', '?', '%' and non-ASCII bytes survive.
std::string ServedPictureUrl(const std::string& fileUrl);

}  // namespace sw
