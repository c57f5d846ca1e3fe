#include "importer/import_deck.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

#include "core/text.h"
#include "importer/card_identity.h"
#include "importer/pictures.h"
#include "store/data_format.h"
#include "store/deck.h"
#include "store/leftovers.h"
#include "store/line_coder.h"
#include "store/line_source.h"

namespace sw::importer {

namespace fs = std::filesystem;

const char* const kNoMeaningText =
    "<B>No meaning given</B><BR><BR>This deck was imported without meanings. To give its cards meanings, import "
    "it again with --meanings naming a deck whose meanings suit it, or write them into its index.dat (see "
    "\"Your own deck\" in the help).";

namespace {

constexpr const char* kBuildingPrefix = ".import-";
constexpr const char* kReversedSuffix = "r";

std::string Errno() { return std::strerror(errno); }

// Reads a whole file of at most limit bytes (what names it in the
// message); a larger one is refused before it is read. Empty *why when the
// file is not there.
bool ReadSmallFile(const fs::path& path, std::size_t limit, const char* what, std::string* bytes, std::string* why) {
    why->clear();
    bytes->clear();
    // Non-blocking, so a pipe or device in the source cannot hang the tool.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) *why = "cannot be read: " + Errno();
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        *why = "cannot be read: " + Errno();
    } else if (!S_ISREG(info.st_mode)) {
        *why = "is not a file";
    } else if (static_cast<unsigned long long>(info.st_size) > limit) {
        *why = Format("is %.1f MB; %s may be at most %zu MB", static_cast<double>(info.st_size) / (1 << 20), what,
                      limit >> 20);
    } else {
        bytes->resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        while (got < bytes->size()) {
            const ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (got != bytes->size()) *why = "cannot be read in full";
    }
    ::close(fd);
    return why->empty();
}

// The stored lines of an encoded file as they stand, without line ends.
bool ReadStoredLines(const fs::path& path, std::vector<std::string>* lines, std::string* why) {
    FileSystem& real = RealFileSystem();
    const int fd = real.Open(path.string(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) {
        *why = errno == ENOENT ? std::string() : "cannot be read: " + Errno();
        return false;
    }
    LineReader reader(real, fd);
    std::string line;
    while (reader.ReadLine(line)) lines->push_back(line);
    const bool failed = reader.Failed();
    real.Close(fd);
    if (failed) *why = "cannot be read: " + Errno();
    return !failed;
}

std::string ExampleFileName(int order) {
    if (IsMajor(order)) {
        std::string key = BundledName(order);
        if (key.rfind("The ", 0) == 0) key.erase(0, 4);
        for (char& c : key) c = c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return Format("%02d-%s.jpg", order, key.c_str());
    }
    return std::string(SuitWord(SuitOf(order))) + "-" + std::string(RankWord(RankOf(order))) + ".jpg";
}

struct SourcePicture {
    fs::path path;
    std::string extension;  // lower case, as the deck's pictures are named
};

// A picture folder of the deck folder format and the cards found in it.
struct LayoutFolder {
    fs::path path;
    std::string label;  // "scalable", "h512"
    std::array<std::vector<SourcePicture>, kTarotCount> found;  // by picture, not remapped
    int Count() const {
        return static_cast<int>(std::count_if(found.begin(), found.end(), [](const auto& f) { return !f.empty(); }));
    }
};

class Importer {
public:
    Importer(const ImportRequest& request, ImportResult* result, FileSystem& fileSystem)
        : request_(request), result_(*result), fs_(fileSystem) {}
    ~Importer() { Abandon(); }
    Importer(const Importer&) = delete;
    Importer& operator=(const Importer&) = delete;

    bool Run();

private:
    void Fail(const std::string& file, const std::string& message, int line = 0) {
        result_.problems.push_back({file, line, message});
    }
    void Note(const std::string& file, const std::string& message, int line = 0) {
        result_.notes.push_back({file, line, message});
    }
    bool Failed() const { return !result_.problems.empty(); }
    void NoteLeftOut(const fs::path& folder, const std::vector<std::string>& names, const char* why);
    std::string Shown(const fs::path& path) const;
    std::string DataShown(const std::string& relative) const { return Shown(request_.dataFolder / relative); }

    bool PrepareDataFolder();
    void RemoveStaleImports();
    bool ReadSource();
    void ReadLayoutFolder();
    void ReadPlainFolder();
    std::vector<LayoutFolder> FindLayoutFolders();
    void Place(int order, const fs::path& path, const std::string& extension);
    std::array<bool, kTarotCount> Covered(const std::array<bool, kTarotCount>& present) const;
    bool IsCompleteDeck(const std::array<bool, kTarotCount>& present) const;
    void ReportMissing(const std::function<std::string(int)>& where, const std::function<std::string(int)>& what);
    void ChooseName();
    void ReadDeckList();
    void ReadMeanings();
    void TurnPictures();
    void NoteTrimmed();
    bool WriteNewFile(const fs::path& path, std::string_view bytes);
    bool SyncFolder(const fs::path& folder);
    std::vector<std::string> IndexLines() const;
    bool PutInPlace();
    bool WriteDeckList();
    void Abandon();
    void Summarise();

    const ImportRequest& request_;
    ImportResult& result_;
    FileSystem& fs_;
    DeckManifest manifest_;
    bool layoutSource_ = false;
    std::string pictureFolderLabel_;
    std::array<std::optional<SourcePicture>, kTarotCount> pictures_;  // by card
    std::array<std::string, kTarotCount> names_;
    std::array<std::optional<std::pair<std::string, std::string>>, kTarotCount> meanings_;
    int meaningsMatched_ = 0;
    std::vector<std::string> deckList_;  // stored lines
    int deckCount_ = 0;
    fs::path deckListTarget_;            // the file data/decks.dat is, through any links
    int lockFd_ = -1;
    bool madeDecksFolder_ = false;
    fs::path building_;                  // the folder being filled, until it is put in place
    fs::path placed_;                    // the deck folder, until the deck list names it
    bool committed_ = false;
    std::map<std::string, int> kinds_;
    std::map<std::string, std::vector<fs::path>> trimmed_;  // by what was done
    int trimmedCount_ = 0;
};

// "a.jpg, b.jpg, c.jpg, d.jpg and 18 more": a few names of a group.
std::string FewNames(const std::vector<std::string>& names) {
    constexpr std::size_t kNamed = 4;
    std::string list;
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i) list += (i ? ", " : "") + names[i];
    if (names.size() > kNamed) list += Format(" and %zu more", names.size() - kNamed);
    return list;
}

// One note for the pictures of a folder that are no card.
void Importer::NoteLeftOut(const fs::path& folder, const std::vector<std::string>& names, const char* why) {
    if (names.empty()) return;
    Note(Shown(folder), Format("left out %zu picture%s (%s): %s", names.size(), names.size() == 1 ? "" : "s",
                               FewNames(names).c_str(), why));
}

std::string Importer::Shown(const fs::path& path) const {
    std::error_code error;
    const fs::path here = fs::current_path(error);
    if (!error) {
        const fs::path relative = path.lexically_proximate(here);
        if (!relative.empty() && relative.native().rfind("..", 0) != 0) return relative.string();
    }
    return path.string();
}

bool Importer::Run() {
    if (!PrepareDataFolder()) return false;
    RemoveStaleImports();
    const bool sourceRead = ReadSource();
    if (sourceRead) ChooseName();
    ReadDeckList();
    ReadMeanings();
    if (sourceRead) TurnPictures();
    NoteTrimmed();
    if (Failed()) return false;
    if (!PutInPlace() || !WriteDeckList()) return false;
    committed_ = true;
    Summarise();
    return true;
}

// The data folder holds data/; decks/ is made when missing, and locked
// for the length of the import.
bool Importer::PrepareDataFolder() {
    std::error_code error;
    if (!fs::is_directory(request_.dataFolder / "data", error)) {
        Fail(DataShown("data"), "missing: " + Shown(request_.dataFolder) +
                                     " is not a Sagewend data folder (it holds data/decks.dat and decks/)");
        return false;
    }
    const fs::path decks = request_.dataFolder / "decks";
    if (!fs::exists(decks, error)) {
        if (::mkdir(decks.c_str(), 0777) != 0) {
            Fail(DataShown("decks"), "cannot be made: " + Errno());
            return false;
        }
        madeDecksFolder_ = true;
    }
    lockFd_ = ::open(decks.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockFd_ < 0) {
        Fail(DataShown("decks"), "cannot be opened: " + Errno());
        return false;
    }
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        Fail(DataShown("decks"), "another deck is being imported into this data folder; try again when that "
                                 "has finished");
        return false;
    }
    return true;
}

// With the lock held, a building folder can only be left by an import
// that was stopped.
void Importer::RemoveStaleImports() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(request_.dataFolder / "decks", error)) {
        if (entry.path().filename().string().rfind(kBuildingPrefix, 0) != 0) continue;
        std::error_code ignored;
        if (fs::remove_all(entry.path(), ignored) != static_cast<std::uintmax_t>(-1))
            Note(Shown(entry.path()), "removed: an import that was stopped left it");
    }
}

