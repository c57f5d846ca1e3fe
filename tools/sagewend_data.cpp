// sagewend-data: reads, writes and checks Sagewend's encoded data files.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "core/text.h"
#include "importer/import_deck.h"
#include "store/data_format.h"
#include "store/file_system.h"
#include "store/leftovers.h"
#include "store/line_coder.h"
#include "store/line_source.h"
#include "store/markup_policy.h"

namespace {

using namespace sw;

constexpr const char* kUsage =
    "Usage: sagewend-data COMMAND [ARGUMENTS]\n"
    "\n"
    "Reads, writes and checks Sagewend's data files, whose every text line is\n"
    "stored as one Base64 line.\n"
    "\n"
    "Commands:\n"
    "  decode FILE    print the text lines of an encoded file\n"
    "  encode [FILE]  print the encoded form of a plain text file (standard\n"
    "                 input when no FILE is given)\n"
    "  check [DIR]    check a data folder (default: the current folder)\n"
    "  import-deck SOURCE [--name NAME] [--meanings DECK] [-C DIR]\n"
    "                 make a deck from a folder of card pictures\n"
    "\n"
    "Options:\n"
    "  --version      show the version\n"
    "  --help         show this text\n"
    "\n"
    "Run 'sagewend-data COMMAND --help' for the details of a command.\n";

constexpr const char* kDecodeUsage =
    "Usage: sagewend-data decode FILE\n"
    "\n"
    "Prints the text lines of the encoded FILE, one per line, as Sagewend reads\n"
    "them: each stored line decoded, cut at a zero byte, and taken as\n"
    "Windows-1252 when it is not UTF-8.\n"
    "\n"
    "Example: sagewend-data decode data/layouts.dat > layouts.txt\n";

constexpr const char* kEncodeUsage =
    "Usage: sagewend-data encode [FILE]\n"
    "\n"
    "Prints the encoded form of the plain text FILE (or standard input): one\n"
    "Base64 line per text line. Line ends may be LF or CR LF.\n"
    "\n"
    "Example: sagewend-data encode index.txt > decks/MyDeck/index.dat\n";

constexpr const char* kCheckUsage =
    "Usage: sagewend-data check [DIR]\n"
    "\n"
    "Checks the data folder DIR (default: the current folder) the way Sagewend\n"
    "reads it: DIR/data/decks.dat, the index.dat of every deck it names under\n"
    "DIR/decks/ (markers, card counts, up to 120 cards, meanings, and that each\n"
    "card's upright picture and, when the card has one, its reversed picture\n"
    "exist) and DIR/data/layouts.dat (terminators, grid sizes, cells naming no\n"
    "position, positions placed on no cell). In card names, meanings and\n"
    "position texts it warns about the markup the page drops: tags and\n"
    "attributes outside Sagewend's markup policy, pictures from elsewhere than\n"
    "decks/ and images/, and in particular links, forms, refreshes, bases,\n"
    "scripts, event handlers and javascript: addresses. It also names the\n"
    "files a killed Sagewend left behind (working copies, temporary saves),\n"
    "which the program removes at its next start, unless a running Sagewend\n"
    "is using the folder.\n"
    "\n"
    "Each problem is printed as FILE:LINE: error: ... or FILE:LINE: warning: ...\n"
    "The exit status is 1 when there are errors, 0 otherwise.\n";

bool IsHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool IsDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// Writes each line of the file at path (standard input when none) through
// convert to standard output, each ended by lineEnd.
int ConvertLines(const std::string* path, std::string (*convert)(std::string_view), const char* lineEnd) {
    FileSystem& fs = RealFileSystem();
    int fd = STDIN_FILENO;
    if (path) {
        fd = fs.Open(*path, O_RDONLY, 0);
        if (fd < 0) {
            std::fprintf(stderr, "sagewend-data: cannot open %s: %s\n", path->c_str(), std::strerror(errno));
            return 1;
        }
    }
    LineReader reader(fs, fd);
    BufferedWriter out(fs, STDOUT_FILENO);
    std::string line;
    while (!out.Failed() && reader.ReadLine(line)) {
        out.Write(convert(line));
        out.Write(lineEnd);
    }
    const bool readFailed = reader.Failed();
    const int readError = errno;
    if (path) fs.Close(fd);
    if (!out.Flush()) {
        std::fprintf(stderr, "sagewend-data: cannot write the output\n");
        return 1;
    }
    if (readFailed) {
        std::fprintf(stderr, "sagewend-data: cannot read %s: %s\n", path ? path->c_str() : "standard input",
                     std::strerror(readError));
        return 1;
    }
    return 0;
}

// ---- check -----------------------------------------------------------------

class Checker {
public:
    explicit Checker(std::string dir) : dir_(std::move(dir)) {}

