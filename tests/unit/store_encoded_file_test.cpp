// EncodedTextFile: the working copy, line ends, and saves that either
// replace the stored file whole or leave it as it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/text.h"
#include "store/data_format.h"
#include "store/encoded_text_file.h"
#include "store/oracle_data.h"
#include "store_test_support.h"

namespace sw {
namespace {

using storetest::ChangeDir;
using storetest::FilesUnder;
using storetest::MessageLog;
using storetest::ReadBytes;
using storetest::TempDir;
using storetest::WriteBytes;
using storetest::WriteEncoded;
using Files = std::set<std::string>;

std::vector<std::string> ReadAll(EncodedTextFile& file) {
    std::vector<std::string> lines;
    std::string line;
    while (file.ReadString(line)) lines.push_back(line);
    EXPECT_EQ(line, "");
    return lines;
}

TEST(EncodedTextFile, WritesAndReadsLines) {
    TempDir dir;
    MessageLog log;
    const std::string path = dir / "store.dat";
    const std::vector<std::string> lines = {"first", "", "caf\xC3\xA9 <BR> \xE2\x82\xAC", std::string(10000, 'x'), "last"};
    {
        EncodedTextFile file;
        ::testing::internal::CaptureStdout();
        ASSERT_TRUE(file.Open(path, EncodedTextFile::modeCreate | EncodedTextFile::modeWrite));
        const std::string progress = ::testing::internal::GetCapturedStdout();
        // The stored file does not exist yet: reported once, then the save goes on.
        EXPECT_EQ(log.messages(), std::vector<std::string>{"Error opening source plaintext file!"});
        EXPECT_EQ(log.icons(), std::vector<int>{32515});
        EXPECT_EQ(progress, "Destination file " + path + "dec is open. \n");
        EXPECT_EQ(FilesUnder(dir.path()), Files{"store.datdec"});
        for (const auto& line : lines) file.WriteString(line);
        EXPECT_TRUE(file.Commit());
    }
    EXPECT_EQ(FilesUnder(dir.path()), Files{"store.dat"});
    EXPECT_EQ(ReadBytes(path), storetest::EncodedText(lines));

    log.Clear();
    EncodedTextFile file;
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(file.Open(path, EncodedTextFile::modeRead));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "The source plaintext file, " + path + ", is open. \nDestination file " + path + "dec is open. \n");
    // A reader's working copy is held in memory.
    EXPECT_EQ(FilesUnder(dir.path()), Files{"store.dat"});
    EXPECT_EQ(ReadAll(file), lines);
    file.Close();
    EXPECT_TRUE(log.messages().empty());
    EXPECT_EQ(FilesUnder(dir.path()), Files{"store.dat"});
}

TEST(EncodedTextFile, ReadsWindowsFiles) {
    TempDir dir;
    MessageLog log;
    const std::string path = dir / "win.dat";
    // CR LF line ends, a last line without one, lenient lines, a zero byte
    // and Windows-1252 text, which keeps its bytes until it is shown.
    WriteBytes(path, EncodeLine("one") + "\r\n\r\n" + EncodeLine("caf\xE9") + "\r\n" +
                         EncodeLine(std::string("cut\0here", 8)) + "\r\nZm9vY\r\n" + EncodeLine("end"));
    EncodedTextFile file;
    ASSERT_TRUE(file.Open(path, EncodedTextFile::modeRead));
    EXPECT_EQ(ReadAll(file), (std::vector<std::string>{"one", "", "caf\xE9", "cut", "fooc", "end"}));
    EXPECT_EQ(file.LineNumber(), 6);
    // A final CR without its LF (a file cut between the two) is a line end too.
    WriteBytes(path, EncodeLine("abc") + "\r");
    EncodedTextFile again;
    ASSERT_TRUE(again.Open(path, EncodedTextFile::modeRead));
    EXPECT_EQ(ReadAll(again), std::vector<std::string>{"abc"});
}

TEST(EncodedTextFile, MissingStoredFileReadsEmpty) {
    TempDir dir;
    MessageLog log;
    EncodedTextFile file;
    ASSERT_TRUE(file.Open(dir / "absent.dat", EncodedTextFile::modeRead));
    EXPECT_EQ(log.messages(), std::vector<std::string>{"Error opening source plaintext file!"});
    std::string line = "x";
    EXPECT_FALSE(file.ReadString(line));
    EXPECT_EQ(line, "");
    file.Close();
    EXPECT_TRUE(FilesUnder(dir.path()).empty());
}

TEST(EncodedTextFile, MissingFolderFailsToOpen) {
    TempDir dir;
    MessageLog log;
    EncodedTextFile file;
    EXPECT_FALSE(file.Open(dir / "nowhere/absent.dat", EncodedTextFile::modeRead));
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"Error opening source plaintext file!",
                                                        "Error opening destination ciphertext file!"}));
    EXPECT_TRUE(FilesUnder(dir.path()).empty());
}

