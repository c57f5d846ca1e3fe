#include "store/file_system.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace sw {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

FileSystem*& Installed() {
    static FileSystem* installed = nullptr;
    return installed;
}

}  // namespace

int FileSystem::Open(const std::string& path, int flags, mode_t mode) {
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t FileSystem::Read(int fd, void* buffer, std::size_t size) {
    ssize_t got;
    do got = ::read(fd, buffer, size);
    while (got < 0 && errno == EINTR);
    return got;
}

ssize_t FileSystem::Write(int fd, const void* data, std::size_t size) {
    ssize_t put;
    do put = ::write(fd, data, size);
    while (put < 0 && errno == EINTR);
    return put;
}

int FileSystem::Fsync(int fd) { return ::fsync(fd); }
int FileSystem::Close(int fd) { return ::close(fd); }
int FileSystem::Rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str());
}
int FileSystem::Unlink(const std::string& path) { return ::unlink(path.c_str()); }

FileSystem& RealFileSystem() {
    static FileSystem real;
    return real;
}

FileSystem& CurrentFileSystem() {
    FileSystem* installed = Installed();
    return installed ? *installed : RealFileSystem();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fileSystem) : previous_(Installed()) {
    Installed() = &fileSystem;
}

ScopedFileSystem::~ScopedFileSystem() { Installed() = previous_; }

bool LineReader::Fill() {
    if (eof_ || failed_) return false;
    if (start_ > 0) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    const std::size_t old = buffer_.size();
    buffer_.resize(old + kChunk);
    const ssize_t got = fs_.Read(fd_, buffer_.data() + old, kChunk);
    if (got <= 0) {
        buffer_.resize(old);
        if (got < 0) failed_ = true;
        eof_ = true;
        return false;
    }
    buffer_.resize(old + static_cast<std::size_t>(got));
    return true;
}

bool LineReader::ReadLine(std::string& line) {
    line.clear();
    std::size_t searchFrom = start_;
    for (;;) {
        const std::size_t end = buffer_.find('\n', searchFrom);
        if (end != std::string::npos) {
            std::size_t stop = end;
            if (stop > start_ && buffer_[stop - 1] == '\r') --stop;
            line.assign(buffer_, start_, stop - start_);
            start_ = end + 1;
            return true;
        }
        const std::size_t scanned = buffer_.size() - start_;
        if (!Fill()) break;
        searchFrom = start_ + scanned;
    }
    if (failed_ || start_ >= buffer_.size()) {
        start_ = buffer_.size();
        return false;
    }
    std::size_t stop = buffer_.size();
    if (buffer_[stop - 1] == '\r') --stop;
    line.assign(buffer_, start_, stop - start_);
    start_ = buffer_.size();
    return true;
}

void BufferedWriter::Write(std::string_view text) {
    if (failed_) return;
    buffer_.append(text);
    if (buffer_.size() >= kChunk) Flush();
}

bool BufferedWriter::Flush() {
    std::size_t done = 0;
    while (!failed_ && done < buffer_.size()) {
        const ssize_t put = fs_.Write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (put <= 0) {
            if (put == 0) errno = EIO;
            failed_ = true;
        } else {
            done += static_cast<std::size_t>(put);
        }
    }
    buffer_.clear();
    return !failed_;
}

}  // namespace sw
