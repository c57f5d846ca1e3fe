#include "platform/shell.h"

#include <climits>
#include <iostream>
#include <thread>

#include "core/text.h"

namespace sw::platform {

using nlohmann::json;

namespace {

void Log(const std::string& line) { std::clog << "sagewend: " << line << '\n'; }

// Every string of an outgoing message made valid UTF-8: text from the data
// files may hold any bytes.
void MakeUtf8(json& value) {
    if (value.is_string()) {
        auto& text = value.get_ref<std::string&>();
        if (!IsValidUtf8(text)) text = ToUtf8(text);
    } else if (value.is_structured()) {
        for (auto& item : value) MakeUtf8(item);
    }
}

// The page names a box's icon by what it means; the program's callers use
// the window system's icon numbers.
const char* IconName(int iconId) { return iconId == kIconQuestion ? "question" : "exclamation"; }

json PartsJson(const PageParts& parts) {
    json op{{"op", "parts"}};
    json fields = json::array();
    for (const auto& field : parts.fields) {
        json entry{{"name", field.name}, {"label", field.label}};
        if (field.chooses) entry["chooses"] = true;
        fields.push_back(std::move(entry));
    }
    json pictures = json::array();
    for (const auto& picture : parts.pictures) pictures.push_back(json{{"src", picture.src}, {"alt", picture.alt}});
    json hexagrams = json::array();
    for (const auto& hexagram : parts.hexagrams) {
        json lines = json::array();
        for (std::size_t i = 0; i < 6; ++i)
            lines.push_back(json{{"yang", hexagram.yang[i]}, {"moving", hexagram.moving[i]}});
        json entry{{"number", hexagram.number}, {"name", hexagram.name}, {"lines", std::move(lines)}};
        if (!hexagram.allMoving.empty()) entry["allMoving"] = hexagram.allMoving;
        hexagrams.push_back(std::move(entry));
    }
    json cards = json::array();
    for (const auto& card : parts.cards)
        cards.push_back(json{{"position", card.position}, {"title", card.title}, {"description", card.description},
                             {"name", card.name}, {"reversed", card.reversed}, {"picture", card.picture},
                             {"meaning", card.meaning}});
    op["cards"] = std::move(cards);
    op["enter"] = parts.enter;
    op["menu"] = parts.menu;
    if (!parts.prefetch.empty()) op["prefetch"] = parts.prefetch;
    json controls = json::array();
    for (const auto& control : parts.controls) {
        using Kind = PageParts::Control::Kind;
        json entry{{"kind", control.kind == Kind::Check ? "check" : control.kind == Kind::Choice ? "choice" : "button"},
                   {"id", control.id}, {"label", control.label}, {"value", control.value}};
        json choices = json::array();
        for (const auto& [value, text] : control.choices) choices.push_back(json{{"value", value}, {"text", text}});
        if (!choices.empty()) entry["choices"] = std::move(choices);
        if (!control.watch.empty()) entry["watch"] = control.watch;
        if (!control.offFor.empty()) entry["offFor"] = control.offFor;
        if (!control.note.empty()) entry["note"] = control.note;
        controls.push_back(std::move(entry));
    }
    op["fields"] = std::move(fields);
    op["pictures"] = std::move(pictures);
    op["hexagrams"] = std::move(hexagrams);
    op["controls"] = std::move(controls);
    op["focus"] = parts.focus;
    return op;
}

}  // namespace

Shell::Shell(ShellOptions options)
    : options_(std::move(options)), server_(WebServerOptions{options_.port, options_.workDir, 1 << 20, {}}, *this) {}

Shell::~Shell() { server_.Stop(); }

void Shell::Start() {
    server_.Start();
    // Said at once on standard error, and in the page if it comes.
    if (!server_.DescriptorWarning().empty()) ShowMessage(server_.DescriptorWarning(), kIconExclamation);
}
std::string Shell::Url() const { return server_.Url(); }

void Shell::Push(Event event) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(event));
    }
    available_.notify_one();
}

