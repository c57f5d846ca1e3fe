#pragma once
// What the file-reading fuzz targets share: a private working folder that
// goes when the run ends, no progress texts or notifications, no fsync (it
// would only slow the run), and inputs turned into encoded files.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <unistd.h>

#include "app/msg_box.h"
#include "store/file_system.h"
#include "store/line_coder.h"

namespace sw::fuzz {

class NoSyncFileSystem : public FileSystem {
public:
    int Fsync(int) override { return 0; }
};

inline std::filesystem::path& WorkFolder() {
    static std::filesystem::path folder;
    return folder;
}

inline void RemoveWorkFolder() {
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
    std::filesystem::remove_all(WorkFolder(), ignored);
}

// Makes a private folder, works in it, and removes it at exit.
inline void EnterPrivateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sagewend-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    WorkFolder() = pattern;
    std::filesystem::current_path(WorkFolder());
    std::atexit(RemoveWorkFolder);
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    std::clog.setstate(std::ios::badbit);  // the loaders' log lines; libFuzzer's own report stays on stderr
    CMsgBox::SetPresenter([](const std::string&, int) { return 1; });
}

// The file operations the targets pass to what they test.
inline FileSystem& NoSync() {
    static NoSyncFileSystem noSync;
    return noSync;
}

// The input as text lines, each stored encoded with Windows line ends.
inline void WriteEncodedInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out << EncodeLine(text.substr(0, end)) << "\r\n";
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// Whether folder holds only the expected file (no copy, no temporary file).
inline bool HoldsOnly(const std::filesystem::path& folder, const std::string& name) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename() != name) return false;
    return true;
}

}  // namespace sw::fuzz
