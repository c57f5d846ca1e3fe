#include "iching/hexagram_table.h"

#include <algorithm>

#include "core/random.h"
#include "core/text.h"
#include "iching/hexagram_texts.h"

namespace sw {

namespace {

void AddAll(std::map<std::string, HexagramEntry>& entries, const std::array<HexagramText, 32>& texts) {
    for (const auto& text : texts) {
        HexagramEntry entry{text.ordinal,      text.romanisedName, text.englishName, text.upperTrigram,
                            text.lowerTrigram, text.judgement,     text.image,       text.lines[0],
                            text.lines[1],     text.lines[2],      text.lines[3],    text.lines[4],
                            text.lines[5],     text.allMovingText};
        entries.emplace(text.key, std::move(entry));
    }
}

const char* const kSolidLine =
    "<tr><td width='40'><HR class='iching'></td><td width='40'><HR class='iching'></td><td width='40'><HR "
    "class='iching'></td></tr>";
const char* const kBrokenLine =
    "<tr><td width='40'><HR class='iching'></td><td width='40'></td><td width='40'><HR class='iching'></td></tr>";

std::string Drawing(const std::string& key) {
    std::string rows;
    for (int line = 6; line >= 1; --line) rows += key[line] == '8' ? kSolidLine : kBrokenLine;
    return rows;
}

}  // namespace

HexagramTable::HexagramTable() {
    AddAll(entries_, kHexagramTextsFirst);
    AddAll(entries_, kHexagramTextsSecond);
}

const HexagramEntry* HexagramTable::Find(const std::string& key) const {
    auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
}

std::string HexagramTable::RenderIChing(int session, const std::string& question, platform::Host& host,
                                        std::array<int, 6>* drawn) const {
    if (session == 0) {
        std::string html;
        html += "<table height='100%' border=0 width='100%'><tr><td align='center' valign='top'>";
        html += "<BR><BR><img src='file:images/iching.gif' border='0'><BR><BR><BR><BR>";
        html += "<h3>Type your question below and then focus on it in your mind</h3><BR>";
        html += "<input id='question' name='question' type='text' value='";
        html += EscapeHtml(question);
        html += "' size=60><BR><BR>";
        html += "<INPUT session='1' id='iching' TYPE='image' src='file:images/ask.gif' border='0' name='submit' "
                "value='Ask the Oracle'>";
        html += "</td></tr></table>";
        return html;
    }
    host.SetWaitCursor(true);
    host.Pause(1000);
    std::array<int, 6> draws{};
    for (auto& draw : draws) draw = Rand() % 4;
    if (drawn) *drawn = draws;
    std::string html = RenderCast(draws, question);
    host.SetWaitCursor(false);
    return html;
}

CastLines ReadLines(const std::array<int, 6>& draws) {
    CastLines lines;
    for (std::size_t i = 0; i < 6; ++i) {
        switch (draws[i]) {
            case 0: lines.presentKey += '7'; lines.changedKey += '8'; lines.moving[i] = true; break;
            case 1: lines.presentKey += '7'; lines.changedKey += '7'; break;
            case 2: lines.presentKey += '8'; lines.changedKey += '8'; break;
            default: lines.presentKey += '8'; lines.changedKey += '7'; lines.moving[i] = true; break;
        }
        lines.anyMoving = lines.anyMoving || lines.moving[i];
    }
    return lines;
}

std::string HexagramTable::RenderCast(const std::array<int, 6>& draws, const std::string& question) const {
    const auto [presentKey, changedKey, moving, anyMoving] = ReadLines(draws);
    const HexagramEntry& present = *Find(presentKey);
    const HexagramEntry& changed = *Find(changedKey);

    std::string html = Format("<h3><center>%s</center></h3>", EscapeHtml(question).c_str());
    html += "<table width=100% cellspacing=10 border=0><tr>";
    auto title = [&](const HexagramEntry& entry) {
        html += "<td align=center valign=top>";
        html += Format("<b>%s %s</b><br> <i>%s</i></td>", entry[kOrdinal].c_str(), entry[kRomanisedName].c_str(),
                       entry[kEnglishName].c_str());
    };
    title(present);
    if (anyMoving) title(changed);
    html += "</tr><tr><td width=50% align=center><table cellpadding=0 cellspacing=0>";
    html += Drawing(presentKey);
    html += "</table></td>";
    if (anyMoving) {
        html += "<td width=50% align=center><table cellpadding=0 cellspacing=0>";
        html += Drawing(changedKey);
        html += "</table></td>";
    }
    html += "</tr><tr><td align=center valign=top style='color:cccc99'><b>The current situation</b></td>";
    if (anyMoving) html += "<td align=center valign=top style='color:cccc99'><b>How things will progress</b></td>";
    html += "</tr><tr><td  colspan=2 valign=top align=center><b>The Judgement</b></td></tr><tr>";
    html += "<td align=center valign=top><table border=0><tr><td>";
    html += present[kJudgement];
    html += "</td></tr></table></td>";
    if (anyMoving) {
        html += "<td align=center valign=top><table border=0><tr><td>";
        html += changed[kJudgement];
        html += "</td></tr></table></td>";
        html += "</tr></table border=0><table  cellspacing=15 border=0><tr><td><b>Moving Lines</b></td></tr>";
        for (std::size_t i = 0; i < 6; ++i) {
            if (!moving[i]) continue;
            html += "<tr><td>";
            html += present[kFirstLine + i];
            html += "</td></tr>";
        }
    }
    return html;
}

platform::PageParts HexagramTable::QuestionParts() {
    platform::PageParts parts;
    parts.pictures.push_back({"file:images/iching.gif", "I Ching"});
    parts.fields = {{"question", "Question"}};
    parts.focus = "question";
    parts.enter = "iching";
    parts.menu = "ichingbtn";
    return parts;
}

platform::PageParts HexagramTable::CastParts(const std::array<int, 6>& draws) const {
    const CastLines lines = ReadLines(draws);
    auto describe = [&](const std::string& key, bool present) {
        const HexagramEntry& entry = *Find(key);
        platform::PageParts::Hexagram hexagram;
        hexagram.number = CAtoi(entry[kOrdinal]);
        hexagram.name = entry[kEnglishName];
        for (std::size_t i = 0; i < 6; ++i) {
            hexagram.yang[i] = key[i + 1] == '8';
            hexagram.moving[i] = present && lines.moving[i];
        }
        const bool allMove = present && std::all_of(lines.moving.begin(), lines.moving.end(), [](bool m) { return m; });
        if (allMove) hexagram.allMoving = entry[kAllMovingText];
        return hexagram;
    };
    platform::PageParts parts;
    parts.menu = "ichingbtn";
    parts.hexagrams.push_back(describe(lines.presentKey, true));
    if (lines.anyMoving) parts.hexagrams.push_back(describe(lines.changedKey, false));
    return parts;
}

}  // namespace sw
