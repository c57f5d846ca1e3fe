#pragma once
// Where the data readers take their text lines from: an open data file in
// the program, a list of decoded lines in the data tool and in tests.
#include <string>
#include <utility>
#include <vector>

namespace sw {

class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line without its line end; false at the end, with line empty.
    virtual bool ReadString(std::string& line) = 0;
    // The number (from 1) of the line last read, for messages.
    virtual int LineNumber() const = 0;
    // How many lines are still to be read: what bounds a count line before
    // anything is allocated or looped for it.
    virtual std::size_t LinesLeft() const = 0;
};

// Lines held in memory, each with the number it is reported under.
class VectorLineSource : public LineSource {
public:
    VectorLineSource() = default;
    // Numbers the lines 1, 2, 3, ...
    explicit VectorLineSource(std::vector<std::string> lines) {
        int number = 0;
        for (auto& line : lines) lines_.emplace_back(std::move(line), ++number);
    }
    void Add(std::string line, int number) { lines_.emplace_back(std::move(line), number); }

    bool ReadString(std::string& line) override {
        if (next_ >= lines_.size()) {
            line.clear();
            return false;
        }
        line = lines_[next_].first;
        last_ = lines_[next_].second;
        ++next_;
        return true;
    }
    int LineNumber() const override { return last_; }
    std::size_t LinesLeft() const override { return lines_.size() - next_; }
    bool AtEnd() const { return next_ >= lines_.size(); }

private:
    std::vector<std::pair<std::string, int>> lines_;
    std::size_t next_ = 0;
    int last_ = 0;
};

}  // namespace sw
