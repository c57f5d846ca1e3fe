// The settings file; declared in settings/settings_file.h.
#include "settings/settings_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include "core/text.h"

namespace sw {

using nlohmann::json;

namespace {

// The preferences the page applies: their names, members and sets.
struct PageSetting {
    const char* name;
    std::string Preferences::*member;
    std::vector<const char*> allowed;
};

const std::vector<PageSetting>& PageSettings() {
    static const std::vector<PageSetting> settings = {
        {"sheet", &Preferences::sheet, {"beside", "below"}},
        {"cardSize", &Preferences::cardSize, {"smaller", "fit", "larger"}},
        {"theme", &Preferences::theme, {"system", "green", "dark", "contrast"}},
    };
    return settings;
}

bool Allowed(const PageSetting& setting, std::string_view value) {
    for (const char* allowed : setting.allowed)
        if (value == allowed) return true;
    return false;
}

bool Fail(std::string* why, std::string reason) {
    *why = std::move(reason);
    return false;
}

// The text at key, when there is one: a string of at most kMaxSettingsText bytes.
bool ReadText(const json& value, const char* key, std::string* out, std::string* why) {
    const auto found = value.find(key);
    if (found == value.end()) return true;
    if (!found->is_string()) return Fail(why, Format("its \"%s\" is not a text", key));
    if (found->get_ref<const std::string&>().size() > kMaxSettingsText)
        return Fail(why, Format("its \"%s\" is longer than %zu bytes", key, kMaxSettingsText));
    *out = found->get<std::string>();
    return true;
}

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

bool SetPagePreference(Preferences* preferences, std::string_view name, std::string_view value) {
    for (const PageSetting& setting : PageSettings()) {
        if (name != setting.name) continue;
        if (!Allowed(setting, value)) return false;
        preferences->*setting.member = std::string(value);
        return true;
    }
    return false;
}

std::vector<std::pair<std::string, std::string>> PagePreferences(const Preferences& preferences) {
    std::vector<std::pair<std::string, std::string>> values;
    for (const PageSetting& setting : PageSettings())
        if (!(preferences.*setting.member).empty()) values.emplace_back(setting.name, preferences.*setting.member);
    return values;
}

std::string SettingsJson(const Preferences& preferences) {
    json value = {{"version", kSettingsVersion},
                  {"deck", preferences.deck},
                  {"layout", preferences.layout},
                  {"majorOnly", preferences.deal.majorOnly},
                  {"reversals", ReversalsName(preferences.deal.reversals)}};
    for (const auto& [name, setting] : PagePreferences(preferences)) value[name] = setting;
    // The texts come from data files of any bytes: never let one stop the save.
    return value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool ParseSettings(std::string_view text, Preferences* preferences, std::string* why) {
    // The parser and the tree's destruction keep their own stacks, so even a
    // deeply nested file of the largest size allowed is read safely.
    const json value = json::parse(text, nullptr, false);
    if (value.is_discarded()) return Fail(why, "it is not JSON");
    const auto version = value.is_object() ? value.find("version") : value.end();
    if (version == value.end() || !version->is_number_integer())
        return Fail(why, "it is not a Sagewend settings file");
    if (version->get<json::number_integer_t>() != kSettingsVersion)
        return Fail(why, "it was written by another version of Sagewend");
    Preferences read;
    for (const auto& item : value.items()) {
        const std::string& key = item.key();
        bool known = key == "version" || key == "deck" || key == "layout" || key == "majorOnly" || key == "reversals";
        for (const PageSetting& setting : PageSettings()) known = known || key == setting.name;
        if (!known) return Fail(why, Format("it holds a setting this version does not know (\"%s\")", ToUtf8(key).c_str()));
    }
    if (!ReadText(value, "deck", &read.deck, why) || !ReadText(value, "layout", &read.layout, why)) return false;
    if (const auto major = value.find("majorOnly"); major != value.end()) {
        if (!major->is_boolean()) return Fail(why, "its \"majorOnly\" is neither true nor false");
        read.deal.majorOnly = major->get<bool>();
    }
    if (const auto reversals = value.find("reversals"); reversals != value.end()) {
        if (!reversals->is_string() || !ReversalsFromName(reversals->get_ref<const std::string&>(), &read.deal.reversals))
            return Fail(why, "its \"reversals\" is none of \"never\", \"sometimes\" and \"often\"");
    }
    for (const PageSetting& setting : PageSettings()) {
        const auto found = value.find(setting.name);
        if (found == value.end()) continue;
        if (!found->is_string() || !Allowed(setting, found->get_ref<const std::string&>()))
            return Fail(why, Format("its \"%s\" is not one of the values it can take", setting.name));
        read.*setting.member = found->get<std::string>();
    }
    *preferences = std::move(read);
    return true;
}

SettingsRead ReadSettings(const std::string& path, FileSystem& fileSystem) {
    SettingsRead result;
    const int fd = fileSystem.Open(path, O_RDONLY, 0);
    if (fd < 0) {
        if (errno != ENOENT) {
            result.state = SettingsRead::State::Damaged;
            result.problem = "it cannot be read (" + Reason(errno) + ")";
        }
        return result;
    }
    result.state = SettingsRead::State::Damaged;
    struct stat info {};
    std::string text;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
        result.problem = "it is not a file";
    } else {
        // Never more than the largest file allowed, whatever its size says.
        char buffer[8192];
        for (;;) {
            const ssize_t got = fileSystem.Read(fd, buffer, sizeof buffer);
            if (got < 0) {
                result.problem = "it cannot be read (" + Reason(errno) + ")";
                ok = false;
                break;
            }
            if (got == 0) break;
            text.append(buffer, static_cast<std::size_t>(got));
            if (text.size() > kMaxSettingsBytes) {
                result.problem = Format("it is larger than %zu KB", kMaxSettingsBytes / 1024);
                ok = false;
                break;
            }
        }
    }
    fileSystem.Close(fd);
    if (ok && ParseSettings(text, &result.preferences, &result.problem)) result.state = SettingsRead::State::Read;
    if (result.state != SettingsRead::State::Read) result.preferences = Preferences();
    return result;
}

std::string SettingsTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path target = path;
    std::error_code error;
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(target, error)); ++hop) {
        const fs::path next = fs::read_symlink(target, error);
        if (error) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.string();
}