void Shell::OnPageConnected() {
    {
        std::lock_guard lock(mutex_);
        pageArrived_ = true;
    }
    firstPage_.notify_all();
    Push(Event{Event::Kind::Connected, {}, 0});
}

void Shell::OnPageDisconnected() { Push(Event{Event::Kind::Disconnected, {}, 0}); }

void Shell::OnPageRequested() { Push(Event{Event::Kind::Loading, {}, 0}); }

void Shell::WindowClosed() { Push(Event{Event::Kind::WindowClosed, {}, 0}); }

void Shell::OnPageMessage(const std::string& text) {
    std::string why;
    auto event = ParsePageMessage(text, &why);
    if (!event) {
        Log("dropped a page message: " + why);
        return;
    }
    Push(Event{Event::Kind::Page, std::move(*event), 0});
}

void Shell::RequestStop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    firstPage_.notify_all();
    Push(Event{Event::Kind::Stop, {}, 0});
}

bool Shell::WaitForFirstPage(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return firstPage_.wait_for(lock, timeout, [this] { return pageArrived_ || stopping_; });
}

std::size_t Shell::QueuedEvents() {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

std::optional<Shell::Event> Shell::WaitRaw() {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return !queue_.empty(); };
    if (connected_ || !everConnected_) {
        available_.wait(lock, ready);
    } else {
        // A page handed out shortly before the drop (a reload) or after it
        // is loading: it may yet connect, or have failed and be reloaded.
        const bool loading = loadedAt_ && *loadedAt_ + options_.reconnectGrace > droppedAt_;
        const auto deadline = loading ? std::max(*loadedAt_, droppedAt_) + options_.loadPatience
                                      : droppedAt_ + options_.reconnectGrace;
        if (!available_.wait_until(lock, deadline, ready)) {
            Log(loading ? "the page began to load but never connected; ending" : "the page was closed; ending");
            return std::nullopt;  // the page went away and nobody came back
        }
    }
    Event event = std::move(queue_.front());
    queue_.pop_front();
    return event;
}

void Shell::HandleConnection(const Event& event) {
    switch (event.kind) {
        case Event::Kind::Disconnected:
            connected_ = false;
            droppedAt_ = Clock::now();
            return;
        case Event::Kind::Loading:
            loadedAt_ = Clock::now();
            return;
        case Event::Kind::WindowClosed:
            if (everConnected_ && !connected_) {
                Log("the window was closed; ending");
                gone_ = true;
            }
            return;
        default:
            break;
    }
    connected_ = true;
    loadedAt_.reset();
    if (!everConnected_) {
        everConnected_ = true;
        if (sink_) sink_->OnDocumentComplete();
        auto early = std::move(earlyMessages_);
        earlyMessages_.clear();
        for (const auto& message : early) ShowMessage(message, kIconExclamation);
    } else {
        Replay();
    }
    Flush();
}

void Shell::Replay() {
    if (settings_) Queue(*settings_);  // first: the page's look before its content
    if (lastPage_) Queue(json{{"op", "write"}, {"html", *lastPage_}, {"page", pageNumber_}});
    if (!cardLabels_.empty()) Queue(json{{"op", "cardLabels"}, {"labels", cardLabels_}});
    if (parts_) Queue(*parts_);
    for (const auto& [id, html] : fills_) Queue(json{{"op", "fill"}, {"id", id}, {"html", html}});
    if (keep_ != Keep::Hidden) SetKeepControl(keep_);
    if (meaningPage_) Queue(json{{"op", "meaning"}, {"html", *meaningPage_}});
    if (!meaningLabel_.empty())
        Queue(json{{"op", "meaningLabel"}, {"label", meaningLabel_}, {"reversed", meaningReversed_}});
    Queue(json{{"op", "meaningVisible"}, {"visible", meaningVisible_}});
    Queue(json{{"op", "cursor"}, {"wait", waitCursor_}});
    if (pendingBox_)
        Queue(json{{"op", "messageBox"}, {"box", pendingBox_->id}, {"text", pendingBox_->message},
                    {"icon", IconName(pendingBox_->icon)}});
}

