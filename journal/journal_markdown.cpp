#include "journal/journal_markdown.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

#include "core/text.h"
#include "journal/journal_result.h"
#include "store/layout.h"
#include "yesno/yes_no.h"

namespace sw {

namespace {

using nlohmann::json;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

struct NamedEntity {
    const char* name;
    std::uint32_t code;
};
constexpr NamedEntity kEntities[] = {
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},        {"quot", '"'},      {"apos", '\''},
    {"nbsp", ' '},     {"ndash", 0x2013}, {"mdash", 0x2014},  {"lsquo", 0x2018},  {"rsquo", 0x2019},
    {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"hellip", 0x2026}, {"copy", 0xA9},     {"eacute", 0xE9},
    {"egrave", 0xE8},  {"uuml", 0xFC},    {"ouml", 0xF6},     {"auml", 0xE4},     {"szlig", 0xDF},
};

// Decodes the entity at html[at] ('&') into out; the length it took, or 0
// when it is no entity (the '&' is then text).
std::size_t DecodeEntity(std::string_view html, std::size_t at, std::string& out) {
    const std::size_t semicolon = html.find(';', at + 1);
    if (semicolon == std::string_view::npos || semicolon - at > 12) return 0;
    const std::string_view body = html.substr(at + 1, semicolon - at - 1);
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty()) return 0;
        std::uint32_t code = 0;
        for (char c : digits) {
            int value;
            if (IsDigit(c)) value = c - '0';
            else if (hex && Lower(c) >= 'a' && Lower(c) <= 'f') value = Lower(c) - 'a' + 10;
            else return 0;
            code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
            if (code > 0x10FFFF) code = 0x110000;
        }
        AppendUtf8(out, code);
        return semicolon - at + 1;
    }
    for (const auto& entity : kEntities) {
        if (body == entity.name) {
            AppendUtf8(out, entity.code);
            return semicolon - at + 1;
        }
    }
    return 0;
}

// What a tag stands for in plain text: block tags end the line (paragraph
// tags leave a blank line), everything else is dropped.
std::string_view TagBreak(std::string_view name) {
    std::string lower;
    for (char c : name) lower += Lower(c);
    if (lower == "br") return "\n";
    if (lower == "p" || lower == "table" || lower == "blockquote" || lower == "hr" ||
        (lower.size() == 2 && lower[0] == 'h' && lower[1] >= '1' && lower[1] <= '6'))
        return "\n\n";
    if (lower == "div" || lower == "tr" || lower == "li" || lower == "center") return "\n";
    return "";
}

// The end of the tag starting at html[at] ('<'), past its '>'; 0 when it is
// no tag (a '<' in running text). Quoted attribute values may hold '>'.
std::size_t TagEnd(std::string_view html, std::size_t at, std::string_view* name) {
    std::size_t i = at + 1;
    if (i < html.size() && html[i] == '/') ++i;
    if (i >= html.size() || !(IsAlpha(html[i]) || html[i] == '!')) return 0;
    const std::size_t nameStart = i;
    while (i < html.size() && (IsAlpha(html[i]) || IsDigit(html[i]))) ++i;
    *name = html.substr(nameStart, i - nameStart);
    char quote = 0;
    for (; i < html.size(); ++i) {
        const char c = html[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return 0;
}

// Text made safe inside a Markdown line: every character that could start
// emphasis, code, links, HTML, tables or strike-through is escaped.
std::string EscapeInline(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (std::string_view("\\`*_[]<>|~").find(c) != std::string_view::npos) out += '\\';
        if (c == '&' && i + 1 < text.size() && (IsAlpha(text[i + 1]) || IsDigit(text[i + 1]) || text[i + 1] == '#'))
            out += '\\';
        out += c;
    }
    return out;
}

std::string Trimmed(std::string_view line) {
    std::size_t begin = 0, end = line.size();
    while (begin < end && IsBlank(line[begin])) ++begin;
    while (end > begin && IsBlank(line[end - 1])) --end;
    return std::string(line.substr(begin, end - begin));
}

// One line of running text. Besides the inline escapes, what would make a
// heading, list, quote or rule at the start of a line is escaped; leading
// blanks go, so no line becomes code.
std::string EscapeLine(std::string_view raw) {
    const std::string line = Trimmed(raw);
    if (line.empty()) return line;
    std::size_t digits = 0;
    while (digits < line.size() && IsDigit(line[digits])) ++digits;
    if (digits > 0 && digits < line.size() && (line[digits] == '.' || line[digits] == ')'))
        return line.substr(0, digits) + "\\" + EscapeInline(std::string_view(line).substr(digits));
    std::string out = std::string_view("#+-=").find(line[0]) != std::string_view::npos ? "\\" : "";
    return out + EscapeInline(line);
}

// Text on one line, as in a heading: line ends become blanks, and '#' is
// escaped too, since trailing ones would close the heading.
std::string EscapeHeading(std::string_view text) {
    std::string flat;
    bool blank = false;
    for (char c : text) {
        if (IsBlank(c) || c == '\n') {
            blank = !flat.empty();
            continue;
        }
        if (blank) flat += ' ';
        blank = false;
        flat += c;
    }
    std::string out;
    for (char c : EscapeInline(flat)) {
        if (c == '#') out += '\\';
        out += c;
    }
    return out;
}

// Multi-line text as Markdown paragraphs: a line end (LF, CR LF or a lone
// CR) stays a line end (a hard break), blank lines separate paragraphs. prefix starts every line
// ("> " in a quotation); emphasise sets each line in italics. Empty when
// the text has nothing to show.
std::string Paragraphs(std::string_view raw, std::string_view prefix = "", bool emphasise = false) {
    // Markdown ends a line at CR, LF or CR LF: every one of them is a line
    // end here too, so no piece of text escapes the escaping of line starts.
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\r') text += raw[i];
        else if (i + 1 >= raw.size() || raw[i + 1] != '\n') text += '\n';
    }
    std::vector<std::vector<std::string>> paragraphs(1);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line = EscapeLine(text.substr(start, end - start));
        if (line.empty()) {
            if (!paragraphs.back().empty()) paragraphs.emplace_back();
        } else {
            paragraphs.back().push_back(emphasise ? "*" + line + "*" : line);
        }
        start = end + 1;
    }
    if (paragraphs.back().empty()) paragraphs.pop_back();
    std::string out;
    std::string gap(prefix);
    while (!gap.empty() && gap.back() == ' ') gap.pop_back();
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        if (p > 0) out += gap + "\n";
        for (std::size_t l = 0; l < paragraphs[p].size(); ++l)
            out += std::string(prefix) + paragraphs[p][l] + (l + 1 < paragraphs[p].size() ? "  \n" : "\n");
    }
    return out;
}

