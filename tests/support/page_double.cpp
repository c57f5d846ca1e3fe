#include "support/page_double.h"

#include <gtest/gtest.h>
#include <gumbo.h>


#include "core/text.h"
#include "support/files.h"

namespace sw::testing {

using platform::Element;
using platform::Variant;

std::string ReadSourceFile(const std::string& relativePath) {
    return ReadBytes(std::string(SAGEWEND_SOURCE_DIR) + "/" + relativePath);
}

namespace {

std::string TagName(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        std::string name = gumbo_normalized_tagname(element.tag);
        for (auto& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    }
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    std::string name(piece.data, piece.length);
    for (auto& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

std::string TextOf(const GumboNode* node) {
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE) return node->v.text.text;
    if (node->type != GUMBO_NODE_ELEMENT) return {};
    std::string text;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) text += TextOf(static_cast<const GumboNode*>(children.data[i]));
    return text;
}

std::string Attr(const std::vector<std::pair<std::string, std::string>>& attributes, std::string_view name,
                 bool* present = nullptr) {
    for (const auto& [key, value] : attributes) {
        if (EqualsNoCase(key, name)) {
            if (present) *present = true;
            return value;
        }
    }
    if (present) *present = false;
    return {};
}

}  // namespace

PageDouble::PageDouble() : mainPage_(ReadSourceFile("res/main.html")) { Parse(); }

void PageDouble::Parse() {
    std::string page = mainPage_;
    const std::string slot = "<div id=\"fileList\"></div>";
    auto at = page.find(slot);
    page.replace(at, slot.size(), "<div id=\"fileList\">" + fragment_ + "</div>");
    const std::string controls = "<div class=\"sw-controls\" id=\"sw-controls\" hidden></div>";
    if (auto beside = page.find(controls); beside != std::string::npos)
        page.replace(beside, controls.size(), "<div class=\"sw-controls\" id=\"sw-controls\">" + controls_ + "</div>");
    // The program's own window parts are not part of the document the
    // handlers look into.
    auto chrome = page.find("<div class=\"sw-chrome\"");
    if (chrome != std::string::npos) page.erase(chrome, page.find("<script") - chrome);

    nodes_.clear();
    values_.clear();
    checked_.clear();
    GumboOutput* output = gumbo_parse(page.c_str());
    std::vector<std::size_t> openSelects;
    auto walk = [&](auto&& self, const GumboNode* node) -> void {
        if (node->type != GUMBO_NODE_ELEMENT) return;
        const GumboElement& element = node->v.element;
        Node entry;
        entry.tag = TagName(element);
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
            entry.attributes.emplace_back(attribute->name, attribute->value);
        }
        if (entry.tag == "OPTION" || entry.tag == "TEXTAREA") entry.text = TextOf(node);
        std::size_t index = nodes_.size();
        const bool isSlot = entry.tag == "DIV" && Attr(entry.attributes, "id") == "fileList";
        nodes_.push_back(entry);
        if (entry.tag == "OPTION" && !openSelects.empty()) nodes_[openSelects.back()].options.push_back(index);
        if (entry.tag == "SELECT") openSelects.push_back(index);
        for (unsigned i = 0; i < element.children.length; ++i)
            self(self, static_cast<const GumboNode*>(element.children.data[i]));
        if (entry.tag == "SELECT") openSelects.pop_back();
        if (isSlot) {
            fragmentBegin_ = index + 1;
            fragmentEnd_ = nodes_.size();
        }
    };
    walk(walk, output->root);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}

std::vector<std::string> PageDouble::Unnamed() const {
    auto partsName = [&](const std::string& name) {
        for (const auto& field : parts_.fields)
            if (!name.empty() && EqualsNoCase(field.name, name) && !field.label.empty()) return true;
        // A control beside the fragment is drawn with its label (a choice
        // with its legend and each choice's text).
        for (const auto& control : parts_.controls)
            if (!name.empty() && control.id == name && !control.label.empty()) return true;
        return false;
    };
    auto labelled = [&](const std::string& id) {
        for (std::size_t i = fragmentBegin_; i < fragmentEnd_; ++i)
            if (nodes_[i].tag == "LABEL" && !id.empty() && Attr(nodes_[i].attributes, "for") == id) return true;
        return false;
    };
    std::vector<std::string> unnamed;
    for (std::size_t i = fragmentBegin_; i < fragmentEnd_; ++i) {
        const Node& node = nodes_[i];
        const std::string id = Attr(node.attributes, "id");
        const std::string name = Attr(node.attributes, "name");
        const std::string type = Attr(node.attributes, "type");
        const bool field = node.tag == "SELECT" || node.tag == "TEXTAREA" ||
                           (node.tag == "INPUT" && !EqualsNoCase(type, "hidden") && !EqualsNoCase(type, "image"));
        if (field && !partsName(name) && !partsName(id) && !labelled(id))
            unnamed.push_back(node.tag + " " + (name.empty() ? id : name));
        if (node.tag == "IMG" && !EqualsNoCase(Attr(node.attributes, "class"), "card")) {
            bool hasAlt = false;
            Attr(node.attributes, "alt", &hasAlt);
            bool described = false;
            for (const auto& picture : parts_.pictures) described = described || picture.src == Attr(node.attributes, "src");
            if (!hasAlt && !described) unnamed.push_back("IMG " + Attr(node.attributes, "src"));
        }
    }
    return unnamed;
}

