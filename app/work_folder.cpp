#include "app/work_folder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace sw {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDeckList = "data/decks.dat";

bool HoldsData(const fs::path& folder) {
    std::error_code error;
    return fs::is_regular_file(folder / kDeckList, error);
}

fs::path ProgramFolder() {
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : self.parent_path();
}

// Where the install rules put the sample data, relative to the program's
// folder (the build passes the real one; this is the usual layout).
#ifndef SAGEWEND_INSTALLED_DATA
#define SAGEWEND_INSTALLED_DATA "../share/sagewend"
#endif

fs::path InstalledDataPlace() {
    const fs::path program = ProgramFolder();
    return program.empty() ? fs::path() : (program / SAGEWEND_INSTALLED_DATA).lexically_normal();
}

bool SameFolder(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return !a.empty() && !b.empty() && fs::equivalent(a, b, error);
}

// Copies one file through a temporary name, so a copy cut short is never
// taken for a finished one.
bool CopyOne(const fs::path& from, const fs::path& to, std::string* err) {
    std::error_code error;
    const fs::path partial = to.string() + ".part";
    fs::create_directories(to.parent_path(), error);
    if (!error) fs::copy_file(from, partial, fs::copy_options::overwrite_existing, error);
    if (!error) fs::rename(partial, to, error);
    if (error) {
        fs::remove(partial, error);
        *err = "cannot copy " + from.string() + " to " + to.string() + ": " + error.message();
        return false;
    }
    return true;
}

// Copies every file of source that folder lacks; the deck list goes last,
// because its presence is what marks a folder as holding data.
bool FillFrom(const fs::path& source, const fs::path& folder, std::string* err) {
    std::error_code error;
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(source, error); !error && it != fs::end(it); it.increment(error))
        if (it->is_regular_file(error)) files.push_back(fs::relative(it->path(), source, error));
    if (error) {
        *err = "cannot read " + source.string() + ": " + error.message();
        return false;
    }
    std::stable_partition(files.begin(), files.end(), [](const fs::path& file) { return file != kDeckList; });
    for (const fs::path& file : files) {
        if (fs::exists(folder / file, error)) continue;
        if (!CopyOne(source / file, folder / file, err)) return false;
    }
    return true;
}

std::string HowToPointAtData() {
    return "Start Sagewend with -C DIR naming a folder that holds data/decks.dat, data/layouts.dat, decks/ and "
           "images/, or start it inside such a folder.";
}

}  // namespace

fs::path InstalledSampleData() {
    const fs::path installed = InstalledDataPlace();
    if (!installed.empty() && HoldsData(installed)) return installed;
#ifdef SAGEWEND_SOURCE_SAMPLE
    if (HoldsData(SAGEWEND_SOURCE_SAMPLE)) return SAGEWEND_SOURCE_SAMPLE;
#endif
    return {};
}

fs::path UserDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') return fs::path(xdg) / "sagewend";
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / ".local/share/sagewend";
    return {};
}

bool ChooseWorkFolder(const std::string& requested, WorkFolderChoice* choice, std::string* err) {
    std::error_code error;
    choice->note.clear();
    if (!requested.empty()) {
        choice->folder = fs::absolute(requested, error);
        if (error || !fs::is_directory(choice->folder, error)) {
            *err = "there is no folder " + requested + ". " + HowToPointAtData();
            return false;
        }
        return true;
    }
    // The sample the user's folder is made from is never worked in: saving
    // there would change (or, unprivileged, fail to change) what the
    // package or the source tree owns.
    const fs::path current = fs::current_path(error);
    const fs::path sample = InstalledSampleData();
    const bool inSample = !error && SameFolder(current, sample);
    if (!error && HoldsData(current) && !inSample) {
        choice->folder = current;
        return true;
    }
    const std::string notHere =
        inSample ? "the current folder holds the sample data, which is only copied" : "no data in the current folder";
    const fs::path user = UserDataFolder();
    if (user.empty()) {
        *err = notHere + ", and neither XDG_DATA_HOME nor HOME is set to find your own. " + HowToPointAtData();
        return false;
    }
    choice->folder = user;
    if (inSample) choice->note = notHere + "; working from " + user.string();
    if (HoldsData(user)) return true;
    if (sample.empty()) {
        *err = "no data in the current folder or in " + user.string() +
               ", and the sample data to make it from was not found (looked for " +
               (InstalledDataPlace() / kDeckList).string() + "; reinstalling Sagewend puts it back). " +
               HowToPointAtData();
        return false;
    }
    std::string why;
    if (!FillFrom(sample, user, &why)) {
        *err = "cannot make your data folder " + user.string() + ": " + why + ". " + HowToPointAtData();
        return false;
    }
    choice->note = (inSample ? notHere + "; " : std::string()) + "made your data folder " + user.string() + " from " +
                   sample.string();
    return true;
}

std::string MissingDataHint(const fs::path& folder) {
    return "Sagewend looked for its data in " + folder.string() +
           " and expected data/decks.dat, data/layouts.dat, decks/ and images/ there. " + HowToPointAtData();
}

}  // namespace sw
