#include "store/encoded_text_file.h"

#include <atomic>
#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/msg_box.h"
#include "core/text.h"
#include "platform/host.h"
#include "store/line_coder.h"

namespace sw {

namespace {

// Closes a descriptor on every path out of a function.
class Descriptor {
public:
    Descriptor(FileSystem& fs, int fd) : fs_(fs), fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) fs_.Close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now, reporting the result (a delayed write error shows here).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fs_.Close(fd) == 0;
    }

private:
    FileSystem& fs_;
    int fd_;
};

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A name no other save uses, beside the destination so the rename stays
// within one file system.
std::string TemporaryPathFor(const std::string& destination) {
    static std::atomic<unsigned> counter{0};
    return Format("%s.tmp-%ld-%u", destination.c_str(), static_cast<long>(::getpid()), counter++);
}

// The file a save replaces: destination itself, or, when it is a symbolic
// link (a store kept elsewhere and linked in), the file the links lead to,
// so the link stays and the file it names gets the new content.
std::string ReplacedPath(const std::string& destination) {
    namespace fs = std::filesystem;
    fs::path path = destination;
    std::error_code error;
    for (int hop = 0; hop < 40 && fs::is_symlink(path, error); ++hop) {
        const fs::path target = fs::read_symlink(path, error);
        if (error) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path.string();
}

// FNV-1a over the bytes, fed piece by piece.
class Fingerprint {
public:
    void Add(std::string_view bytes) {
        for (unsigned char c : bytes) {
            hash_ ^= c;
            hash_ *= 0x100000001B3ULL;
        }
        size_ += bytes.size();
    }
    StoredVersion Version() const { return {true, size_, hash_}; }

private:
    std::uint64_t hash_ = 0xCBF29CE484222325ULL;
    std::uint64_t size_ = 0;
};

bool SyncFolder(FileSystem& fs, const std::string& folder) {
    Descriptor dir(fs, fs.Open(folder, O_RDONLY | O_DIRECTORY, 0));
    if (!dir.valid()) return false;
    // Some file systems cannot sync a directory; there is nothing more to do.
    if (fs.Fsync(dir.get()) != 0 && errno != EINVAL && errno != ENOTSUP) return false;
    return dir.Close();
}

}  // namespace

EncodedTextFile::EncodedTextFile(FileSystem& fileSystem) : fs_(fileSystem) {}

EncodedTextFile::~EncodedTextFile() {
    CloseCopy();
    RemoveCopy();
}

void EncodedTextFile::CloseCopy() {
    reading_ = false;
    stored_.Release();
    next_ = 0;
    writer_.reset();
    if (fd_ >= 0) {
        fs_.Close(fd_);
        fd_ = -1;
    }
}

void EncodedTextFile::RemoveCopy() {
    if (copyOnDisk_) {
        fs_.Unlink(copyPath_);
        copyOnDisk_ = false;
    }
}

bool EncodedTextFile::Open(const std::string& path, unsigned openFlags) {
    CloseCopy();
    RemoveCopy();
    copyPath_ = path + "dec";
    storedPath_ = path;
    lineNumber_ = 0;
    writeFailed_ = false;
    sourceExists_ = false;
    committed_ = {};
    writing_ = (openFlags & (modeWrite | modeReadWrite)) != 0;
    if (!writing_) return reading_ = LoadStored();

    // Decoding runs for the writer too; the copy is then truncated below.
    if (!DecodeFile(storedPath_, copyPath_)) {
        RemoveCopy();
        return false;
    }
    int flags = O_WRONLY;
    if (openFlags & modeCreate) flags |= O_CREAT | O_TRUNC;
    fd_ = fs_.Open(copyPath_, flags, 0600);
    if (fd_ < 0) {
        RemoveCopy();
        return false;
    }
    writer_ = std::make_unique<BufferedWriter>(fs_, fd_);
    return true;
}

int EncodedTextFile::OpenSource(const std::string& source, bool* usable) {
    const int fd = fs_.Open(source, O_RDONLY, 0);
    // Only a file that is not there reads as empty: one that exists but
    // cannot be read must not be taken for an empty store and saved over.
    *usable = true;
    if (fd >= 0) {
        std::printf("The source plaintext file, %s, is open. \n", source.c_str());
    } else {
        *usable = errno == ENOENT;
        ReportError("Error opening source plaintext file!");
    }
    return fd;
}

bool EncodedTextFile::LoadStored() {
    bool sourceUsable = true;
    Descriptor in(fs_, OpenSource(storedPath_, &sourceUsable));
    // The copy a reader stands for could be made exactly when its folder is there.
    std::error_code error;
    if (std::filesystem::is_directory(FolderOf(copyPath_), error)) {
        std::printf("Destination file %s is open. \n", copyPath_.c_str());
    } else {
        ReportError("Error opening destination ciphertext file!");
        return false;
    }
    if (!sourceUsable) return false;
    if (!in.valid()) return true;  // a missing file reads as empty

    sourceExists_ = true;
    return stored_.Load(fs_, in.get());
}

std::size_t EncodedTextFile::LinesLeft() const {
    const std::string_view stored = stored_.View();
    if (!reading_ || next_ >= stored.size()) return 0;
    const std::string_view rest = stored.substr(next_);
    // Every line end ends a line, and a last line may lack one.
    return static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '\n')) + (rest.back() != '\n' ? 1 : 0);
}