bool Importer::ReadSource() {
    std::error_code error;
    if (!fs::is_directory(request_.source, error)) {
        Fail(Shown(request_.source), fs::exists(request_.source, error) ? "is not a folder" : "no such folder");
        return false;
    }
    layoutSource_ = fs::exists(request_.source / "deck.toml", error);
    for (int i = 0; i < kTarotCount; ++i) names_[i] = BundledName(i);
    const std::size_t before = result_.problems.size();
    if (layoutSource_)
        ReadLayoutFolder();
    else
        ReadPlainFolder();
    return result_.problems.size() == before ||
           std::any_of(pictures_.begin(), pictures_.end(), [](const auto& p) { return p.has_value(); });
}

// Cards the deck leaves out on purpose count as there.
std::array<bool, kTarotCount> Importer::Covered(const std::array<bool, kTarotCount>& present) const {
    std::array<bool, kTarotCount> covered{};
    for (int i = 0; i < kTarotCount; ++i) covered[i] = present[i] || manifest_.excluded[i];
    return covered;
}

// A deck is all 78 cards, or the 22 major arcana and no minor card.
bool Importer::IsCompleteDeck(const std::array<bool, kTarotCount>& present) const {
    const auto covered = Covered(present);
    const bool majors = std::all_of(covered.begin(), covered.begin() + kMajorCount, [](bool b) { return b; });
    const bool minors = std::all_of(covered.begin() + kMajorCount, covered.end(), [](bool b) { return b; });
    const bool anyMinor = std::any_of(present.begin() + kMajorCount, present.end(), [](bool b) { return b; });
    return majors && (minors || !anyMinor);
}