    int Run();

private:
    void CheckLeftovers();
    struct TextFile {
        std::vector<std::pair<std::string, int>> lines;  // text, stored line number
        int storedLines = 0;

        VectorLineSource Source() const {
            VectorLineSource source;
            for (const auto& [text, number] : lines) source.Add(text, number);
            return source;
        }
        // The text of the first line reported under number, or nullptr.
        const std::string* Line(int number) const {
            for (const auto& entry : lines)
                if (entry.second == number) return &entry.first;
            return nullptr;
        }
    };

    std::string PathOf(const std::string& relative) const {
        return dir_ == "." ? relative : dir_ + "/" + relative;
    }
    void Error(const std::string& file, int line, const std::string& message) {
        Print(file, line, "error", message);
        ++errors_;
    }
    void Warning(const std::string& file, int line, const std::string& message) {
        Print(file, line, "warning", message);
        ++warnings_;
    }
    static void Print(const std::string& file, int line, const char* kind, const std::string& message) {
        if (line > 0)
            std::printf("%s:%d: %s: %s\n", file.c_str(), line, kind, message.c_str());
        else
            std::printf("%s: %s: %s\n", file.c_str(), kind, message.c_str());
    }

    bool Load(const std::string& file, TextFile& text);
    void WarnMarkerLookalikes(const std::string& file, const TextFile& text);
    // Warns about the markup the page drops from html, found on line, or,
    // for a text joined from the lines after a marker, on the line holding
    // each piece.
    void WarnDroppedMarkup(const std::string& file, const TextFile& text, int line, const std::string& where,
                           const std::string& html, const char* marker = nullptr);
    void CheckDeckList();
    void CheckDeck(const std::string& deckList, int listLine, const std::string& folder);
    void CheckLayouts();

