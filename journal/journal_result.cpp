// Results to and from the journal's JSON; declared in journal/journal_result.h.
#include "journal/journal_result.h"

#include <nlohmann/json.hpp>

#include "core/text.h"
#include "yesno/yes_no.h"

namespace sw {

using nlohmann::json;

std::string ReadingResult(const LayoutRecord& layout, const DeckRecord& deck, const std::vector<DealtCard>& dealt,
                          bool reversedAllowed, bool byHand) {
    json grid = json::array();
    for (int r = 0; r < layout.rows; ++r) {
        json row = json::array();
        for (int c = 0; c < layout.columns; ++c)
            row.push_back(ToUtf8(layout.Cell(r, c)));
        grid.push_back(std::move(row));
    }
    json positions = json::array();
    for (const std::string& position : layout.positions) positions.push_back(ToUtf8(position));
    json cards = json::object();
    json kept = json::array();
    for (const DealtCard& card : dealt) {
        const CardRecord& record = deck.CardAt(card.card);
        cards[std::to_string(card.card)] = {
            {"number", ToUtf8(record.number)},           {"name", ToUtf8(record.name)},
            {"meaning", ToUtf8(record.meaning)},         {"reversedMeaning", ToUtf8(record.reversedMeaning)},
            {"imageExtension", ToUtf8(record.imageExtension)}, {"reversedImageSuffix", ToUtf8(record.reversedImageSuffix)},
            {"hasReversedImage", record.hasReversedImage}};
        kept.push_back({{"row", card.row},   {"column", card.column}, {"position", card.position},
                        {"card", card.card}, {"roll", card.roll},     {"reversed", card.reversed}});
    }
    json result = {
        {"layout", {{"name", ToUtf8(layout.name)}, {"rows", layout.rows}, {"columns", layout.columns},
                    {"grid", std::move(grid)}, {"positions", std::move(positions)}}},
        {"deck", {{"directory", ToUtf8(deck.directory)}, {"cards", std::move(cards)}}},
        {"dealt", std::move(kept)},
        {"reversedAllowed", reversedAllowed}};
    if (byHand) result["byHand"] = true;
    return result.dump();
}

std::string CastResult(const std::array<int, 6>& draws) { return json{{"draws", draws}}.dump(); }

std::string AnswerResult(int answer) {
    return json{{"answer", answer}, {"text", YesNoAnswers[answer]}}.dump();
}

namespace {

bool Fail(std::string* err, const char* what) {
    *err = std::string("This entry of the journal cannot be shown: ") + what + ".";
    return false;
}

bool Text(const json& object, const char* name, std::string* out) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) return false;
    *out = found->get<std::string>();
    return true;
}

bool Number(const json& object, const char* name, int low, int high, int* out) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_number_integer()) return false;
    const auto value = found->get<json::number_integer_t>();
    if (value < low || value > high) return false;
    *out = static_cast<int>(value);
    return true;
}

bool ReadLayout(const json& value, LayoutRecord* layout) {
    if (!value.is_object() || !Text(value, "name", &layout->name) ||
        !Number(value, "rows", 0, kGridSize, &layout->rows) || !Number(value, "columns", 0, kGridSize, &layout->columns))
        return false;
    const auto positions = value.find("positions");
    if (positions == value.end() || !positions->is_array()) return false;
    for (const json& position : *positions) {
        if (!position.is_string()) return false;
        layout->positions.push_back(position.get<std::string>());
    }
    layout->positionCount = static_cast<int>(layout->positions.size());
    const auto grid = value.find("grid");
    if (grid == value.end() || !grid->is_array() || static_cast<int>(grid->size()) != layout->rows) return false;
    for (std::size_t r = 0; r < grid->size(); ++r) {
        const json& row = (*grid)[r];
        if (!row.is_array() || static_cast<int>(row.size()) != layout->columns) return false;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (!row[c].is_string() || row[c].get_ref<const std::string&>().empty()) return false;
            layout->grid[r][c] = row[c].get<std::string>();
        }
    }
    return true;
}

