#include "store/leftovers.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <string>

namespace sw {

namespace fs = std::filesystem;

namespace {

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// "<stored>dec" or "<stored>.tmp-<pid>-<counter>" for a stored ".dat" file.
bool IsLeftoverName(const std::string& name) {
    if (name.ends_with(".datdec")) return true;
    const std::size_t tmp = name.find(".dat.tmp-");
    if (tmp == std::string::npos || tmp == 0) return false;
    const std::string_view rest = std::string_view(name).substr(tmp + 9);
    const std::size_t dash = rest.find('-');
    return dash != std::string_view::npos && AllDigits(rest.substr(0, dash)) && AllDigits(rest.substr(dash + 1));
}

void Collect(const fs::path& dir, std::vector<fs::path>& found) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error))
        if (IsLeftoverName(entry.path().filename().string()) && entry.is_regular_file(error))
            found.push_back(entry.path());
}

int OpenData(const fs::path& folder) { return ::open((folder / "data").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

}  // namespace

std::vector<fs::path> FindLeftovers(const fs::path& folder) {
    std::vector<fs::path> found;
    Collect(folder / "data", found);
    std::error_code error;
    for (const auto& deck : fs::directory_iterator(folder / "decks", error))
        if (deck.is_directory(error)) Collect(deck.path(), found);
    return found;
}

FolderLock::FolderLock(const fs::path& folder) : fd_(OpenData(folder)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool FolderLock::InUse(const fs::path& folder) {
    const int fd = OpenData(folder);
    if (fd < 0) return false;
    const bool busy = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return busy;
}

int RemoveLeftovers(const fs::path& folder, const FolderLock& lock) {
    if (!lock.Held()) return 0;
    int removed = 0;
    std::error_code error;
    for (const fs::path& path : FindLeftovers(folder))
        if (fs::remove(path, error)) ++removed;
    return removed;
}

}  // namespace sw
