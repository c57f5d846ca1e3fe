#pragma once
// What the page tells us about its elements: the clicked element and every
// element of the main document that has an id or a name, with the current
// values of inputs and selects. Handlers read attributes through these.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace sw::platform {

// An attribute value as the page delivers it: text, a number or a boolean
// (a checkbox's checked state). Empty stands for a missing attribute.
struct Variant {
    std::variant<std::monostate, std::string, long long, bool> value;

    Variant() = default;
    Variant(std::string text) : value(std::move(text)) {}
    Variant(const char* text) : value(std::string(text)) {}
    Variant(long long number) : value(number) {}
    Variant(bool flag) : value(flag) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(value); }
};

// Text form of a variant: text as it is, numbers in decimal, true as "-1" and
// false as "0". An empty variant has no text form: it reads as "" and the
// miss is logged, so a handler never fails on a missing attribute.
std::string VariantToText(const Variant& variant);
void VariantToText(const Variant& variant, std::string& out);

class Element {
public:
    Element() = default;
    explicit Element(std::string tag) : tag_(std::move(tag)) {}

    const std::string& Tag() const { return tag_; }
    // Attribute names match regardless of letter case.
    Variant GetAttribute(std::string_view name) const;
    bool HasAttribute(std::string_view name) const;
    void SetAttribute(std::string name, Variant value);
    // Text of an attribute; a missing one reads as "" (and is logged).
    std::string Text(std::string_view name) const;
    std::string Id() const;
    std::string ClassName() const;
    std::string Name() const;
    const std::vector<std::pair<std::string, Variant>>& Attributes() const { return attributes_; }

private:
    std::string tag_;
    std::vector<std::pair<std::string, Variant>> attributes_;
};

// The elements of the main document that carry an id or a name.
class Document {
public:
    std::vector<Element> elements;

    // The one element whose id or name equals key regardless of case;
    // nothing when none or several match.
    std::optional<Element> Find(std::string_view key) const;
    Element* FindMutable(std::string_view key);
};

}  // namespace sw::platform
