#pragma once
// What a fragment's parts are, sent beside it. The page script makes a
// fragment usable from the keyboard and by a screen reader; what it needs to
// know for that (a field's caption, which picture is only decoration, what a
// hexagram drawing shows) comes from the code that built the fragment, not
// from the fragment's markup, so a changed table cell cannot silently break a
// label. The fragments themselves stay exactly as they are.
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace sw::platform {

struct PageParts {
    // A form field, found by its id or name: its caption for screen readers.
    // `chooses` marks a list whose choice acts at once (the page sends a
    // keyboard choice as the click a mouse choice would be).
    struct Field {
        std::string name;
        std::string label;
        bool chooses = false;
    };
    // A picture, found by its src as written: its text, "" for decoration.
    struct Picture {
        std::string src;
        std::string alt;
    };
    // A hexagram drawing, in the order the fragment draws them: its number,
    // its name, and its lines from the bottom (yang or yin, moving or not).
    // allMoving is the text for a cast whose six lines all move, when the
    // hexagram has one (HTML, shown beside the fragment).
    struct Hexagram {
        int number = 0;
        std::string name;
        std::array<bool, 6> yang{};
        std::array<bool, 6> moving{};
        std::string allMoving;
    };

    // A card of a spread, in the order of the fragment's card pictures:
    // where it lies (the position's number from 1, its title and
    // description) and what it is (its name, how it lies, its picture as
    // the fragment names it and the meaning for how it lies, HTML).
    struct Card {
        int position = 0;
        std::string title;
        std::string description;
        std::string name;
        bool reversed = false;
        std::string picture;
        std::string meaning;
    };
    // A control the page draws beside the fragment (the fragment stays as
    // it was composed): a button, a check box or a choice of one among
    // several. It is a page element like the menu links: its clicks reach
    // the program by its id, and the snapshot of every click holds its
    // state (a check box by its id; each choice by "<id>-<value>").
    struct Control {
        enum class Kind { Button, Check, Choice } kind = Kind::Button;
        std::string id;
        std::string label;
        std::string value;  // a check box: "1" when ticked; a choice: the value chosen
        std::vector<std::pair<std::string, std::string>> choices;  // value, text
        // Off (with note saying why) while the fragment's field named
        // watch holds one of the values in offFor.
        std::string watch;
        std::vector<std::string> offFor;
        std::string note;
    };

    std::vector<Field> fields;
    std::vector<Picture> pictures;
    std::vector<Hexagram> hexagrams;
    std::vector<Card> cards;
    std::vector<Control> controls;
    // The field the focus goes to when the page opens, by name; "" for the
    // page's own choice.
    std::string focus;
    // The id of the control Enter presses in the page's text fields ("Ask
    // the Oracle", Find); "" for none.
    std::string enter;
    // The menu link of the part of the program on show ("tarotbtn" for the
    // form and the spread, "journal" for the journal's pages).
    std::string menu;
    // Pictures the next page will likely show (the reading form's deck), as
    // fragments name them: the page fetches them while the user is busy, so
    // the first deal finds them at hand as later ones do.
    std::vector<std::string> prefetch;

    bool Empty() const {
        return fields.empty() && pictures.empty() && hexagrams.empty() && cards.empty() && controls.empty() &&
               focus.empty() && enter.empty() && menu.empty() && prefetch.empty();
    }
};

}  // namespace sw::platform