    std::string dir_;
    int errors_ = 0;
    int warnings_ = 0;
};

// Reads an encoded file into text lines as the program's working copy holds
// them, warning about lines the program can read only leniently.
bool Checker::Load(const std::string& file, TextFile& text) {
    FileSystem& fs = RealFileSystem();
    const int fd = fs.Open(file, O_RDONLY, 0);
    if (fd < 0) return false;
    LineReader reader(fs, fd);
    std::string stored;
    int number = 0;
    while (reader.ReadLine(stored)) {
        ++number;
        const std::string bytes = DecodeLine(stored);
        if (EncodeLine(bytes) != stored)
            Warning(file, number, "not well-formed Base64; the program decodes it leniently");
        if (bytes.find('\0') != std::string::npos)
            Warning(file, number, "the decoded text holds a zero byte; the line ends there");
        else if (!IsValidUtf8(bytes))
            Warning(file, number, "the text is not UTF-8; it is read as Windows-1252");
        const std::string decoded = DecodedLineText(stored);
        const std::vector<std::string> pieces = [&] {
            std::vector<std::string> out;
            std::size_t start = 0;
            for (;;) {
                const std::size_t end = decoded.find('\n', start);
                std::string piece = decoded.substr(start, end == std::string::npos ? std::string::npos : end - start);
                if (!piece.empty() && piece.back() == '\r') piece.pop_back();
                out.push_back(std::move(piece));
                if (end == std::string::npos) break;
                start = end + 1;
            }
            return out;
        }();
        if (pieces.size() > 1) Warning(file, number, "the text holds a line break; it is read as several lines");
        for (const auto& piece : pieces) text.lines.emplace_back(piece, number);
    }
    const bool failed = reader.Failed();
    const int error = errno;
    fs.Close(fd);
    text.storedLines = number;
    if (failed) {
        Error(file, 0, Format("cannot be read: %s", std::strerror(error)));
        return false;
    }
    return true;
}

void Checker::WarnMarkerLookalikes(const std::string& file, const TextFile& text) {
    static const std::string markers[] = {kCardMarker, kMeaningMarker, kReverseMarker, kEndMarker,
                                          kLayoutTerminator};
    for (const auto& [line, number] : text.lines) {
        const std::size_t first = line.find_first_not_of(" \t");
        const std::size_t last = line.find_last_not_of(" \t");
        if (first == std::string::npos) continue;
        const std::string trimmed = line.substr(first, last - first + 1);
        for (const auto& marker : markers)
            if (trimmed != line && trimmed == marker)
                Warning(file, number, Format("\"%s\" with blanks around it is not a marker; it is read as text",
                                             marker.c_str()));
    }
}

void Checker::WarnDroppedMarkup(const std::string& file, const TextFile& text, int line, const std::string& where,
                                const std::string& html, const char* marker) {
    if (html.find('<') == std::string::npos) return;
    // Where each piece of a joined text starts: the lines after its marker.
    std::vector<std::pair<std::size_t, int>> starts = {{0, line}};
    if (marker) {
        starts.clear();
        std::size_t k = 0;
        while (k < text.lines.size() && !(text.lines[k].second >= line && text.lines[k].first == marker)) ++k;
        std::size_t offset = 0;
        for (++k; k < text.lines.size() && offset < html.size(); ++k) {
            starts.emplace_back(offset, text.lines[k].second);
            offset += text.lines[k].first.size();
        }
        if (starts.empty()) starts.emplace_back(0, line + 1);
    }
    auto lineOf = [&](std::size_t offset) {
        int found = starts.front().second;
        for (const auto& [from, number] : starts)
            if (from <= offset) found = number;
        return found;
    };
    // Each kind once per text, at its first place, with how often it comes.
    std::vector<std::pair<DroppedMarkup, int>> kinds;
    for (auto& dropped : FindDroppedMarkup(html)) {
        auto same = std::find_if(kinds.begin(), kinds.end(),
                                 [&](const auto& kind) { return kind.first.what == dropped.what; });
        if (same != kinds.end()) ++same->second;
        else kinds.emplace_back(std::move(dropped), 1);
    }
    for (const auto& [dropped, times] : kinds)
        Warning(file, lineOf(dropped.offset),
                Format("%s: %s%s", where.c_str(), dropped.what.c_str(),
                       times > 1 ? Format(" (%d times)", times).c_str() : ""));
}

bool HasDigits(const std::string& line) {
    std::size_t i = line.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return false;
    if (line[i] == '+' || line[i] == '-') ++i;
    return i < line.size() && line[i] >= '0' && line[i] <= '9';
}

void Checker::CheckDeckList() {
    const std::string file = PathOf("data/decks.dat");
    if (!IsDirectory(PathOf("data"))) {
        Error(PathOf("data"), 0, "the data folder is missing; the program cannot start");
        return;
    }
    TextFile text;
    if (!Load(file, text)) {
        if (!Exists(file)) Warning(file, 0, "missing; the program starts with no decks");
        return;
    }
    if (text.lines.empty()) {
        Warning(file, 0, "empty; the program starts with no decks");
        return;
    }
    const std::string& first = text.lines[0].first;
    if (!HasDigits(first)) Error(file, 1, "the first line should be the number of decks");
    const int count = CAtoi(first);
    if (count < 1) {
        Warning(file, 1, "no decks are listed");
        return;
    }
    const int listed = static_cast<int>(text.lines.size()) - 1;
    if (listed < count) {
        Error(file, 1, ShortCount(count, listed, "deck", "decks") + "; only the decks listed are offered");
    } else if (count > kMaxDecks) {
        Error(file, 1, Format("%d decks; the program reads at most %d", count, kMaxDecks));
        return;
    }
    for (int i = count + 1; i < static_cast<int>(text.lines.size()); ++i) {
        if (!text.lines[i].first.empty()) {
            Warning(file, text.lines[i].second,
                    Format("lines after the %d declared decks are ignored", count));
            break;
        }
    }
    std::set<std::string> seen;
    for (int i = 1; i <= std::min(count, listed); ++i) {
        const auto& [folder, number] = text.lines[i];
        if (folder.empty()) {
            Error(file, number, "empty deck folder name");
            continue;
        }
        if (!IsSafeDeckDirectory(folder)) {
            Error(file, number, Format("deck folder \"%s\" lies outside decks/; it is not loaded", folder.c_str()));
            continue;
        }
        if (!seen.insert(folder).second) {
            Warning(file, number, Format("deck \"%s\" is listed more than once", folder.c_str()));
            continue;
        }
        CheckDeck(file, number, folder);
    }
}

void Checker::CheckDeck(const std::string& deckList, int listLine, const std::string& folder) {
    const std::string folderPath = PathOf("decks/" + folder);
    if (!IsDirectory(folderPath)) {
        Error(deckList, listLine, Format("deck folder %s is missing", folderPath.c_str()));
        return;
    }
    const std::string file = folderPath + "/index.dat";
    TextFile text;
    if (!Load(file, text)) {
        if (!Exists(file)) Error(file, 0, "missing; the deck would have no cards");
        return;
    }
    WarnMarkerLookalikes(file, text);
    const std::string* first = text.Line(1);
    if (!first || !HasDigits(*first)) Error(file, 1, "the first line should be the number of cards");

    VectorLineSource source = text.Source();
    DeckRecord deck;
    deck.directory = folder;
    ReadProblem problem;
    CardIndexLines lines;
    if (!ReadCardIndex(source, deck, &problem, &lines)) {
        Error(file, problem.line, problem.message + "; the deck is not loaded");
        return;
    }
    if (!problem.message.empty())
        Error(file, problem.line, problem.message + "; the deck is offered with the cards there are");
    if (deck.cardCount == 0) {
        Error(file, lines.countLine > 0 ? lines.countLine : 1,
              Format("no cards; a deck needs 1 to %d cards to be dealt", kMaxDeckCards));
        return;
    }
    if (!source.AtEnd()) {
        std::string rest;
        while (source.ReadString(rest)) {
            if (!rest.empty()) {
                Warning(file, source.LineNumber(),
                        Format("lines after the %d declared cards are ignored", deck.cardCount));
                break;
            }
        }
    }
    for (int i = 0; i < deck.cardCount; ++i) {
        const CardRecord& card = deck.CardAt(i);
        const int line = lines.cardLines[i];
        const int number = i + 1;
        if (card.name.empty()) Warning(file, line + 1, Format("card %d has no name", number));
        if (const std::string* flag = text.Line(line + 2); flag && *flag != "0" && *flag != "1")
            Warning(file, line + 2,
                    Format("card %d: reversed-picture flag \"%s\" reads as 0; write 0 or 1", number, flag->c_str()));
        if (card.imageExtension.empty()) Error(file, line + 3, Format("card %d has no picture extension", number));
        if (card.number.empty())
            Error(file, line + 5, Format("card %d has no number to name its pictures", number));
        else if (card.number.size() > 2)
            Warning(file, line + 5,
                    Format("card %d: only the first two characters of \"%s\" name the pictures", number,
                           card.number.c_str()));
        if (!card.number.empty() && !card.imageExtension.empty()) {
            const std::string nn = card.number.substr(0, 2);
            const std::string upright = folderPath + "/" + nn + "." + card.imageExtension;
            if (!IsRegularFile(upright))
                Error(file, line + 5, Format("card %d: picture %s is missing", number, upright.c_str()));
            if (card.hasReversedImage) {
                const std::string reversed =
                    folderPath + "/" + nn + card.reversedImageSuffix + "." + card.imageExtension;
                if (card.reversedImageSuffix.empty())
                    Warning(file, line + 4,
                            Format("card %d has a reversed picture but no suffix; both orientations show %s",
                                   number, upright.c_str()));
                else if (!IsRegularFile(reversed))
                    Error(file, line + 4, Format("card %d: reversed picture %s is missing", number, reversed.c_str()));
            }
        }
        const std::string which = Format("card %d", number);
        WarnDroppedMarkup(file, text, line + 1, which + "'s name", card.name);
        WarnDroppedMarkup(file, text, lines.meaningLines[i], which + "'s upright meaning", card.meaning,
                          kMeaningMarker);
        WarnDroppedMarkup(file, text, lines.reverseLines[i], which + "'s reversed meaning", card.reversedMeaning,
                          kReverseMarker);
        if (card.meaning.empty())
            Warning(file, lines.meaningLines[i],
                    Format("card %d has an empty meaning", number));
        if (card.hasReversedImage && card.reversedMeaning.empty())
            Warning(file, lines.reverseLines[i],
                    Format("card %d can come up reversed but its reversed meaning is empty", number));
    }
}

bool IsPositionNumber(const std::string& cell, int positionCount) {
    if (cell.empty() || cell.size() > 3) return false;
    for (char c : cell)
        if (c < '0' || c > '9') return false;
    const int value = CAtoi(cell);
    return value >= 1 && value <= positionCount;
}

void Checker::CheckLayouts() {
    const std::string file = PathOf("data/layouts.dat");
    if (!IsDirectory(PathOf("data"))) return;  // already reported
    TextFile text;
    if (!Load(file, text)) {
        if (!Exists(file)) Warning(file, 0, "missing; the program starts with no layouts");
        return;
    }
    if (text.lines.empty()) {
        Warning(file, 0, "empty; the program starts with no layouts");
        return;
    }
    WarnMarkerLookalikes(file, text);
    if (!HasDigits(text.lines[0].first)) Error(file, 1, "the first line should be the number of layouts");

    VectorLineSource source = text.Source();
    std::vector<LayoutRecord> layouts;
    std::vector<LayoutLines> lines;
    ReadProblem problem;
    if (!ReadLayouts(source, layouts, &problem, &lines)) {
        Error(file, problem.line, problem.message + "; the program stops with \"Error in Layout files\"");
        return;
    }
    if (!problem.message.empty()) Error(file, problem.line, problem.message + "; only those are offered");
    if (layouts.empty()) Warning(file, 1, "no layouts");
    std::string rest;
    while (source.ReadString(rest)) {
        if (!rest.empty()) {
            Warning(file, source.LineNumber(), "lines after the last layout are ignored");
            break;
        }
    }
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        const LayoutRecord& layout = layouts[i];
        const LayoutLines& at = lines[i];
        const int number = static_cast<int>(i) + 1;
        if (layout.name.empty()) Warning(file, at.first + 2, Format("layout %d has no name", number));
        if (const std::string* flag = text.Line(at.first + 1); flag && *flag != "0" && *flag != "1")
            Warning(file, at.first + 1, Format("layout %d: flag \"%s\" reads as 0; write 0 or 1", number, flag->c_str()));
        if (layout.columns < 1) Error(file, at.columns, Format("layout %d: a grid needs 1 to %d columns", number, kGridSize));
        if (layout.rows < 1) Error(file, at.rows, Format("layout %d: a grid needs 1 to %d rows", number, kGridSize));
        for (int p = 0; p < layout.positionCount; ++p) {
            const std::string& position = layout.PositionText(p);
            WarnDroppedMarkup(file, text, at.positions + p, Format("layout %d, position %d", number, p + 1), position);
            if (PositionTitle(position).empty())
                Warning(file, at.positions + p, Format("layout %d: position %d has no title", number, p + 1));
            else if (PositionDescription(position).empty())
                Warning(file, at.positions + p, Format("layout %d: position %d has no description", number, p + 1));
        }
        std::vector<bool> placed(layout.positionCount, false);
        int filled = 0;
        for (int r = 0; r < layout.rows; ++r) {
            const int line = at.rowLines[r];
            const auto& row = layout.grid[r];
            const std::string* raw = text.Line(line);
            const int given = raw ? static_cast<int>(Tokenize(*raw, '#').size()) : 0;
            if (given > layout.columns)
                Warning(file, line,
                        Format("layout %d: row %d has %d cells but the grid has %d columns; the rest are dropped",
                               number, r + 1, given, layout.columns));
            for (int c = 0; c < layout.columns; ++c) {
                const std::string& cell = row[c];
                if (cell == " ") continue;
                ++filled;
                if (!IsPositionNumber(cell, layout.positionCount)) {
                    Error(file, line,
                          Format("layout %d: cell %d of row %d is \"%s\", which names no position (1 to %d)", number,
                                 c + 1, r + 1, cell.c_str(), layout.positionCount));
                    continue;
                }
                placed[CAtoi(cell) - 1] = true;
            }
        }
        if (filled == 0 && layout.rows > 0 && layout.columns > 0)
            Warning(file, at.rows, Format("layout %d has no filled cell; a reading deals no card", number));
        for (int p = 0; p < layout.positionCount; ++p)
            if (!placed[p])
                Warning(file, at.positions + p, Format("layout %d: position %d lies on no cell", number, p + 1));
    }
}

