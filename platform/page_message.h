#pragma once
// What the page sends, read into events (the messages are described in
// platform/shell.h). Everything here is untrusted: any local program that
// learns the address could send it, so every field is checked for type and
// range, nesting is limited before a tree is built, and nothing is copied
// recursively.
#include <optional>
#include <string>

#include "platform/element.h"

namespace sw::platform {

// A page message turned into an event, or why it was dropped.
struct PageEvent {
    enum class Kind { Click, Key, Answer } kind = Kind::Click;
    Element element;
    Document document;
    bool inFragment = false;
    long long page = 0;
    std::string key;
    int box = 0;
    int result = 0;
    long long seq = 0;
};
// Reads one message; nothing (with the reason in *why) when it is malformed:
// not JSON, nested too deep, of an unknown type, or with a field of the
// wrong type or out of range.
std::optional<PageEvent> ParsePageMessage(const std::string& text, std::string* why);

}  // namespace sw::platform