StoredVersion EncodedTextFile::Version() const {
    if (writing_) return committed_;
    if (!sourceExists_) return {};
    Fingerprint fingerprint;
    fingerprint.Add(stored_.View());
    return fingerprint.Version();
}

std::optional<StoredVersion> EncodedTextFile::CurrentVersion(const std::string& path, FileSystem& fileSystem) {
    Descriptor in(fileSystem, fileSystem.Open(path, O_RDONLY, 0));
    if (!in.valid()) {
        if (errno == ENOENT) return StoredVersion{};
        return std::nullopt;
    }
    FileBytes bytes;
    if (!bytes.Load(fileSystem, in.get())) return std::nullopt;
    Fingerprint fingerprint;
    fingerprint.Add(bytes.View());
    return fingerprint.Version();
}

bool EncodedTextFile::ReadString(std::string& line) {
    const std::string_view stored = stored_.View();
    if (!reading_ || next_ >= stored.size()) {
        line.clear();
        return false;
    }
    // A line ends at "\n" or "\r\n"; a last line may lack its line end, and
    // a final "\r" cut off from its "\n" ends a line too.
    const std::size_t end = stored.find('\n', next_);
    std::size_t stop = end == std::string_view::npos ? stored.size() : end;
    if (stop > next_ && stored[stop - 1] == '\r') --stop;
    StoredLineBytesInto(stored.substr(next_, stop - next_), line);
    next_ = end == std::string_view::npos ? stored.size() : end + 1;
    ++lineNumber_;
    return true;
}

void EncodedTextFile::WriteString(std::string_view text) {
    if (!writer_) {
        writeFailed_ = true;
        return;
    }
    writer_->Write(text);
    writer_->Write("\n");
}

void EncodedTextFile::Close() {
    CloseCopy();
    RemoveCopy();
}

bool EncodedTextFile::Commit() {
    bool ok = writing_ && writer_ && !writeFailed_;
    if (ok) ok = writer_->Flush();
    writer_.reset();
    if (fd_ >= 0) {
        if (fs_.Close(fd_) != 0) ok = false;
        fd_ = -1;
    }
    CloseCopy();
    if (ok) ok = EncodeFile(copyPath_, storedPath_);
    RemoveCopy();
    return ok;
}

bool EncodedTextFile::DecodeFile(const std::string& source, const std::string& destination) {
    bool sourceUsable = true;
    Descriptor in(fs_, OpenSource(source, &sourceUsable));

    Descriptor out(fs_, fs_.Open(destination, O_WRONLY | O_CREAT | O_TRUNC, 0600));
    if (out.valid()) {
        if (destination == copyPath_) copyOnDisk_ = true;
        std::printf("Destination file %s is open. \n", destination.c_str());
    } else {
        ReportError("Error opening destination ciphertext file!");
    }
    if (!sourceUsable || !out.valid()) return false;

    bool ok = true;
    if (in.valid()) {
        LineReader reader(fs_, in.get());
        BufferedWriter writer(fs_, out.get());
        std::string line;
        while (reader.ReadLine(line)) {
            writer.Write(StoredLineBytes(line));
            writer.Write("\n");
        }
        ok = !reader.Failed() && writer.Flush();
    }
    return out.Close() && ok;
}

bool EncodedTextFile::EncodeFile(const std::string& source, const std::string& destination) {
    Descriptor in(fs_, fs_.Open(source, O_RDONLY, 0));
    if (!in.valid()) return false;
    std::printf("The source plaintext file, %s, is open. \n", source.c_str());

    const std::string replaced = ReplacedPath(destination);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryPathFor(replaced);
        fd = fs_.Open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return false;
    Descriptor out(fs_, fd);
    // A replaced file keeps its permissions.
    std::error_code error;
    const auto existing = std::filesystem::status(replaced, error);
    if (!error && std::filesystem::exists(existing))
        ::fchmod(out.get(), static_cast<mode_t>(existing.permissions() & std::filesystem::perms::mask));
    std::printf("Destination file %s is open. \n", destination.c_str());

    LineReader reader(fs_, in.get());
    BufferedWriter writer(fs_, out.get());
    Fingerprint fingerprint;
    std::string line;
    while (reader.ReadLine(line)) {
        line = EncodeLine(line);
        line += "\r\n";  // the stored form's line end, as the Windows program wrote it
        writer.Write(line);
        fingerprint.Add(line);
    }
    bool ok = !reader.Failed() && writer.Flush();
    ok = ok && fs_.Fsync(out.get()) == 0;
    ok = out.Close() && ok;
    ok = ok && fs_.Rename(temporary, replaced) == 0;
    if (!ok) {
        fs_.Unlink(temporary);
        return false;
    }
    if (destination == storedPath_) committed_ = fingerprint.Version();
    // From the rename on, the new content is the stored content: a failed
    // sync only means it might not survive a power cut, so it is logged.
    if (!SyncFolder(fs_, FolderOf(replaced)))
        std::fprintf(stderr, "sagewend: %s was saved, but its folder could not be synced to disk: %s\n",
                     destination.c_str(), std::strerror(errno));
    return true;
}

void EncodedTextFile::ReportError(const std::string& message) {
    CMsgBox box;
    box.Show(Format("%s", message.c_str()), platform::kIconExclamation);
}

}  // namespace sw
