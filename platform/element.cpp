#include "platform/element.h"

#include <iostream>

#include "core/text.h"

namespace sw::platform {

void VariantToText(const Variant& variant, std::string& out) {
    struct Visitor {
        std::string& out;
        void operator()(std::monostate) const {
            std::clog << "sagewend: read of a missing attribute, taken as empty text\n";
            out.clear();
        }
        void operator()(const std::string& text) const { out = text; }
        void operator()(long long number) const { out = std::to_string(number); }
        void operator()(bool flag) const { out = flag ? "-1" : "0"; }
    };
    std::visit(Visitor{out}, variant.value);
}

std::string VariantToText(const Variant& variant) {
    std::string text;
    VariantToText(variant, text);
    return text;
}

Variant Element::GetAttribute(std::string_view name) const {
    for (const auto& [key, value] : attributes_)
        if (EqualsNoCase(key, name)) return value;
    return {};
}

bool Element::HasAttribute(std::string_view name) const {
    for (const auto& entry : attributes_)
        if (EqualsNoCase(entry.first, name)) return true;
    return false;
}

void Element::SetAttribute(std::string name, Variant value) {
    for (auto& [key, existing] : attributes_) {
        if (EqualsNoCase(key, name)) {
            existing = std::move(value);
            return;
        }
    }
    attributes_.emplace_back(std::move(name), std::move(value));
}

std::string Element::Text(std::string_view name) const { return VariantToText(GetAttribute(name)); }

namespace {
std::string Plain(const Element& element, std::string_view name) {
    Variant value = element.GetAttribute(name);
    return value.IsEmpty() ? std::string() : VariantToText(value);
}
}  // namespace

std::string Element::Id() const { return Plain(*this, "id"); }
std::string Element::ClassName() const { return Plain(*this, "class"); }
std::string Element::Name() const { return Plain(*this, "name"); }

std::optional<Element> Document::Find(std::string_view key) const {
    const Element* found = nullptr;
    for (const auto& element : elements) {
        if (EqualsNoCase(element.Id(), key) || EqualsNoCase(element.Name(), key)) {
            if (found) return std::nullopt;
            found = &element;
        }
    }
    if (!found) return std::nullopt;
    return *found;
}

Element* Document::FindMutable(std::string_view key) {
    Element* found = nullptr;
    for (auto& element : elements) {
        if (EqualsNoCase(element.Id(), key) || EqualsNoCase(element.Name(), key)) {
            if (found) return nullptr;
            found = &element;
        }
    }
    return found;
}

}  // namespace sw::platform