bool WriteSettings(const std::string& path, const Preferences& preferences, FileSystem& fileSystem, std::string* err) {
    static std::atomic<unsigned> counter{0};
    const std::string target = SettingsTarget(path);
    const std::string temporary = Format("%s.tmp-%ld-%u", target.c_str(), static_cast<long>(::getpid()), counter++);
    const std::string text = SettingsJson(preferences);
    const int fd = fileSystem.Open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        *err = Reason(errno);
        return false;
    }
    // The first failure's reason: what follows it may set errno again.
    int failure = 0;
    for (std::size_t done = 0; failure == 0 && done < text.size();) {
        const ssize_t put = fileSystem.Write(fd, text.data() + done, text.size() - done);
        if (put <= 0) failure = put == 0 ? EIO : errno;
        else done += static_cast<std::size_t>(put);
    }
    if (failure == 0 && fileSystem.Fsync(fd) != 0) failure = errno;
    if (fileSystem.Close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && fileSystem.Rename(temporary, target) != 0) failure = errno;
    if (failure != 0) {
        *err = Reason(failure);
        fileSystem.Unlink(temporary);
        return false;
    }
    // From the rename on the new file is the file; a folder that cannot be
    // synced only risks it at a power cut.
    const std::string folder = std::filesystem::path(target).parent_path().string();
    const int dir = fileSystem.Open(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY, 0);
    if (dir < 0 || (fileSystem.Fsync(dir) != 0 && errno != EINVAL && errno != ENOTSUP))
        std::clog << "sagewend: " << target << " was saved, but its folder could not be synced: " << Reason(errno) << '\n';
    if (dir >= 0) fileSystem.Close(dir);
    return true;
}

}  // namespace sw
