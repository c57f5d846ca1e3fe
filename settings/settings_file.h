#pragma once
// The preferences kept from one run to the next, in one small JSON file in
// the data folder (settings.json):
//
//   {"version": 1, "deck": "<deck folder>", "layout": "<layout name>",
//    "majorOnly": false, "reversals": "never"|"sometimes"|"often",
//    "sheet": "beside"|"below", "cardSize": "smaller"|"fit"|"larger",
//    "theme": "system"|"green"|"dark"|"contrast"}
//
// Every key but "version" may be left out (its default is used); a key this
// version does not know, a value of the wrong type or outside its set, a
// text longer than 1,000 bytes, a file larger than 64 KB or of another
// version is refused whole, with the reason, never half read. The file is
// written whole, atomically: a temporary file beside it (beside the target
// of a symbolic link, which stays a link), synced, renamed over it, and the
// folder synced. Reading and writing go through FileSystem, so tests can
// make any single step fail.
#include <string>
#include <string_view>

#include "readings/deal_options.h"
#include "store/file_system.h"

namespace sw {

struct Preferences {
    std::string deck;    // the folder of the deck last read with, UTF-8; "" for none
    std::string layout;  // the name of the layout last read with, UTF-8; "" for none
    DealOptions deal;
    // Kept for the page, which applies them; each one of a fixed set.
    std::string sheet;  // "" until the user chooses: the page then goes by the window's width
    std::string cardSize = "fit";
    std::string theme = "system";

    bool operator==(const Preferences&) const = default;
};

inline constexpr int kSettingsVersion = 1;
inline constexpr std::size_t kMaxSettingsBytes = 64 * 1024;
inline constexpr std::size_t kMaxSettingsText = 1000;

// The preferences the page applies, by the names the page knows them by.
// False when name is none of them or value is not one of its set.
bool SetPagePreference(Preferences* preferences, std::string_view name, std::string_view value);
std::vector<std::pair<std::string, std::string>> PagePreferences(const Preferences& preferences);

std::string SettingsJson(const Preferences& preferences);
// False, with the reason in *why ("it is not JSON"), for anything but a
// whole settings text of this version.
bool ParseSettings(std::string_view text, Preferences* preferences, std::string* why);

struct SettingsRead {
    enum class State { Missing, Read, Damaged } state = State::Missing;
    Preferences preferences;  // the defaults unless Read
    std::string problem;      // why it is Damaged
};
SettingsRead ReadSettings(const std::string& path, FileSystem& fileSystem);

// The file a path stands for: the final target of its symbolic links, which
// need not exist yet.
std::string SettingsTarget(const std::string& path);
// Replaces the file at path (its link target) with these preferences. False,
// with the reason in *err, when it could not; the file is then as it was
// and no temporary file remains.
bool WriteSettings(const std::string& path, const Preferences& preferences, FileSystem& fileSystem, std::string* err);

}  // namespace sw
