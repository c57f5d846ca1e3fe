#include "store/deck.h"

#include <algorithm>
#include <iostream>

#include "app/msg_box.h"
#include "core/text.h"
#include "platform/host.h"
#include "store/data_format.h"
#include "store/encoded_text_file.h"

namespace sw {

namespace {

void ShowError(const char* format, const std::string& directory) {
    CMsgBox box;
    box.Show(Format(format, directory.c_str()), platform::kIconExclamation);
}

}  // namespace

bool ReadCardIndex(LineSource& in, DeckRecord& deck, ReadProblem* problem, CardIndexLines* lines) {
    auto fail = [&](std::string message) {
        if (problem) *problem = {in.LineNumber(), std::move(message)};
        return false;
    };
    deck.cards.clear();
    deck.cardCount = 0;

    std::string line, text;
    in.ReadString(line);
    const int countLine = in.LineNumber();
    if (lines) lines->countLine = countLine;
    const int count = CAtoi(line);
    if (count > kMaxDeckCards)
        return fail(Format("the index declares %d cards; a deck holds at most %d", count, kMaxDeckCards));
    if (count < 1) return true;
    // Never more cards than the lines left can hold: a count no file backs
    // costs nothing.
    deck.cards.resize(std::min<std::size_t>(count, in.LinesLeft() / kCardBlockLines));
    deck.cardCount = static_cast<int>(deck.cards.size());

    for (int i = 0; i < count; ++i) {
        const int number = i + 1;
        if (!in.ReadString(line)) {
            // The file ends where a card should begin: the count is larger
            // than the cards there are, and those are the deck.
            deck.cards.resize(i);
            deck.cardCount = i;
            if (problem) *problem = {countLine, ShortCount(count, i, "card", "cards")};
            return true;
        }
        if (i == deck.cardCount) {
            // Too few lines left for a whole card: the file ends inside it.
            deck.cards.emplace_back();
            deck.cardCount = i + 1;
        }
        CardRecord& card = deck.CardAt(i);
        if (line != kCardMarker)
            return fail(Format("card %d: expected the line \"%s\"", number, kCardMarker));
        if (lines) lines->cardLines.push_back(in.LineNumber());
        // A file cut short inside these lines reads them as empty, and the
        // marker test below then fails.
        in.ReadString(card.name);
        in.ReadString(line);
        card.hasReversedImage = line == "1";
        in.ReadString(card.imageExtension);
        in.ReadString(card.reversedImageSuffix);
        in.ReadString(card.number);
        if (!in.ReadString(line))
            return fail(Format("card %d: the file ends before the line \"%s\"", number, kMeaningMarker));
        if (line != kMeaningMarker)
            return fail(Format("card %d: expected the line \"%s\"", number, kMeaningMarker));
        if (lines) lines->meaningLines.push_back(in.LineNumber());

        // Each meaning is gathered in a reused buffer and then copied once at
        // its size: appending line by line to the card's own string would
        // reallocate it several times for every meaning of the catalogue.
        text.clear();
        for (;;) {
            if (!in.ReadString(line))
                return fail(Format("card %d: the file ends before the line \"%s\"", number, kReverseMarker));
            if (line == kReverseMarker) break;
            text += line;
        }
        card.meaning = text;
        if (lines) lines->reverseLines.push_back(in.LineNumber());
        text.clear();
        for (;;) {
            if (!in.ReadString(line))
                return fail(Format("card %d: the file ends before the line \"%s\"", number, kEndMarker));
            if (line == kEndMarker) break;
            text += line;
        }
        card.reversedMeaning = text;
        if (lines) lines->endLines.push_back(in.LineNumber());
    }
    return true;
}

bool DeckRecord::LoadIndex(const std::string& folder) { return LoadIndex(folder, RealFileSystem()); }

bool DeckRecord::LoadIndex(const std::string& folder, FileSystem& fileSystem) {
    if (loaded) return true;
    directory = folder;
    if (!IsSafeDeckDirectory(folder)) {
        ShowError("Error opening %s index file", folder);
        return false;
    }
    // File names on Linux are UTF-8; a catalogue written on Windows names
    // its folders in its code page.
    const std::string path = "decks/" + ToUtf8(folder) + "/index.dat";
    EncodedTextFile file(fileSystem);
    if (!file.Open(path, EncodedTextFile::modeRead)) {
        ShowError("Error opening %s index file", folder);
        return false;
    }
    ReadProblem problem;
    const bool ok = ReadCardIndex(file, *this, &problem);
    file.Close();
    if (!ok) {
        std::clog << "sagewend: " << path << ':' << problem.line << ": " << problem.message << '\n';
        ShowError("Error reading %s index file", folder);
        return false;
    }
    if (!problem.message.empty()) {
        CMsgBox box;
        box.Show(ShortCountMessage(path, problem, "The deck is offered with the cards that are there."),
                 platform::kIconExclamation);
    }
    loaded = true;
    return true;
}

std::string DeckRecord::CardImageUrl(int cardIndex, int orientation) const {
    if (cardIndex < 0 || cardIndex >= static_cast<int>(cards.size())) return std::string();
    const CardRecord& card = CardAt(cardIndex);
    // The first two characters: two bytes of a Windows file, or two UTF-8
    // characters, never half of one.
    const std::string name(FirstCharacters(card.number, 2));
    if (card.hasReversedImage && orientation == 1)
        return Format("file:decks/%s/%s%s.%s", directory.c_str(), name.c_str(), card.reversedImageSuffix.c_str(),
                      card.imageExtension.c_str());
    return Format("file:decks/%s/%s.%s", directory.c_str(), name.c_str(), card.imageExtension.c_str());
}

bool IsSafeDeckDirectory(const std::string& directory) {
    if (!directory.empty() && (directory.front() == '/' || directory.front() == '\\')) return false;
    // Both separators count: a catalogue written on Windows may use either.
    std::size_t start = 0;
    while (start <= directory.size()) {
        std::size_t end = directory.find_first_of("/\\", start);
        if (end == std::string::npos) end = directory.size();
        if (directory.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace sw