void Checker::CheckLeftovers() {
    if (FolderLock::InUse(dir_)) return;  // a running program's files are its own
    for (const auto& path : FindLeftovers(dir_))
        Warning(path.string(), 0, "left behind by a Sagewend that was stopped mid-save; it is removed at the next start");
}

int Checker::Run() {
    if (!IsDirectory(dir_)) {
        std::fprintf(stderr, "sagewend-data: %s is not a folder\n", dir_.c_str());
        return 2;
    }
    CheckDeckList();
    CheckLayouts();
    CheckLeftovers();
    std::fflush(stdout);
    std::fprintf(stderr, "%d error%s, %d warning%s\n", errors_, errors_ == 1 ? "" : "s", warnings_,
                 warnings_ == 1 ? "" : "s");
    return errors_ > 0 ? 1 : 0;
}

int Usage(const char* text, int status) {
    std::fputs(text, status == 0 ? stdout : stderr);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage(kUsage, 2);
    const std::string command = args[0];
    if (IsHelp(command)) return Usage(kUsage, 0);
    if (command == "--version") {
        std::printf("sagewend-data %s\n", SAGEWEND_VERSION);
        return 0;
    }
    args.erase(args.begin());
    if (command == "import-deck") return importer::ImportDeckCommand(args);
    for (const auto& arg : args) {
        if (!IsHelp(arg)) continue;
        if (command == "decode") return Usage(kDecodeUsage, 0);
        if (command == "encode") return Usage(kEncodeUsage, 0);
        if (command == "check") return Usage(kCheckUsage, 0);
    }
    if (command == "decode") {
        if (args.size() != 1) return Usage(kDecodeUsage, 2);
        return ConvertLines(&args[0], DecodedLineText, "\n");
    }
    if (command == "encode") {
        if (args.size() > 1) return Usage(kEncodeUsage, 2);
        return ConvertLines(args.empty() ? nullptr : &args[0], EncodeLine, "\r\n");  // the stored form's line end
    }
    if (command == "check") {
        if (args.size() > 1) return Usage(kCheckUsage, 2);
        Checker checker(args.empty() ? std::string(".") : args[0]);
        return checker.Run();
    }
    std::fprintf(stderr, "sagewend-data: unknown command \"%s\"\n\n", command.c_str());
    return Usage(kUsage, 2);
}
