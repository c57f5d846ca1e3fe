// The kept preferences at work; declared in settings/settings.h.
#include "settings/settings.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "app/msg_box.h"
#include "app/page_pieces.h"
#include "core/text.h"

namespace sw {

namespace {

// Where a file that could not be used goes when a preference changes: the
// first free name of settings.json.damaged, .damaged-2 ... .damaged-9.
std::string AsideName(const std::string& target) {
    for (int n = 1; n <= 9; ++n) {
        const std::string name = n == 1 ? target + ".damaged" : Format("%s.damaged-%d", target.c_str(), n);
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(name, error))) return name;
    }
    return {};
}

// The settings page's choices: the preference each sets, and its values
// with the words the page shows for them.
struct PageChoice {
    const char* id;
    const char* pref;
    std::string Preferences::*member;
    const char* label;
    std::vector<std::pair<std::string, std::string>> choices;
};

const std::vector<PageChoice>& PageChoices() {
    static const std::vector<PageChoice> choices = {
        {"look", "theme", &Preferences::theme, "Look",
         {{"system", "As the system asks (green, unless it asks for dark or for more contrast)"},
          {"green", "Green"},
          {"dark", "Dark"},
          {"contrast", "Light, high contrast"}}},
        {"cardsize", "cardSize", &Preferences::cardSize, "Size of the cards in a spread and in the card library",
         {{"smaller", "Smaller"}, {"fit", "As large as fits the window"}, {"larger", "Larger (a spread may scroll)"}}},
    };
    return choices;
}

std::string Shown(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return ToUtf8(error ? path : absolute.lexically_normal().string());
}

}  // namespace

Settings::Settings(platform::Host& host, std::string path, FileSystem& fileSystem)
    : host_(host), fileSystem_(fileSystem), path_(std::move(path)) {
    SettingsRead read = ReadSettings(path_, fileSystem_);
    preferences_ = std::move(read.preferences);
    sharedTheme_ = preferences_.theme;
    if (read.state != SettingsRead::State::Damaged) return;
    damaged_ = true;
    asideName_ = AsideName(SettingsTarget(path_));
    std::string message = Format("The settings file %s cannot be used: %s. It is left as it is, and the default settings are used.",
                                 Shown(path_).c_str(), ToUtf8(read.problem).c_str());
    message += asideName_.empty()
                   ? " Your settings are not kept until it is mended or removed."
                   : Format(" If you change a setting, that file is kept beside it as %s and a new one is written.",
                            ToUtf8(std::filesystem::path(asideName_).filename().string()).c_str());
    Say(message);
}

std::string Settings::SharedTheme() const {
    const std::lock_guard lock(sharedMutex_);
    return sharedTheme_;
}

void Settings::Say(const std::string& message) const { CMsgBox().Show(message, platform::kIconExclamation); }

void Settings::RestoreSelections(OracleData& data) const {
    for (int i = 0; i < data.deckCount && !preferences_.deck.empty(); ++i) {
        if (data.DeckAt(i).loaded && ToUtf8(data.DeckAt(i).directory) == preferences_.deck) {
            data.selectedDeck = i;
            break;
        }
    }
    for (int i = 0; i < data.layoutCount && !preferences_.layout.empty(); ++i) {
        if (ToUtf8(data.LayoutAt(i).name) == preferences_.layout) {
            data.selectedLayout = i;
            break;
        }
    }
}

void Settings::RememberReading(const OracleData& data, int deck, int layout, const DealOptions* options) {
    if (!data.IsDeckIndex(deck) || !data.IsLayoutIndex(layout)) return;
    Preferences next = preferences_;
    next.deck = ToUtf8(data.DeckAt(deck).directory);
    next.layout = ToUtf8(data.LayoutAt(layout).name);
    if (options) {
        next.deal.reversals = options->reversals;
        if (!MajorArcana(data.DeckAt(deck)).empty()) next.deal.majorOnly = options->majorOnly;
    }
    Change(std::move(next));
}

bool Settings::FormDeckTellsTrumps(const OracleData& data) const {
    auto deck = host_.GetElement("deck");
    const int index = deck ? CAtoi(deck->Text("value")) : -1;
    return data.IsDeckIndex(index) && !MajorArcana(data.DeckAt(index)).empty();
}

void Settings::DealControlClicked(const OracleData& data) {
    // While the form's deck cannot tell its trumps, the box is off for it
    // and says nothing of what the user wants for other decks.
    const DealOptions shown = ReadDealOptions(host_, preferences_.deal);
    Preferences next = preferences_;
    next.deal.reversals = shown.reversals;
    if (FormDeckTellsTrumps(data)) next.deal.majorOnly = shown.majorOnly;
    Change(std::move(next));
}

void Settings::SetFromPage(const platform::Element& element) {
    Preferences next = preferences_;
    if (!SetPagePreference(&next, element.Text("pref"), element.Text("value"))) {
        std::clog << "sagewend: the page asked for a setting that does not exist\n";
        return;
    }
    Change(std::move(next));
    Share();
}

void Settings::Share() { host_.ShareSettings(PagePreferences(preferences_)); }

std::string Settings::PageHtml() {
    return std::string(kPageStart) +
           "<BR><BR><h3>Settings</h3><p class='sw-settings'>How Sagewend looks. What you choose here is kept for the next time.</p>" +
           kPageEnd;
}

std::vector<platform::PageParts::Control> Settings::PageControls() const {
    std::vector<platform::PageParts::Control> controls;
    for (const PageChoice& choice : PageChoices()) {
        platform::PageParts::Control control;
        control.kind = platform::PageParts::Control::Kind::Choice;
        control.id = choice.id;
        control.label = choice.label;
        control.value = preferences_.*choice.member;
        control.choices = choice.choices;
        controls.push_back(std::move(control));
    }
    return controls;
}

void Settings::PageChoiceClicked(const platform::Element& element) {
    const std::string id = element.Id();
    for (const PageChoice& choice : PageChoices()) {
        const std::string prefix = std::string(choice.id) + "-";
        if (id.rfind(prefix, 0) != 0) continue;
        Preferences next = preferences_;
        if (!SetPagePreference(&next, choice.pref, id.substr(prefix.size()))) return;
        Change(std::move(next));
        Share();
        return;
    }
}

void Settings::Change(Preferences next) {
    if (next == preferences_) return;
    preferences_ = std::move(next);
    {
        const std::lock_guard lock(sharedMutex_);
        sharedTheme_ = preferences_.theme;
    }
    if (damaged_) {
        if (asideName_.empty()) return;  // said at start: not kept
        // Kept, as the report at start said, before a new file takes its place.
        if (fileSystem_.Rename(SettingsTarget(path_), asideName_) != 0 && errno != ENOENT) {
            const int error = errno;
            asideName_.clear();
            Say(Format("The settings file %s could not be set aside (%s), so your settings are not kept.",
                       Shown(path_).c_str(), std::strerror(error)));
            return;
        }
        damaged_ = false;
    }
    std::string err;
    if (WriteSettings(path_, preferences_, fileSystem_, &err)) return;
    if (writeFailed_) return;  // said once
    writeFailed_ = true;
    Say(Format("Your settings could not be saved in %s: %s. They hold until Sagewend ends.", Shown(path_).c_str(),
               err.c_str()));
}

}  // namespace sw
