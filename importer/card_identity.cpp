#include "importer/card_identity.h"

#include <array>
#include <cctype>
#include <vector>

namespace sw::importer {

namespace {

constexpr std::array<const char*, kMajorCount> kMajorNames = {
    "The Fool",    "The Magician", "The High Priestess", "The Empress",      "The Emperor", "The Hierophant",
    "The Lovers",  "The Chariot",  "Strength",           "The Hermit",       "Wheel of Fortune", "Justice",
    "The Hanged Man", "Death",     "Temperance",         "The Devil",        "The Tower",   "The Star",
    "The Moon",    "The Sun",      "Judgement",          "The World"};

// The keys a remapping may use, without "the": the names in lower case
// with underscores.
constexpr std::array<const char*, kMajorCount> kMajorKeys = {
    "fool",   "magician", "high_priestess", "empress",   "emperor",   "hierophant", "lovers",
    "chariot", "strength", "hermit",        "wheel_of_fortune", "justice", "hanged_man", "death",
    "temperance", "devil", "tower",         "star",      "moon",      "sun",        "judgement",
    "world"};

constexpr std::string_view kSuitLetters = "WCSP";
constexpr std::string_view kRankLetters = "123456789TPNQK";
constexpr std::array<const char*, kSuitCount> kSuitWords = {"wands", "cups", "swords", "pentacles"};
constexpr std::array<const char*, kSuitCount> kSuitNames = {"Wands", "Cups", "Swords", "Pentacles"};
constexpr std::array<const char*, kRankCount> kRankWords = {"ace",  "two",  "three", "four",   "five",
                                                            "six",  "seven", "eight", "nine",  "ten",
                                                            "page", "knight", "queen", "king"};
constexpr std::array<const char*, kRankCount> kRankNames = {"Ace",  "Two",  "Three", "Four",   "Five",
                                                            "Six",  "Seven", "Eight", "Nine",  "Ten",
                                                            "Page", "Knight", "Queen", "King"};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

int MinorOrder(int suit, int rank) { return kMajorCount + suit * kRankCount + rank; }

// The suit a word of a plain folder's picture name stands for, or -1.
int SuitByWord(std::string_view word) {
    static const std::array<std::pair<const char*, int>, 10> words = {{{"wands", 0}, {"wand", 0},
                                                                       {"cups", 1}, {"cup", 1},
                                                                       {"swords", 2}, {"sword", 2},
                                                                       {"pentacles", 3}, {"pentacle", 3},
                                                                       {"coins", 3}, {"coin", 3}}};
    for (const auto& [text, suit] : words)
        if (word == text) return suit;
    return -1;
}

// The rank a word stands for: its canonical word, "one", or 1 to 10 with or
// without a leading zero; -1 otherwise.
int RankByWord(std::string_view word) {
    for (int r = 0; r < kRankCount; ++r)
        if (word == kRankWords[r]) return r;
    if (word == "one") return 0;
    if (AllDigits(word) && word.size() <= 2) {
        const int value = (word.size() == 2 ? (word[0] - '0') * 10 : 0) + (word.back() - '0');
        if (value >= 1 && value <= 10) return value - 1;
    }
    return -1;
}

// Splits a file's name into its stem and its extension (lower case).
void SplitName(std::string_view fileName, std::string_view* stem, std::string* extension) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        *stem = fileName;
        extension->clear();
        return;
    }
    *stem = fileName.substr(0, dot);
    *extension = Lower(fileName.substr(dot + 1));
}

bool IsPictureExtension(std::string_view extension) {
    static const std::array<std::string_view, 9> extensions = {"jpg", "jpeg", "png", "svg", "gif",
                                                               "webp", "bmp", "tif", "tiff"};
    for (std::string_view e : extensions)
        if (extension == e) return true;
    return false;
}

