#pragma once
// The main dialog: owns all in-memory data and handles every page event. Its
// event map holds the oracles', the editor's and the frame's handlers; what
// it does not match goes to the features beside it (app/features.h).
#include <memory>
#include <string>
#include <string_view>

#include "app/features.h"
#include "iching/hexagram_table.h"
#include "platform/host.h"
#include "readings/card_meaning.h"
#include "store/oracle_data.h"
#include "yesno/yes_no.h"

namespace sw {

// Command identifiers of the accelerator table and the posted commands.
enum Command : int {
    kCmdExit = 32774,
    kCmdIChing = 32775,
    kCmdReadings = 32777,
    kCmdYesNo = 32779,
    kCmdHome = 32781,
    kCmdHelp1 = 32782,
    kCmdHelp2 = 32783,
    kCmdEditor = 32785,
    kCmdNoReload = 32787,  // F5: consumed, handled nowhere
    kIdHelp = 57670,
};

// Looks a key up in the main window's accelerator table; 0 when absent.
int TranslateAccelerator(std::string_view key);

class CSagewendDlg : public platform::PageSink {
public:
    using Handler = int (CSagewendDlg::*)(const platform::Element&);

    // How an entry matches the clicked element, with the framework's values.
    enum MatchKind : int { kMatchId = 0, kMatchClass = 1, kEndOfMap = 5 };

    struct EventMapEntry {
        MatchKind kind;
        int event;
        const char* name;
        Handler handler;
    };
    static const EventMapEntry* GetDHtmlEventMap();

    // Loads all data (may throw FatalDataError).
    explicit CSagewendDlg(platform::Host& host);
    // For tests: a dialog over data prepared by the caller.
    CSagewendDlg(platform::Host& host, OracleData data);
    // The features hold on to the dialog's data: it stays where it was made.
    CSagewendDlg(const CSagewendDlg&) = delete;
    CSagewendDlg& operator=(const CSagewendDlg&) = delete;

    // PageSink
    void OnDocumentComplete() override;
    void OnClick(const platform::Element& source) override;
    void OnKey(std::string_view key) override;
    void OnCommand(int command) override;

    // Routes a click by the event map; false when no entry matches.
    bool Route(const platform::Element& source);

    // Handlers of the event map.
    int OnCardClick(const platform::Element& element);
    int ShowReadingForm(const platform::Element& element);
    int OnYesNo(const platform::Element& element);
    int OnIChing(const platform::Element& element);
    int OnExit(const platform::Element& element);
    int OnHelpClicked(const platform::Element& element);
    int OnHome(const platform::Element& element);
    int OnDisclaim(const platform::Element& element);
    int OnReading(const platform::Element& element);
    int OnEditor(const platform::Element& element);
    int OnAddOrEditLayout(const platform::Element& element);
    int OnDescList(const platform::Element& element);
    int OnAddPos(const platform::Element& element);
    int OnDeletePos(const platform::Element& element);
    int OnUpdatePos(const platform::Element& element);
    int OnRefreshGrid(const platform::Element& element);
    int OnGridFilled(const platform::Element& element);
    int OnGrid(const platform::Element& element);
    int OnSaveLayout(const platform::Element& element);
    int OnDeleteLayout(const platform::Element& element);
    int OnDuplicateLayout(const platform::Element& element);

    void ShowHomePage();
    void OnOK() {}
    void OnCancel();

    OracleData& Data() { return data_; }
    const OracleData& Data() const { return data_; }
    const Settings& KeptSettings() const { return features_.settings; }
    const HexagramTable& Hexagrams() const { return hexagrams; }
    const std::string& Question() const { return question; }
    int CurrentDeck() const { return currentDeck; }
    int CurrentLayout() const { return currentLayout; }

private:
    // Every page the dialog writes replaces whatever the journal offered or
    // showed; parts says what the page is made of, for the page script.
    void WritePage(const std::string& html, const platform::PageParts& parts = {}) {
        features_.PageReplaced();
        host_.WritePage(html);
        if (!parts.Empty()) host_.DescribePage(parts);
    }
    // The value of a page element, "" when it is missing or ambiguous.
    std::string ElementValue(std::string_view id, std::string_view attribute = "value");
    void RedrawLayoutEditor();
    // The layout chosen in the list, or -1 after saying there is none.
    int ChosenLayout(const char* none);
    // A spread on show: what a card click opens, its cards' names and the
    // journal's offer. Dealt or placed by the user's hand alike.
    void ShowSpread(int layout, int deck, const std::string& html, bool reversed, bool byHand);
    // The cards the user placed (owncards/), shown as a deal of them is.
    void ShowPlacedSpread(int layout, int deck, const std::string& asked, std::vector<DealtCard> placed);
    // The meaning window for one card of a dealt spread, named for screen readers.
    void ShowCardMeaning(const DeckRecord& deck, int card, const std::string& positionText, int reversed);
    // The title and description inputs; false (after saying which is
    // missing) when either is empty.
    bool ReadPositionFields(std::string& title, std::string& description);
    void RunElementCommand(std::string_view id, Handler handler);

    platform::Host& host_;
    OracleData data_;
    YesNoOracle yesNo;
    HexagramTable hexagrams;
    std::unique_ptr<CCardMeaning> cardMeaning;
    Features features_;  // beside the dialog's own pages
    int currentDeck = -1;
    int currentLayout = -1;
    std::string question;
};

}  // namespace sw
