#include "support/page_client.h"

#include <utility>  // boost 1.74 asio needs std::exchange declared first

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

namespace sw::testing {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using nlohmann::json;

struct PageClient::Impl {
    net::io_context ioc;
    websocket::stream<beast::tcp_stream> ws{ioc};
    beast::flat_buffer buffer;
    bool reading = false;

    // Runs handlers until done() holds or the deadline passes; false on
    // the deadline.
    template <typename Done>
    bool RunUntil(Done done, std::chrono::steady_clock::time_point deadline) {
        while (!done()) {
            if (ioc.stopped()) ioc.restart();
            // Nothing ran: the deadline passed, or no work is left that could
            // ever make done() hold.
            if (ioc.run_one_until(deadline) == 0) return done();
        }
        return true;
    }
};

PageClient::PageClient() : impl_(std::make_unique<Impl>()) {}

PageClient::~PageClient() { Close(); }

bool PageClient::Connect(const std::string& url) {
    // http://127.0.0.1:<port>/?key=<secret>
    const std::string scheme = "http://";
    if (url.rfind(scheme, 0) != 0) return false;
    const std::size_t slash = url.find('/', scheme.size());
    const std::size_t query = url.find("?key=");
    if (slash == std::string::npos || query == std::string::npos) return false;
    const std::string host = url.substr(scheme.size(), slash - scheme.size());
    const std::size_t colon = host.rfind(':');
    if (colon == std::string::npos) return false;
    const auto port = static_cast<unsigned short>(std::stoi(host.substr(colon + 1)));
    const std::string target = "/ws" + url.substr(query);

    beast::error_code error;
    auto& stream = beast::get_lowest_layer(impl_->ws);
    stream.socket().connect(tcp::endpoint(net::ip::make_address(host.substr(0, colon)), port), error);
    if (error) return false;
    impl_->ws.set_option(websocket::stream_base::decorator(
        [origin = scheme + host](websocket::request_type& request) { request.set(http::field::origin, origin); }));
    impl_->ws.handshake(host, target, error);
    if (error) return false;
    closed_ = false;
    // One read always pending, so the program's messages are taken while a
    // write waits.
    StartReading();
    return true;
}

void PageClient::StartReading() {
    impl_->reading = true;
    impl_->ws.async_read(impl_->buffer, [this](beast::error_code error, std::size_t) {
        if (error) {
            closed_ = true;
            impl_->reading = false;
            return;
        }
        inbox_.push_back(beast::buffers_to_string(impl_->buffer.data()));
        impl_->buffer.consume(impl_->buffer.size());
        StartReading();
    });
}

bool PageClient::SendText(const std::string& text) {
    if (closed_) return false;
    bool written = false;
    beast::error_code result;
    impl_->ws.text(true);
    impl_->ws.async_write(net::buffer(text), [&](beast::error_code error, std::size_t) {
        result = error;
        written = true;
    });
    if (!impl_->RunUntil([&] { return written; }, std::chrono::steady_clock::now() + kPatience)) {
        // A write that cannot finish leaves the stream unusable.
        beast::error_code ignored;
        beast::get_lowest_layer(impl_->ws).socket().close(ignored);
        impl_->RunUntil([&] { return written; }, std::chrono::steady_clock::now() + kPatience);
        closed_ = true;
        return false;
    }
    if (result) closed_ = true;
    return !result;
}

bool PageClient::Send(const json& message) { return SendText(message.dump()); }

std::optional<json> PageClient::Next(std::chrono::milliseconds timeout) {
    if (inbox_.empty() && !closed_) {
        impl_->RunUntil([&] { return !inbox_.empty() || closed_; }, std::chrono::steady_clock::now() + timeout);
    }
    if (inbox_.empty()) return std::nullopt;
    json message = json::parse(inbox_.front(), nullptr, false);
    inbox_.pop_front();
    return message;
}

std::optional<std::vector<json>> PageClient::UntilDone(long long seq) {
    std::vector<json> frames;
    while (auto frame = Next()) {
        frames.push_back(*frame);
        if (frame->value("type", "") == "update" && frame->contains("done") && (*frame)["done"].get<long long>() >= seq)
            return frames;
    }
    return std::nullopt;
}

void PageClient::Close() {
    if (closed_) return;
    closed_ = true;
    beast::error_code ignored;
    auto& stream = beast::get_lowest_layer(impl_->ws);
    // A live program answers the close at once; one that has stopped
    // serving never does, and its socket is simply dropped.
    const auto wait = std::chrono::seconds(1);
    stream.expires_after(wait);
    bool done = false;
    impl_->ws.async_close(websocket::close_code::normal, [&](beast::error_code) { done = true; });
    impl_->RunUntil([&] { return done && !impl_->reading; }, std::chrono::steady_clock::now() + wait);
    stream.socket().close(ignored);
}

json ElementJson(const std::string& tag, const Attributes& attributes) {
    json object = json::object();
    for (const auto& [name, value] : attributes) object[name] = value;
    return json{{"tag", tag}, {"attributes", object}};
}

json ClickMessage(long long seq, const json& element, bool inFragment, long long page, const json& document) {
    return json{{"type", "click"}, {"seq", seq},      {"element", element},
                {"inFragment", inFragment}, {"page", page}, {"document", document}};
}

json KeyMessage(long long seq, const std::string& key, const json& document) {
    return json{{"type", "key"}, {"seq", seq}, {"key", key}, {"document", document}};
}

json AnswerMessage(long long box, long long result) { return json{{"type", "answer"}, {"box", box}, {"result", result}}; }

std::vector<json> OpsOf(const json& frame, const std::string& op) {
    std::vector<json> found;
    if (!frame.contains("ops")) return found;
    for (const auto& item : frame["ops"])
        if (item.value("op", "") == op) found.push_back(item);
    return found;
}

}  // namespace sw::testing
