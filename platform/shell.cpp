#include "platform/shell.h"

#include <iostream>
#include <nlohmann/json.hpp>
#include <thread>

namespace sw::platform {

using nlohmann::json;

namespace {

Element ParseElement(const json& value) {
    Element element(value.value("tag", std::string()));
    if (auto attributes = value.find("attributes"); attributes != value.end() && attributes->is_object()) {
        for (const auto& [name, attribute] : attributes->items()) {
            if (attribute.is_string()) element.SetAttribute(name, Variant(attribute.get<std::string>()));
            else if (attribute.is_boolean()) element.SetAttribute(name, Variant(attribute.get<bool>()));
            else if (attribute.is_number_integer()) element.SetAttribute(name, Variant(attribute.get<long long>()));
        }
    }
    return element;
}

Document ParseDocument(const json& value) {
    Document document;
    if (!value.is_array()) return document;
    for (const auto& item : value)
        if (item.is_object()) document.elements.push_back(ParseElement(item));
    return document;
}

}  // namespace

Shell::Shell(ShellOptions options)
    : options_(std::move(options)), server_(WebServerOptions{options_.port, options_.workDir, 1 << 20}, *this) {}

Shell::~Shell() { server_.Stop(); }

void Shell::Start() { server_.Start(); }
std::string Shell::Url() const { return server_.Url(); }

void Shell::Push(Event event) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(event));
    }
    available_.notify_one();
}

void Shell::OnPageConnected() { Push(Event{Event::Kind::Connected, {}, {}, {}, 0, 0, 0}); }
void Shell::OnPageDisconnected() { Push(Event{Event::Kind::Disconnected, {}, {}, {}, 0, 0, 0}); }

void Shell::OnPageMessage(const std::string& text) {
    json message = json::parse(text, nullptr, false);
    if (message.is_discarded() || !message.is_object() || !message.contains("type") || !message["type"].is_string()) {
        std::clog << "sagewend: dropped a malformed page message\n";
        return;
    }
    try {
        const std::string type = message["type"];
        Event event{Event::Kind::Click, {}, {}, {}, 0, 0, 0};
        if (type == "click") {
            event.kind = Event::Kind::Click;
            event.element = ParseElement(message.at("element"));
            event.seq = message.value("seq", 0LL);
            event.document = ParseDocument(message.value("document", json::array()));
        } else if (type == "key") {
            event.kind = Event::Kind::Key;
            event.key = message.at("key").get<std::string>();
            event.seq = message.value("seq", 0LL);
            event.document = ParseDocument(message.value("document", json::array()));
        } else if (type == "answer") {
            event.kind = Event::Kind::Answer;
            event.box = message.at("box").get<int>();
            event.result = message.at("result").get<int>() == kIdOk ? kIdOk : kIdCancel;
        } else {
            std::clog << "sagewend: dropped a page message of unknown type\n";
            return;
        }
        Push(std::move(event));
    } catch (const json::exception&) {
        std::clog << "sagewend: dropped a malformed page message\n";
    }
}

std::optional<Shell::Event> Shell::WaitRaw() {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return !queue_.empty(); };
    if (connected_ || !everConnected_) {
        available_.wait(lock, ready);
    } else if (!available_.wait_for(lock, options_.reconnectGrace, ready)) {
        return std::nullopt;  // the page went away and nobody came back
    }
    Event event = std::move(queue_.front());
    queue_.pop_front();
    return event;
}

void Shell::HandleConnection(const Event& event) {
    if (event.kind == Event::Kind::Disconnected) {
        connected_ = false;
        return;
    }
    connected_ = true;
    if (!everConnected_) {
        everConnected_ = true;
        if (sink_) sink_->OnDocumentComplete();
        auto early = std::move(earlyMessages_);
        earlyMessages_.clear();
        for (const auto& message : early) ShowMessage(message, kIconExclamation);
    } else {
        Replay();
    }
}

