#pragma once
// A page double for flow tests: it holds the main page with the fragment the
// handlers wrote, parsed by a real HTML parser, keeps the form state a user
// would change (typed text, ticked boxes, chosen options), and delivers
// clicks and keys to the dialog the way the browser page does.
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/host.h"

namespace sw::testing {

class PageDouble : public platform::Host {
public:
    struct Shown {
        std::string message;
        int icon;
    };

    PageDouble();

    void Attach(platform::PageSink& sink) { sink_ = &sink; }

    // User actions.
    void Type(const std::string& name, const std::string& text);
    void Choose(const std::string& name, const std::string& value);
    void Tick(const std::string& name, bool checked);
    // Clicks the one element with this id (or name) whose attributes include
    // all of match; fails the test when there is not exactly one.
    void Click(const std::string& id, const std::vector<std::pair<std::string, std::string>>& match = {});
    // Clicks an element by class and attributes (spread cards).
    void ClickClass(const std::string& className, const std::vector<std::pair<std::string, std::string>>& match = {});
    // Like Click, but only among the elements of the written fragment (the
    // editing page's Cancel shares its id with the main page's Editor link).
    void ClickInFragment(const std::string& id, const std::vector<std::pair<std::string, std::string>>& match = {});
    void Key(const std::string& key);
    void Load();  // the page finished loading

    // Answers for the coming notifications, in order; OK when none is left.
    void AnswerNext(int result) { answers_.push_back(result); }

    // What the page shows.
    const std::string& Fragment() const { return fragment_; }
    std::vector<platform::Element> Elements() const;
    std::string Value(const std::string& name) const;
    std::vector<Shown>& Messages() { return messages_; }
    const std::string& MeaningPage() const { return meaningPage_; }
    bool MeaningVisible() const { return meaningVisible_; }
    const std::vector<int>& Pauses() const { return pauses_; }
    const std::vector<std::string>& HelpTopics() const { return helpTopics_; }
    bool Ended() const { return ended_; }
    int Writes() const { return writes_; }
    bool WaitCursor() const { return waitCursor_; }
    // Cursor changes, pauses and page writes in the order they came:
    // "cursor wait", "cursor normal", "pause <ms>", "write".
    const std::vector<std::string>& Steps() const { return steps_; }

    // Host
    void WritePage(const std::string& html) override;
    std::optional<platform::Element> GetElement(std::string_view id) override;
    void SetElementValue(std::string_view id, const std::string& value) override;
    int ShowMessage(const std::string& message, int iconId) override;
    void WriteMeaningPage(const std::string& html) override;
    void ShowMeaningWindow(bool visible) override;
    void SetWaitCursor(bool wait) override;
    void Pause(int milliseconds) override;
    void ShowHelp(const std::string& topic) override;
    void PostCommand(int command) override;
    void EndDialog() override;
    void SetKeepControl(Keep state) override { keep_ = state; }
    void FillHtml(const std::string& id, const std::string& html) override { fills_.emplace_back(id, html); }
    void Download(const std::string& name, const std::string& text) override { downloads_.emplace_back(name, text); }
    void Print() override { ++prints_; }
    // Draws the parts' controls beside the fragment, as the page does.
    void DescribePage(const platform::PageParts& parts) override;
    void Notify(const std::string& text) override { notices_.push_back(text); }
    void ShareSettings(const std::vector<std::pair<std::string, std::string>>& values) override { settings_ = values; }

    Keep KeepState() const { return keep_; }
    const std::vector<std::pair<std::string, std::string>>& Fills() const { return fills_; }
    const std::vector<std::pair<std::string, std::string>>& Downloads() const { return downloads_; }
    int Prints() const { return prints_; }
    // What the program said the fragment on show is made of.
    const platform::PageParts& Parts() const { return parts_; }
    const std::vector<std::string>& Notices() const { return notices_; }
    // The preferences the page was last given to apply.
    const std::vector<std::pair<std::string, std::string>>& Settings() const { return settings_; }
    // The fields and pictures of the fragment on show that neither the
    // fragment nor its parts name ("INPUT question", "IMG file:images/x.gif").
    std::vector<std::string> Unnamed() const;

private:
    void Parse();
    void Deliver(const platform::Element& element);
    void RunPosted();
    platform::Document Snapshot() const;
    std::optional<platform::Element> ElementAt(std::size_t index) const;
    std::optional<std::size_t> FindIndex(std::string_view key) const;

    struct Node {
        std::string tag;
        std::vector<std::pair<std::string, std::string>> attributes;
        std::string text;            // text content (options)
        std::vector<std::size_t> options;  // for selects: indices of option nodes
    };

    platform::PageSink* sink_ = nullptr;
    std::string mainPage_;
    std::string fragment_;
    std::vector<Node> nodes_;  // every element, in document order
    std::size_t fragmentBegin_ = 0;  // nodes_ inside the fileList DIV
    std::size_t fragmentEnd_ = 0;
    std::map<std::size_t, std::string> values_;   // typed or chosen values
    std::map<std::size_t, bool> checked_;
    std::deque<int> answers_;
    std::deque<int> posted_;
    std::vector<Shown> messages_;
    std::string meaningPage_;
    bool meaningVisible_ = false;
    std::vector<int> pauses_;
    std::vector<std::string> helpTopics_;
    bool ended_ = false;
    int writes_ = 0;
    bool waitCursor_ = false;
    Keep keep_ = Keep::Hidden;
    std::vector<std::pair<std::string, std::string>> fills_;
    std::vector<std::pair<std::string, std::string>> downloads_;
    int prints_ = 0;
    platform::PageParts parts_;
    std::vector<std::string> notices_;
    std::string controls_;  // the controls beside the fragment, as HTML
    std::vector<std::pair<std::string, std::string>> settings_;
    std::vector<std::string> steps_;
    const platform::Document* current_ = nullptr;
    platform::Document snapshot_;
};

// Reads a file of the source tree (res/main.html and the like).
std::string ReadSourceFile(const std::string& relativePath);

}  // namespace sw::testing
