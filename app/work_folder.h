#pragma once
// Where the program works: the folder that holds data/, decks/ and images/.
// In order: the folder named with -C; else the current folder when it holds
// data/decks.dat (scripts and tests start the program inside a data
// folder), unless it is the sample data the user's folder is made from;
// else the user's own folder $XDG_DATA_HOME/sagewend (by default
// ~/.local/share/sagewend), made from the installed sample data the first
// time, so saved layouts belong to the user and survive upgrades.
#include <filesystem>
#include <string>

namespace sw {

struct WorkFolderChoice {
    std::filesystem::path folder;
    std::string note;  // what was done to make it, for standard error; empty when nothing was
};

// The sample data installed beside the program: <prefix>/share/sagewend for
// a program in <prefix>/bin (so an unpacked package works wherever it is),
// else the source tree's sample/ for a program run from its build folder.
// Empty when neither holds data/decks.dat.
std::filesystem::path InstalledSampleData();

// The per-user folder: $XDG_DATA_HOME/sagewend, or ~/.local/share/sagewend.
// Empty when neither XDG_DATA_HOME nor HOME is set.
std::filesystem::path UserDataFolder();

// Chooses the folder as described above. The per-user folder is filled from
// the installed sample data, copying only what is missing and never
// overwriting a file. False with a message that names the folders looked
// in, the files expected and how to point the program at data.
bool ChooseWorkFolder(const std::string& requested, WorkFolderChoice* choice, std::string* err);

// The hint shown after the data in folder could not be loaded.
std::string MissingDataHint(const std::filesystem::path& folder);

}  // namespace sw