TEST(EncodedTextFile, UnreadableStoredFileIsNotTakenForEmpty) {
    // A stored file that exists but cannot be read must not read as an empty
    // store that the next save would write over.
    TempDir dir;
    MessageLog log;
    std::filesystem::create_directory(dir / "folder.dat");
    EncodedTextFile file;
    EXPECT_FALSE(file.Open(dir / "folder.dat", EncodedTextFile::modeRead));
    EXPECT_EQ(FilesUnder(dir.path()), Files{});
}

TEST(EncodedTextFile, NoWorkingCopyOutlivesTheObject) {
    TempDir dir;
    MessageLog log;
    WriteEncoded(dir / "a.dat", {"1", "2", "3"});
    {
        EncodedTextFile reader;  // abandoned halfway, without Close
        ASSERT_TRUE(reader.Open(dir / "a.dat", EncodedTextFile::modeRead));
        std::string line;
        reader.ReadString(line);
    }
    {
        EncodedTextFile writer;  // abandoned without Commit: nothing is written
        ASSERT_TRUE(writer.Open(dir / "a.dat", EncodedTextFile::modeCreate | EncodedTextFile::modeWrite));
        writer.WriteString("lost");
    }
    EXPECT_EQ(FilesUnder(dir.path()), Files{"a.dat"});
    EXPECT_EQ(storetest::ReadEncoded(dir / "a.dat"), (std::vector<std::string>{"1", "2", "3"}));
}

