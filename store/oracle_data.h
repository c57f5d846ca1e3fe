#pragma once
// The main window's data holder: the deck catalogue, the layout store, the
// state of the reading in progress and the layout editor's working copy.
#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/page_parts.h"
#include "readings/deal_options.h"
#include "store/deck.h"
#include "store/encoded_text_file.h"
#include "store/layout.h"

namespace sw {

namespace platform {
class Host;
}

// One card of a deal: where it lies and how. The deal is kept apart from
// its page so that a kept reading can be shown again without a new draw.
struct DealtCard {
    int row = 0;
    int column = 0;
    int position = 0;  // 0-based, from the cell's number
    int card = 0;      // index in the deck
    int roll = 0;      // 1 when the reversal roll came up
    int reversed = 0;  // 1 when shown reversed (rolled, and the card has a reversed picture)
};

// A start-up data error after which the program cannot go on; the message
// has already been shown. main() ends the process with a non-zero status.
class FatalDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class OracleData {
public:
    std::vector<LayoutRecord> layouts;
    std::array<int, kMaxDeckCards> drawn{};
    std::vector<DeckRecord> decks;
    int selectedDeck = 0;
    bool reversedAllowed = false;
    int deckCount = 0;
    int layoutCount = 0;
    int selectedLayout = 0;
    LayoutRecord editLayout;
    int selectedPosition = 0;
    std::vector<DealtCard> lastDeal;  // the spread on show

    // Reads data/decks.dat, every deck's index and data/layouts.dat from the
    // working directory, through fileSystem (as do its saves). Throws
    // FatalDataError after showing "Error opening Deck files", "Error
    // opening Layout files" or "Error in Layout files".
    explicit OracleData(FileSystem& fileSystem = RealFileSystem());
    // An empty holder that reads nothing (tests, tools).
    struct NoLoad {};
    explicit OracleData(NoLoad, FileSystem& fileSystem = RealFileSystem()) : fileSystem_(&fileSystem) {}
    // Where its files are read and written from now on (tests).
    void UseFileSystem(FileSystem& fileSystem) { fileSystem_ = &fileSystem; }

    void LoadDecks();
    void LoadLayouts();
    // Rewrites data/layouts.dat from layouts. False (after showing "Error
    // opening Layout files") when the stored file could not be written; the
    // stored file is then unchanged.
    bool SaveLayouts();

    DeckRecord& DeckAt(int index) { return decks[index]; }
    const DeckRecord& DeckAt(int index) const { return decks[index]; }
    LayoutRecord& LayoutAt(int index) { return layouts[index]; }
    const LayoutRecord& LayoutAt(int index) const { return layouts[index]; }
    bool IsDeckIndex(int index) const { return index >= 0 && index < deckCount; }
    bool IsLayoutIndex(int index) const { return index >= 0 && index < layoutCount; }
    // A copy of the position text of layout l at index p; "" when missing.
    std::string PositionText(int layout, int position) const;

    // Reading form and spread.
    std::string RenderReadingForm(const std::string& question) const;
    static platform::PageParts ReadingFormParts();
    // Every picture of a loaded deck, as fragments name them (none for
    // another index).
    std::vector<std::string> DeckPictures(int deck) const;
    void ClearDrawn();
    int DrawCard();
    // The same rejection draw among the given card indices only.
    int DrawCard(const std::vector<int>& among);
    // Empty when the spread cannot be dealt; then problem says why. The
    // cards dealt are kept in lastDeal. With options.majorOnly the deal is
    // from the deck's trumps, when it can tell them (else from the whole
    // deck); a Reversed box left clear means no roll, whatever the options.
    std::string RenderSpread(int layoutIndex, int deckIndex, const std::string& question, bool reversed,
                             std::string* problem = nullptr, const DealOptions& options = {});
    // Draws one card for every filled cell, in grid order, with the random
    // numbers of each cell in the deal's order (the draw, then the roll).
    std::vector<DealtCard> Deal(const LayoutRecord& layout, const DeckRecord& deck, bool reversedAllowed,
                                const DealOptions& options = {});
    // The filled cells of a layout in grid order, each with its position
    // and no card yet.
    static std::vector<DealtCard> FilledCells(const LayoutRecord& layout);
    // The spread's page for cards the user placed, as a deal shows them;
    // the cards are kept in lastDeal and the selections set as by a deal.
    std::string RenderPlacedSpread(int layoutIndex, int deckIndex, const std::string& question,
                                   std::vector<DealtCard> placed);
    // The spread's page for cards already dealt.
    static std::string RenderDealtSpread(const LayoutRecord& layout, const DeckRecord& deck, const std::string& question,
                                         const std::vector<DealtCard>& dealt);
    // "The Tower, reversed, position 1, The Present" for each dealt card.
    static std::vector<std::string> CardLabels(const LayoutRecord& layout, const DeckRecord& deck,
                                               const std::vector<DealtCard>& dealt);
    // The spread's cards beside its page: what each is and where it lies.
    static platform::PageParts SpreadParts(const LayoutRecord& layout, const DeckRecord& deck,
                                           const std::vector<DealtCard>& dealt);
    // Whether this layout can be dealt from this deck (from its trumps
    // alone when majorOnly); when not, why in *err.
    bool CheckSpread(int layoutIndex, int deckIndex, std::string* err, bool majorOnly = false) const;

    // Layout editor.
    std::string BuildLayoutListPage() const;
    std::string BuildLayoutEditorPage(int mode);
    std::string BuildPositionList() const;
    static platform::PageParts LayoutListParts();
    static platform::PageParts LayoutEditorParts();
    // False, after saying why, when nothing was saved: the file could not
    // be written, or something else has changed it since it was read (it is
    // then read again, and a second Save writes the working copy into it as
    // it now is). The working copy stays for another try.
    bool SaveEditedLayout(const std::string& name);
    // The layout list's own actions, each saved at once as a save is. False
    // (the store unchanged) when index names no layout or the file could not
    // be written. A copy goes to the end of the list, named "<name> (copy)".
    bool DeleteLayout(int index);
    bool DuplicateLayout(int index);
    void AddPosition(const std::string& title, const std::string& description);
    void UpdatePosition(int index, const std::string& title, const std::string& description);
    void DeletePosition(int index);

private:
    // What data/layouts.dat holds now against what this holder last read or
    // wrote (nothing to compare with before either). On a change the file
    // is read again into layouts, unless it is gone or cannot be read.
    enum class LayoutsFile { kUnchanged, kReread, kRemoved, kUnreadable };
    LayoutsFile RereadChangedLayouts(std::string* problem);
    // Whether a save may go ahead over data/layouts.dat as it is now; when
    // not, the user has been told why.
    bool LayoutsFileStillOurs();

    FileSystem* fileSystem_;
    std::optional<StoredVersion> layoutsOnDisk_;  // as last read or written here
    LayoutRecord editedFrom_;                     // the layout opened with Edit, as it was
};

}  // namespace sw