std::vector<std::string> Words(std::string_view stem) {
    std::vector<std::string> words;
    std::string word;
    for (char c : stem) {
        if (c == '-' || c == '_' || c == ' ' || c == '.') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

// The card a plain folder's picture name says, or -1.
int CardOfStem(std::string_view stem) {
    std::vector<std::string> words = Words(stem);
    if (words.empty()) return -1;
    int suit = -1;
    std::vector<std::string> rest;
    for (const std::string& word : words) {
        const int s = SuitByWord(word);
        if (s >= 0) {
            if (suit >= 0) return -1;  // two suits
            suit = s;
        } else if (word != "of" && word != "the") {
            rest.push_back(word);
        }
    }
    if (suit >= 0) {
        if (rest.size() != 1) return -1;
        const int rank = RankByWord(rest[0]);
        return rank < 0 ? -1 : MinorOrder(suit, rank);
    }
    // A number first is a trump, whatever words follow it.
    if (AllDigits(words[0]) && words[0].size() <= 2) {
        const int value = words[0].size() == 2 ? (words[0][0] - '0') * 10 + (words[0][1] - '0') : words[0][0] - '0';
        return value < kMajorCount ? value : -1;
    }
    if (words.size() == 1 && stem.size() == 2) return CardOrder(stem);
    return -1;
}

}  // namespace

std::string CardCode(int order) {
    if (IsMajor(order)) return {static_cast<char>('0' + order / 10), static_cast<char>('0' + order % 10)};
    if (order < kMajorCount || order >= kTarotCount) return {};
    return {kSuitLetters[SuitOf(order)], kRankLetters[RankOf(order)]};
}

int CardOrder(std::string_view code) {
    if (code.size() != 2) return -1;
    const char a = static_cast<char>(std::toupper(static_cast<unsigned char>(code[0])));
    const char b = static_cast<char>(std::toupper(static_cast<unsigned char>(code[1])));
    if (AllDigits(code)) {
        const int value = (a - '0') * 10 + (b - '0');
        return value < kMajorCount ? value : -1;
    }
    const std::size_t suit = kSuitLetters.find(a);
    const std::size_t rank = kRankLetters.find(b);
    if (suit == std::string_view::npos || rank == std::string_view::npos) return -1;
    return MinorOrder(static_cast<int>(suit), static_cast<int>(rank));
}

int SuitOf(int order) { return order >= kMajorCount && order < kTarotCount ? (order - kMajorCount) / kRankCount : -1; }
int RankOf(int order) { return order >= kMajorCount && order < kTarotCount ? (order - kMajorCount) % kRankCount : -1; }
std::string_view SuitWord(int suit) { return kSuitWords[suit]; }
std::string_view RankWord(int rank) { return kRankWords[rank]; }

std::string MinorName(std::string_view rank, std::string_view suit) {
    return std::string(rank) + " of " + std::string(suit);
}

std::string BundledName(int order) {
    if (IsMajor(order)) return kMajorNames[order];
    if (SuitOf(order) < 0) return {};
    return MinorName(kRankNames[RankOf(order)], kSuitNames[SuitOf(order)]);
}

int MajorByKey(std::string_view key) {
    std::string normal;
    for (char c : key) normal += c == ' ' || c == '-' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (normal.rfind("the_", 0) == 0) normal.erase(0, 4);
    for (int i = 0; i < kMajorCount; ++i)
        if (normal == kMajorKeys[i]) return i;
    return -1;
}

bool IsImportedExtension(std::string_view extension) {
    return extension == "jpg" || extension == "jpeg" || extension == "png" || extension == "svg";
}

PictureName ParsePictureName(std::string_view fileName) {
    PictureName result;
    std::string_view stem;
    SplitName(fileName, &stem, &result.extension);
    if (fileName.empty() || fileName[0] == '.' || !IsPictureExtension(result.extension)) {
        result.kind = PictureName::kNotAPicture;
        return result;
    }
    result.order = CardOfStem(stem);
    result.kind = result.order >= 0 ? PictureName::kCard : PictureName::kNotACard;
    return result;
}

PictureName ParseLayoutPictureName(std::string_view folder, std::string_view fileName) {
    PictureName result;
    std::string_view stem;
    SplitName(fileName, &stem, &result.extension);
    if (fileName.empty() || fileName[0] == '.' || !IsPictureExtension(result.extension)) return result;
    result.kind = PictureName::kNotACard;
    if (folder == "major_arcana") {
        if (stem.size() == 2 && AllDigits(stem)) result.order = CardOrder(stem);
    } else if (folder.rfind("minor_arcana/", 0) == 0) {
        const std::string_view suitWord = folder.substr(13);
        for (int s = 0; s < kSuitCount; ++s)
            for (int r = 0; r < kRankCount; ++r)
                if (suitWord == kSuitWords[s] && stem == kRankWords[r]) result.order = MinorOrder(s, r);
    }
    if (result.order >= 0) result.kind = PictureName::kCard;
    return result;
}

const char* const kPictureNamesHelp =
    "A plain folder's pictures are named by card, in any letter case, words\n"
    "separated by '-', '_', '.' or spaces, ending in .jpg, .jpeg, .png or .svg:\n"
    "  major arcana  a number 0 to 21 (or 00 to 21) first, any words after it:\n"
    "                00-fool.jpg, 0.png, 13_death.svg, 21 the world.jpg\n"
    "  minor arcana  a suit and a rank, in either order, 'of' allowed:\n"
    "                wands-ace.png, ace-of-wands.jpg, cups-10.jpg, swords-queen.svg\n"
    "                suits: wands (wand), cups (cup), swords (sword),\n"
    "                       pentacles (pentacle, coins, coin)\n"
    "                ranks: ace (one, 1, 01), two to ten (2 to 10, 02 to 10),\n"
    "                       page, knight, queen, king\n"
    "  or Sagewend's own picture names: 00 to 21, W1 to WK, CT, SP, PK ...\n"
    "A folder with a deck.toml is read as the tarot deck folder format:\n"
    "pictures in scalable/ (SVG) or h512/, h1024/, ... (JPEG, PNG), named\n"
    "major_arcana/00 to 21 and minor_arcana/<suit>/ace, two, ... ten, page,\n"
    "knight, queen, king, with the suits wands, cups, swords, pentacles.\n";

}  // namespace sw::importer
