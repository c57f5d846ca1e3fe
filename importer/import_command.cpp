// The import-deck command of sagewend-data: its arguments, the data folder
// it works in (chosen as the program chooses its own), and its messages.
#include <cstdio>
#include <string>
#include <vector>

#include "app/work_folder.h"
#include "importer/card_identity.h"
#include "importer/import_deck.h"

namespace sw::importer {

namespace {

void Print(std::FILE* out, const Problem& problem, const char* kind) {
    if (problem.line > 0)
        std::fprintf(out, "%s:%d: %s: %s\n", problem.file.c_str(), problem.line, kind, problem.message.c_str());
    else
        std::fprintf(out, "%s: %s: %s\n", problem.file.c_str(), kind, problem.message.c_str());
}

int Usage() {
    std::fputs(ImportDeckUsage().c_str(), stderr);
    return 2;
}

}  // namespace

std::string ImportDeckUsage() {
    return std::string(
               "Usage: sagewend-data import-deck SOURCE [--name NAME] [--meanings DECK] [-C DIR]\n"
               "\n"
               "Makes a deck of the card pictures in the folder SOURCE: a folder decks/NAME\n"
               "with every picture, its reversed form (the picture turned half a turn) and\n"
               "index.dat, and NAME added to data/decks.dat. A deck is all 78 cards of the\n"
               "tarot or its 22 major arcana alone. Nothing changes when anything is wrong:\n"
               "each problem is printed as FILE: error: ... and the deck is not made.\n"
               "\n"
               "Options:\n"
               "  --name NAME      the deck's name, also its folder (default: the name in\n"
               "                   deck.toml, else the name of the folder SOURCE); at most\n"
               "                   64 characters, none of / \\ < > & \" ' # ? %, not begun\n"
               "                   with a dot, and no deck of the data folder's may have\n"
               "                   it, whatever the letter case\n"
               "  --meanings DECK  take each card's meanings from the deck folder DECK of\n"
               "                   the data folder, card by card (The Fool's for The Fool);\n"
               "                   without it every card says that no meaning was given\n"
               "  -C DIR           the data folder to import into; without it, the one the\n"
               "                   program itself uses: the current folder when it holds\n"
               "                   data/decks.dat, else your own (~/.local/share/sagewend)\n"
               "\n"
               "Card names come from the deck (names/en.toml, [aliases] in deck.toml) or\n"
               "else are the usual ones. JPEG pictures are turned without loss; a JPEG\n"
               "whose size is not a whole number of its 8 or 16 pixel blocks is trimmed to\n"
               "whole blocks, both ways, and a note says so. A picture may be at most\n"
               "20 MB; an SVG picture may not hold scripts or refer to other files.\n"
               "\n") +
           kPictureNamesHelp +
           "\n"
           "Exit status: 0 when the deck was made, 1 when a problem kept it from being\n"
           "made (nothing was changed), 2 for a wrong argument.\n"
           "\n"
           "Example: sagewend-data import-deck ~/Pictures/my-cards --name \"Moon Garden\"\n";
}

int ImportDeckCommand(const std::vector<std::string>& args) {
    ImportRequest request;
    std::string folder;
    bool haveSource = false;
    bool nameGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* into) {
            if (i + 1 >= args.size()) return false;
            *into = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(ImportDeckUsage().c_str(), stdout);
            return 0;
        }
        if (arg == "--name") {
            if (!value(&request.name)) return Usage();
            nameGiven = true;
        } else if (arg.rfind("--name=", 0) == 0) {
            request.name = arg.substr(7);
            nameGiven = true;
        } else if (arg == "--meanings") {
            if (!value(&request.meaningsDeck)) return Usage();
        } else if (arg.rfind("--meanings=", 0) == 0) {
            request.meaningsDeck = arg.substr(11);
        } else if (arg == "-C") {
            if (!value(&folder) || folder.empty()) return Usage();
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "sagewend-data: import-deck has no option %s\n\n", arg.c_str());
            return Usage();
        } else if (!haveSource) {
            request.source = arg;
            haveSource = true;
        } else {
            return Usage();
        }
    }
    if (!haveSource) return Usage();
    if (nameGiven && request.name.empty()) {
        std::fprintf(stderr, "sagewend-data: --name: error: the deck name is empty\n");
        return 2;
    }

    WorkFolderChoice choice;
    std::string error;
    if (!ChooseWorkFolder(folder, &choice, &error)) {
        std::fprintf(stderr, "sagewend-data: %s\n", error.c_str());
        return 1;
    }
    if (!choice.note.empty()) std::fprintf(stderr, "sagewend-data: %s\n", choice.note.c_str());
    request.dataFolder = choice.folder;
    std::printf("Importing %s into the data folder %s\n", request.source.c_str(), choice.folder.c_str());

    ImportResult result;
    const bool made = ImportDeck(request, &result);
    for (const Problem& note : result.notes) Print(stdout, note, "note");
    std::fflush(stdout);
    for (const Problem& problem : result.problems) Print(stderr, problem, "error");
    if (!made) {
        std::fprintf(stderr, "Nothing was changed: %zu problem%s to mend first.\n", result.problems.size(),
                     result.problems.size() == 1 ? "" : "s");
        return 1;
    }
    for (const std::string& line : result.summary) std::printf("%s\n", line.c_str());
    std::printf("Check the data folder with: sagewend-data check '%s'\n", choice.folder.c_str());
    return 0;
}

}  // namespace sw::importer
