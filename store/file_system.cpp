#include "store/file_system.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace sw {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

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

namespace {

// The largest buffer given back, kept for the next file: loading is one
// file after another on one thread (the deck list stays open meanwhile, so
// two buffers may be in use at once; the other is simply allocated).
struct Spare {
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0;
};
thread_local Spare spare;

}  // namespace

bool FileBytes::Load(FileSystem& fileSystem, int fd) {
    Release();
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (known && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // Read whole, growing as needed: the size may be unknown or change.
    const std::size_t wanted = std::max<std::size_t>(known && info.st_size > 0 ? info.st_size + 1 : 0, kChunk);
    if (spare.capacity >= wanted) {
        buffer_ = std::move(spare.buffer);
        capacity_ = spare.capacity;
        spare.capacity = 0;
    } else {
        buffer_.reset(new char[wanted]);  // no fill: every byte kept is read
        capacity_ = wanted;
    }
    for (;;) {
        if (size_ == capacity_) {
            std::unique_ptr<char[]> bigger(new char[capacity_ * 2]);
            std::memcpy(bigger.get(), buffer_.get(), size_);
            buffer_ = std::move(bigger);
            capacity_ *= 2;
        }
        const ssize_t got = fileSystem.Read(fd, buffer_.get() + size_, capacity_ - size_);
        if (got < 0) {
            Release();
            return false;
        }
        if (got == 0) return true;
        size_ += got;
    }
}

void FileBytes::Release() {
    if (buffer_ && capacity_ > spare.capacity) {
        spare.buffer = std::move(buffer_);
        spare.capacity = capacity_;
    }
    buffer_.reset();
    capacity_ = 0;
    size_ = 0;
}

std::string_view FileBytes::View() const { return {buffer_.get(), size_}; }

FileSystem& RealFileSystem() {
    static FileSystem real;
    return real;
}

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
    buffer_.resize(old + got);
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
            done += put;
        }
    }
    buffer_.clear();
    return !failed_;
}

}  // namespace sw