void Importer::ReportMissing(const std::function<std::string(int)>& where,
                             const std::function<std::string(int)>& what) {
    std::array<bool, kTarotCount> present{};
    for (int i = 0; i < kTarotCount; ++i) present[i] = pictures_[i].has_value();
    if (IsCompleteDeck(present)) return;
    const auto covered = Covered(present);
    const bool anyMinor = std::any_of(present.begin() + kMajorCount, present.end(), [](bool b) { return b; });
    const int end = anyMinor ? kTarotCount : kMajorCount;
    constexpr int kListed = 12;
    int missing = 0;
    for (int i = 0; i < end; ++i) {
        if (covered[i]) continue;
        if (++missing <= kListed) Fail(where(i), what(i));
    }
    const std::string rule = "a deck is all 78 cards of the tarot, or its 22 major arcana alone";
    if (missing > kListed)
        Fail(Shown(request_.source), Format("and %d more cards are missing; %s", missing - kListed, rule.c_str()));
    else
        Fail(Shown(request_.source), Format("%d card%s missing; %s", missing, missing == 1 ? " is" : "s are",
                                            rule.c_str()));
}

void Importer::Place(int order, const fs::path& path, const std::string& extension) {
    if (pictures_[order]) {
        Fail(Shown(path), "a second picture of " + BundledName(order) + ", beside " + Shown(pictures_[order]->path) +
                              "; keep one of them");
        return;
    }
    if (!IsImportedExtension(extension)) {
        Fail(Shown(path), std::string("a ") + KindName(KindOfExtension(extension)) +
                              " picture; the importer takes JPEG, PNG and SVG pictures");
        return;
    }
    pictures_[order] = SourcePicture{path, extension};
}