std::vector<Element> PageDouble::Elements() const { return Snapshot().elements; }

platform::Document PageDouble::Snapshot() const {
    platform::Document document;
    for (std::size_t i = 0; i < nodes_.size(); ++i)
        if (auto element = ElementAt(i)) document.elements.push_back(std::move(*element));
    return document;
}

// The element of node index as the page reports it; nothing for a node
// without an id or a name.
std::optional<Element> PageDouble::ElementAt(std::size_t i) const {
    const Node& node = nodes_[i];
    bool hasId = false, hasName = false;
    Attr(node.attributes, "id", &hasId);
    Attr(node.attributes, "name", &hasName);
    if (!hasId && !hasName) return std::nullopt;
    Element element(node.tag);
    for (const auto& [key, value] : node.attributes) element.SetAttribute(key, Variant(value));
    if (node.tag == "INPUT" || node.tag == "SELECT" || node.tag == "TEXTAREA")
        element.SetAttribute("value", Variant(Value(std::to_string(i) + "#")));
    if (node.tag == "INPUT") {
        const std::string type = Attr(node.attributes, "type");
        if (EqualsNoCase(type, "checkbox") || EqualsNoCase(type, "radio")) {
            bool initially = false;
            Attr(node.attributes, "checked", &initially);
            auto found = checked_.find(i);
            element.SetAttribute("checked", Variant(found != checked_.end() ? found->second : initially));
        }
    }
    return element;
}

std::optional<std::size_t> PageDouble::FindIndex(std::string_view key) const {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
        if (EqualsNoCase(Attr(nodes_[i].attributes, "id"), key) || EqualsNoCase(Attr(nodes_[i].attributes, "name"), key)) {
            if (found) return std::nullopt;
            found = i;
        }
    }
    return found;
}

// A value by element name, or by "<index>#" for an element index.
std::string PageDouble::Value(const std::string& name) const {
    std::optional<std::size_t> index;
    if (!name.empty() && name.back() == '#') index = static_cast<std::size_t>(std::stoul(name));
    else index = FindIndex(name);
    if (!index) return {};
    if (auto typed = values_.find(*index); typed != values_.end()) return typed->second;
    const Node& node = nodes_[*index];
    if (node.tag == "TEXTAREA") return node.text;
    if (node.tag != "SELECT") return Attr(node.attributes, "value");
    // A select shows its last option marked selected, else its first one
    // (a list box shows none).
    std::optional<std::size_t> chosen;
    for (std::size_t option : node.options) {
        bool selected = false;
        Attr(nodes_[option].attributes, "selected", &selected);
        if (selected) chosen = option;
    }
    if (!chosen && CAtoi(Attr(node.attributes, "size")) <= 1 && !node.options.empty()) chosen = node.options.front();
    if (!chosen) return {};
    bool hasValue = false;
    std::string value = Attr(nodes_[*chosen].attributes, "value", &hasValue);
    return hasValue ? value : nodes_[*chosen].text;
}

void PageDouble::Type(const std::string& name, const std::string& text) {
    auto index = FindIndex(name);
    ASSERT_TRUE(index) << "no single input " << name;
    values_[*index] = text;
}

void PageDouble::Choose(const std::string& name, const std::string& value) {
    auto index = FindIndex(name);
    ASSERT_TRUE(index) << "no single select " << name;
    bool offered = false;
    for (std::size_t option : nodes_[*index].options) offered = offered || Attr(nodes_[option].attributes, "value") == value;
    ASSERT_TRUE(offered) << name << " offers no option " << value;
    values_[*index] = value;
}

void PageDouble::Tick(const std::string& name, bool checked) {
    auto index = FindIndex(name);
    ASSERT_TRUE(index) << "no single checkbox " << name;
    checked_[*index] = checked;
}

void PageDouble::Deliver(const Element& element) {
    ASSERT_NE(sink_, nullptr);
    snapshot_ = Snapshot();
    sink_->OnClick(element);
    RunPosted();
}

void PageDouble::RunPosted() {
    while (!posted_.empty() && !ended_) {
        int command = posted_.front();
        posted_.pop_front();
        snapshot_ = Snapshot();
        sink_->OnCommand(command);
    }
}

