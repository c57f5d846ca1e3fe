#pragma once
// The kept preferences at work: read once at start from settings.json in the
// data folder (settings/settings_file.h), changed by what the user does
// (the deck and layout of each reading, the deal options beside the reading
// form, the look and sizes the page lets one choose) and written at once
// whenever one changes, never otherwise: a first start creates no file, and
// one with no file looks as it always did.
//
// A file that cannot be used (damaged, foreign, too large) is reported once,
// at start, and left as it is; the defaults are used. Only when the user
// then changes a preference is it set aside, renamed beside itself
// (settings.json.damaged), and a new file written, as the report says: a
// later change never silently destroys it. A file that cannot be written is
// reported once; the preferences hold for the rest of the run.
//
// Runs on the handler thread, like every feature (app/features.cpp routes
// the clicks here); only SharedTheme may be called from another.
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/element.h"
#include "platform/host.h"
#include "platform/page_parts.h"
#include "settings/settings_file.h"
#include "store/file_system.h"
#include "store/oracle_data.h"

namespace sw {

class Settings {
public:
    static constexpr const char* kSettingsFile = "settings.json";

    // Reads the file (path is relative to the data folder, the working
    // directory) and reports one that cannot be used.
    explicit Settings(platform::Host& host, std::string path = kSettingsFile, FileSystem& fileSystem = RealFileSystem());

    const Preferences& Get() const { return preferences_; }
    // The kept theme, for what is made on another thread (the help's
    // look.css is made on a server worker).
    std::string SharedTheme() const;
    // The remembered deck and layout as the selections the reading form
    // offers (by name: a deck or layout no longer there is not offered).
    void RestoreSelections(OracleData& data) const;
    // A reading was made with this deck and layout (and, for a deal, these
    // options; a deck that cannot tell its trumps leaves "major arcana
    // only" as it was).
    void RememberReading(const OracleData& data, int deck, int layout, const DealOptions* options);
    // A control beside the reading form was clicked: its values as the
    // page's snapshot shows them.
    void DealControlClicked(const OracleData& data);
    // A click on a "setpref" element: its pref and value attributes.
    void SetFromPage(const platform::Element& element);
    // Sends the preferences the page applies.
    void Share();

    // The settings page: its fragment, and beside it a choice for each of
    // the look and the card size, as they stand.
    static std::string PageHtml();
    std::vector<platform::PageParts::Control> PageControls() const;
    // One of those choices was clicked: its id is "<choice>-<value>".
    void PageChoiceClicked(const platform::Element& element);

private:
    void Change(Preferences next);
    // The form's deck in the page's snapshot, when it can tell its trumps.
    bool FormDeckTellsTrumps(const OracleData& data) const;
    void Say(const std::string& message) const;

    platform::Host& host_;
    FileSystem& fileSystem_;
    std::string path_;
    Preferences preferences_;
    bool damaged_ = false;    // the file on disk is one that could not be used
    std::string asideName_;   // where it goes when a preference changes
    bool writeFailed_ = false;
    mutable std::mutex sharedMutex_;
    std::string sharedTheme_;  // preferences_.theme, under sharedMutex_
};

}  // namespace sw