void Importer::ReadPlainFolder() {
    std::error_code error;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(request_.source, error))
        if (entry.is_regular_file(error)) files.push_back(entry.path());
    if (error) {
        Fail(Shown(request_.source), "cannot be read: " + error.message());
        return;
    }
    std::sort(files.begin(), files.end());
    int cards = 0;
    std::vector<std::string> leftOut;
    for (const fs::path& file : files) {
        const PictureName name = ParsePictureName(file.filename().string());
        if (name.kind == PictureName::kNotAPicture) continue;
        if (name.kind == PictureName::kNotACard) {
            leftOut.push_back(file.filename().string());
            continue;
        }
        ++cards;
        Place(name.order, file, name.extension);
    }
    NoteLeftOut(request_.source, leftOut, "their names say no card (see sagewend-data import-deck --help)");
    if (cards == 0) {
        Fail(Shown(request_.source), "holds no picture named by card, such as 00-fool.jpg or wands-ace.png (see "
                                     "sagewend-data import-deck --help for the names understood)");
        return;
    }
    ReportMissing([this](int) { return Shown(request_.source); },
                  [](int order) {
                      return "no picture of " + BundledName(order) + " (name it " + ExampleFileName(order) +
                             ", for example)";
                  });
}

// scalable/ first, then h<height>/ from the smallest: the program shows
// cards at the size of their pictures.
std::vector<LayoutFolder> Importer::FindLayoutFolders() {
    std::vector<std::pair<long, fs::path>> candidates;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(request_.source, error)) {
        if (!entry.is_directory(error)) continue;
        const std::string name = entry.path().filename().string();
        if (name == "scalable") {
            candidates.emplace_back(0, entry.path());
        } else if (name.size() > 1 && name.size() < 7 && name[0] == 'h' &&
                   std::all_of(name.begin() + 1, name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            candidates.emplace_back(std::stol(name.substr(1)) + 1, entry.path());
        }
    }
    std::sort(candidates.begin(), candidates.end());
    std::vector<LayoutFolder> folders;
    for (const auto& [rank, path] : candidates) {
        LayoutFolder folder;
        folder.path = path;
        folder.label = path.filename().string();
        std::vector<std::string> subfolders = {"major_arcana"};
        for (int s = 0; s < kSuitCount; ++s) subfolders.push_back("minor_arcana/" + std::string(SuitWord(s)));
        for (const std::string& sub : subfolders) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(path / sub, error))
                if (entry.is_regular_file(error)) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            std::vector<std::string> leftOut;
            for (const fs::path& file : files) {
                const PictureName name = ParseLayoutPictureName(sub, file.filename().string());
                if (name.kind == PictureName::kCard)
                    folder.found[name.order].push_back({file, name.extension});
                else if (name.kind == PictureName::kNotACard)
                    leftOut.push_back(file.filename().string());
            }
            NoteLeftOut(path / sub, leftOut, "they are not among the 78 cards of the deck folder format");
        }
        folders.push_back(std::move(folder));
    }
    return folders;
}

