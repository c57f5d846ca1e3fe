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

void ShowError(const std::string& message) {
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
    const int countLine = file.LineNumber();
    const int declared = CAtoi(line);
    const int count = std::clamp(declared, 0, kMaxDecks);
    // Only the folder lines there are: a count larger than the list names
    // no deck, so nothing is looked for or offered for it.
    std::vector<std::string> folders;
    folders.reserve(std::min<std::size_t>(count, file.LinesLeft()));
    while (static_cast<int>(folders.size()) < count && file.ReadString(line)) folders.push_back(line);
    file.Close();
    decks.resize(folders.size());
    deckCount = static_cast<int>(decks.size());
    if (deckCount < count) {
        const ReadProblem problem{countLine, ShortCount(declared, deckCount, "deck", "decks")};
        ShowError(ShortCountMessage(kDeckListPath, problem, "Only the decks listed are offered."));
    }
    for (int i = 0; i < deckCount; ++i) decks[i].LoadIndex(folders[i], *fileSystem_);
}

void OracleData::LoadLayouts() {
    EncodedTextFile file(*fileSystem_);
    if (!file.Open(kLayoutsPath, EncodedTextFile::modeRead)) Fatal("Error opening Layout files");
    std::vector<LayoutRecord> read;
    ReadProblem problem;
    const bool ok = ReadLayouts(file, read, &problem);
    layoutsOnDisk_ = file.Version();
    file.Close();
    if (!ok) {
        std::clog << "sagewend: " << kLayoutsPath << ':' << problem.line << ": " << problem.message << '\n';
        Fatal("Error in Layout files");
    }
    if (!problem.message.empty())
        ShowError(ShortCountMessage(kLayoutsPath, problem,
                                    "Only the layouts there are offered; the next save writes the right count."));
    layouts = std::move(read);
    layoutCount = static_cast<int>(layouts.size());
}

bool OracleData::SaveLayouts() {
    EncodedTextFile file(*fileSystem_);
    if (file.Open(kLayoutsPath, EncodedTextFile::modeCreate | EncodedTextFile::modeWrite)) {
        for (const std::string& line : LayoutFileLines(layouts)) file.WriteString(line);
        if (file.Commit()) {
            layoutsOnDisk_ = file.Version();
            return true;
        }
    }
    ShowError("Error opening Layout files");
    return false;
}

OracleData::LayoutsFile OracleData::RereadChangedLayouts(std::string* problem) {
    // A file that cannot be read now is left to the save, which says so.
    const auto now = EncodedTextFile::CurrentVersion(kLayoutsPath, *fileSystem_);
    if (!layoutsOnDisk_ || !now || *now == *layoutsOnDisk_) return LayoutsFile::kUnchanged;
    if (!now->exists) {
        layoutsOnDisk_ = *now;
        return LayoutsFile::kRemoved;
    }
    EncodedTextFile file(*fileSystem_);
    if (!file.Open(kLayoutsPath, EncodedTextFile::modeRead)) return LayoutsFile::kUnchanged;
    std::vector<LayoutRecord> read;
    ReadProblem where;
    const bool ok = ReadLayouts(file, read, &where);
    const StoredVersion version = file.Version();
    file.Close();
    if (!ok) {
        *problem = Format("line %d: %s", where.line, where.message.c_str());
        return LayoutsFile::kUnreadable;
    }
    layouts = std::move(read);
    layoutCount = static_cast<int>(layouts.size());
    layoutsOnDisk_ = version;
    return LayoutsFile::kReread;
}

}  // namespace sw