std::string Heading(int level, std::string_view text) {
    return std::string(static_cast<std::size_t>(std::min(level, 6)), '#') + " " + EscapeHeading(text) + "\n";
}

// "2026-12-07 14:03" of a keptAt text, as the user kept it (local time).
std::string When(const std::string& keptAt) {
    std::int64_t ignored = 0;
    if (!ParseKeptAt(keptAt, &ignored)) return keptAt.empty() ? "Undated" : keptAt;
    return keptAt.substr(0, 10) + " " + keptAt.substr(11, 5);
}

std::string Str(const json& object, const char* key) {
    if (!object.is_object()) return {};
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// An integer field, also written as a boolean; fallback when missing.
std::int64_t Int(const json& object, const char* key, std::int64_t fallback) {
    if (!object.is_object()) return fallback;
    const auto found = object.find(key);
    if (found == object.end()) return fallback;
    if (found->is_boolean()) return found->get<bool>() ? 1 : 0;
    if (found->is_number_integer()) return found->get<std::int64_t>();
    return fallback;
}

const json& Member(const json& object, const char* key) {
    static const json kNull;
    if (!object.is_object()) return kNull;
    const auto found = object.find(key);
    return found == object.end() ? kNull : *found;
}

const char* const kUnreadable = "*The stored result could not be read.*\n";

void AppendReading(std::string& out, const json& result, int level) {
    const json& layout = Member(result, "layout");
    const json& deck = Member(result, "deck");
    const json& dealt = Member(result, "dealt");
    out += "**Layout:** " + EscapeHeading(Str(layout, "name")) + "  \n";
    out += "**Deck:** " + EscapeHeading(Str(deck, "directory")) + "\n";
    if (!dealt.is_array() || dealt.empty()) {
        out += "\n*No cards were stored with this reading.*\n";
        return;
    }
    struct Card {
        std::int64_t position;
        std::int64_t card;
        bool reversed;
    };
    std::vector<Card> cards;
    for (const json& deal : dealt)
        cards.push_back({Int(deal, "position", -1), Int(deal, "card", -1), Int(deal, "reversed", 0) == 1});
    // Position order; two cards on one position keep the order they were dealt.
    std::stable_sort(cards.begin(), cards.end(), [](const Card& a, const Card& b) { return a.position < b.position; });

    const json& positions = Member(layout, "positions");
    const json& deckCards = Member(deck, "cards");
    for (const Card& dealtCard : cards) {
        std::string positionText;
        if (positions.is_array() && dealtCard.position >= 0 &&
            static_cast<std::uint64_t>(dealtCard.position) < positions.size() &&
            positions[dealtCard.position].is_string())
            positionText = positions[dealtCard.position].get<std::string>();
        const std::string title = HtmlToText(PositionTitle(positionText));
        const std::string description = HtmlToText(PositionDescription(positionText));
        const json& card = Member(deckCards, std::to_string(dealtCard.card).c_str());
        std::string name = HtmlToText(Str(card, "name"));
        if (name.empty()) name = Format("Card %lld", static_cast<long long>(dealtCard.card + 1));

        std::string heading = Format("%lld. ", static_cast<long long>(dealtCard.position + 1));
        if (!Trimmed(title).empty()) heading += title + ": ";
        heading += name;
        if (dealtCard.reversed) heading += " (reversed)";
        out += "\n" + Heading(level, heading);
        const std::string about = Paragraphs(description, "", true);
        if (!about.empty()) out += "\n" + about;
        const std::string meaning = Paragraphs(HtmlToText(Str(card, dealtCard.reversed ? "reversedMeaning" : "meaning")));
        if (!meaning.empty()) out += "\n" + meaning;
    }
}

std::string HexagramTitle(const HexagramEntry& entry) {
    return entry[kOrdinal] + " " + entry[kRomanisedName] + " \xE2\x80\x94 " + entry[kEnglishName];
}

void AppendCast(std::string& out, const std::array<int, 6>& draws, const HexagramTable& hexagrams, int level) {
    const auto [presentKey, changedKey, moving, anyMoving] = ReadLines(draws);
    const HexagramEntry* present = hexagrams.Find(presentKey);
    const HexagramEntry* changed = hexagrams.Find(changedKey);
    if (!present || !changed) {
        out += kUnreadable;
        return;
    }
    out += Heading(level, "Present hexagram: " + HexagramTitle(*present));
    out += "\n" + Paragraphs(HtmlToText((*present)[kJudgement]));
    if (!anyMoving) {
        out += "\n*No line moves.*\n";
        return;
    }
    out += "\n" + Heading(level, "Moving lines");
    for (std::size_t i = 0; i < 6; ++i)
        if (moving[i]) out += "\n" + Paragraphs(HtmlToText((*present)[kFirstLine + i]));
    out += "\n" + Heading(level, "Changed hexagram: " + HexagramTitle(*changed));
    out += "\n" + Paragraphs(HtmlToText((*changed)[kJudgement]));
}

void AppendAnswer(std::string& out, const json& result) {
    std::string text = Str(result, "text");
    const std::int64_t answer = Int(result, "answer", -1);
    if (text.empty() && answer >= 0 && answer < static_cast<int>(YesNoAnswers.size()))
        text = YesNoAnswers[answer];
    if (text.empty()) {
        out += kUnreadable;
        return;
    }
    out += "**Answer:** " + EscapeHeading(text) + "\n";
}

void AppendEntry(std::string& out, const JournalEntry& entry, const HexagramTable& hexagrams, int level) {
    out += Heading(level, When(entry.keptAt) + " \xE2\x80\x94 " + OracleName(entry.oracle)) + "\n";
    const std::string question = Paragraphs(entry.question, "> ");
    out += question.empty() ? "*No question was asked.*\n" : question;
    out += "\n";
    const json result = json::parse(entry.result, nullptr, false);
    if (result.is_discarded() || !result.is_object()) {
        out += kUnreadable;
    } else {
        switch (entry.oracle) {
            case Oracle::Reading: AppendReading(out, result, level + 1); break;
            case Oracle::IChing: {
                std::array<int, 6> draws{};
                std::string err;
                if (ReadCast(entry.result, &draws, &err)) AppendCast(out, draws, hexagrams, level + 1);
                else out += kUnreadable;
                break;
            }
            case Oracle::YesNo: AppendAnswer(out, result); break;
            default: out += kUnreadable;
        }
    }
    const std::string notes = Paragraphs(entry.notes);
    if (!notes.empty()) out += "\n" + Heading(level + 1, "Notes") + "\n" + notes;
}

}  // namespace