void PageDouble::Click(const std::string& id, const std::vector<std::pair<std::string, std::string>>& match) {
    auto document = Snapshot();
    const Element* target = nullptr;
    int count = 0;
    for (const auto& element : document.elements) {
        if (element.Id() != id && element.Name() != id) continue;
        bool all = true;
        for (const auto& [key, value] : match) all = all && element.Text(key) == value;
        if (!all) continue;
        target = &element;
        ++count;
    }
    ASSERT_EQ(count, 1) << "click target " << id;
    Element copy = *target;
    Deliver(copy);
}

void PageDouble::ClickClass(const std::string& className, const std::vector<std::pair<std::string, std::string>>& match) {
    int count = 0;
    std::optional<Element> target;
    for (const auto& node : nodes_) {
        if (Attr(node.attributes, "class") != className) continue;
        bool all = true;
        for (const auto& [key, value] : match) all = all && Attr(node.attributes, key) == value;
        if (!all) continue;
        Element element(node.tag);
        for (const auto& [key, value] : node.attributes) element.SetAttribute(key, Variant(value));
        target = element;
        ++count;
    }
    ASSERT_EQ(count, 1) << "click target of class " << className;
    Deliver(*target);
}

void PageDouble::ClickInFragment(const std::string& id, const std::vector<std::pair<std::string, std::string>>& match) {
    std::optional<Element> target;
    int count = 0;
    for (std::size_t i = fragmentBegin_; i < fragmentEnd_; ++i) {
        auto element = ElementAt(i);
        if (!element || (element->Id() != id && element->Name() != id)) continue;
        bool all = true;
        for (const auto& [key, value] : match) all = all && element->Text(key) == value;
        if (!all) continue;
        target = std::move(element);
        ++count;
    }
    ASSERT_EQ(count, 1) << "click target " << id << " in the fragment";
    Deliver(*target);
}

void PageDouble::Key(const std::string& key) {
    ASSERT_NE(sink_, nullptr);
    snapshot_ = Snapshot();
    sink_->OnKey(key);
    RunPosted();
}

void PageDouble::Load() {
    ASSERT_NE(sink_, nullptr);
    sink_->OnDocumentComplete();
}

void PageDouble::DescribePage(const platform::PageParts& parts) {
    parts_ = parts;
    controls_.clear();
    using Kind = platform::PageParts::Control::Kind;
    for (const auto& control : parts.controls) {
        if (control.kind == Kind::Button) {
            controls_ += "<button type=\"button\" class=\"btn\" id=\"" + control.id + "\">" + control.label + "</button>";
        } else if (control.kind == Kind::Check) {
            controls_ += "<input type=\"checkbox\" id=\"" + control.id + "\"" + (control.value == "1" ? " checked" : "") + ">";
        } else {
            for (const auto& [value, text] : control.choices)
                controls_ += "<input type=\"radio\" name=\"" + control.id + "\" id=\"" + control.id + "-" + value +
                             "\" value=\"" + value + "\"" + (value == control.value ? " checked" : "") + ">";
        }
    }
    if (!controls_.empty()) Parse();
}

void PageDouble::WritePage(const std::string& html) {
    fragment_ = html;
    parts_ = {};
    controls_.clear();
    ++writes_;
    keep_ = Keep::Hidden;  // as the page hides the control with every write
    fills_.clear();
    steps_.push_back("write");
    Parse();
}

std::optional<Element> PageDouble::GetElement(std::string_view id) { return snapshot_.Find(id); }

void PageDouble::SetElementValue(std::string_view id, const std::string& value) {
    if (auto index = FindIndex(id)) values_[*index] = value;
    if (Element* element = snapshot_.FindMutable(id)) element->SetAttribute("value", Variant(value));
}

int PageDouble::ShowMessage(const std::string& message, int iconId) {
    messages_.push_back({message, iconId});
    if (answers_.empty()) return platform::kIdOk;
    int result = answers_.front();
    answers_.pop_front();
    return result;
}

void PageDouble::WriteMeaningPage(const std::string& html) { meaningPage_ = html; }
void PageDouble::ShowMeaningWindow(bool visible) { meaningVisible_ = visible; }

void PageDouble::SetWaitCursor(bool wait) {
    waitCursor_ = wait;
    steps_.push_back(wait ? "cursor wait" : "cursor normal");
}

void PageDouble::Pause(int milliseconds) {
    pauses_.push_back(milliseconds);
    steps_.push_back("pause " + std::to_string(milliseconds));
}
void PageDouble::ShowHelp(const std::string& topic) { helpTopics_.push_back(topic); }
void PageDouble::PostCommand(int command) { posted_.push_back(command); }
void PageDouble::EndDialog() { ended_ = true; }

}  // namespace sw::testing
