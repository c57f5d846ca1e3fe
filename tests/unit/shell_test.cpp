// The handler loop driven over a real WebSocket, as the page drives it:
// order, acknowledgements, pauses, modal boxes, stale fragments,
// reconnects, reloads, take-overs, failing handlers, stops and hostile
// messages; and the reading of page messages on its own.
#include <utility>  // boost 1.74 asio needs std::exchange declared first

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <gtest/gtest.h>

#include <climits>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/page_message.h"
#include "platform/shell.h"
#include "support/page_client.h"
#include "support/session.h"

namespace sw::platform {
namespace {

using nlohmann::json;
using testing::AnswerMessage;
using testing::ClickMessage;
using testing::ElementJson;
using testing::KeyMessage;
using testing::kPatience;
using testing::OpsOf;
using testing::PageClient;
using Notes = std::vector<std::string>;

// The main dialog's stand-in. It notes what reached it and acts through the
// shell's Host services as the clicked element's id says. A click with a
// "hold" attribute first waits until that many events are queued behind
// it, so input the test sent is surely waiting while the handler works.
class RecordingSink : public PageSink {
public:
    explicit RecordingSink(Shell& shell) : shell_(shell) {}

    void OnDocumentComplete() override {
        Note("loaded");
        shell_.WritePage("<p>home</p>");
    }

    void OnClick(const Element& source) override {
        const std::string id = source.Id();
        // A handler reads form fields from the snapshot sent with its click.
        const auto field = shell_.GetElement("name");
        Note("click:" + id + (field ? "=" + field->Text("value") : ""));
        if (id == "pause") {
            shell_.SetWaitCursor(true);
            shell_.Pause(1);  // shows the wait cursor at once
            Hold(source);
            shell_.Pause(50);
            Note("pause over");
            shell_.SetWaitCursor(false);
            return;
        }
        Hold(source);
        if (id == "write") shell_.WritePage("<p>written</p>");
        // A deck's bytes as they came: Windows-1252, and half a UTF-8 character.
        if (id == "bytes") shell_.WritePage("<p>Caf\xE9 1\xC3</p>");
        if (id == "box") Note("answer:" + std::to_string(shell_.ShowMessage("Sure?", kIconQuestion)));
        if (id == "post") shell_.PostCommand(7);
        if (id == "throw") throw std::runtime_error("the handler broke");
    }

    void OnKey(std::string_view key) override { Note("key:" + std::string(key)); }
    void OnCommand(int command) override { Note("command:" + std::to_string(command)); }

    Notes Taken() {
        std::lock_guard lock(mutex_);
        return notes_;
    }

private:
    void Note(const std::string& note) {
        std::lock_guard lock(mutex_);
        notes_.push_back(note);
    }