bool Shell::StillShown(const PageEvent& event) const { return !event.inFragment || event.page == pageNumber_; }

std::optional<Shell::Event> Shell::NextEvent() {
    for (;;) {
        if (ended_ || gone_) return std::nullopt;
        // Posted commands come before input, as posted messages did.
        if (!posted_.empty()) {
            Event event{Event::Kind::Command, {}, posted_.front()};
            posted_.pop_front();
            return event;
        }
        auto event = WaitRaw();
        if (!event) {
            gone_ = true;
            return std::nullopt;
        }
        switch (event->kind) {
            case Event::Kind::Connected:
            case Event::Kind::Disconnected:
            case Event::Kind::Loading:
            case Event::Kind::WindowClosed:
                HandleConnection(*event);
                break;
            case Event::Kind::Stop:
                ended_ = true;
                break;
            case Event::Kind::Page:
                if (event->page.kind == PageEvent::Kind::Answer) break;  // to a box no longer open
                if (!StillShown(event->page)) {
                    Flush(event->page.seq);  // its element is gone: nothing to do
                    break;
                }
                return event;
            case Event::Kind::Command:
                return event;
        }
    }
}

void Shell::Handle(Event& event) {
    if (event.kind == Event::Kind::Command) {
        sink_->OnCommand(event.command);
        return;
    }
    document_ = std::move(event.page.document);
    if (event.page.kind == PageEvent::Kind::Click) sink_->OnClick(event.page.element);
    else sink_->OnKey(event.page.key);
}