bool ReadDeck(const json& value, DeckRecord* deck, std::vector<bool>* kept) {
    if (!value.is_object() || !Text(value, "directory", &deck->directory)) return false;
    const auto cards = value.find("cards");
    if (cards == value.end() || !cards->is_object()) return false;
    deck->cards.assign(kMaxDeckCards, CardRecord());
    kept->assign(kMaxDeckCards, false);
    deck->cardCount = kMaxDeckCards;
    deck->loaded = true;
    for (const auto& [index, card] : cards->items()) {
        const int at = CAtoi(index);
        if (std::to_string(at) != index || at < 0 || at >= kMaxDeckCards || !card.is_object()) return false;
        CardRecord& record = deck->CardAt(at);
        const auto reversed = card.find("hasReversedImage");
        if (!Text(card, "number", &record.number) || !Text(card, "name", &record.name) ||
            !Text(card, "meaning", &record.meaning) || !Text(card, "reversedMeaning", &record.reversedMeaning) ||
            !Text(card, "imageExtension", &record.imageExtension) ||
            !Text(card, "reversedImageSuffix", &record.reversedImageSuffix) || reversed == card.end() ||
            !reversed->is_boolean())
            return false;
        record.hasReversedImage = reversed->get<bool>();
        (*kept)[at] = true;
    }
    return true;
}

}  // namespace

bool ReadReading(const std::string& result, KeptReading* reading, std::string* err) {
    const json value = json::parse(result, nullptr, false);
    if (!value.is_object()) return Fail(err, "its result is damaged");
    const auto layout = value.find("layout");
    const auto deck = value.find("deck");
    const auto dealt = value.find("dealt");
    if (layout == value.end() || !ReadLayout(*layout, &reading->layout)) return Fail(err, "its layout is damaged");
    std::vector<bool> kept;
    if (deck == value.end() || !ReadDeck(*deck, &reading->deck, &kept)) return Fail(err, "its cards are damaged");
    if (dealt == value.end() || !dealt->is_array()) return Fail(err, "its cards are damaged");
    if (const auto byHand = value.find("byHand"); byHand != value.end()) {
        if (!byHand->is_boolean()) return Fail(err, "its cards are damaged");
        reading->byHand = byHand->get<bool>();
    }
    // Dealt cards in grid order, each on a filled cell naming its position,
    // each a card that was kept: what the page code relies on.
    int last = -1;
    for (const json& item : *dealt) {
        DealtCard card;
        if (!item.is_object() || !Number(item, "row", 0, reading->layout.rows - 1, &card.row) ||
            !Number(item, "column", 0, reading->layout.columns - 1, &card.column) ||
            !Number(item, "position", 0, reading->layout.positionCount - 1, &card.position) ||
            !Number(item, "card", 0, kMaxDeckCards - 1, &card.card) || !Number(item, "roll", 0, 1, &card.roll) ||
            !Number(item, "reversed", 0, 1, &card.reversed))
            return Fail(err, "its cards are damaged");
        const int place = card.row * kGridSize + card.column;
        const std::string& cell = reading->layout.Cell(card.row, card.column);
        if (place <= last || cell == " " || CAtoi(cell) - 1 != card.position ||
            !kept[card.card])
            return Fail(err, "its cards are damaged");
        last = place;
        reading->dealt.push_back(card);
    }
    return true;
}

bool ReadCast(const std::string& result, std::array<int, 6>* draws, std::string* err) {
    const json value = json::parse(result, nullptr, false);
    const auto found = value.is_object() ? value.find("draws") : value.end();
    if (found == value.end() || !found->is_array() || found->size() != 6) return Fail(err, "its lines are damaged");
    for (std::size_t i = 0; i < 6; ++i) {
        // Compared whole: cut to an int first, 4294967296 would pass as 0.
        const json& draw = (*found)[i];
        const auto line = draw.is_number_integer() ? draw.get<json::number_integer_t>() : -1;
        if (line < 0 || line > 3) return Fail(err, "its lines are damaged");
        (*draws)[i] = static_cast<int>(line);
    }
    return true;
}

bool ReadAnswer(const std::string& result, int* answer, std::string* err) {
    const json value = json::parse(result, nullptr, false);
    if (!value.is_object() || !Number(value, "answer", 0, static_cast<int>(YesNoAnswers.size()) - 1, answer))
        return Fail(err, "its answer is damaged");
    return true;
}

}  // namespace sw
