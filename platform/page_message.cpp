#include "platform/page_message.h"

#include <nlohmann/json.hpp>

#include <climits>

#include "platform/host.h"

namespace sw::platform {

using nlohmann::json;

namespace {

// Limits on what one page message may hold. The page's own messages stay
// far below them; anything beyond is not from the page.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxElements = 10000;
constexpr std::size_t kMaxAttributes = 100;
constexpr std::size_t kMaxKeyLength = 32;
constexpr std::size_t kMaxNameLength = 1024;
constexpr long long kMaxSeq = 1LL << 53;  // the page counts in doubles

// Refuses a message nested deeper than kMaxDepth before any tree is built,
// so no value is ever walked or copied recursively.
class DepthCheck final : public json::json_sax_t {
public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(json::number_integer_t) override { return true; }
    bool number_unsigned(json::number_unsigned_t) override { return true; }
    bool number_float(json::number_float_t, const json::string_t&) override { return true; }
    bool string(json::string_t&) override { return true; }
    bool binary(json::binary_t&) override { return true; }
    bool start_object(std::size_t) override { return ++depth_ <= kMaxDepth; }
    bool key(json::string_t&) override { return true; }
    bool end_object() override { return --depth_ >= 0; }
    bool start_array(std::size_t) override { return ++depth_ <= kMaxDepth; }
    bool end_array() override { return --depth_ >= 0; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    int depth_ = 0;
};

bool ReadInteger(const json& object, const char* name, long long low, long long high, long long* out) {
    const auto found = object.find(name);
    if (found == object.end()) return false;
    if (found->is_number_unsigned()) {
        const auto value = found->get<json::number_unsigned_t>();
        if (value > static_cast<json::number_unsigned_t>(high)) return false;
        *out = static_cast<long long>(value);
    } else if (found->is_number_integer()) {
        *out = found->get<json::number_integer_t>();
    } else {
        return false;  // floats (1e300) and everything else
    }
    return *out >= low && *out <= high;
}

bool ReadElement(const json& value, Element* element) {
    if (!value.is_object()) return false;
    const auto tag = value.find("tag");
    if (tag == value.end() || !tag->is_string() || tag->get_ref<const std::string&>().size() > kMaxKeyLength) return false;
    *element = Element(tag->get<std::string>());
    const auto attributes = value.find("attributes");
    if (attributes == value.end()) return true;
    if (!attributes->is_object() || attributes->size() > kMaxAttributes) return false;
    for (const auto& [name, attribute] : attributes->items()) {
        if (attribute.is_string()) element->SetAttribute(name, Variant(attribute.get<std::string>()));
        else if (attribute.is_boolean()) element->SetAttribute(name, Variant(attribute.get<bool>()));
        else return false;
    }
    return true;
}

bool ReadDocument(const json& message, Document* document) {
    const auto found = message.find("document");
    if (found == message.end()) return true;
    if (!found->is_array() || found->size() > kMaxElements) return false;
    document->elements.reserve(found->size());
    for (const json& item : *found) {
        Element element;
        if (!ReadElement(item, &element)) return false;
        document->elements.push_back(std::move(element));
    }
    return true;
}

}  // namespace

std::optional<PageEvent> ParsePageMessage(const std::string& text, std::string* why) {
    auto fail = [why](const char* reason) -> std::optional<PageEvent> {
        *why = reason;
        return std::nullopt;
    };
    DepthCheck depth;
    if (!json::sax_parse(text, &depth)) return fail("not JSON, or nested too deep");
    const json message = json::parse(text, nullptr, false);
    if (!message.is_object()) return fail("not an object");
    const auto type = message.find("type");
    if (type == message.end() || !type->is_string()) return fail("no type");

    PageEvent event;
    const std::string& kind = type->get_ref<const std::string&>();
    if (kind == "click" || kind == "key") {
        if (!ReadInteger(message, "seq", 1, kMaxSeq, &event.seq)) return fail("a click or key without a valid seq");
        if (!ReadDocument(message, &event.document)) return fail("a malformed document");
        if (kind == "click") {
            event.kind = PageEvent::Kind::Click;
            const auto element = message.find("element");
            if (element == message.end() || !ReadElement(*element, &event.element)) return fail("a malformed element");
            const auto inFragment = message.find("inFragment");
            if (inFragment != message.end()) {
                if (!inFragment->is_boolean()) return fail("a malformed inFragment");
                event.inFragment = inFragment->get<bool>();
            }
            if (message.contains("page") && !ReadInteger(message, "page", 0, kMaxSeq, &event.page))
                return fail("a malformed page number");
        } else {
            event.kind = PageEvent::Kind::Key;
            const auto key = message.find("key");
            if (key == message.end() || !key->is_string() || key->get_ref<const std::string&>().size() > kMaxKeyLength)
                return fail("a malformed key");
            event.key = key->get<std::string>();
        }
    } else if (kind == "file") {
        // A piece of a chosen file, as a click on the field it was chosen in.
        long long part = 0;
        if (!ReadInteger(message, "seq", 1, kMaxSeq, &event.seq)) return fail("a file piece without a valid seq");
        if (!ReadInteger(message, "page", 0, kMaxSeq, &event.page)) return fail("a file piece without a page number");
        if (!ReadInteger(message, "part", 0, kMaxSeq, &part)) return fail("a file piece without a valid part");
        const auto input = message.find("input");
        const auto name = message.find("name");
        const auto last = message.find("last");
        const auto piece = message.find("text");
        if (input == message.end() || !input->is_string() || input->get_ref<const std::string&>().size() > kMaxKeyLength ||
            name == message.end() || !name->is_string() || name->get_ref<const std::string&>().size() > kMaxNameLength ||
            last == message.end() || !last->is_boolean() || piece == message.end() || !piece->is_string())
            return fail("a malformed file piece");
        event.kind = PageEvent::Kind::Click;
        event.inFragment = true;
        event.element = Element("FILE");
        event.element.SetAttribute("id", Variant(input->get<std::string>()));
        event.element.SetAttribute("file", Variant(name->get<std::string>()));
        event.element.SetAttribute("part", Variant(std::to_string(part)));
        event.element.SetAttribute("last", Variant(std::string(last->get<bool>() ? "1" : "0")));
        event.element.SetAttribute("text", Variant(piece->get<std::string>()));
    } else if (kind == "answer") {
        event.kind = PageEvent::Kind::Answer;
        long long box = 0, result = 0;
        if (!ReadInteger(message, "box", 1, INT_MAX, &box)) return fail("an answer without a valid box");
        if (!ReadInteger(message, "result", kIdOk, kIdCancel, &result)) return fail("an answer without a valid result");
        event.box = static_cast<int>(box);
        event.result = static_cast<int>(result);
    } else {
        return fail("a message of unknown type");
    }
    return event;
}

}  // namespace sw::platform