void Importer::ReadLayoutFolder() {
    const fs::path tomlPath = request_.source / "deck.toml";
    std::string text, why;
    if (!ReadSmallFile(tomlPath, kMaxManifestBytes, "deck.toml", &text, &why)) {
        Fail(Shown(tomlPath), why);
        return;
    }
    if (!ReadDeckManifest(text, Shown(tomlPath), &manifest_, &result_.problems)) return;
    const fs::path namesPath = request_.source / "names" / "en.toml";
    if (ReadSmallFile(namesPath, kMaxManifestBytes, "a names file", &text, &why))
        ReadCardNames(text, Shown(namesPath), &manifest_, &result_.problems);
    else if (!why.empty())
        Fail(Shown(namesPath), why);
    for (const Problem& note : manifest_.notes) result_.notes.push_back(note);

    std::vector<LayoutFolder> folders = FindLayoutFolders();
    const auto byCard = [&](const LayoutFolder& folder) {
        std::array<bool, kTarotCount> present{};
        for (int p = 0; p < kTarotCount; ++p)
            if (!folder.found[p].empty()) present[IsMajor(p) ? manifest_.identity[p] : p] = true;
        return present;
    };
    const LayoutFolder* chosen = nullptr;
    for (const LayoutFolder& folder : folders)
        if (folder.Count() > 0 && IsCompleteDeck(byCard(folder))) {
            chosen = &folder;
            break;
        }
    if (!chosen)
        for (const LayoutFolder& folder : folders)
            if (folder.Count() > 0 && (!chosen || folder.Count() > chosen->Count())) chosen = &folder;
    if (!chosen) {
        Fail(Shown(request_.source), "holds a deck.toml but no card pictures: they belong in scalable/ or h512/, "
                                     "h1024/, ..., as major_arcana/00.svg or minor_arcana/wands/ace.png");
        return;
    }
    pictureFolderLabel_ = chosen->label;
    for (const LayoutFolder& folder : folders)
        if (&folder != chosen && folder.Count() > 0)
            Note(Shown(folder.path), "not used: the pictures are taken from " + Shown(chosen->path));
    for (int p = 0; p < kTarotCount; ++p) {
        const int card = IsMajor(p) ? manifest_.identity[p] : p;
        for (const SourcePicture& picture : chosen->found[p]) Place(card, picture.path, picture.extension);
        if (!manifest_.names[p].empty()) names_[card] = manifest_.names[p];
    }
    // Where a missing card's picture belongs, under the deck's own number.
    std::array<int, kMajorCount> pictureOf{};
    for (int p = 0; p < kMajorCount; ++p) pictureOf[manifest_.identity[p]] = p;
    const fs::path folder = chosen->path;
    ReportMissing(
        [this, folder, pictureOf](int card) {
            if (IsMajor(card)) return Shown(folder / "major_arcana" / (CardCode(pictureOf[card]) + ".*"));
            return Shown(folder / "minor_arcana" / std::string(SuitWord(SuitOf(card))) /
                         (std::string(RankWord(RankOf(card))) + ".*"));
        },
        [](int card) { return "missing: no picture of " + BundledName(card); });
}

void Importer::ChooseName() {
    std::string name = request_.name;
    std::string file = "--name";
    if (name.empty() && layoutSource_) {
        name = manifest_.name;
        file = Shown(request_.source / "deck.toml");
        if (name.empty()) {
            Fail(file, "gives no [deck] name; give the deck a name with --name");
            return;
        }
    }
    if (name.empty()) {
        std::error_code error;
        name = fs::weakly_canonical(fs::absolute(request_.source, error), error).filename().string();
        file = Shown(request_.source);
    }
    const std::string problem = DeckNameProblem(name);
    if (!problem.empty()) {
        Fail(file, "the deck name \"" + name + "\" " + problem +
                       (file == "--name" ? std::string() : "; give another with --name"));
        return;
    }
    result_.deckName = name;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(request_.dataFolder / "decks", error)) {
        const std::string existing = entry.path().filename().string();
        if (EqualsNoCase(existing, name))
            Fail(Shown(entry.path()), "a deck folder of that name is already there (letter case aside); choose "
                                      "another name with --name");
    }
}

// The deck list as it is stored, to add one line and raise the count.
void Importer::ReadDeckList() {
    const fs::path listed = request_.dataFolder / "data" / "decks.dat";
    const std::string shown = DataShown("data/decks.dat");
    std::error_code error;
    deckListTarget_ = listed;
    if (fs::is_symlink(fs::symlink_status(listed, error))) {
        deckListTarget_ = fs::canonical(listed, error);
        if (error) {
            Fail(shown, "links to a file that cannot be reached: " + error.message());
            return;
        }
    }
    std::string why;
    if (!ReadStoredLines(deckListTarget_, &deckList_, &why)) {
        if (!why.empty()) Fail(shown, why);
        deckList_.clear();  // missing: the deck will be the first
        return;
    }
    const std::string first = deckList_.empty() ? std::string() : StoredLineBytes(deckList_[0]);
    deckCount_ = std::max(0, CAtoi(first));
    if (deckCount_ >= kMaxDecks) {
        Fail(shown, Format("already lists %d decks; the program reads at most %d", deckCount_, kMaxDecks), 1);
        return;
    }
    const int lines = static_cast<int>(deckList_.size()) - 1;
    if (lines < deckCount_) {
        Fail(shown, Format("the first line says %d decks but %d are listed; mend it first (sagewend-data check "
                           "names the problem)", deckCount_, std::max(lines, 0)), 1);
        return;
    }
    for (int i = 1; i <= deckCount_; ++i) {
        const std::string folder = ToUtf8(StoredLineBytes(deckList_[i]));
        if (!result_.deckName.empty() && EqualsNoCase(folder, result_.deckName))
            Fail(shown, "already lists a deck \"" + folder + "\" (letter case aside); choose another name with --name",
                 i + 1);
    }
}

