// OracleData's construction and the reading and writing of its data files.
#include <algorithm>
#include <iostream>

#include "app/msg_box.h"
#include "core/text.h"
#include "platform/host.h"
#include "store/data_format.h"
#include "store/encoded_text_file.h"
#include "store/oracle_data.h"

namespace sw {

namespace {

constexpr const char* kDeckListPath = "data/decks.dat";
constexpr const char* kLayoutsPath = "data/layouts.dat";

void ShowError(const char* message) {
    CMsgBox box;
    box.Show(message, platform::kIconExclamation);
}

[[noreturn]] void Fatal(const char* message) {
    ShowError(message);
    throw FatalDataError(message);
}

}  // namespace

OracleData::OracleData(FileSystem& fileSystem) : fileSystem_(&fileSystem) {
    LoadDecks();
    LoadLayouts();
}

void OracleData::LoadDecks() {
    decks.clear();
    deckCount = 0;
    EncodedTextFile file(*fileSystem_);
    if (!file.Open(kDeckListPath, EncodedTextFile::modeRead)) Fatal("Error opening Deck files");

    std::string line;
    file.ReadString(line);
    const int count = std::clamp(CAtoi(line), 0, kMaxDecks);
    decks.resize(count);
    deckCount = count;
    int listed = 0;
    for (DeckRecord& deck : decks) {
        // Past the end of the list a folder line reads as empty.
        if (file.ReadString(line)) ++listed;
        deck.LoadIndex(line, *fileSystem_);
    }
    file.Close();
    if (listed < count)
        std::clog << "sagewend: " << kDeckListPath << " is cut short: its count line says " << count
                  << " decks, but it names only " << listed << '\n';
}

void OracleData::LoadLayouts() {
    EncodedTextFile file(*fileSystem_);
    if (!file.Open(kLayoutsPath, EncodedTextFile::modeRead)) Fatal("Error opening Layout files");
    std::vector<LayoutRecord> read;
    ReadProblem problem;
    const bool ok = ReadLayouts(file, read, &problem);
    file.Close();
    if (!ok) {
        std::clog << "sagewend: " << kLayoutsPath << ':' << problem.line << ": " << problem.message << '\n';
        Fatal("Error in Layout files");
    }
    layouts = std::move(read);
    layoutCount = static_cast<int>(layouts.size());
}

bool OracleData::SaveLayouts() {
    EncodedTextFile file(*fileSystem_);
    if (file.Open(kLayoutsPath, EncodedTextFile::modeCreate | EncodedTextFile::modeWrite)) {
        for (const std::string& line : LayoutFileLines(layouts)) file.WriteString(line);
        if (file.Commit()) return true;
    }
    ShowError("Error opening Layout files");
    return false;
}

}  // namespace sw
