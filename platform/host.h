#pragma once
// The window services the handlers rely on. The real implementation drives a
// browser page over a WebSocket; the flow tests use a page double.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/element.h"
#include "platform/page_parts.h"

namespace sw::platform {

inline constexpr int kIconQuestion = 32514;
inline constexpr int kIconExclamation = 32515;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

class Host {
public:
    virtual ~Host() = default;

    // Replaces the content of the main page's fileList DIV.
    virtual void WritePage(const std::string& html) = 0;
    // Looks up an element of the main document by id or name, any case.
    virtual std::optional<Element> GetElement(std::string_view id) = 0;
    // Sets the current value of an input of the main document.
    virtual void SetElementValue(std::string_view id, const std::string& value) = 0;
    // A modal notification; returns kIdOk or kIdCancel.
    virtual int ShowMessage(const std::string& message, int iconId) = 0;
    // The card meaning window: its own document and its visibility.
    virtual void WriteMeaningPage(const std::string& html) = 0;
    virtual void ShowMeaningWindow(bool visible) = 0;
    virtual void SetWaitCursor(bool wait) = 0;
    // A blocking pause of the handler thread.
    virtual void Pause(int milliseconds) = 0;
    // Opens the help at a topic; an empty topic is the default one.
    virtual void ShowHelp(const std::string& topic) = 0;
    // Queues a command for the dialog, handled after the current handler.
    virtual void PostCommand(int command) = 0;
    // Ends the main dialog: the program shuts down.
    virtual void EndDialog() = 0;

    // Beside a fragment, for people who cannot see it: the accessible names
    // of the cards just written, in the order of their pictures ("The Tower,
    // reversed, position 1, The Present"), and of the meaning window ("The
    // Tower, reversed"). The fragments themselves stay as they are.
    virtual void DescribeCards(const std::vector<std::string>& labels) { (void)labels; }
    virtual void DescribeMeaning(const std::string& label, bool reversed) { (void)label, (void)reversed; }
    // What the parts of the fragment just written are (platform/page_parts.h).
    virtual void DescribePage(const PageParts& parts) { (void)parts; }
    // A short notice that asks for nothing ("Notes saved"): shown for a
    // moment, without taking the focus. The notifications of the dialog's
    // own pages stay modal (ShowMessage).
    virtual void Notify(const std::string& text) { (void)text; }

    // The journal's and the card library's page services, beside the
    // fragments: the "Keep in journal" control of the page's own frame
    // (hidden again by every page write), HTML written by a deck's author
    // put into an element of the fragment just written (the page sanitises
    // it), a text handed to the user as a file, and the browser's print.
    enum class Keep { Hidden, Offered, Kept };
    virtual void SetKeepControl(Keep state) { (void)state; }
    virtual void FillHtml(const std::string& id, const std::string& html) { (void)id, (void)html; }
    virtual void Download(const std::string& name, const std::string& text) { (void)name, (void)text; }
    virtual void Print() {}

    // The kept preferences the page itself applies (the look, the card
    // size, where the reading sheet goes), by name; sent when the page
    // opens and whenever one changes.
    virtual void ShareSettings(const std::vector<std::pair<std::string, std::string>>& values) { (void)values; }
};

// Receives what the page does; implemented by the main dialog.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual void OnDocumentComplete() = 0;
    virtual void OnClick(const Element& source) = 0;
    // A key as the page names it: "Alt+O", "F1", "F5", "Escape", "Enter".
    virtual void OnKey(std::string_view key) = 0;
    virtual void OnCommand(int command) = 0;
};

}  // namespace sw::platform
