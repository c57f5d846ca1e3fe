#pragma once
// A deck made from a folder of card pictures: `sagewend-data import-deck`.
//
// All on the tool's one thread, in three steps:
// 1. The source is read: which picture shows which card (by its name in a
//    plain folder, by its place in a folder with a deck.toml), the cards'
//    names, the deck's name, and the meanings taken by card from another
//    deck of the data folder.
// 2. Each picture is read, checked and turned half a turn; while no problem
//    has been found, both are written, with index.dat, into a folder
//    decks/.import-<pid>-<n> that nothing else reads.
// 3. When all of it is there and synced, that folder is renamed to the
//    deck's name (never over an existing one) and data/decks.dat is
//    rewritten with the deck added (a temporary file beside it, synced, and
//    renamed over it, through a link to the file it links to). If this last
//    write fails, the deck folder goes again.
// Every problem is kept with its file, so one run names them all; any
// problem means that nothing in the data folder changes. Imports into one
// data folder take turns through a lock on its decks/ folder; a running
// Sagewend is not disturbed (it reads the deck list only when it starts).
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "importer/deck_manifest.h"
#include "store/file_system.h"

namespace sw::importer {

inline constexpr std::size_t kMaxDeckNameCharacters = 64;

struct ImportRequest {
    std::filesystem::path source;
    std::filesystem::path dataFolder;  // holds data/ (and decks/, made when missing)
    std::string name;                  // empty: the deck's own name, else the source folder's
    std::string meaningsDeck;          // a deck folder of the data folder; empty: none
};

struct ImportResult {
    std::vector<Problem> problems;  // any problem: nothing was changed
    std::vector<Problem> notes;     // what the user should know; nothing is wrong
    std::vector<std::string> summary;  // what was made, when it was
    std::string deckName;
    int cardCount = 0;
};

// The text an imported card's meanings hold when no deck gave them.
extern const char* const kNoMeaningText;

// Makes the deck; true when it is in place and listed in data/decks.dat.
// File writes go through fileSystem (tests make single steps fail).
bool ImportDeck(const ImportRequest& request, ImportResult* result, FileSystem& fileSystem = RealFileSystem());

// Why name cannot be a deck's name: it becomes a folder under decks/, the
// name shown on the reading form, and part of every picture's address.
// Empty when it can.
std::string DeckNameProblem(std::string_view name);

// The command: `import-deck SOURCE [--name NAME] [--meanings DECK] [-C DIR]`
// with its messages and exit status (0 made, 1 a problem and nothing
// changed, 2 a wrong argument).
int ImportDeckCommand(const std::vector<std::string>& args);
std::string ImportDeckUsage();

}  // namespace sw::importer
