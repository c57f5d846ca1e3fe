#pragma once
// Helpers for the data file tests: a private folder to work in, the
// messages shown, and encoded files written and read back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "app/msg_box.h"
#include "store/line_coder.h"
#include "store/line_source.h"
#include "support/files.h"

namespace sw::storetest {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sagewend-store-XXXXXX").string();
        const char* made = ::mkdtemp(pattern.data());
        if (!made) std::abort();
        path_ = made;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return (path_ / relative).string(); }

private:
    std::filesystem::path path_;
};

// Makes dir the working directory until the guard goes.
class ChangeDir {
public:
    explicit ChangeDir(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ChangeDir() { std::filesystem::current_path(previous_); }
    ChangeDir(const ChangeDir&) = delete;
    ChangeDir& operator=(const ChangeDir&) = delete;

private:
    std::filesystem::path previous_;
};

// Records every notification instead of showing it; each answers OK.
class MessageLog {
public:
    MessageLog()
        : guard_([this](const std::string& message, int iconId) {
              messages_.push_back(message);
              icons_.push_back(iconId);
              return 1;
          }) {}
    const std::vector<std::string>& messages() const { return messages_; }
    const std::vector<int>& icons() const { return icons_; }
    void Clear() {
        messages_.clear();
        icons_.clear();
    }

private:
    std::vector<std::string> messages_;
    std::vector<int> icons_;
    ScopedMsgBoxPresenter guard_;
};

// What is written to std::clog (the program's log) while it lives.
class LogCapture {
public:
    LogCapture() : previous_(std::clog.rdbuf(text_.rdbuf())) {}
    ~LogCapture() { std::clog.rdbuf(previous_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::string Text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

using sw::testing::ReadBytes;
using sw::testing::RunCommand;
using sw::testing::WriteBytes;

// Counts every line taken, to show that a count is never looped past the
// lines there are.
class CountingSource : public VectorLineSource {
public:
    using VectorLineSource::VectorLineSource;
    bool ReadString(std::string& line) override {
        ++reads;
        return VectorLineSource::ReadString(line);
    }
    int reads = 0;
};

// A count line followed by the lines of each block (cards, layouts).
inline std::vector<std::string> CountedBlocks(const std::string& count,
                                              const std::vector<std::vector<std::string>>& blocks) {
    std::vector<std::string> out = {count};
    for (const auto& block : blocks) out.insert(out.end(), block.begin(), block.end());
    return out;
}

// The stored form of lines, as the Windows program wrote it (CR LF) unless
// told otherwise.
inline std::string EncodedText(const std::vector<std::string>& lines, const std::string& lineEnd = "\r\n") {
    std::string out;
    for (const auto& line : lines) out += EncodeLine(line) + lineEnd;
    return out;
}

inline void WriteEncoded(const std::string& path, const std::vector<std::string>& lines,
                         const std::string& lineEnd = "\r\n") {
    WriteBytes(path, EncodedText(lines, lineEnd));
}

// The text lines of an encoded file.
inline std::vector<std::string> ReadEncoded(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(DecodedLineText(line));
    }
    return lines;
}

// Every file name under dir, relative to it.
inline std::set<std::string> FilesUnder(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        if (!entry.is_directory()) names.insert(entry.path().lexically_relative(dir).string());  // links as links
    return names;
}

// The decoded lines of the example deck Alpha: two cards, the first with a
// reversed picture.
inline std::vector<std::string> AlphaIndexLines() {
    return {"2",
            "######CARD######",
            "First Card",
            "1",
            "jpg",
            "r",
            "00",
            "~~~~~~Meaning~~~~~~",
            "Upright text, first line,",
            "and its continuation.",
            "~~~~~~Reverse~~~~~~",
            "Reversed text.",
            "######END######",
            "######CARD######",
            "Second Card",
            "0",
            "jpg",
            "",
            "01",
            "~~~~~~Meaning~~~~~~",
            "~~~~~~Reverse~~~~~~",
            "######END######"};
}

// The example layout store: one layout of three positions on a row of three
// cells, the middle one empty and position 3 not placed.
inline std::vector<std::string> ThreeInARowLines() {
    return {"1",
            "3",
            "0",
            "Three in a row",
            "Past|What has led here",
            "Present|Where things stand",
            "Future|Where things lead",
            "3",
            "1",
            "1# #2",
            "#######LAYOUT#######"};
}

// A complete data folder: the deck list, deck Alpha with its pictures and
// the example layout store.
inline void WriteExampleData(const std::filesystem::path& root) {
    WriteEncoded((root / "data/decks.dat").string(), {"1", "Alpha"});
    WriteEncoded((root / "decks/Alpha/index.dat").string(), AlphaIndexLines());
    for (const char* picture : {"00.jpg", "00r.jpg", "01.jpg"})
        WriteBytes((root / "decks/Alpha" / picture).string(), "picture");
    WriteEncoded((root / "data/layouts.dat").string(), ThreeInARowLines());
}

}  // namespace sw::storetest