std::string HtmlToText(std::string_view html) {
    std::string out;
    for (std::size_t i = 0; i < html.size();) {
        const char c = html[i];
        if (c == '<') {
            std::string_view name;
            if (const std::size_t end = TagEnd(html, i, &name)) {
                out += TagBreak(name);
                i = end;
                continue;
            }
        } else if (c == '&') {
            if (const std::size_t taken = DecodeEntity(html, i, out)) {
                i += taken;
                continue;
            }
        } else if (c == '\r' || c == '\n') {
            // Line ends in HTML source are blanks; only tags break lines.
            out += ' ';
            ++i;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

std::string EntryMarkdown(const JournalEntry& entry, const HexagramTable& hexagrams) {
    std::string out;
    AppendEntry(out, entry, hexagrams, 1);
    return out;
}

std::string JournalMarkdown(const std::vector<JournalEntry>& entries, const HexagramTable& hexagrams) {
    std::vector<const JournalEntry*> order;
    for (const auto& entry : entries) order.push_back(&entry);
    auto instant = [](const JournalEntry* entry) {
        std::int64_t utc = std::numeric_limits<std::int64_t>::min();
        ParseKeptAt(entry->keptAt, &utc);
        return utc;
    };
    std::stable_sort(order.begin(), order.end(), [&](const JournalEntry* a, const JournalEntry* b) {
        const std::int64_t ta = instant(a), tb = instant(b);
        return ta != tb ? ta > tb : a->id > b->id;
    });
    std::string out = "# Sagewend journal\n";
    if (order.empty()) return out + "\nThe journal is empty.\n";
    for (const JournalEntry* entry : order) {
        out += "\n";
        AppendEntry(out, *entry, hexagrams, 2);
    }
    return out;
}

}  // namespace sw