int Shell::Run(PageSink& sink) {
    sink_ = &sink;
    while (auto event = NextEvent()) {
        try {
            Handle(*event);
        } catch (const std::exception& error) {
            // One failed handler must not end the program: say so, and go on.
            const std::string what = event->kind == Event::Kind::Command ? "command " + std::to_string(event->command)
                                     : event->page.kind == PageEvent::Kind::Click
                                         ? "click on '" + event->page.element.Id() + "'"
                                         : "key " + event->page.key;
            Log("the " + what + " failed: " + error.what());
            if (!ended_ && !gone_) ShowMessage("Sorry, that could not be done: " + std::string(error.what()), kIconExclamation);
        }
        Flush(std::max(event->kind == Event::Kind::Page ? event->page.seq : 0, droppedUpTo_));
    }
    if (ended_) {
        Queue(json{{"op", "ended"}});
        Flush();
        server_.Flush(2000);
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    firstPage_.notify_all();
    server_.Stop();
    return 0;
}

void Shell::Queue(json op) { ops_.push_back(std::move(op)); }

void Shell::Flush(long long done) {
    if (done > lastDone_) lastDone_ = done;
    if (ops_.empty() && done == 0) return;
    json frame{{"type", "update"}, {"ops", std::move(ops_)}};
    if (done > 0) frame["done"] = lastDone_;
    ops_ = json::array();
    MakeUtf8(frame);
    server_.Send(frame.dump(-1, ' ', false, json::error_handler_t::replace));
}

void Shell::WritePage(const std::string& html) {
    lastPage_ = html;
    cardLabels_.clear();
    parts_.reset();
    fills_.clear();
    keep_ = Keep::Hidden;
    ++pageNumber_;
    Queue(json{{"op", "write"}, {"html", html}, {"page", pageNumber_}});
}

std::optional<Element> Shell::GetElement(std::string_view id) { return document_.Find(id); }

void Shell::SetElementValue(std::string_view id, const std::string& value) {
    if (Element* element = document_.FindMutable(id)) element->SetAttribute("value", Variant(value));
    Queue(json{{"op", "setValue"}, {"id", std::string(id)}, {"value", value}});
}

int Shell::ShowMessage(const std::string& message, int iconId) {
    if (!everConnected_) {
        // No page yet: say it at once, and again in the page when it comes.
        std::cerr << "sagewend: " << message << '\n';
        earlyMessages_.push_back(message);
        return kIdOk;
    }
    const int id = ++nextBox_;
    pendingBox_ = PendingBox{id, message, iconId};
    Queue(json{{"op", "messageBox"}, {"box", id}, {"text", message}, {"icon", IconName(iconId)}});
    Flush();
    for (;;) {
        auto event = WaitRaw();
        if (!event) {
            gone_ = true;
            pendingBox_.reset();
            return kIdCancel;
        }
        switch (event->kind) {
            case Event::Kind::Page:
                if (event->page.kind == PageEvent::Kind::Answer) {
                    if (event->page.box != id) break;
                    pendingBox_.reset();
                    return event->page.result;
                }
                // The page behind a modal box takes no input.
                droppedUpTo_ = std::max(droppedUpTo_, event->page.seq);
                break;
            case Event::Kind::Connected:
            case Event::Kind::Disconnected:
            case Event::Kind::Loading:
            case Event::Kind::WindowClosed:
                HandleConnection(*event);
                if (gone_) {
                    pendingBox_.reset();
                    return kIdCancel;
                }
                break;
            case Event::Kind::Stop:
                ended_ = true;
                pendingBox_.reset();
                return kIdCancel;
            case Event::Kind::Command:
                break;  // commands are posted apart, never queued here
        }
    }
}

void Shell::WriteMeaningPage(const std::string& html) {
    meaningPage_ = html;
    Queue(json{{"op", "meaning"}, {"html", html}});
}

void Shell::ShowMeaningWindow(bool visible) {
    if (meaningVisible_ == visible && !visible) return;
    meaningVisible_ = visible;
    Queue(json{{"op", "meaningVisible"}, {"visible", visible}});
}

void Shell::SetWaitCursor(bool wait) {
    waitCursor_ = wait;
    Queue(json{{"op", "cursor"}, {"wait", wait}});
}

void Shell::Pause(int milliseconds) {
    Flush();  // the wait cursor shows during the pause, not after it
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void Shell::ShowHelp(const std::string& topic) {
    Queue(json{{"op", "help"}, {"topic", topic.empty() ? std::string("index.htm") : topic}});
}

void Shell::PostCommand(int command) { posted_.push_back(command); }

void Shell::EndDialog() { ended_ = true; }

void Shell::DescribeCards(const std::vector<std::string>& labels) {
    cardLabels_ = labels;
    Queue(json{{"op", "cardLabels"}, {"labels", labels}});
}

void Shell::DescribePage(const PageParts& parts) {
    parts_ = PartsJson(parts);
    Queue(*parts_);
}

void Shell::Notify(const std::string& text) { Queue(json{{"op", "notice"}, {"text", text}}); }

void Shell::SetKeepControl(Keep state) {
    keep_ = state;
    const char* name = state == Keep::Offered ? "offered" : state == Keep::Kept ? "kept" : "hidden";
    Queue(json{{"op", "keep"}, {"state", name}});
}

void Shell::FillHtml(const std::string& id, const std::string& html) {
    fills_.emplace_back(id, html);
    Queue(json{{"op", "fill"}, {"id", id}, {"html", html}});
}

void Shell::Download(const std::string& name, const std::string& text) {
    Queue(json{{"op", "download"}, {"name", name}, {"text", text}});
}

void Shell::DownloadFile(const std::string& name, const std::string& type, std::unique_ptr<DownloadSource> source) {
    Queue(json{{"op", "downloadFrom"}, {"url", server_.OfferDownload(name, type, std::move(source))}});
}

void Shell::Print() { Queue(json{{"op", "print"}}); }

void Shell::ShareSettings(const std::vector<std::pair<std::string, std::string>>& values) {
    json named = json::object();
    for (const auto& [name, value] : values) named[name] = value;
    settings_ = json{{"op", "settings"}, {"values", std::move(named)}};
    Queue(*settings_);
}

void Shell::DescribeMeaning(const std::string& label, bool reversed) {
    meaningLabel_ = label;
    meaningReversed_ = reversed;
    Queue(json{{"op", "meaningLabel"}, {"label", label}, {"reversed", reversed}});
}

}  // namespace sw::platform