TEST(EncodedTextFile, ReplacedFileKeepsItsPermissions) {
    TempDir dir;
    MessageLog log;
    const std::string path = dir / "p.dat";
    WriteEncoded(path, {"old"});
    ::chmod(path.c_str(), 0640);
    EncodedTextFile file;
    ASSERT_TRUE(file.Open(path, EncodedTextFile::modeCreate | EncodedTextFile::modeWrite));
    file.WriteString("new");
    ASSERT_TRUE(file.Commit());
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// ---- saves under faults -------------------------------------------------

enum class Fault { kNone, kCreateCopy, kWriteCopy, kCreateTemp, kWriteTemp, kShortWriteTemp, kFsyncTemp, kCloseTemp,
                   kRename, kSyncFolder, kShortWritesOnly, kFolderSyncUnsupported };

// The real file system with one step made to fail.
class FaultyFileSystem : public FileSystem {
public:
    explicit FaultyFileSystem(Fault fault) : fault_(fault) {}

    int Open(const std::string& path, int flags, mode_t mode) override {
        if ((flags & O_CREAT) && IsCopy(path) && fault_ == Fault::kCreateCopy) return Fail(ENOSPC);
        if (IsTemp(path) && fault_ == Fault::kCreateTemp) return Fail(EACCES);
        const int fd = FileSystem::Open(path, flags, mode);
        if (fd >= 0) paths_[fd] = path;
        return fd;
    }
    ssize_t Write(int fd, const void* data, std::size_t size) override {
        const std::string& path = paths_[fd];
        if (IsCopy(path) && fault_ == Fault::kWriteCopy) return Fail(ENOSPC);
        if (IsTemp(path)) {
            if (fault_ == Fault::kWriteTemp) return Fail(EIO);
            if ((fault_ == Fault::kShortWriteTemp || fault_ == Fault::kShortWritesOnly) && size > 1) {
                // Part of the data goes out; with kShortWriteTemp the next
                // write finds the disk full.
                if (fault_ == Fault::kShortWriteTemp && shortWritten_) return Fail(ENOSPC);
                shortWritten_ = true;
                return FileSystem::Write(fd, data, size / 2);
            }
        }
        return FileSystem::Write(fd, data, size);
    }
    int Fsync(int fd) override {
        const std::string& path = paths_[fd];
        if (IsTemp(path) && fault_ == Fault::kFsyncTemp) return Fail(EIO);
        if (!IsTemp(path) && !IsCopy(path)) {
            if (fault_ == Fault::kSyncFolder) return Fail(EIO);
            if (fault_ == Fault::kFolderSyncUnsupported) return Fail(EINVAL);
        }
        return FileSystem::Fsync(fd);
    }
    int Close(int fd) override {
        const std::string path = paths_[fd];
        paths_.erase(fd);
        const int result = FileSystem::Close(fd);
        if (IsTemp(path) && fault_ == Fault::kCloseTemp) return Fail(EIO);
        return result;
    }
    int Rename(const std::string& from, const std::string& to) override {
        if (fault_ == Fault::kRename) return Fail(EXDEV);
        return FileSystem::Rename(from, to);
    }

private:
    static bool IsCopy(const std::string& path) { return path.ends_with("dec"); }
    static bool IsTemp(const std::string& path) { return path.find(".tmp-") != std::string::npos; }
    static int Fail(int error) {
        errno = error;
        return -1;
    }

    Fault fault_;
    std::map<int, std::string> paths_;
    bool shortWritten_ = false;
};

LayoutRecord NamedLayout(const std::string& name, int positions) {
    LayoutRecord layout;
    layout.name = name;
    for (int p = 1; p <= positions; ++p) {
        layout.positions.push_back(Format("Title %d|Description of position %d, long enough to span writes", p, p));
        layout.grid[static_cast<std::size_t>((p - 1) / 3)][static_cast<std::size_t>((p - 1) % 3)] = Format("%d", p);
    }
    layout.positionCount = positions;
    return layout;
}

TEST(SaveLayouts, EachFailingStepLeavesTheStoredFileAsItWas) {
    const std::pair<Fault, const char*> faults[] = {
        {Fault::kCreateCopy, "creating the working copy"}, {Fault::kWriteCopy, "writing the working copy"},
        {Fault::kCreateTemp, "creating the temporary file"}, {Fault::kWriteTemp, "a failed write"},
        {Fault::kShortWriteTemp, "a short write, then a full disk"}, {Fault::kFsyncTemp, "fsync"},
        {Fault::kCloseTemp, "close"}, {Fault::kRename, "rename"},
    };
    for (const auto& [fault, step] : faults) {
        SCOPED_TRACE(step);
        TempDir dir;
        ChangeDir cwd(dir.path());
        WriteEncoded("data/layouts.dat", storetest::ThreeInARowLines());
        const std::string before = ReadBytes("data/layouts.dat");
        MessageLog log;
        OracleData data{OracleData::NoLoad{}};
        data.LoadLayouts();
        // Enough text that the copy and the encoded file take several writes.
        for (int i = 0; i < 300; ++i) data.layouts.push_back(NamedLayout(Format("Layout %d", i), 9));
        data.layoutCount = static_cast<int>(data.layouts.size());

        FaultyFileSystem faulty(fault);
        data.UseFileSystem(faulty);
        log.Clear();
        EXPECT_FALSE(data.SaveLayouts());
        ASSERT_FALSE(log.messages().empty());
        EXPECT_EQ(log.messages().back(), "Error opening Layout files");
        EXPECT_EQ(data.layoutCount, 301);
        EXPECT_EQ(data.layouts.size(), 301u);
        EXPECT_EQ(ReadBytes("data/layouts.dat"), before);
        EXPECT_EQ(FilesUnder(dir.path()), Files{"data/layouts.dat"});
    }
}

TEST(SaveLayouts, ShortWritesAreCompletedAndUnsyncableFoldersTolerated) {
    for (Fault fault : {Fault::kShortWritesOnly, Fault::kFolderSyncUnsupported}) {
        TempDir dir;
        ChangeDir cwd(dir.path());
        WriteEncoded("data/layouts.dat", {"0"});
        MessageLog log;
        OracleData data{OracleData::NoLoad{}};
        for (int i = 0; i < 200; ++i) data.layouts.push_back(NamedLayout(Format("L%d", i), 5));
        data.layoutCount = 200;
        FaultyFileSystem faulty(fault);
        data.UseFileSystem(faulty);
        EXPECT_TRUE(data.SaveLayouts());
        EXPECT_EQ(storetest::ReadEncoded("data/layouts.dat"), LayoutFileLines(data.layouts));
        EXPECT_EQ(FilesUnder(dir.path()), Files{"data/layouts.dat"});
    }
}

TEST(SaveLayouts, AFailedFolderSyncAfterTheRenameStillSaves) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    WriteEncoded("data/layouts.dat", {"0"});
    MessageLog log;
    OracleData data{OracleData::NoLoad{}};
    data.selectedLayout = -1;
    data.editLayout = NamedLayout("One", 1);
    FaultyFileSystem faulty(Fault::kSyncFolder);
    data.UseFileSystem(faulty);
    // From the rename on the new text is the stored text: memory keeps it
    // and the user is told it was saved, so memory and disk agree.
    EXPECT_TRUE(data.SaveEditedLayout("One"));
    EXPECT_EQ(log.messages(), std::vector<std::string>{"Layout successfully added"});
    EXPECT_EQ(data.layoutCount, 1);
    EXPECT_EQ(storetest::ReadEncoded("data/layouts.dat"), LayoutFileLines(data.layouts));
    EXPECT_EQ(FilesUnder(dir.path()), Files{"data/layouts.dat"});
}

