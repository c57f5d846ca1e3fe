#pragma once
// The files a run can leave in a data folder when it is killed mid-save
// (working copies "<file>dec" beside a data file, temporary saves
// "<file>.tmp-<pid>-<n>"), and the lock that tells whether a running
// program is using the folder, so that only true leftovers are removed.
#include <filesystem>
#include <vector>

namespace sw {

// Names in data/ and decks/<deck>/ that only this program makes.
std::vector<std::filesystem::path> FindLeftovers(const std::filesystem::path& folder);

// An advisory lock on folder/data, held for the life of the object. A
// second program on the same folder cannot take it.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    // Whether another process holds the lock on folder/data now.
    static bool InUse(const std::filesystem::path& folder);

private:
    int fd_ = -1;
};

// Removes the leftovers of earlier runs when lock is held; the number
// removed.
int RemoveLeftovers(const std::filesystem::path& folder, const FolderLock& lock);

}  // namespace sw