    void Hold(const Element& source) {
        if (!source.HasAttribute("hold")) return;
        const std::size_t wanted = std::stoul(source.Text("hold"));
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (shell_.QueuedEvents() < wanted) {
            if (std::chrono::steady_clock::now() > deadline) {
                Note("hold timed out");
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    Shell& shell_;
    std::mutex mutex_;
    Notes notes_;
};

json Link(const std::string& id, testing::Attributes more = {}) {
    more.insert(more.begin(), {"id", id});
    return ElementJson("A", more);
}

json NameField(const std::string& value) {
    return json::array({ElementJson("INPUT", {{"name", "name"}, {"value", value}})});
}

std::vector<long long> Dones(const std::vector<json>& frames) {
    std::vector<long long> dones;
    for (const auto& frame : frames)
        if (frame.contains("done")) dones.push_back(frame["done"].get<long long>());
    return dones;
}

// Asks for the main page at the address the program printed, as a browser
// that begins to load it; true when it was handed out.
bool LoadPage(const std::string& url) {
    namespace http = boost::beast::http;
    const std::string hostAndPort = url.substr(7, url.find('/', 7) - 7);
    const auto colon = hostAndPort.rfind(':');
    boost::asio::io_context ioc;
    boost::beast::tcp_stream stream(ioc);
    stream.connect({boost::asio::ip::make_address(hostAndPort.substr(0, colon)),
                    static_cast<unsigned short>(std::stoi(hostAndPort.substr(colon + 1)))});
    http::request<http::empty_body> request{http::verb::get, url.substr(url.find('/', 7)), 11};
    request.set(http::field::host, hostAndPort);
    http::write(stream, request);
    boost::beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(stream, buffer, response);
    return response.result() == http::status::ok;
}

class ShellTest : public ::testing::Test {
protected:
    void StartShell(std::chrono::milliseconds grace = std::chrono::minutes(1),
                    std::chrono::milliseconds loadPatience = std::chrono::minutes(1)) {
        dir_ = testing::MakeTempDir("sagewend-shell");
        shell_ = std::make_unique<Shell>(ShellOptions{0, dir_, grace, loadPatience});
        shell_->Start();
        sink_ = std::make_unique<RecordingSink>(*shell_);
        run_ = std::async(std::launch::async, [this] { return shell_->Run(*sink_); });
    }

    void TearDown() override {
        if (run_.valid()) {
            shell_->RequestStop();
            run_.wait();
        }
        shell_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // A page on the shell, its first frame read: the home page on the first
    // connection, the replayed state on later ones.
    std::unique_ptr<PageClient> OpenPage(json* firstFrame = nullptr) {
        auto page = std::make_unique<PageClient>();
        EXPECT_TRUE(page->Connect(shell_->Url()));
        auto frame = page->Next();
        EXPECT_TRUE(frame) << "no first frame";
        if (firstFrame && frame) *firstFrame = *frame;
        return page;
    }

    // The box that the next frame opens; 0 when it opens none.
    static long long BoxOpened(PageClient& page, json* box = nullptr) {
        const auto frame = page.Next();
        if (!frame) return 0;
        const auto boxes = OpsOf(*frame, "messageBox");
        if (boxes.size() != 1) return 0;
        if (box) *box = boxes[0];
        return boxes[0]["box"].get<long long>();
    }

    bool RunEnded() { return run_.wait_for(kPatience) == std::future_status::ready; }

    std::filesystem::path dir_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<RecordingSink> sink_;
    std::future<int> run_;
};

TEST_F(ShellTest, InputArrivesInOrderEachFrameAcknowledgesItAndPostedCommandsGoFirst) {
    StartShell();
    auto page = OpenPage();
    // "post" posts command 7 while the click and keys behind it wait.
    page->Send(ClickMessage(1, Link("post", {{"hold", "2"}})));
    page->Send(ClickMessage(2, Link("b"), false, 0, NameField("typed")));
    page->Send(KeyMessage(3, "Alt+O"));
    page->Send(ClickMessage(4, Link("c")));
    const auto frames = page->UntilDone(4);
    ASSERT_TRUE(frames);
    EXPECT_EQ(Dones(*frames), (std::vector<long long>{1, 2, 3, 4}));
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:post", "command:7", "click:b=typed", "key:Alt+O", "click:c"}));
}

TEST_F(ShellTest, ClicksDuringAPauseAreHandledAfterItInOrder) {
    StartShell();
    auto page = OpenPage();
    page->Send(ClickMessage(1, Link("pause", {{"hold", "2"}})));
    // The wait cursor shows before the pause ends, in a frame of its own.
    const auto cursor = page->Next();
    ASSERT_TRUE(cursor);
    EXPECT_EQ(OpsOf(*cursor, "cursor"), std::vector<json>{json({{"op", "cursor"}, {"wait", true}})});
    EXPECT_FALSE(cursor->contains("done"));

    page->Send(ClickMessage(2, Link("x")));
    page->Send(ClickMessage(3, Link("y")));
    const auto frames = page->UntilDone(3);
    ASSERT_TRUE(frames);
    EXPECT_EQ(Dones(*frames), (std::vector<long long>{1, 2, 3}));
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:pause", "pause over", "click:x", "click:y"}));
}

TEST_F(ShellTest, InputBeforeAndDuringABoxNeverReachesTheSinkButIsAcknowledged) {
    StartShell();
    auto page = OpenPage();
    // Sent before the box shows: queued while its handler runs.
    page->Send(ClickMessage(1, Link("box", {{"hold", "2"}})));
    page->Send(ClickMessage(2, Link("x")));
    page->Send(KeyMessage(3, "Alt+O"));
    json box;
    const long long id = BoxOpened(*page, &box);
    ASSERT_NE(id, 0);
    EXPECT_EQ(box["text"], "Sure?");
    EXPECT_EQ(box["icon"], "question");

    // Sent while it is open; an answer to another box leaves it open.
    page->Send(ClickMessage(4, Link("y")));
    page->Send(KeyMessage(5, "Escape"));
    page->Send(AnswerMessage(id + 1, kIdOk));
    page->Send(AnswerMessage(id, kIdCancel));
    const auto frames = page->UntilDone(5);
    ASSERT_TRUE(frames);
    EXPECT_EQ(Dones(*frames), std::vector<long long>{5});

    page->Send(ClickMessage(6, Link("z")));
    ASSERT_TRUE(page->UntilDone(6));
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:box", "answer:2", "click:z"}));
}

TEST_F(ShellTest, AClickInAReplacedFragmentIsDroppedAndOneOutsideItIsHandled) {
    StartShell();
    json first;
    auto page = OpenPage(&first);
    ASSERT_EQ(OpsOf(first, "write").size(), 1u);
    EXPECT_EQ(OpsOf(first, "write")[0]["page"], 1);
    page->Send(ClickMessage(1, Link("write")));
    const auto written = page->UntilDone(1);
    ASSERT_TRUE(written);
    ASSERT_EQ(OpsOf(written->back(), "write").size(), 1u);
    EXPECT_EQ(OpsOf(written->back(), "write")[0]["page"], 2);

    page->Send(ClickMessage(2, Link("old"), true, 1));
    page->Send(ClickMessage(3, Link("outside"), false, 1));
    page->Send(ClickMessage(4, Link("current"), true, 2));
    const auto frames = page->UntilDone(4);
    ASSERT_TRUE(frames);
    EXPECT_EQ(Dones(*frames), (std::vector<long long>{2, 3, 4}));
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:write", "click:outside", "click:current"}));
}

TEST_F(ShellTest, APageThatComesBackDuringABoxGetsThePageAndTheBoxAndEndsIt) {
    StartShell();
    auto first = OpenPage();
    first->Send(ClickMessage(1, Link("box")));
    const long long id = BoxOpened(*first);
    ASSERT_NE(id, 0);
    first->Close();

    json replay;
    auto second = OpenPage(&replay);
    const auto writes = OpsOf(replay, "write");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0]["html"], "<p>home</p>");
    EXPECT_EQ(writes[0]["page"], 1);
    const auto boxes = OpsOf(replay, "messageBox");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]["box"], id);
    EXPECT_EQ(boxes[0]["text"], "Sure?");

