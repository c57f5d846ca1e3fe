#pragma once
// A data file in the line encoding, read and written as plain text lines.
//
// A reader's Open takes the whole stored file into memory and ReadString
// decodes one line at a time from there: the working copy ("<path>dec") a
// reader stands for is held in memory, with the same progress texts,
// messages and failures as one on disk, since start-up reads every data
// file and the disk round trip cost more than the decoding. The writer
// keeps the copy on disk beside the stored file: Open makes it, WriteString
// fills it, and Commit encodes it over the stored file through a temporary
// file and a rename. No working copy outlives the object. A stored file
// that is a symbolic link is written through to the file it names, so the
// link stays.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "store/file_system.h"
#include "store/line_source.h"

namespace sw {

// What a stored file held, as a fingerprint of its bytes: enough to tell
// whether something else has written it since this program last did.
struct StoredVersion {
    bool exists = false;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    bool operator==(const StoredVersion&) const = default;
};

class EncodedTextFile : public LineSource {
public:
    // Open flags, with the values of the framework's file class.
    static constexpr unsigned modeRead = 0x0000;
    static constexpr unsigned modeWrite = 0x0001;
    static constexpr unsigned modeReadWrite = 0x0002;  // taken as modeWrite
    static constexpr unsigned modeCreate = 0x1000;
    static constexpr unsigned typeText = 0x4000;

    explicit EncodedTextFile(FileSystem& fileSystem = RealFileSystem());
    // Closes the copy if still open and removes it from disk.
    ~EncodedTextFile() override;
    EncodedTextFile(const EncodedTextFile&) = delete;
    EncodedTextFile& operator=(const EncodedTextFile&) = delete;

    // Decodes path into the working copy and opens the copy for reading
    // (modeRead) or, with modeCreate | modeWrite, empty for writing. A
    // missing stored file gives an empty copy. False when the copy could not
    // be made (its folder is missing) or opened, or the stored file exists
    // but cannot be read; no copy is then left.
    bool Open(const std::string& path, unsigned openFlags);

    // The next line of the copy without its line end, its bytes as stored
    // (up to a zero byte); false at the end.
    bool ReadString(std::string& line) override;
    int LineNumber() const override { return lineNumber_; }
    std::size_t LinesLeft() const override;
    // Writes text and a line end. A failure shows in Commit's result.
    void WriteString(std::string_view text);

    // For readers: closes the copy and removes it.
    void Close();
    // For the writer: closes the copy, encodes it over the stored file and
    // removes it. True when the stored file now holds what was written (also
    // when only the folder's sync failed after the rename: the new content is
    // in place, and the failure is logged); otherwise the stored file is as
    // it was before.
    bool Commit();

    // Writes the decoded lines of source to destination. False when
    // destination could not be written in full or source exists but could
    // not be read; a missing source gives an empty destination.
    bool DecodeFile(const std::string& source, const std::string& destination);
    // Replaces destination with the encoded lines of source: a temporary
    // file in the same folder, written in full, synced, renamed over
    // destination, then the folder synced. False on any failure, when
    // destination is left as it was and no temporary file remains. A failed
    // folder sync after the rename is logged, not failed: the new content is
    // the stored content from the rename on.
    bool EncodeFile(const std::string& source, const std::string& destination);

    // Shows message in the notification window with the exclamation icon.
    static void ReportError(const std::string& message);

    // A reader's stored file as opened (before Close), or what the writer's
    // Commit put in place.
    StoredVersion Version() const;
    // The stored file at path as it is now; nothing when it exists but
    // cannot be read.
    static std::optional<StoredVersion> CurrentVersion(const std::string& path,
                                                       FileSystem& fileSystem = RealFileSystem());

    const std::string& copyPath() const { return copyPath_; }
    const std::string& storedPath() const { return storedPath_; }

private:
    void CloseCopy();
    void RemoveCopy();
    // The reader's Open: the stored file into stored_, with the progress
    // texts and messages a copy on disk would give.
    bool LoadStored();
    // Opens a stored file for reading with its progress text or message;
    // *usable is false when it exists but cannot be read.
    int OpenSource(const std::string& source, bool* usable);

    FileSystem& fs_;
    std::string copyPath_;
    std::string storedPath_;
    int fd_ = -1;
    bool writing_ = false;
    bool copyOnDisk_ = false;
    bool writeFailed_ = false;
    int lineNumber_ = 0;
    FileBytes stored_;        // a reader's stored file
    std::size_t next_ = 0;    // where its next line starts
    bool reading_ = false;
    bool sourceExists_ = false;  // a reader's stored file was there
    StoredVersion committed_;    // what the writer's Commit put in place
    std::unique_ptr<BufferedWriter> writer_;
};

}  // namespace sw
