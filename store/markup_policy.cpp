#include "store/markup_policy.h"

#include <nlohmann/json.hpp>
#include <set>

#include "core/text.h"

namespace sw {

namespace {

struct Policy {
    std::set<std::string> tags;
    std::set<std::string> attributes;
    bool dataAttributes = false;
};

const Policy& ThePolicy() {
    static const Policy policy = [] {
        Policy read;
        const auto json = nlohmann::json::parse(MarkupPolicyJson());
        for (const auto& tag : json.at("ALLOWED_TAGS")) read.tags.insert(tag.get<std::string>());
        for (const auto& attribute : json.at("ALLOWED_ATTR")) read.attributes.insert(attribute.get<std::string>());
        read.dataAttributes = json.value("ALLOW_DATA_ATTR", false);
        return read;
    }();
    return policy;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Whether the value holds "javascript:", as a browser reads an address:
// letter case, blanks and control characters inside do not count.
bool HoldsScriptAddress(std::string_view value) {
    std::string squeezed;
    for (char c : value)
        if (static_cast<unsigned char>(c) > ' ') squeezed += c;
    return Lower(squeezed).find("javascript:") != std::string::npos;
}

// Whether the page keeps a picture source: its file: address maps into the
// program's own decks/ or images/ routes.
bool KeptSource(std::string_view value) {
    std::string_view rest = value;
    if (rest.size() >= 5 && Lower(rest.substr(0, 5)) == "file:") {
        rest.remove_prefix(5);
        if (rest.starts_with("./")) rest.remove_prefix(2);
    } else if (rest.starts_with("/")) {
        rest.remove_prefix(1);
    } else {
        return false;
    }
    return rest.starts_with("decks/") || rest.starts_with("images/");
}

std::string WhyTag(const std::string& tag) {
    if (tag == "meta") return "the tag <meta> is dropped by the page (a refresh in it could send the window elsewhere)";
    if (tag == "base") return "the tag <base> is dropped by the page (it would change where the page's addresses lead)";
    if (tag == "form") return "the tag <form> is dropped by the page (it could send what is typed elsewhere)";
    if (tag == "script" || tag == "style")
        return "the tag <" + tag + "> is dropped by the page with all it holds";
    return "the tag <" + tag + "> is dropped by the page; the text inside it stays";
}

std::string WhyAttribute(const std::string& attribute, const std::string& tag, std::string_view value) {
    const std::string on = "the attribute " + attribute + " on <" + tag + "> is dropped by the page";
    if (attribute.rfind("on", 0) == 0) return on + " (event handlers never run)";
    if (HoldsScriptAddress(value)) return on + " (it holds a javascript: address)";
    if (attribute == "href") return on + " (meanings carry no links)";
    return on;
}

}  // namespace

std::vector<DroppedMarkup> FindDroppedMarkup(std::string_view html) {
    const Policy& policy = ThePolicy();
    std::vector<DroppedMarkup> found;
    std::size_t i = 0;
    while ((i = html.find('<', i)) != std::string_view::npos) {
        const std::size_t start = i;
        if (html.substr(i, 4) == "<!--") {
            const std::size_t end = html.find("-->", i + 4);
            if (end == std::string_view::npos) break;
            i = end + 3;
            continue;
        }
        ++i;
        const bool closing = i < html.size() && html[i] == '/';
        if (closing) ++i;
        if (i >= html.size() || !IsLetter(html[i])) continue;  // a '<' in running text
        const std::size_t nameStart = i;
        while (i < html.size() && !IsSpace(html[i]) && html[i] != '/' && html[i] != '>') ++i;
        const std::string tag = Lower(html.substr(nameStart, i - nameStart));
        const bool keptTag = policy.tags.count(tag) > 0;
        if (!closing && !keptTag) found.push_back({start, WhyTag(tag)});

        // The attributes, as a browser splits them.
        for (;;) {
            while (i < html.size() && (IsSpace(html[i]) || html[i] == '/')) ++i;
            if (i >= html.size() || html[i] == '>') break;
            const std::size_t attributeStart = i;
            while (i < html.size() && !IsSpace(html[i]) && html[i] != '/' && html[i] != '>' && html[i] != '=') ++i;
            if (i == attributeStart) ++i;  // a lone '=' is a name of its own
            const std::string attribute = Lower(html.substr(attributeStart, i - attributeStart));
            while (i < html.size() && IsSpace(html[i])) ++i;
            std::string_view value;
            if (i < html.size() && html[i] == '=') {
                ++i;
                while (i < html.size() && IsSpace(html[i])) ++i;
                if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
                    const char quote = html[i++];
                    const std::size_t end = html.find(quote, i);
                    value = html.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
                    i = end == std::string_view::npos ? html.size() : end + 1;
                } else {
                    const std::size_t valueStart = i;
                    while (i < html.size() && !IsSpace(html[i]) && html[i] != '>') ++i;
                    value = html.substr(valueStart, i - valueStart);
                }
            }
            if (closing || !keptTag) continue;  // dropped with its tag
            const bool data = attribute.rfind("data-", 0) == 0 && policy.dataAttributes;
            if (!data && policy.attributes.count(attribute) == 0) {
                found.push_back({start, WhyAttribute(attribute, tag, value)});
            } else if (attribute == "src" && !KeptSource(value)) {
                found.push_back({start, Format("the picture source \"%s\" on <%s> is dropped by the page (pictures "
                                               "come only from file:decks/ or file:images/)",
                                               std::string(value).c_str(), tag.c_str())});
            } else if (HoldsScriptAddress(value)) {
                found.push_back({start, "the attribute " + attribute + " on <" + tag + "> holds a javascript: address"});
            }
        }
        if (i < html.size()) ++i;  // past '>'
    }
    return found;
}

}  // namespace sw