void Shell::Replay() {
    if (lastPage_) Send("write", json{{"html", *lastPage_}});
    if (meaningPage_) Send("meaning", json{{"html", *meaningPage_}});
    Send("meaningVisible", json{{"visible", meaningVisible_}});
    Send("cursor", json{{"wait", waitCursor_}});
    if (pendingBox_)
        Send("messageBox", json{{"box", pendingBox_->id}, {"text", pendingBox_->message}, {"icon", pendingBox_->icon}});
}

std::optional<Shell::Event> Shell::NextEvent() {
    for (;;) {
        if (ended_ || gone_) return std::nullopt;
        if (!deferred_.empty()) {
            Event event = std::move(deferred_.front());
            deferred_.pop_front();
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
                HandleConnection(*event);
                break;
            case Event::Kind::Answer:
                break;  // a stale answer to a box that is no longer open
            default:
                return event;
        }
    }
}

int Shell::Run(PageSink& sink) {
    sink_ = &sink;
    while (auto event = NextEvent()) {
        document_ = std::move(event->document);
        switch (event->kind) {
            case Event::Kind::Click: sink.OnClick(event->element); break;
            case Event::Kind::Key: sink.OnKey(event->key); break;
            case Event::Kind::Command: sink.OnCommand(event->command); break;
            default: break;
        }
        if (event->seq > 0) Send("done", json{{"seq", event->seq}});
    }
    if (ended_) {
        Send("ended", json::object());
        server_.Flush(2000);
    } else {
        std::clog << "sagewend: the page was closed; ending\n";
    }
    server_.Stop();
    return 0;
}

void Shell::Send(const std::string& type, json message) {
    message["type"] = type;
    server_.Send(message.dump());
}

void Shell::WritePage(const std::string& html) {
    lastPage_ = html;
    Send("write", json{{"html", html}});
}

std::optional<Element> Shell::GetElement(std::string_view id) { return document_.Find(id); }

void Shell::SetElementValue(std::string_view id, const std::string& value) {
    if (Element* element = document_.FindMutable(id)) element->SetAttribute("value", Variant(value));
    Send("setValue", json{{"id", std::string(id)}, {"value", value}});
}

int Shell::ShowMessage(const std::string& message, int iconId) {
    if (!everConnected_) {
        // No page yet: say it at once, and again in the page when it comes.
        std::cerr << message << '\n';
        earlyMessages_.push_back(message);
        return kIdOk;
    }
    const int id = ++nextBox_;
    pendingBox_ = PendingBox{id, message, iconId};
    Send("messageBox", json{{"box", id}, {"text", message}, {"icon", iconId}});
    for (;;) {
        auto event = WaitRaw();
        if (!event) {
            gone_ = true;
            pendingBox_.reset();
            return kIdCancel;
        }
        switch (event->kind) {
            case Event::Kind::Answer:
                if (event->box == id) {
                    pendingBox_.reset();
                    return event->result;
                }
                break;
            case Event::Kind::Connected:
            case Event::Kind::Disconnected:
                HandleConnection(*event);
                break;
            default:
                deferred_.push_back(std::move(*event));  // handled once the box is closed
        }
    }
}

void Shell::WriteMeaningPage(const std::string& html) {
    meaningPage_ = html;
    Send("meaning", json{{"html", html}});
}

void Shell::ShowMeaningWindow(bool visible) {
    if (meaningVisible_ == visible && !visible) return;
    meaningVisible_ = visible;
    Send("meaningVisible", json{{"visible", visible}});
}

void Shell::SetWaitCursor(bool wait) {
    waitCursor_ = wait;
    Send("cursor", json{{"wait", wait}});
}

void Shell::Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void Shell::ShowHelp(const std::string& topic) {
    Send("help", json{{"topic", topic.empty() ? std::string("index.htm") : topic}});
}

void Shell::PostCommand(int command) { Push(Event{Event::Kind::Command, {}, {}, {}, 0, 0, command}); }

void Shell::EndDialog() { ended_ = true; }

}  // namespace sw::platform
