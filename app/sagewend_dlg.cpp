#include "app/sagewend_dlg.h"

#include <iostream>

#include "app/home_page.h"
#include "app/msg_box.h"
#include "app/quote_table.h"
#include "core/random.h"
#include "core/text.h"

namespace sw {

using platform::Element;

namespace {

constexpr int kClickEvent = -600;

const CSagewendDlg::EventMapEntry kEventMap[] = {
    {CSagewendDlg::kMatchClass, kClickEvent, "card", &CSagewendDlg::OnCardClick},
    {CSagewendDlg::kMatchId, kClickEvent, "tarotbtn", &CSagewendDlg::ShowReadingForm},
    {CSagewendDlg::kMatchId, kClickEvent, "tarotu", &CSagewendDlg::ShowReadingForm},
    {CSagewendDlg::kMatchId, kClickEvent, "yesno", &CSagewendDlg::OnYesNo},
    {CSagewendDlg::kMatchId, kClickEvent, "yesnobtn", &CSagewendDlg::OnYesNo},
    {CSagewendDlg::kMatchId, kClickEvent, "yesnou", &CSagewendDlg::OnYesNo},
    {CSagewendDlg::kMatchId, kClickEvent, "iching", &CSagewendDlg::OnIChing},
    {CSagewendDlg::kMatchId, kClickEvent, "ichingbtn", &CSagewendDlg::OnIChing},
    {CSagewendDlg::kMatchId, kClickEvent, "ichingu", &CSagewendDlg::OnIChing},
    {CSagewendDlg::kMatchId, kClickEvent, "exit", &CSagewendDlg::OnExit},
    {CSagewendDlg::kMatchId, kClickEvent, "help", &CSagewendDlg::OnHelpClicked},
    {CSagewendDlg::kMatchId, kClickEvent, "home", &CSagewendDlg::OnHome},
    {CSagewendDlg::kMatchId, kClickEvent, "disclaim", &CSagewendDlg::OnDisclaim},
    {CSagewendDlg::kMatchId, kClickEvent, "reading", &CSagewendDlg::OnReading},
    {CSagewendDlg::kMatchId, kClickEvent, "editor", &CSagewendDlg::OnEditor},
    {CSagewendDlg::kMatchId, kClickEvent, "addlayout", &CSagewendDlg::OnAddOrEditLayout},
    {CSagewendDlg::kMatchId, kClickEvent, "editlayout", &CSagewendDlg::OnAddOrEditLayout},
    {CSagewendDlg::kMatchId, kClickEvent, "desclist", &CSagewendDlg::OnDescList},
    {CSagewendDlg::kMatchId, kClickEvent, "addpos", &CSagewendDlg::OnAddPos},
    {CSagewendDlg::kMatchId, kClickEvent, "deletepos", &CSagewendDlg::OnDeletePos},
    {CSagewendDlg::kMatchId, kClickEvent, "updatepos", &CSagewendDlg::OnUpdatePos},
    {CSagewendDlg::kMatchId, kClickEvent, "refreshgrid", &CSagewendDlg::OnRefreshGrid},
    {CSagewendDlg::kMatchId, kClickEvent, "gridfilled", &CSagewendDlg::OnGridFilled},
    {CSagewendDlg::kMatchId, kClickEvent, "grid", &CSagewendDlg::OnGrid},
    {CSagewendDlg::kMatchId, kClickEvent, "savelayout", &CSagewendDlg::OnSaveLayout},
    // Beside the layout list.
    {CSagewendDlg::kMatchId, kClickEvent, "deletelayout", &CSagewendDlg::OnDeleteLayout},
    {CSagewendDlg::kMatchId, kClickEvent, "duplicatelayout", &CSagewendDlg::OnDuplicateLayout},
    {CSagewendDlg::kEndOfMap, 0, nullptr, nullptr},
};

struct Accelerator {
    const char* key;
    int command;
};

const Accelerator kAccelerators[] = {
    {"Alt+X", kCmdExit}, {"Alt+E", kCmdEditor}, {"Alt+T", kCmdEditor}, {"Alt+O", kCmdHome},  {"Alt+I", kCmdIChing}, {"Alt+R", kCmdReadings},
    {"Alt+Y", kCmdYesNo}, {"Alt+H", kIdHelp},    {"F1", kIdHelp},      {"F5", kCmdNoReload},
};

}  // namespace

int TranslateAccelerator(std::string_view key) {
    for (const auto& accelerator : kAccelerators)
        if (key == accelerator.key) return accelerator.command;
    return 0;
}

const CSagewendDlg::EventMapEntry* CSagewendDlg::GetDHtmlEventMap() { return kEventMap; }

CSagewendDlg::CSagewendDlg(platform::Host& host) : CSagewendDlg(host, OracleData()) {}

CSagewendDlg::CSagewendDlg(platform::Host& host, OracleData data)
    : host_(host),
      data_(std::move(data)),
      cardMeaning(std::make_unique<CCardMeaning>(host)),
      features_(host, data_, hexagrams,
                [this](int layout, int deck, const std::string& asked, std::vector<DealtCard> placed) {
                    ShowPlacedSpread(layout, deck, asked, std::move(placed));
                }) {
    features_.settings.RestoreSelections(data_);
}

bool CSagewendDlg::Route(const Element& source) {
    const std::string id = source.Id();
    const std::string className = source.ClassName();
    for (const EventMapEntry* entry = GetDHtmlEventMap(); entry->kind != kEndOfMap; ++entry) {
        if (entry->event != kClickEvent) continue;
        const std::string& candidate = entry->kind == kMatchId ? id : className;
        if (candidate == entry->name) {
            (this->*entry->handler)(source);
            return true;
        }
    }
    // The features' elements, beside the map.
    return features_.OnClick(source);
}

void CSagewendDlg::OnDocumentComplete() {
    features_.PageOpened();
    ShowHomePage();
}

void CSagewendDlg::OnClick(const Element& source) { Route(source); }

void CSagewendDlg::OnKey(std::string_view key) {
    if (int command = TranslateAccelerator(key)) {
        OnCommand(command);
    } else if (features_.OnKey(key)) {
        return;
    } else if (key == "Escape") {
        OnCommand(platform::kIdCancel);
    } else if (key == "Enter") {
        OnCommand(platform::kIdOk);
    }
}

void CSagewendDlg::RunElementCommand(std::string_view id, Handler handler) {
    auto element = host_.GetElement(id);
    if (!element) {
        // The menu links are part of the main page; should the page not
        // report them, act as the menu link would.
        element = Element("A");
        element->SetAttribute("id", std::string(id));
        element->SetAttribute("session", "0");
    }
    (this->*handler)(*element);
}

void CSagewendDlg::OnCommand(int command) {
    switch (command) {
        case platform::kIdOk: OnOK(); break;
        case platform::kIdCancel: OnCancel(); break;
        case kCmdExit: host_.PostCommand(platform::kIdCancel); break;
        case kCmdIChing: RunElementCommand("ichingbtn", &CSagewendDlg::OnIChing); break;
        case kCmdReadings: RunElementCommand("tarotbtn", &CSagewendDlg::ShowReadingForm); break;
        case kCmdYesNo: RunElementCommand("yesnobtn", &CSagewendDlg::OnYesNo); break;
        case kCmdHome: ShowHomePage(); break;
        case kCmdHelp1:
        case kCmdHelp2: host_.PostCommand(kIdHelp); break;
        case kCmdEditor: OnEditor(Element()); break;
        case kIdHelp: host_.ShowHelp(""); break;
        default: break;  // F5 and anything else: swallowed
    }
}

std::string CSagewendDlg::ElementValue(std::string_view id, std::string_view attribute) {
    auto element = host_.GetElement(id);
    if (!element) {
        std::clog << "sagewend: no single page element named '" << id << "'\n";
        return {};
    }
    return element->Text(attribute);
}

// Home page, help, disclaimer and exit.

void CSagewendDlg::ShowHomePage() {
    cardMeaning->Hide();
    const int n = Rand();
    WritePage(RenderHomePage(n % kQuoteCount), HomePageParts());
}

int CSagewendDlg::OnHome(const Element&) {
    ShowHomePage();
    return 0;
}

int CSagewendDlg::OnExit(const Element&) {
    host_.PostCommand(platform::kIdCancel);
    return 0;
}

int CSagewendDlg::OnHelpClicked(const Element&) {
    host_.PostCommand(kIdHelp);
    return 0;
}

int CSagewendDlg::OnDisclaim(const Element&) {
    host_.ShowHelp("disclaimer.htm");
    return 0;
}

void CSagewendDlg::OnCancel() {
    if (CMsgBox().Show("Are you sure?", platform::kIconQuestion) == platform::kIdOk) host_.EndDialog();
}

// I Ching and yes/no.

int CSagewendDlg::OnIChing(const Element& element) {
    cardMeaning->Hide();
    const int session = CAtoi(element.Text("session"));
    if (session != 0) question = ElementValue("Question");
    std::array<int, 6> draws{};
    const std::string html = hexagrams.RenderIChing(session, question, host_, &draws);
    WritePage(html, session != 0 ? hexagrams.CastParts(draws) : HexagramTable::QuestionParts());
    if (session != 0) features_.journal.Offer(Oracle::IChing, question, CastResult(draws));
    return 0;
}

int CSagewendDlg::OnYesNo(const Element& element) {
    cardMeaning->Hide();
    const int asked = CAtoi(element.Text("session"));
    if (asked != 0) question = ElementValue("Question");
    int answer = -1;
    const std::string html = yesNo.RenderYesNoPage(asked, question, host_, &answer);
    WritePage(html, YesNoOracle::Parts());
    if (answer >= 0) features_.journal.Offer(Oracle::YesNo, question, AnswerResult(answer));
    return 0;
}

// Readings.

int CSagewendDlg::ShowReadingForm(const Element&) {
    cardMeaning->Hide();
    platform::PageParts parts = OracleData::ReadingFormParts();
    features_.AddReadingControls(parts);
    const std::string html = data_.RenderReadingForm(question);
    parts.prefetch = data_.DeckPictures(data_.selectedDeck);
    WritePage(html, parts);
    return 0;
}

int CSagewendDlg::OnReading(const Element&) {
    question = ElementValue("Question");
    const int deck = CAtoi(ElementValue("deck"));
    const int layout = CAtoi(ElementValue("layout"));
    const bool reversed = ElementValue("reverse", "checked") == "-1";
    // The options beside the form, as the user left them.
    const DealOptions options = ReadDealOptions(host_, features_.settings.Get().deal);
    std::string problem;
    std::string html = data_.RenderSpread(layout, deck, question, reversed, &problem, options);
    if (!problem.empty()) {
        // Nothing can be dealt: say why and keep the form as it is.
        CMsgBox().Show(problem, platform::kIconExclamation);
        return 0;
    }
    ShowSpread(layout, deck, html, reversed, false);
    features_.settings.RememberReading(data_, deck, layout, &options);
    return 0;
}

void CSagewendDlg::ShowPlacedSpread(int layout, int deck, const std::string& asked, std::vector<DealtCard> placed) {
    question = asked;
    ShowSpread(layout, deck, data_.RenderPlacedSpread(layout, deck, question, std::move(placed)), true, true);
    features_.settings.RememberReading(data_, deck, layout, nullptr);
}

void CSagewendDlg::ShowSpread(int layout, int deck, const std::string& html, bool reversed, bool byHand) {
    currentDeck = deck;
    currentLayout = layout;
    const LayoutRecord& shown = data_.LayoutAt(layout);
    WritePage(html, OracleData::SpreadParts(shown, data_.DeckAt(deck), data_.lastDeal));
    host_.DescribeCards(OracleData::CardLabels(shown, data_.DeckAt(deck), data_.lastDeal));
    features_.journal.Offer(Oracle::Reading, question,
                            ReadingResult(shown, data_.DeckAt(deck), data_.lastDeal, reversed, byHand));
}

int CSagewendDlg::OnCardClick(const Element& element) {
    const int pos = CAtoi(element.Text("pos"));
    const int card = CAtoi(element.Text("card"));
    const int reversed = CAtoi(element.Text("reversed"));
    if (const KeptReading* kept = features_.journal.ShownReading(element)) {
        // A kept reading on show: its cards as they were kept.
        if (pos < 0 || pos >= kept->layout.positionCount || card < 0 || card >= kept->deck.cardCount) return 0;
        ShowCardMeaning(kept->deck, card, kept->layout.PositionText(pos), reversed);
        return 0;
    }
    const bool valid = data_.IsLayoutIndex(currentLayout) && data_.IsDeckIndex(currentDeck) && pos >= 0 &&
                       pos < data_.LayoutAt(currentLayout).positionCount && card >= 0 &&
                       card < data_.DeckAt(currentDeck).cardCount;
    if (!valid) {
        CMsgBox().Show("This card no longer belongs to a stored layout and deck", platform::kIconExclamation);
        return 0;
    }
    ShowCardMeaning(data_.DeckAt(currentDeck), card, data_.PositionText(currentLayout, pos), reversed);
    return 0;
}

void CSagewendDlg::ShowCardMeaning(const DeckRecord& deck, int card, const std::string& positionText, int reversed) {
    cardMeaning->ShowMeaning(deck, card, positionText, reversed);
    host_.DescribeMeaning(deck.CardAt(card).name + (reversed == 1 ? ", reversed" : ", upright"), reversed == 1);
    cardMeaning->Show();
}

// Layout editor.

int CSagewendDlg::OnEditor(const Element&) {
    cardMeaning->Hide();
    WritePage(data_.BuildLayoutListPage(), OracleData::LayoutListParts());
    return 0;
}

int CSagewendDlg::OnAddOrEditLayout(const Element& element) {
    std::string html;
    if (element.Id() == "addlayout") {
        html = data_.BuildLayoutEditorPage(-1);
        currentLayout = -1;
    } else {
        const int index = CAtoi(ElementValue("layout"));
        if (!data_.IsLayoutIndex(index)) {
            CMsgBox().Show("There is no layout to edit, please add a new one", platform::kIconExclamation);
            return 0;
        }
        currentLayout = index;
        html = data_.BuildLayoutEditorPage(index);
    }
    WritePage(html, OracleData::LayoutEditorParts());
    return 0;
}

void CSagewendDlg::RedrawLayoutEditor() {
    data_.editLayout.name = ElementValue("name");
    WritePage(data_.BuildLayoutEditorPage(-2), OracleData::LayoutEditorParts());
}

int CSagewendDlg::OnRefreshGrid(const Element&) {
    auto clamp = [](int value) { return value < 1 ? 1 : (value > kGridSize ? kGridSize : value); };
    data_.editLayout.columns = clamp(CAtoi(ElementValue("cols")));
    data_.editLayout.rows = clamp(CAtoi(ElementValue("rows")));
    RedrawLayoutEditor();
    return 0;
}

namespace {
bool CellInRange(int row, int column) { return row >= 0 && row < kGridSize && column >= 0 && column < kGridSize; }
}  // namespace

int CSagewendDlg::OnGrid(const Element& element) {
    const int chosen = CAtoi(ElementValue("desclist"));
    if (chosen == -1) {
        CMsgBox().Show("No positions to insert, please add a new one", platform::kIconExclamation);
        return 0;
    }
    const int column = CAtoi(element.Text("col"));
    const int row = CAtoi(element.Text("row"));
    if (!CellInRange(row, column) || chosen < 0 || chosen >= data_.editLayout.positionCount) return 0;
    data_.editLayout.Cell(row, column) = std::to_string(chosen + 1);
    RedrawLayoutEditor();
    return 0;
}

int CSagewendDlg::OnGridFilled(const Element& element) {
    const int column = CAtoi(element.Text("col"));
    const int row = CAtoi(element.Text("row"));
    if (!CellInRange(row, column)) return 0;
    data_.editLayout.Cell(row, column).assign(1, ' ');
    RedrawLayoutEditor();
    return 0;
}

int CSagewendDlg::OnSaveLayout(const Element&) {
    if (data_.SaveEditedLayout(ElementValue("name"))) OnEditor(Element());
    return 0;
}

int CSagewendDlg::ChosenLayout(const char* none) {
    const int index = CAtoi(ElementValue("layout"));
    if (data_.IsLayoutIndex(index)) return index;
    CMsgBox().Show(none, platform::kIconExclamation);
    return -1;
}

int CSagewendDlg::OnDeleteLayout(const Element&) {
    const int index = ChosenLayout("There is no layout to delete");
    if (index < 0) return 0;
    if (CMsgBox().Show("Are you sure?", platform::kIconQuestion) != platform::kIdOk) return 0;
    if (!data_.DeleteLayout(index)) return 0;  // the store says why
    // A spread of that layout is no longer on show; one of a later layout
    // keeps its layout under its new index.
    if (currentLayout == index) currentLayout = -1;
    else if (currentLayout > index) --currentLayout;
    CMsgBox().Show("Layout successfully deleted", platform::kIconExclamation);
    OnEditor(Element());
    return 0;
}

int CSagewendDlg::OnDuplicateLayout(const Element&) {
    const int index = ChosenLayout("There is no layout to duplicate");
    if (index < 0 || !data_.DuplicateLayout(index)) return 0;
    CMsgBox().Show("Layout successfully added", platform::kIconExclamation);
    OnEditor(Element());
    // The copy is the one chosen, ready for Edit.
    host_.SetElementValue("layout", std::to_string(data_.layoutCount - 1));
    return 0;
}

int CSagewendDlg::OnDescList(const Element& element) {
    const int index = CAtoi(element.Text("value"));
    if (index == -1) return 0;
    if (index < 0 || index >= data_.editLayout.positionCount) return 0;
    const std::string& text = data_.editLayout.PositionText(index);
    host_.SetElementValue("title", PositionTitle(text));
    host_.SetElementValue("description", PositionDescription(text));
    data_.selectedPosition = index;
    return 0;
}

bool CSagewendDlg::ReadPositionFields(std::string& title, std::string& description) {
    title = ElementValue("title");
    if (title.empty()) {
        CMsgBox().Show("Please enter a title", platform::kIconExclamation);
        return false;
    }
    description = ElementValue("description");
    if (description.empty()) {
        CMsgBox().Show("Please enter a description", platform::kIconExclamation);
        return false;
    }
    return true;
}

int CSagewendDlg::OnAddPos(const Element&) {
    std::string title, description;
    if (!ReadPositionFields(title, description)) return 0;
    data_.AddPosition(title, description);
    RedrawLayoutEditor();
    return 0;
}

int CSagewendDlg::OnUpdatePos(const Element&) {
    const int index = CAtoi(ElementValue("desclist"));
    if (index == -1) {
        CMsgBox().Show("No positions to update, please add a new one", platform::kIconExclamation);
        return 0;
    }
    std::string title, description;
    if (!ReadPositionFields(title, description)) return 0;
    if (index < 0 || index >= data_.editLayout.positionCount) return 0;
    data_.UpdatePosition(index, title, description);
    RedrawLayoutEditor();
    return 0;
}

int CSagewendDlg::OnDeletePos(const Element&) {
    if (CMsgBox().Show("Are you sure?", platform::kIconQuestion) != platform::kIdOk) return 0;
    const int index = CAtoi(ElementValue("desclist"));
    if (index == -1) return 0;
    if (index < 0 || index >= data_.editLayout.positionCount) return 0;
    data_.DeletePosition(index);
    RedrawLayoutEditor();
    return 0;
}

}  // namespace sw