    second->Send(AnswerMessage(id, kIdOk));
    ASSERT_TRUE(second->UntilDone(1));
    second->Send(ClickMessage(2, Link("x")));
    ASSERT_TRUE(second->UntilDone(2));
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:box", "answer:1", "click:x"}));
}

TEST_F(ShellTest, AfterThePageGoesTheRunWaitsOnlyTheGracePeriod) {
    StartShell(std::chrono::seconds(2));
    OpenPage()->Close();
    // Back in time, but only after the shell has surely seen the page go
    // (a grace that ended at once would end the run here): the run goes on.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    auto again = OpenPage();
    again->Send(ClickMessage(1, Link("x")));
    ASSERT_TRUE(again->UntilDone(1));
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:x"}));

    // Gone for good: the run ends by itself.
    again->Close();
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(run_.get(), 0);
    PageClient late;
    EXPECT_FALSE(late.Connect(shell_->Url())) << "the server stops with the run";
}

TEST_F(ShellTest, APageThatBeganToLoadIsWaitedForBeyondTheGraceAndThenAsLongAsItsPatience) {
    StartShell(std::chrono::milliseconds(200), std::chrono::seconds(3));
    auto page = OpenPage();
    // A reload: the page is asked for again, then the old one goes, and
    // the new one never connects (its script failed to load).
    ASSERT_TRUE(LoadPage(shell_->Url()));
    page->Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(run_.wait_for(std::chrono::seconds(0)), std::future_status::timeout)
        << "a page that failed to load is not taken for one that was closed";
    // Reloaded again, it gets its session back.
    ASSERT_TRUE(LoadPage(shell_->Url()));
    auto again = OpenPage();
    again->Send(ClickMessage(1, Link("x")));
    ASSERT_TRUE(again->UntilDone(1));
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:x"}));

    // A page that never connects is waited for only so long.
    ASSERT_TRUE(LoadPage(shell_->Url()));
    again->Close();
    ASSERT_TRUE(RunEnded());
}

TEST_F(ShellTest, TheWindowClosingEndsTheRunOnlyWhenNoPageIsConnected) {
    StartShell();
    auto page = OpenPage();
    shell_->WindowClosed();  // the page is in some other window
    page->Send(ClickMessage(1, Link("x")));
    ASSERT_TRUE(page->UntilDone(1));
    // The page failed to load again, and (once the shell has surely seen
    // it go) its window was closed.
    ASSERT_TRUE(LoadPage(shell_->Url()));
    page->Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    shell_->WindowClosed();
    ASSERT_TRUE(RunEnded());
}

TEST_F(ShellTest, BytesThatAreNotUtf8ReachThePageAsText) {
    StartShell();
    auto page = OpenPage();
    ASSERT_TRUE(page->Send(ClickMessage(1, Link("bytes"))));
    const auto frame = page->Next();  // a frame that is not JSON would end the test here
    ASSERT_TRUE(frame);
    const auto writes = OpsOf(*frame, "write");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0]["html"], "<p>Caf\xC3\xA9 1\xC3\x83</p>");
    ASSERT_TRUE(page->Send(ClickMessage(2, Link("write"))));
    EXPECT_EQ(Dones({*page->Next()}), std::vector<long long>{2}) << "the program goes on";
}