void Importer::ReadMeanings() {
    if (request_.meaningsDeck.empty()) return;
    const std::string& deck = request_.meaningsDeck;
    const fs::path index = request_.dataFolder / "decks" / deck / "index.dat";
    std::error_code error;
    if (!IsSafeDeckDirectory(deck) || deck.empty() || deck.find('/') != std::string::npos ||
        !fs::is_regular_file(index, error)) {
        Fail("--meanings", "no deck \"" + deck + "\" in " + DataShown("decks") +
                               " (give the name of a deck folder there, such as the one listed in data/decks.dat)");
        return;
    }
    std::vector<std::string> stored;
    std::string why;
    if (!ReadStoredLines(index, &stored, &why)) {
        Fail(Shown(index), why.empty() ? std::string("cannot be read") : why);
        return;
    }
    VectorLineSource source;
    for (std::size_t i = 0; i < stored.size(); ++i) source.Add(StoredLineBytes(stored[i]), static_cast<int>(i) + 1);
    DeckRecord record;
    ReadProblem problem;
    if (!ReadCardIndex(source, record, &problem)) {
        Fail(Shown(index), problem.message + "; its meanings cannot be taken", problem.line);
        return;
    }
    for (const CardRecord& card : record.cards) {
        const int order = CardOrder(std::string_view(card.number).substr(0, 2));
        if (order < 0 || meanings_[order]) continue;
        meanings_[order] = std::make_pair(card.meaning, card.reversedMeaning);
    }
    for (int i = 0; i < kTarotCount; ++i)
        if (meanings_[i] && pictures_[i]) ++meaningsMatched_;
    if (std::none_of(meanings_.begin(), meanings_.end(), [](const auto& m) { return m.has_value(); }))
        Fail(Shown(index), "no card of this deck is named as one of the tarot's 78 (00 to 21, W1 to PK), so no "
                           "meaning can be matched to a card");
}

