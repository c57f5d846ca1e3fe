#include "importer/deck_manifest.h"

#include <toml++/toml.h>

#include "core/text.h"

namespace sw::importer {

namespace {

int LineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

// Parses text; false with the parser's own words when it is not TOML.
bool Parse(std::string_view text, const std::string& file, toml::table* table, std::vector<Problem>* problems) {
    try {
        *table = toml::parse(text, file);
        return true;
    } catch (const toml::parse_error& error) {
        problems->push_back({file, static_cast<int>(error.source().begin.line),
                             "not TOML: " + std::string(error.description())});
    }
    return false;
}

// A name at node, checked; false with a problem when it is not usable text.
bool NameAt(const toml::node& node, const std::string& file, const std::string& what, std::string* name,
            std::vector<Problem>* problems) {
    const auto* text = node.as_string();
    if (!text) {
        problems->push_back({file, LineOf(node), what + " is not text"});
        return false;
    }
    const std::string problem = CardNameProblem(text->get());
    if (!problem.empty()) {
        problems->push_back({file, LineOf(node), what + " " + problem});
        return false;
    }
    *name = text->get();
    return true;
}

int SuitByLayoutWord(std::string_view word) {
    for (int s = 0; s < kSuitCount; ++s)
        if (word == SuitWord(s)) return s;
    return -1;
}

int RankByLayoutWord(std::string_view word) {
    for (int r = 0; r < kRankCount; ++r)
        if (word == RankWord(r)) return r;
    return -1;
}

int MinorOrderOf(int suit, int rank) { return kMajorCount + suit * kRankCount + rank; }

// A canonical card id ("major_arcana.08", "minor_arcana.pentacles.page") as
// the picture it names; -1 when it names none.
int PictureOfId(std::string_view id) {
    if (id.rfind("major_arcana.", 0) == 0) {
        const std::string_view number = id.substr(13);
        return number.size() == 2 && number[0] >= '0' && number[0] <= '9' ? CardOrder(number) : -1;
    }
    if (id.rfind("minor_arcana.", 0) != 0) return -1;
    const std::string_view rest = id.substr(13);
    const std::size_t dot = rest.find('.');
    if (dot == std::string_view::npos) return -1;
    const int suit = SuitByLayoutWord(rest.substr(0, dot));
    const int rank = RankByLayoutWord(rest.substr(dot + 1));
    return suit < 0 || rank < 0 ? -1 : MinorOrderOf(suit, rank);
}

// [aliases.suits] and [aliases.courts]: the names of the minor cards.
bool ReadAliases(const toml::table& aliases, const std::string& file, DeckManifest* manifest,
                 std::vector<Problem>* problems) {
    std::array<std::string, kSuitCount> suits;
    std::array<std::string, kRankCount> ranks;
    bool ok = true;
    if (const toml::node* node = aliases.get("suits")) {
        const toml::table* table = node->as_table();
        if (!table) {
            problems->push_back({file, LineOf(*node), "[aliases.suits] is not a table"});
            return false;
        }
        for (const auto& [key, value] : *table) {
            const int suit = SuitByLayoutWord(key.str());
            if (suit < 0) {
                manifest->notes.push_back({file, LineOf(value), "no suit is called \"" + std::string(key.str()) +
                                                                    "\"; its alias is left alone"});
                continue;
            }
            ok = NameAt(value, file, "the name of the suit " + std::string(key.str()), &suits[suit], problems) && ok;
        }
    }
    if (const toml::node* node = aliases.get("courts")) {
        const toml::table* table = node->as_table();
        if (!table) {
            problems->push_back({file, LineOf(*node), "[aliases.courts] is not a table"});
            return false;
        }
        for (const auto& [key, value] : *table) {
            const int rank = RankByLayoutWord(key.str());
            if (rank < 10) {
                manifest->notes.push_back({file, LineOf(value), "no court card is called \"" +
                                                                    std::string(key.str()) + "\"; its alias is left alone"});
                continue;
            }
            ok = NameAt(value, file, "the name of the " + std::string(key.str()), &ranks[rank], problems) && ok;
        }
    }
    if (!ok) return false;
    for (int order = kMajorCount; order < kTarotCount; ++order) {
        const int suit = (order - kMajorCount) / kRankCount;
        const int rank = (order - kMajorCount) % kRankCount;
        if (suits[suit].empty() && ranks[rank].empty()) continue;
        const std::string bundled = BundledName(order);
        const std::string rankName = ranks[rank].empty() ? bundled.substr(0, bundled.find(' ')) : ranks[rank];
        const std::string suitName = suits[suit].empty() ? bundled.substr(bundled.rfind(' ') + 1) : suits[suit];
        const std::string name = MinorName(rankName, suitName);
        const std::string problem = CardNameProblem(name);
        if (!problem.empty()) {
            problems->push_back({file, LineOf(aliases), "the card name \"" + std::string(FirstCharacters(name, 40)) +
                                                            "...\" made from [aliases] " + problem});
            return false;
        }
        manifest->names[order] = name;
    }
    return true;
}

// [remap_major_arcana]: 08 = "justice" says that major_arcana/08 shows
// Justice. Every trump must still be shown once.
bool ReadRemapping(const toml::table& remap, const std::string& file, DeckManifest* manifest,
                   std::vector<Problem>* problems) {
    bool ok = true;
    for (const auto& [key, value] : remap) {
        const std::string number(key.str());
        const int picture = number.size() == 2 ? CardOrder(number) : -1;
        const auto* text = value.as_string();
        const int card = text ? MajorByKey(text->get()) : -1;
        if (!IsMajor(picture) || card < 0) {
            problems->push_back({file, LineOf(value),
                                 "[remap_major_arcana] \"" + number +
                                     "\" should be a trump's number 00 to 21 and name a trump, as 08 = \"justice\""});
            ok = false;
            continue;
        }
        manifest->identity[picture] = card;
    }
    if (!ok) return false;
    std::array<int, kMajorCount> shownBy;
    shownBy.fill(-1);
    for (int picture = 0; picture < kMajorCount; ++picture) {
        const int card = manifest->identity[picture];
        if (shownBy[card] >= 0) {
            problems->push_back({file, LineOf(remap),
                                 Format("[remap_major_arcana] makes both %s and %s show %s; remap both trumps of a swap",
                                        CardCode(shownBy[card]).c_str(), CardCode(picture).c_str(),
                                        BundledName(card).c_str())});
            return false;
        }
        shownBy[card] = picture;
    }
    return true;
}

// [deck.excluded_cards] cards = [...]: cards the deck does not have.
void ReadExcluded(const toml::node& node, const std::string& file, DeckManifest* manifest,
                  std::vector<Problem>* problems) {
    const toml::table* table = node.as_table();
    const toml::array* cards = table ? table->get_as<toml::array>("cards") : nullptr;
    if (!cards) {
        problems->push_back({file, LineOf(node), "[deck.excluded_cards] should hold cards = [\"minor_arcana.cups.page\", ...]"});
        return;
    }
    for (const toml::node& entry : *cards) {
        const auto* id = entry.as_string();
        const int picture = id ? PictureOfId(id->get()) : -1;
        if (picture < 0) {
            manifest->notes.push_back({file, LineOf(entry), "an excluded card that is not one of the 78 is left alone"});
            continue;
        }
        manifest->excluded[IsMajor(picture) ? manifest->identity[picture] : picture] = true;
    }
}

}  // namespace

DeckManifest::DeckManifest() {
    for (int i = 0; i < kMajorCount; ++i) identity[i] = i;
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

std::string CardNameProblem(std::string_view text) {
    if (text.empty()) return "is empty";
    if (!IsValidUtf8(text)) return "is not UTF-8 text";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return "holds a control character (a line break, a tab, ...)";
        if (c == '<' || c == '>') return "holds markup (< or >); a name is plain text";
    }
    if (CharacterCount(text) > kMaxCardNameCharacters)
        return Format("is longer than %zu characters", kMaxCardNameCharacters);
    return {};
}

bool ReadDeckManifest(std::string_view text, const std::string& file, DeckManifest* manifest,
                      std::vector<Problem>* problems) {
    toml::table table;
    if (!Parse(text, file, &table, problems)) return false;
    const std::size_t before = problems->size();
    // The remapping first: the cards left out are named by their pictures.
    if (const toml::node* remap = table.get("remap_major_arcana")) {
        if (const toml::table* entries = remap->as_table())
            ReadRemapping(*entries, file, manifest, problems);
        else
            problems->push_back({file, LineOf(*remap), "[remap_major_arcana] is not a table"});
    }
    if (const toml::node* node = table.get("deck")) {
        const toml::table* deck = node->as_table();
        if (!deck) {
            problems->push_back({file, LineOf(*node), "[deck] is not a table"});
            return false;
        }
        if (const toml::node* name = deck->get("name")) {
            const auto* value = name->as_string();
            if (value)
                manifest->name = value->get();
            else
                problems->push_back({file, LineOf(*name), "[deck] name is not text"});
        }
        if (const toml::node* excluded = deck->get("excluded_cards")) ReadExcluded(*excluded, file, manifest, problems);
    }
    if (const toml::node* node = table.get("aliases")) {
        if (const toml::table* aliases = node->as_table())
            ReadAliases(*aliases, file, manifest, problems);
        else
            problems->push_back({file, LineOf(*node), "[aliases] is not a table"});
    }
    if (const toml::node* custom = table.get("custom_cards"))
        manifest->notes.push_back({file, LineOf(*custom), "custom cards are left out: a Sagewend deck holds the 78 "
                                                         "cards of the tarot"});
    return problems->size() == before;
}

bool ReadCardNames(std::string_view text, const std::string& file, DeckManifest* manifest,
                   std::vector<Problem>* problems) {
    toml::table table;
    if (!Parse(text, file, &table, problems)) return false;
    bool ok = true;
    if (const toml::table* majors = table.get_as<toml::table>("major_arcana")) {
        for (const auto& [key, value] : *majors) {
            const std::string number(key.str());
            const int picture = number.size() == 2 && number[0] >= '0' && number[0] <= '9' ? CardOrder(number) : -1;
            if (picture < 0) continue;  // alt_text and the like
            ok = NameAt(value, file, "the name of major_arcana." + number, &manifest->names[picture], problems) && ok;
        }
    }
    if (const toml::table* minors = table.get_as<toml::table>("minor_arcana")) {
        for (const auto& [suitKey, suitNode] : *minors) {
            const int suit = SuitByLayoutWord(suitKey.str());
            const toml::table* ranks = suitNode.as_table();
            if (suit < 0 || !ranks) continue;
            for (const auto& [rankKey, value] : *ranks) {
                const int rank = RankByLayoutWord(rankKey.str());
                if (rank < 0) continue;
                ok = NameAt(value, file,
                            "the name of minor_arcana." + std::string(suitKey.str()) + "." + std::string(rankKey.str()),
                            &manifest->names[MinorOrderOf(suit, rank)], problems) &&
                     ok;
            }
        }
    }
    return ok;
}

}  // namespace sw::importer
