#pragma once
// The 78 cards of a tarot deck as Sagewend's decks name them, and how the
// importer tells a card from a picture's file name.
//
// A card's identity is its two-character picture name in the bundled deck:
// "00" to "21" for the major arcana, then a suit letter (W wands, C cups,
// S swords, P pentacles) and a rank (1-9, T ten, P page, N knight, Q queen,
// K king). Decks are written in this order, and meanings are matched by it.
#include <string>
#include <string_view>

namespace sw::importer {

inline constexpr int kMajorCount = 22;
inline constexpr int kRankCount = 14;
inline constexpr int kSuitCount = 4;
inline constexpr int kTarotCount = kMajorCount + kSuitCount * kRankCount;

// The identity of card `order` (0 to 77): "00", ..., "21", "W1", ..., "PK".
std::string CardCode(int order);
// The order of a card identity, or -1 when code names none.
int CardOrder(std::string_view code);
inline bool IsMajor(int order) { return order >= 0 && order < kMajorCount; }

// The bundled deck's name of a card ("The Fool", "Ten of Cups").
std::string BundledName(int order);
// The name of a minor card from its rank and suit words ("Page", "Wands").
std::string MinorName(std::string_view rank, std::string_view suit);
// The canonical words of the deck folder layout: "wands", "ace", ...
std::string_view SuitWord(int suit);
std::string_view RankWord(int rank);
int SuitOf(int order);  // 0 to 3 for a minor card, else -1
int RankOf(int order);  // 0 to 13 for a minor card, else -1

// The major arcana card a key of a deck's remapping names ("justice",
// "The_Hanged_Man", "wheel of fortune"), or -1.
int MajorByKey(std::string_view key);

// What a picture's file name says.
struct PictureName {
    enum Kind {
        kCard,        // names a card: order and extension are set
        kNotACard,    // a picture extension, but the name says no card
        kNotAPicture  // no picture extension (or a hidden file): not the importer's
    };
    Kind kind = kNotAPicture;
    int order = -1;
    std::string extension;  // lower case, without the dot
};

// A picture of a plain folder: "00-fool.jpg", "0.png", "wands-ace.png",
// "ace-of-wands.jpg", "cups_10.jpg", "Swords Queen.svg", "CT.jpg". See
// kPictureNamesHelp. Extensions are taken in any case; which kinds can be
// imported is the caller's concern.
PictureName ParsePictureName(std::string_view fileName);

// A picture of a deck folder laid out by the tarot deck format:
// major_arcana/00.<ext> ... 21, minor_arcana/<suit>/<rank>.<ext> with the
// canonical words. folder is the picture's folder below the resolution
// folder ("major_arcana", "minor_arcana/cups").
PictureName ParseLayoutPictureName(std::string_view folder, std::string_view fileName);

// Whether the importer reads pictures of this extension (jpg, jpeg, png, svg).
bool IsImportedExtension(std::string_view extension);

// The names understood, for --help and the manual page.
extern const char* const kPictureNamesHelp;

}  // namespace sw::importer