bool Importer::WriteNewFile(const fs::path& path, std::string_view bytes) {
    const int fd = fs_.Open(path.string(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    bool ok = fd >= 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = fs_.Write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && fs_.Fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0 && fs_.Close(fd) != 0) ok = false;
    if (!ok) {
        errno = error;
        Fail(Shown(path), "cannot be written: " + Errno());
    }
    return ok;
}

bool Importer::SyncFolder(const fs::path& folder) {
    const int fd = fs_.Open(folder.string(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = fs_.Fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    return fs_.Close(fd) == 0 && ok;
}

// A deck's pictures are mostly of one size: one note for all that were
// trimmed alike.
void Importer::NoteTrimmed() {
    for (const auto& [note, paths] : trimmed_) {
        if (paths.size() == 1) {
            Note(Shown(paths[0]), note);
            continue;
        }
        std::vector<std::string> names;
        for (const fs::path& path : paths) names.push_back(path.filename().string());
        Note(Shown(paths[0].parent_path()),
             Format("%zu JPEG pictures (%s): %s", paths.size(), FewNames(names).c_str(), note.c_str()));
    }
}

void Importer::TurnPictures() {
    for (int card = 0; card < kTarotCount; ++card) {
        if (!pictures_[card]) continue;
        const SourcePicture& picture = *pictures_[card];
        const std::string shown = Shown(picture.path);
        std::string bytes, why;
        if (!ReadSmallFile(picture.path, kMaxPictureBytes, "a card picture", &bytes, &why)) {
            Fail(shown, why.empty() ? "is gone" : why);
            continue;
        }
        const PictureKind named = KindOfExtension(picture.extension);
        const PictureKind kind = KindOfContent(bytes);
        if (kind != named) {
            Fail(shown, kind == PictureKind::kUnknown
                            ? Format("not a %s picture: it does not begin as one", KindName(named))
                            : Format("the file is a %s picture, not %s as its name says", KindName(kind),
                                     KindName(named)));
            continue;
        }
        TurnedPicture turned;
        if (!TurnHalf(kind, bytes, &turned, &why)) {
            Fail(shown, why);
            continue;
        }
        if (!turned.note.empty()) {
            trimmed_[turned.note].push_back(picture.path);
            ++trimmedCount_;
        }
        ++kinds_[KindName(kind)];
        // Nothing is written once a problem is known: it would only go again.
        if (Failed()) continue;
        if (building_.empty()) {
            for (unsigned n = 0; building_.empty() && n < 100; ++n) {
                const fs::path candidate =
                    request_.dataFolder / "decks" / Format("%s%ld-%u", kBuildingPrefix, static_cast<long>(::getpid()), n);
                if (::mkdir(candidate.c_str(), 0777) == 0) building_ = candidate;
                else if (errno != EEXIST) break;
            }
            if (building_.empty()) {
                Fail(DataShown("decks"), "a folder to build the deck in cannot be made: " + Errno());
                continue;
            }
        }
        const std::string code = CardCode(card);
        WriteNewFile(building_ / (code + "." + picture.extension), turned.upright) &&
            WriteNewFile(building_ / (code + kReversedSuffix + "." + picture.extension), turned.reversed);
    }
}

std::vector<std::string> Importer::IndexLines() const {
    std::vector<std::string> lines = {"0"};
    int count = 0;
    for (int card = 0; card < kTarotCount; ++card) {
        if (!pictures_[card]) continue;
        ++count;
        const auto& meaning = meanings_[card];
        lines.insert(lines.end(), {kCardMarker, names_[card], "1", pictures_[card]->extension, kReversedSuffix,
                                   CardCode(card), kMeaningMarker});
        const std::string upright = meaning && !meaning->first.empty() ? meaning->first : kNoMeaningText;
        const std::string reversed = meaning && !meaning->second.empty() ? meaning->second : kNoMeaningText;
        lines.insert(lines.end(), {upright, kReverseMarker, reversed, kEndMarker});
    }
    lines[0] = std::to_string(count);
    return lines;
}

std::string StoredText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += EncodeLine(line) + "\r\n";  // as the program's own saves
    return text;
}

bool Importer::PutInPlace() {
    if (building_.empty()) {
        Fail(Shown(request_.source), "no picture could be imported");
        return false;
    }
    if (!WriteNewFile(building_ / "index.dat", StoredText(IndexLines()))) return false;
    if (!SyncFolder(building_)) {
        Fail(Shown(building_), "cannot be synced to disk: " + Errno());
        return false;
    }
    const fs::path deck = request_.dataFolder / "decks" / result_.deckName;
    // Never over a folder that appeared meanwhile, not even an empty one.
    int status = ::renameat2(AT_FDCWD, building_.c_str(), AT_FDCWD, deck.c_str(), RENAME_NOREPLACE);
    if (status != 0 && (errno == EINVAL || errno == ENOSYS)) {
        std::error_code error;
        if (fs::exists(fs::symlink_status(deck, error)))
            errno = EEXIST;
        else
            status = ::rename(building_.c_str(), deck.c_str());
    }
    if (status != 0) {
        Fail(Shown(deck), "cannot be made: " + Errno());
        return false;
    }
    building_.clear();
    placed_ = deck;
    SyncFolder(request_.dataFolder / "decks");
    return true;
}

bool Importer::WriteDeckList() {
    std::vector<std::string> lines;
    lines.push_back(EncodeLine(std::to_string(deckCount_ + 1)));
    for (int i = 1; i <= deckCount_; ++i) lines.push_back(deckList_[i]);
    lines.push_back(EncodeLine(result_.deckName));
    for (std::size_t i = static_cast<std::size_t>(deckCount_) + 1; i < deckList_.size(); ++i) lines.push_back(deckList_[i]);
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";

    const std::string target = deckListTarget_.string();
    const std::string temporary = Format("%s.tmp-%ld-0", target.c_str(), static_cast<long>(::getpid()));
    fs_.Unlink(temporary);
    const std::size_t before = result_.problems.size();
    bool ok = WriteNewFile(temporary, text);
    if (ok) {
        std::error_code error;
        const auto existing = fs::status(deckListTarget_, error);
        if (!error && fs::exists(existing))
            fs::permissions(temporary, existing.permissions() & fs::perms::mask, error);
        ok = fs_.Rename(temporary, target) == 0;
    }
    if (!ok) {
        const int error = errno;
        fs_.Unlink(temporary);
        result_.problems.resize(before);  // the temporary file is not the user's concern
        errno = error;
        Fail(DataShown("data/decks.dat"), "cannot be written: " + Errno() + "; nothing was changed");
        return false;
    }
    SyncFolder(deckListTarget_.parent_path());
    return true;
}

// Takes back whatever an import that did not finish made.
void Importer::Abandon() {
    std::error_code error;
    if (!committed_) {
        if (!building_.empty()) fs::remove_all(building_, error);
        if (!placed_.empty()) fs::remove_all(placed_, error);
        if (madeDecksFolder_) fs::remove(request_.dataFolder / "decks", error);
    }
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

void Importer::Summarise() {
    int count = 0;
    for (const auto& picture : pictures_) count += picture ? 1 : 0;
    result_.cardCount = count;
    std::string made;
    for (const auto& [kind, n] : kinds_) {
        if (!made.empty()) made += ", ";
        made += Format("%d %s", n, kind.c_str());
        if (kind == std::string("JPEG")) made += " turned losslessly by libjpeg-turbo";
        if (kind == std::string("PNG")) made += " turned by libpng";
        if (kind == std::string("SVG")) made += " wrapped in a turning SVG";
    }
    // The data folder is named above these lines; its files by their place in it.
    const std::string deckFolder = "decks/" + result_.deckName;
    const bool minors = std::any_of(pictures_.begin() + kMajorCount, pictures_.end(), [](const auto& p) { return p.has_value(); });
    const char* which = !minors                ? "the major arcana"
                        : count == kTarotCount ? "the whole tarot"
                                               : "the tarot but for the cards its deck.toml leaves out";
    const std::string from = layoutSource_ ? " from the pictures in " + pictureFolderLabel_ + "/" : std::string();
    result_.summary.push_back(Format("Made %s%s: %d cards (%s), each with its picture turned half a turn for its "
                                     "reversed form: %s.",
                                     deckFolder.c_str(), from.c_str(), count, which, made.c_str()));
    if (trimmedCount_ > 0)
        result_.summary.push_back(Format("%d JPEG picture%s trimmed to whole blocks (see the note above).",
                                         trimmedCount_, trimmedCount_ == 1 ? " was" : "s were"));
    if (request_.meaningsDeck.empty())
        result_.summary.push_back("Meanings: none given; each card says so. Import again with --meanings DECK to "
                                  "take them from a deck of this data folder.");
    else
        result_.summary.push_back(Format("Meanings: taken from %s for %d of the %d cards%s.",
                                         ("decks/" + request_.meaningsDeck).c_str(), meaningsMatched_, count,
                                         meaningsMatched_ < count ? "; the others say none was given" : ""));
    result_.summary.push_back(Format("Added \"%s\" to data/decks.dat, which lists %d deck%s now.",
                                     result_.deckName.c_str(), deckCount_ + 1, deckCount_ == 0 ? "" : "s"));
    if (FolderLock::InUse(request_.dataFolder))
        result_.summary.push_back("Sagewend is running on this data folder: it reads its decks when it starts, so "
                                  "start it again to read from the new deck.");
}

}  // namespace

std::string DeckNameProblem(std::string_view name) {
    if (name.empty()) return "is empty";
    if (!IsValidUtf8(name)) return "is not UTF-8 text";
    if (name.front() == ' ' || name.back() == ' ') return "begins or ends with a space";
    if (name.front() == '.') return "begins with a dot, which would hide its folder";
    if (name.find("..") != std::string_view::npos) return "holds \"..\"";
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\') return "holds a path separator (/ or \\)";
        if (byte < 0x20 || byte == 0x7F) return "holds a control character";
        if (std::string_view("<>&\"'").find(c) != std::string_view::npos)
            return Format("holds markup (%c); a deck name may not hold < > & \" or '", c);
        if (c == '#' || c == '?' || c == '%')
            return Format("holds %c, which would break the addresses of its pictures", c);
    }
    if (CharacterCount(name) > kMaxDeckNameCharacters)
        return Format("is longer than %zu characters", kMaxDeckNameCharacters);
    return {};
}

bool ImportDeck(const ImportRequest& request, ImportResult* result, FileSystem& fileSystem) {
    *result = {};
    Importer importer(request, result, fileSystem);
    return importer.Run();
}

}  // namespace sw::importer
