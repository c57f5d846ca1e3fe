#pragma once
// The few POSIX file operations the data files go through. The objects
// that use them are given them (see RealFileSystem); tests give them
// operations of their own that make any single step fail.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace sw {

// Each operation follows its POSIX namesake: -1 with errno set on failure.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual int Open(const std::string& path, int flags, mode_t mode);
    virtual ssize_t Read(int fd, void* buffer, std::size_t size);
    virtual ssize_t Write(int fd, const void* data, std::size_t size);
    virtual int Fsync(int fd);
    virtual int Close(int fd);
    virtual int Rename(const std::string& from, const std::string& to);
    virtual int Unlink(const std::string& path);
};

// A whole file's bytes for reading, in a buffer that is reused from one
// file to the next: start-up reads every deck's file in turn, and a fresh
// buffer (or a mapping) for each would cost more in the kernel, mapping
// and unmapping memory, than reading the bytes.
class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes() { Release(); }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // False on a read error; an empty file gives empty bytes.
    bool Load(FileSystem& fileSystem, int fd);
    void Release();
    std::string_view View() const;

private:
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

// The real operations. Objects that reach the disk take a FileSystem and
// default to these; tests pass others to make any single step fail.
FileSystem& RealFileSystem();

// Reads lines from a descriptor. A line ends at "\n" or at "\r\n" (files
// from Windows); a last line without a line end is still a line, and so is
// a final "\r" cut off from its "\n".
class LineReader {
public:
    LineReader(FileSystem& fileSystem, int fd) : fs_(fileSystem), fd_(fd) {}
    // The next line without its line end; false at the end of the data or
    // after a read error, with line empty.
    bool ReadLine(std::string& line);
    bool Failed() const { return failed_; }

private:
    bool Fill();

    FileSystem& fs_;
    int fd_;
    std::string buffer_;
    std::size_t start_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

// Buffered writes to a descriptor, completing short writes. After the first
// failure nothing more is written and Failed() stays true.
class BufferedWriter {
public:
    BufferedWriter(FileSystem& fileSystem, int fd) : fs_(fileSystem), fd_(fd) {}
    void Write(std::string_view text);
    bool Flush();
    bool Failed() const { return failed_; }

private:
    FileSystem& fs_;
    int fd_;
    std::string buffer_;
    bool failed_ = false;
};

}  // namespace sw
