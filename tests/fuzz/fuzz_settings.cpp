// A settings file of any content: it is read whole or refused with a reason,
// never half read and never a crash; what is read is written back and read
// again as the same preferences.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    sw::Preferences read;
    std::string why;
    if (!sw::ParseSettings(text, &read, &why)) {
        if (why.empty() || !(read == sw::Preferences())) std::abort();
        return 0;
    }
    sw::Preferences again;
    if (!sw::ParseSettings(sw::SettingsJson(read), &again, &why) || !(again == read)) std::abort();
    return 0;
}