TEST_F(ShellTest, AFailingHandlerIsLoggedShownToTheUserAndTheNextClickIsHandled) {
    StartShell();
    auto page = OpenPage();
    ::testing::internal::CaptureStderr();
    page->Send(ClickMessage(1, Link("throw")));
    json box;
    const long long id = BoxOpened(*page, &box);
    page->Send(AnswerMessage(id, kIdOk));
    const bool done = page->UntilDone(1).has_value();
    const std::string log = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(id, 0);
    ASSERT_TRUE(done);
    EXPECT_EQ(box["text"], "Sorry, that could not be done: the handler broke");
    EXPECT_EQ(box["icon"], "exclamation");
    EXPECT_NE(log.find("the click on 'throw' failed: the handler broke"), std::string::npos) << log;

    page->Send(ClickMessage(2, Link("x")));
    ASSERT_TRUE(page->UntilDone(2));
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:throw", "click:x"}));
}

TEST_F(ShellTest, RequestStopEndsTheRunCancelsAnOpenBoxAndTellsThePage) {
    StartShell();
    auto page = OpenPage();
    page->Send(ClickMessage(1, Link("box")));
    ASSERT_NE(BoxOpened(*page), 0);
    shell_->RequestStop();
    ASSERT_TRUE(RunEnded());
    EXPECT_EQ(run_.get(), 0);
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:box", "answer:2"}));
    bool ended = false;
    while (!ended) {
        const auto frame = page->Next();
        if (!frame) break;
        ended = !OpsOf(*frame, "ended").empty();
    }
    EXPECT_TRUE(ended);
}

TEST_F(ShellTest, MalformedMessagesAreDroppedAndTheShellKeepsServing) {
    StartShell();
    auto page = OpenPage();
    // Which messages are refused is the reader's test (PageMessage below);
    // here, that a refused one changes nothing and the shell goes on.
    for (const std::string& text : {std::string("not JSON"), std::string(150000, '[') + std::string(150000, ']')})
        ASSERT_TRUE(page->SendText(text));

    page->Send(ClickMessage(1, Link("box")));
    const long long id = BoxOpened(*page);
    ASSERT_NE(id, 0);
    // An answer that would name this box once cut to an int leaves it open.
    ASSERT_TRUE(page->SendText(R"({"type":"answer","box":)" + std::to_string(id + 4294967296LL) + R"(,"result":1})"));
    page->Send(AnswerMessage(id, kIdCancel));
    const auto frames = page->UntilDone(1);
    ASSERT_TRUE(frames);
    EXPECT_EQ(Dones(*frames), std::vector<long long>{1});
    EXPECT_EQ(sink_->Taken(), (Notes{"loaded", "click:box", "answer:2"}));
}

// ---- reading page messages --------------------------------------------------

std::optional<PageEvent> Parse(const std::string& text) {
    std::string why;
    auto event = ParsePageMessage(text, &why);
    if (!event) {
        EXPECT_FALSE(why.empty()) << "a refusal says why: " << text;
    }
    return event;
}

TEST(PageMessage, ReadsAClickWithItsElementSnapshotAndFragment) {
    const auto event = Parse(R"({"type":"click","seq":9007199254740992,"inFragment":true,"page":3,
        "element":{"tag":"TD","attributes":{"id":"grid","row":"2","col":"0"}},
        "document":[{"tag":"INPUT","attributes":{"name":"question","value":"Why?"}},
                    {"tag":"INPUT","attributes":{"name":"reverse","checked":true}}],
        "unknown":{"a":[[[[1]]]]}})");
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, PageEvent::Kind::Click);
    EXPECT_EQ(event->seq, 9007199254740992LL) << "the largest seq a double counts exactly";
    EXPECT_TRUE(event->inFragment);
    EXPECT_EQ(event->page, 3);
    EXPECT_EQ(event->element.Tag(), "TD");
    EXPECT_EQ(event->element.Id(), "grid");
    EXPECT_EQ(event->element.Text("row"), "2");
    ASSERT_EQ(event->document.elements.size(), 2u);
    EXPECT_EQ(event->document.Find("Question")->Text("value"), "Why?");
    EXPECT_EQ(event->document.Find("reverse")->Text("checked"), "-1");
}

