// A page message of any content: it is read into an event or dropped,
// never crashes; an event it reads is driven into the main dialog as the
// handler loop would drive it (a click routed by the event map, a key by the
// accelerators), over a small catalogue, so hostile attribute values reach
// every handler. Notifications are answered OK and Cancel in turn; commands
// the handlers post run afterwards.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>

#include "app/sagewend_dlg.h"
#include "fuzz_support.h"
#include "platform/page_message.h"

namespace {

using sw::platform::Document;
using sw::platform::Element;

class FuzzHost final : public sw::platform::Host {
public:
    Document document;
    std::deque<int> posted;
    int answers = 0;

    void WritePage(const std::string& html) override { Check(html); }
    std::optional<Element> GetElement(std::string_view id) override { return document.Find(id); }
    void SetElementValue(std::string_view id, const std::string& value) override {
        if (Element* element = document.FindMutable(id)) element->SetAttribute("value", sw::platform::Variant(value));
    }
    int ShowMessage(const std::string& message, int) override {
        Check(message);
        return ++answers % 2 ? sw::platform::kIdOk : sw::platform::kIdCancel;
    }
    void WriteMeaningPage(const std::string& html) override { Check(html); }
    void ShowMeaningWindow(bool) override {}
    void SetWaitCursor(bool) override {}
    void Pause(int) override {}
    void ShowHelp(const std::string&) override {}
    void PostCommand(int command) override { posted.push_back(command); }
    void EndDialog() override {}

private:
    // Whatever reaches the page must be text the page can be sent.
    static void Check(const std::string& text) {
        if (!sw::IsValidUtf8(sw::ToUtf8(text))) std::abort();
    }
};

sw::OracleData SmallCatalogue() {
    sw::OracleData data{sw::OracleData::NoLoad{}, sw::fuzz::NoSync()};
    sw::DeckRecord deck;
    deck.directory = "Tiny";
    deck.loaded = true;
    for (const char* name : {"Sun", "Moon", "Star"}) {
        sw::CardRecord card;
        card.name = name;
        card.number = std::string(name, 2);
        card.imageExtension = "svg";
        card.reversedImageSuffix = "r";
        card.hasReversedImage = true;
        card.meaning = "<B>up</B>";
        card.reversedMeaning = "down";
        deck.cards.push_back(card);
    }
    deck.cardCount = 3;
    data.decks.push_back(deck);
    data.deckCount = 1;
    sw::LayoutRecord line;
    line.name = "Line";
    line.positions = {"Past|Before", "Now|Here"};
    line.positionCount = 2;
    line.grid[0][0] = "1";
    line.grid[0][2] = "2";
    data.layouts = {line, sw::LayoutRecord()};
    data.layoutCount = 2;
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sw::fuzz::EnterPrivateFolder();
    std::filesystem::create_directories("data");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string why;
    auto event = sw::platform::ParsePageMessage(text, &why);
    if (!event) {
        if (why.empty()) std::abort();
        return 0;
    }
    if (event->kind != sw::platform::PageEvent::Kind::Answer && (event->seq < 1 || event->seq > (1LL << 53)))
        std::abort();

    FuzzHost host;
    sw::CSagewendDlg dialog(host, SmallCatalogue());
    host.document = std::move(event->document);
    if (event->kind == sw::platform::PageEvent::Kind::Click) dialog.OnClick(event->element);
    else if (event->kind == sw::platform::PageEvent::Kind::Key) dialog.OnKey(event->key);
    for (int i = 0; i < 8 && !host.posted.empty(); ++i) {
        const int command = host.posted.front();
        host.posted.pop_front();
        dialog.OnCommand(command);
    }

    const sw::OracleData& after = dialog.Data();
    if (after.layoutCount != static_cast<int>(after.layouts.size())) std::abort();
    if (after.editLayout.rows < 1 || after.editLayout.rows > sw::kGridSize || after.editLayout.columns < 1 ||
        after.editLayout.columns > sw::kGridSize)
        std::abort();
    if (after.editLayout.positionCount != static_cast<int>(after.editLayout.positions.size())) std::abort();
    return 0;
}
