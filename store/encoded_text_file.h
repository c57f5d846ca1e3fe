#pragma once
// A data file in the line encoding, read and written as plain text lines.
//
// Open decodes the stored file into a plain working copy beside it (the
// stored path with "dec" appended) and opens that copy; readers take its
// lines and Close; the writer writes lines and Commit encodes them over the
// stored file. The working copy never outlives the object.
#include <memory>
#include <string>
#include <string_view>

#include "store/file_system.h"
#include "store/line_source.h"

namespace sw {

class EncodedTextFile : public LineSource {
public:
    // Open flags, with the values of the framework's file class.
    static constexpr unsigned modeRead = 0x0000;
    static constexpr unsigned modeWrite = 0x0001;
    static constexpr unsigned modeReadWrite = 0x0002;  // taken as modeWrite
    static constexpr unsigned modeCreate = 0x1000;
    static constexpr unsigned typeText = 0x4000;

    explicit EncodedTextFile(FileSystem& fileSystem = CurrentFileSystem());
    // Closes the copy if still open and removes it from disk.
    ~EncodedTextFile() override;
    EncodedTextFile(const EncodedTextFile&) = delete;
    EncodedTextFile& operator=(const EncodedTextFile&) = delete;

    // Decodes path into the working copy and opens the copy for reading
    // (modeRead) or, with modeCreate | modeWrite, empty for writing. A
    // missing stored file gives an empty copy. False when the copy could not
    // be made or opened, or the stored file exists but cannot be read; no
    // copy is then left.
    bool Open(const std::string& path, unsigned openFlags);

    // The next line of the copy without its line end; false at the end.
    bool ReadString(std::string& line) override;
    int LineNumber() const override { return lineNumber_; }
    // Writes text and a line end. A failure shows in Commit's result.
    void WriteString(std::string_view text);

    // For readers: closes the copy and removes it.
    void Close();
    // For the writer: closes the copy, encodes it over the stored file and
    // removes it. True only when the stored file now holds what was written;
    // otherwise the stored file is as it was before.
    bool Commit();

    // Writes the decoded lines of source to destination. False when
    // destination could not be written in full or source exists but could
    // not be read; a missing source gives an empty destination.
    bool DecodeFile(const std::string& source, const std::string& destination);
    // Replaces destination with the encoded lines of source: a temporary
    // file in the same folder, written in full, synced, renamed over
    // destination, then the folder synced. False on any failure, when
    // destination is left as it was (except that a failed folder sync comes
    // after the rename) and no temporary file remains.
    bool EncodeFile(const std::string& source, const std::string& destination);

    // Shows message in the notification window with the exclamation icon.
    static void ReportError(const std::string& message);

    const std::string& copyPath() const { return copyPath_; }
    const std::string& storedPath() const { return storedPath_; }

private:
    void CloseCopy();
    void RemoveCopy();

    FileSystem& fs_;
    std::string copyPath_;
    std::string storedPath_;
    int fd_ = -1;
    bool writing_ = false;
    bool copyOnDisk_ = false;
    bool writeFailed_ = false;
    int lineNumber_ = 0;
    std::unique_ptr<LineReader> reader_;
    std::unique_ptr<BufferedWriter> writer_;
};

}  // namespace sw