TEST(PageMessage, ReadsKeysAndAnswersAtTheEdgesOfTheirRanges) {
    const auto key = Parse(R"({"type":"key","seq":1,"key":"Alt+O"})");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->kind, PageEvent::Kind::Key);
    EXPECT_EQ(key->key, "Alt+O");
    EXPECT_TRUE(key->document.elements.empty());

    const auto answer = Parse(R"({"type":"answer","box":2147483647,"result":2})");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->kind, PageEvent::Kind::Answer);
    EXPECT_EQ(answer->box, INT_MAX);
    EXPECT_EQ(answer->result, kIdCancel);
    EXPECT_TRUE(Parse(R"({"type":"answer","box":1,"result":1})"));
}

TEST(PageMessage, RefusesWhatThePageNeverSends) {
    const std::string element = R"("element":{"tag":"A","attributes":{"id":"home"}})";
    auto click = [&](const std::string& fields) { return R"({"type":"click",)" + fields + "," + element + "}"; };
    std::string manyElements = R"({"type":"key","seq":1,"key":"F1","document":[)";
    for (int i = 0; i <= 10000; ++i) manyElements += std::string(i ? "," : "") + R"({"tag":"B"})";
    manyElements += "]}";
    std::string manyAttributes = R"({"type":"click","seq":1,"element":{"tag":"A","attributes":{)";
    for (int i = 0; i <= 100; ++i) manyAttributes += (i ? "," : "") + std::string("\"a") + std::to_string(i) + "\":\"\"";
    manyAttributes += "}}}";
    const std::vector<std::string> refused = {
        "",
        "not JSON",
        "[]",
        R"("click")",
        std::string(150000, '[') + std::string(150000, ']'),
        R"({"type":"key","seq":1,"key":"F1","x":[[[[[[[[1]]]]]]]]})",  // nine deep
        R"({"seq":1,"key":"F1"})",
        R"({"type":5,"seq":1,"key":"F1"})",
        R"({"type":"hover","seq":1,"key":"F1"})",
        click(R"("seq":0)"),
        click(R"("seq":-1)"),
        click(R"("seq":9007199254740993)"),
        click(R"("seq":18446744073709551615)"),
        click(R"("seq":1.0)"),
        click(R"("seq":1e300)"),
        click(R"("seq":"1")"),
        click(R"("seq":1,"page":-1)"),
        click(R"("seq":1,"page":1e300)"),
        click(R"("seq":1,"inFragment":1)"),
        click(R"("seq":1,"document":{})"),
        click(R"("seq":1,"document":[{"attributes":{}}])"),
        R"({"type":"click","seq":1})",
        R"({"type":"click","seq":1,"element":"home"})",
        R"({"type":"click","seq":1,"element":{"tag":"A","attributes":{"id":5}}})",
        R"({"type":"click","seq":1,"element":{"tag":"A","attributes":{"id":{"x":"y"}}}})",
        R"({"type":"click","seq":1,"element":{"tag":"A","attributes":["id"]}})",
        R"({"type":"click","seq":1,"element":{"tag":")" + std::string(33, 'A') + R"("}})",
        manyAttributes,
        manyElements,
        R"({"type":"key","seq":1})",
        R"({"type":"key","seq":1,"key":7})",
        R"({"type":"key","seq":1,"key":")" + std::string(33, 'F') + R"("})",
        R"({"type":"answer","result":1})",
        R"({"type":"answer","box":0,"result":1})",
        R"({"type":"answer","box":2147483648,"result":1})",
        R"({"type":"answer","box":4294967297,"result":1})",
        R"({"type":"answer","box":1e20,"result":1})",
        R"({"type":"answer","box":1,"result":0})",
        R"({"type":"answer","box":1,"result":3})",
        R"({"type":"answer","box":1,"result":4294967297})",
        R"({"type":"answer","box":1,"result":1e30})",
        R"({"type":"answer","box":1,"result":"1"})",
    };
    for (const auto& text : refused) EXPECT_FALSE(Parse(text)) << text.substr(0, 120);
    // The limits themselves are allowed.
    EXPECT_TRUE(Parse(R"({"type":"key","seq":1,"key":"F1","x":[[[[[[[1]]]]]]]})"));  // eight deep
    EXPECT_TRUE(Parse(R"({"type":"key","seq":1,"key":")" + std::string(32, 'F') + R"("})"));
}

}  // namespace
}  // namespace sw::platform