TEST(SaveLayouts, KilledSaverLeavesOldOrNewStore) {
    TempDir dir;
    ChangeDir cwd(dir.path());
    std::vector<LayoutRecord> storeA, storeB;
    for (int i = 0; i < 40; ++i) storeA.push_back(NamedLayout(Format("A%d", i), 9));
    for (int i = 0; i < 70; ++i) storeB.push_back(NamedLayout(Format("B%d", i), 4));
    const std::string encodedA = storetest::EncodedText(LayoutFileLines(storeA));
    const std::string encodedB = storetest::EncodedText(LayoutFileLines(storeB));
    WriteBytes("data/layouts.dat", encodedA);

    std::mt19937 random(7);
    int sawA = 0, sawB = 0;
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Silence the progress texts and save forever, alternating.
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            OracleData data{OracleData::NoLoad{}};
            for (unsigned i = 0;; ++i) {
                data.layouts = i % 2 ? storeA : storeB;
                data.layoutCount = static_cast<int>(data.layouts.size());
                data.SaveLayouts();
            }
        }
        ::usleep(2000 + random() % 20000);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string stored = ReadBytes("data/layouts.dat");
        ASSERT_TRUE(stored == encodedA || stored == encodedB) << "round " << round << ": " << stored.size() << " bytes";
        (stored == encodedA ? sawA : sawB)++;
        // A killed saver can leave its working copy or temporary file; the
        // next save starts afresh either way.
        for (const auto& name : FilesUnder(dir.path()))
            if (name != "data/layouts.dat") std::filesystem::remove(dir.path() / name);
    }
    RecordProperty("firstStore", sawA);
    RecordProperty("secondStore", sawB);
}

}  // namespace
}  // namespace sw
