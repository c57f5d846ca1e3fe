// The sagewend-data tool, run as deck authors run it, and its deck
// importer on folders of pictures made here.
#include <gtest/gtest.h>
#include <png.h>
#include <turbojpeg.h>

#include <cerrno>
#include <functional>
#include <map>

#include "importer/import_deck.h"
#include "store/deck.h"
#include "store_test_support.h"

namespace sw {
namespace {

using storetest::RunCommand;
using storetest::TempDir;
using storetest::WriteEncoded;

std::string Tool() { return std::string("'") + SAGEWEND_DATA_TOOL + "'"; }

std::string Quote(const std::string& path) { return "'" + path + "'"; }

TEST(DataTool, CheckPassesAGoodFolder) {
    TempDir dir;
    storetest::WriteExampleData(dir.path());
    int status = -1;
    const std::string out = RunCommand("cd " + Quote(dir.path().string()) + " && " + Tool() + " check 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.find(": error:"), std::string::npos) << out;
    // The sample's second card has no meaning, and position 3 lies nowhere.
    EXPECT_NE(out.find("decks/Alpha/index.dat:20: warning: card 2 has an empty meaning"), std::string::npos) << out;
    EXPECT_NE(out.find("data/layouts.dat:7: warning: layout 1: position 3 lies on no cell"), std::string::npos) << out;
    // The check neither prints the program's progress texts nor leaves copies.
    EXPECT_EQ(out.find("is open"), std::string::npos);
    EXPECT_EQ(storetest::FilesUnder(dir.path()).size(), 6u);
}

TEST(DataTool, CheckReportsEachProblemWithItsLine) {
    TempDir dir;
    storetest::WriteExampleData(dir.path());
    WriteEncoded(dir / "data/decks.dat", {"4", "Alpha", "../x", "Gone", "Big"});
    std::filesystem::remove(dir / "decks/Alpha/00r.jpg");
    WriteEncoded(dir / "decks/Big/index.dat", {"121"});
    WriteEncoded(dir / "data/layouts.dat", {"1", "1", "0", "Bad", "Only|x", "2", "1", "1#7", "#######LAYOUT#######"});
    storetest::WriteBytes(dir / "data/layouts.dat", storetest::ReadBytes(dir / "data/layouts.dat") + "not base64!\r\n");
    int status = -1;
    const std::string root = dir.path().string();
    const std::string out = RunCommand(Tool() + " check " + Quote(root) + " 2>&1", &status);
    EXPECT_EQ(status, 1) << out;
    for (const std::string& expected : std::vector<std::string>{
             root + "/data/decks.dat:3: error: deck folder \"../x\" lies outside decks/",
             root + "/data/decks.dat:4: error: deck folder " + root + "/decks/Gone is missing",
             root + "/decks/Alpha/index.dat:6: error: card 1: reversed picture " + root + "/decks/Alpha/00r.jpg is missing",
             root + "/decks/Big/index.dat:1: error: the index declares 121 cards; a deck holds at most 120",
             root + "/data/layouts.dat:8: error: layout 1: cell 2 of row 1 is \"7\", which names no position (1 to 1)",
             root + "/data/layouts.dat:10: warning: not well-formed Base64",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nin:\n" << out;

    WriteEncoded(dir / "data/layouts.dat", {"1", "0", "0", "Cut", "1", "1"});
    const std::string cut = RunCommand(Tool() + " check " + Quote(root) + " 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(cut.find("/data/layouts.dat:6: error: layout 1: the file ends before its terminator"), std::string::npos)
        << cut;
}

TEST(DataTool, CheckNamesShortCountsAndTheMarkupThePageDrops) {
    TempDir dir;
    storetest::WriteExampleData(dir.path());
    WriteEncoded(dir / "data/decks.dat", {"3", "Alpha"});
    std::vector<std::string> index = storetest::AlphaIndexLines();
    // Card 1's upright meaning, lines 9 to 12; its name on line 3.
    index[2] = "First <u>Card</u> <blink>!</blink>";
    index[8] = "Plain <b>bold</b> <meta http-equiv=refresh content='0;url=http://evil.example/'>";
    index[9] = "<base href=http://evil.example/><form action=http://evil.example/>";
    index.insert(index.begin() + 10,
                 {"<a href=\"javascript:alert(1)\" onclick=\"x()\">go</a><img src=\"http://evil.example/x.gif\">"
                  "<img src=file:decks/Alpha/00.jpg><img SRC='file:./images/logo.gif'>",
                  "<script>alert(1)</script><span style=\"color:red\" data-x=1>ok</span><a href=#>one</a><a "
                  "href=#>two</a><!-- <meta> in a comment -->"});
    WriteEncoded(dir / "decks/Alpha/index.dat", index);
    std::vector<std::string> layouts = storetest::ThreeInARowLines();
    layouts[0] = "3";
    layouts[4] = "Past|What <a href=http://evil.example/>led</a> here";
    WriteEncoded(dir / "data/layouts.dat", layouts);

    int status = -1;
    const std::string root = dir.path().string();
    const std::string out = RunCommand(Tool() + " check " + Quote(root) + " 2>&1", &status);
    EXPECT_EQ(status, 1) << out;
    const std::string deck = root + "/decks/Alpha/index.dat:";
    const std::string upright = ": warning: card 1's upright meaning: ";
    for (const std::string& expected : std::vector<std::string>{
             root + "/data/decks.dat:1: error: the count is 3, but only 1 deck follows it; only the decks listed are "
                    "offered\n",
             deck + "3: warning: card 1's name: the tag <blink> is dropped by the page; the text inside it stays\n",
             deck + "9" + upright + "the tag <meta> is dropped by the page (a refresh in it could send the window "
                                    "elsewhere)\n",
             deck + "10" + upright + "the tag <base> is dropped by the page (it would change where the page's "
                                     "addresses lead)\n",
             deck + "10" + upright + "the tag <form> is dropped by the page (it could send what is typed elsewhere)\n",
             deck + "11" + upright + "the attribute href on <a> is dropped by the page (it holds a javascript: "
                                     "address)\n",
             deck + "11" + upright + "the attribute onclick on <a> is dropped by the page (event handlers never run)\n",
             deck + "11" + upright + "the picture source \"http://evil.example/x.gif\" on <img> is dropped by the page "
                                     "(pictures come only from file:decks/ or file:images/)\n",
             deck + "12" + upright + "the tag <script> is dropped by the page with all it holds\n",
             deck + "12" + upright + "the attribute data-x on <span> is dropped by the page\n",
             deck + "12" + upright + "the attribute href on <a> is dropped by the page (meanings carry no links) (2 "
                                     "times)\n",
             root + "/data/layouts.dat:1: error: the count is 3, but only 1 layout follows it; only those are offered\n",
             root + "/data/layouts.dat:5: warning: layout 1, position 1: the attribute href on <a> is dropped by the "
                    "page (meanings carry no links)\n",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\nin:\n" << out;
    // What the page keeps is not named: plain tags, its own pictures, styles.
    for (const char* kept : {"<b>", "<u>", "00.jpg", "logo.gif", "style", "in a comment"})
        EXPECT_EQ(out.find(kept), std::string::npos) << kept << "\nin:\n" << out;
}

TEST(DataTool, EncodesAndDecodes) {
    TempDir dir;
    storetest::WriteBytes(dir / "plain.txt", "2\r\n\ncaf\xC3\xA9\nlast");
    EXPECT_EQ(RunCommand(Tool() + " encode " + Quote(dir / "plain.txt") + " > " + Quote(dir / "coded.dat")), "");
    EXPECT_EQ(storetest::ReadBytes(dir / "coded.dat"), storetest::EncodedText({"2", "", "caf\xC3\xA9", "last"}));
    EXPECT_EQ(RunCommand(Tool() + " decode " + Quote(dir / "coded.dat")), "2\n\ncaf\xC3\xA9\nlast\n");
    EXPECT_EQ(RunCommand("printf 'foo\\nfo' | " + Tool() + " encode"), "Zm9v\r\nZm8=\r\n");
    // Windows-1252 text from old files comes out as UTF-8.
    storetest::WriteBytes(dir / "old.dat", EncodeLine("caf\xE9") + "\r\n");
    EXPECT_EQ(RunCommand(Tool() + " decode " + Quote(dir / "old.dat")), "caf\xC3\xA9\n");
}

TEST(DataTool, HelpAndUsage) {
    for (const char* command : {"decode", "encode", "check", "import-deck"}) {
        const std::string out = RunCommand(Tool() + " " + command + " --help");
        EXPECT_NE(out.find(std::string("Usage: sagewend-data ") + command), std::string::npos) << out;
    }
    EXPECT_NE(RunCommand(Tool() + " --help").find("Commands:"), std::string::npos);
    int status = 0;
    RunCommand(Tool() + " frobnicate 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
    RunCommand(Tool() + " decode /nonexistent/file 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
}


// ---- import-deck -------------------------------------------------------------

// Pixels whose colour says where they lie (red across, green down, blue by
// quadrant), so that a turned picture can be told from the original.
std::vector<unsigned char> Pattern(int width, int height) {
    std::vector<unsigned char> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            rgb.push_back(static_cast<unsigned char>(x * 255 / (width - 1)));
            rgb.push_back(static_cast<unsigned char>(y * 255 / (height - 1)));
            rgb.push_back((x < width / 2) == (y < height / 2) ? 220 : 30);
        }
    return rgb;
}

std::string Jpeg(int width, int height, int subsampling) {
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const std::vector<unsigned char> rgb = Pattern(width, height);
    EXPECT_EQ(tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, subsampling, 95, 0), 0);
    std::string bytes(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(handle);
    return bytes;
}

std::vector<unsigned char> DecodeJpeg(const std::string& bytes, int* width, int* height) {
    tjhandle handle = tjInitDecompress();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    int subsampling = 0, colorspace = 0;
    tjDecompressHeader3(handle, data, bytes.size(), width, height, &subsampling, &colorspace);
    std::vector<unsigned char> rgb(static_cast<std::size_t>(*width) * *height * 3);
    EXPECT_EQ(tjDecompress2(handle, data, bytes.size(), rgb.data(), *width, 0, *height, TJPF_RGB, 0), 0);
    tjDestroy(handle);
    return rgb;
}

std::string Png(int width, int height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGB;
    const std::vector<unsigned char> rgb = Pattern(width, height);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr);
    std::string bytes(size, '\0');
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

std::vector<unsigned char> DecodePng(const std::string& bytes, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()));
    image.format = PNG_FORMAT_RGB;
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    return rgb;
}

// The largest difference of any channel between a picture and the other
// turned half a turn back.
int TurnedDifference(const std::vector<unsigned char>& upright, const std::vector<unsigned char>& reversed, int width,
                     int height) {
    int worst = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int a = upright[(static_cast<std::size_t>(y) * width + x) * 3 + c];
                const int b = reversed[(static_cast<std::size_t>(height - 1 - y) * width + (width - 1 - x)) * 3 + c];
                worst = std::max(worst, std::abs(a - b));
            }
    return worst;
}

std::string Svg(const std::string& title) {
    return "<?xml version='1.0' encoding='UTF-8'?>\n<svg xmlns='http://www.w3.org/2000/svg' width='60' height='100' "
           "viewBox='0 0 60 100'><title>" + title + "</title><rect x='5' y='5' width='20' height='30' "
           "fill='#c33'/></svg>\n";
}

// A plain folder of the 22 major arcana, as SVG pictures.
void WriteMajors(const std::filesystem::path& folder) {
    for (int i = 0; i < importer::kMajorCount; ++i)
        storetest::WriteBytes((folder / Format("%02d-card.svg", i)).string(), Svg(importer::BundledName(i)));
}

// All 78 cards in every kind and several namings: the majors as SVG, wands
// as JPEG in whole blocks, cups as PNG, swords as JPEG that is not (20 x 36
// in 16 x 16 blocks), pentacles as "coins" SVG.
void WriteWholeDeck(const std::filesystem::path& folder) {
    WriteMajors(folder);
    const std::string wands = Jpeg(32, 48, TJSAMP_420), swords = Jpeg(20, 36, TJSAMP_420), cups = Png(6, 4);
    for (int r = 0; r < importer::kRankCount; ++r) {
        const std::string rank(importer::RankWord(r));
        storetest::WriteBytes((folder / ("wands-" + rank + ".jpg")).string(), wands);
        storetest::WriteBytes((folder / (r < 10 ? Format("cups_%02d.png", r + 1) : "Cups_" + rank + ".png")).string(),
                              cups);
        storetest::WriteBytes((folder / (rank + " of Swords.JPG")).string(), swords);
        storetest::WriteBytes((folder / ("coins-" + rank + ".svg")).string(), Svg(rank));
    }
}

// Every file and folder under dir with its bytes.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = std::filesystem::relative(entry.path(), dir).string();
        files[name] = entry.is_directory() ? "(folder)" : storetest::ReadBytes(entry.path().string());
    }
    return files;
}

TEST(ImportDeck, MakesADeckFromAFolderOfNamedPictures) {
    TempDir dir;
    const std::filesystem::path data = dir.path() / "data-folder", source = dir.path() / "cards";
    storetest::WriteExampleData(data);
    WriteWholeDeck(source);
    int status = -1;
    const std::string out = RunCommand(Tool() + " import-deck " + Quote(source.string()) +
                                           " --name 'Moon Garden' --meanings Alpha -C " + Quote(data.string()) + " 2>&1",
                                       &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Made "), std::string::npos) << out;
    EXPECT_NE(out.find("14 JPEG picture"), std::string::npos) << out;  // the swords, trimmed
    EXPECT_EQ(storetest::ReadEncoded((data / "data/decks.dat").string()),
              (std::vector<std::string>{"2", "Alpha", "Moon Garden"}));

    // The program loads it, in the bundled deck's order, meanings matched by card.
    storetest::MessageLog messages;
    DeckRecord deck;
    {
        storetest::ChangeDir in(data);
        ASSERT_TRUE(deck.LoadIndex("Moon Garden")) << messages.messages().front();
    }
    ASSERT_EQ(deck.cardCount, 78);
    const std::vector<std::pair<int, std::string>> expected = {
        {0, "00 The Fool"}, {22, "W1 Ace of Wands"}, {45, "CT Ten of Cups"}, {60, "SP Page of Swords"},
        {77, "PK King of Pentacles"}};
    for (const auto& [index, text] : expected) {
        const CardRecord& card = deck.CardAt(index);
        EXPECT_EQ(card.number + " " + card.name, text);
        EXPECT_TRUE(card.hasReversedImage);
        EXPECT_EQ(card.reversedImageSuffix, "r");
    }
    EXPECT_EQ(deck.CardAt(0).meaning, "Upright text, first line,and its continuation.");
    EXPECT_EQ(deck.CardAt(0).reversedMeaning, "Reversed text.");
    EXPECT_EQ(deck.CardAt(1).meaning, importer::kNoMeaningText);  // Alpha's second card has none
    EXPECT_EQ(deck.CardAt(30).meaning, importer::kNoMeaningText);
    EXPECT_EQ(deck.CardImageUrl(36, 1), "file:decks/Moon Garden/C1r.png");
    const std::string index = storetest::ReadBytes((data / "decks/Moon Garden/index.dat").string());
    EXPECT_EQ(std::count(index.begin(), index.end(), '\n'), std::count(index.begin(), index.end(), '\r'));

    const std::string check = RunCommand(Tool() + " check " + Quote(data.string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << check;
    EXPECT_EQ(check.find(": error:"), std::string::npos) << check;
    EXPECT_EQ(check.find("Moon Garden"), std::string::npos) << check;  // nor a warning

    // Each reversed picture is its upright one turned half a turn.
    auto picture = [&](const std::string& name) { return storetest::ReadBytes((data / "decks/Moon Garden" / name).string()); };
    EXPECT_EQ(picture("W1.jpg"), storetest::ReadBytes((source / "wands-ace.jpg").string()));
    for (const char* code : {"W1", "S1"}) {
        int w = 0, h = 0, rw = 0, rh = 0;
        const auto upright = DecodeJpeg(picture(std::string(code) + ".jpg"), &w, &h);
        const auto reversed = DecodeJpeg(picture(std::string(code) + "r.jpg"), &rw, &rh);
        ASSERT_EQ(std::make_pair(w, h), std::make_pair(rw, rh)) << code;
        EXPECT_EQ(std::make_pair(w, h), code[0] == 'W' ? std::make_pair(32, 48) : std::make_pair(16, 32));
        EXPECT_LE(TurnedDifference(upright, reversed, w, h), 12) << code;
        EXPECT_GE(TurnedDifference(upright, upright, w, h), 100) << "the pattern does not tell a turned picture";
    }
    int w = 0, h = 0;
    const auto upright = DecodePng(picture("C1.png"), &w, &h);
    EXPECT_EQ(TurnedDifference(upright, DecodePng(picture("C1r.png"), &w, &h), w, h), 0);
    const std::string svg = picture("00r.svg");
    EXPECT_NE(svg.find("<g transform=\"rotate(180 30 50)\"><svg xmlns='http://www.w3.org/2000/svg'"),
              std::string::npos) << svg;
}

// A deck folder laid out by the tarot deck format: its name, its own card
// names, two trumps in another order, and pictures from its complete
// resolution folder. The deck list is a link, which stays one.
TEST(ImportDeck, MakesADeckFromATarotDeckFolder) {
    TempDir dir;
    const std::filesystem::path data = dir.path() / "data-folder", source = dir.path() / "night";
    storetest::WriteExampleData(data);
    std::filesystem::rename(data / "data/decks.dat", dir.path() / "decks-list.dat");
    std::filesystem::create_symlink("../../decks-list.dat", data / "data/decks.dat");
    storetest::WriteBytes((source / "deck.toml").string(),
                          "[deck]\nid = \"night\"\nschema_version = \"1.0\"\nname = \"Night Garden\"\n"
                          "version = \"1.0\"\n\n[remap_major_arcana]\n08 = \"justice\"\n11 = \"strength\"\n");
    storetest::WriteBytes((source / "names/en.toml").string(), "[major_arcana]\n00 = \"The Wanderer\"\n");
    for (int i = 0; i < importer::kMajorCount; ++i)
        storetest::WriteBytes((source / Format("h512/major_arcana/%02d.png", i)).string(), Png(4 + i, 6));
    storetest::WriteBytes((source / "scalable/major_arcana/00.svg").string(), Svg("only one"));

    importer::ImportResult result;
    ASSERT_TRUE(importer::ImportDeck({source, data, "", ""}, &result)) << result.problems.front().message;
    EXPECT_EQ(result.deckName, "Night Garden");
    EXPECT_EQ(result.cardCount, 22);
    EXPECT_TRUE(std::filesystem::is_symlink(data / "data/decks.dat"));
    EXPECT_EQ(storetest::ReadEncoded((dir.path() / "decks-list.dat").string()),
              (std::vector<std::string>{"2", "Alpha", "Night Garden"}));
    storetest::MessageLog messages;
    DeckRecord deck;
    {
        storetest::ChangeDir in(data);
        ASSERT_TRUE(deck.LoadIndex("Night Garden"));
    }
    ASSERT_EQ(deck.cardCount, 22);
    EXPECT_EQ(deck.CardAt(0).name, "The Wanderer");
    EXPECT_EQ(deck.CardAt(11).name, "Justice");
    // Justice is this deck's eighth trump: its picture is 08.png.
    EXPECT_EQ(storetest::ReadBytes((data / "decks/Night Garden/11.png").string()),
              storetest::ReadBytes((source / "h512/major_arcana/08.png").string()));
    int status = -1;
    const std::string check = RunCommand(Tool() + " check " + Quote(data.string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << check;
}

// Fails one step: writing the reversed picture named, or the rename that
// puts the new deck list in place.
class FailingFileSystem : public FileSystem {
public:
    explicit FailingFileSystem(std::string failingWrite) : failingWrite_(std::move(failingWrite)) {}
    int Open(const std::string& path, int flags, mode_t mode) override {
        if (!failingWrite_.empty() && path.ends_with(failingWrite_)) {
            errno = ENOSPC;
            return -1;
        }
        return FileSystem::Open(path, flags, mode);
    }
    int Rename(const std::string& from, const std::string& to) override {
        if (failingWrite_.empty() && to.ends_with("decks.dat")) {
            errno = EIO;
            return -1;
        }
        return FileSystem::Rename(from, to);
    }

private:
    std::string failingWrite_;
};

TEST(ImportDeck, RefusesBadInputNamingTheFileAndChangesNothing) {
    TempDir dir;
    const std::filesystem::path data = dir.path() / "data-folder", source = dir.path() / "cards";
    storetest::WriteExampleData(data);
    const auto before = Snapshot(data);
    struct Case {
        const char* what;
        std::function<void(importer::ImportRequest&)> arrange;
        std::string file;     // the end of the file named
        std::string message;  // a piece of what is said
        std::string failingWrite = "-";
    };
    auto put = [&](const std::string& name, const std::string& bytes) {
        storetest::WriteBytes((source / name).string(), bytes);
    };
    const std::vector<Case> cases = {
        {"a picture that is not what its name says", [&](auto&) { put("05-card.svg", Png(2, 2)); },
         "05-card.svg", "is a PNG picture, not SVG as its name says"},
        {"a 200 MB picture", [&](auto&) { std::filesystem::resize_file(source / "07-card.svg", 200u << 20); },
         "07-card.svg", "is 200.0 MB; a card picture may be at most 20 MB"},
        {"an unreadable picture", [&](auto&) {
             std::filesystem::remove(source / "09-card.svg");
             put("09-card.jpg", Jpeg(16, 16, TJSAMP_420).substr(0, 200));
         }, "09-card.jpg", "not a readable JPEG picture"},
        {"a picture with a script", [&](auto&) { put("03-card.svg", "<svg xmlns='http://www.w3.org/2000/svg'><script>"
                                                                   "alert(1)</script></svg>"); },
         "03-card.svg", "holds a <script> element"},
        {"a missing card", [&](auto&) { std::filesystem::remove(source / "21-card.svg"); }, "cards",
         "no picture of The World (name it 21-world.jpg"},
        {"two pictures of one card", [&](auto&) { put("0-fool.png", Png(2, 2)); }, "00-card.svg",
         "a second picture of The Fool, beside"},
        {"some minor cards only", [&](auto&) { put("cups-ace.png", Png(2, 2)); }, "cards",
         "no picture of Ace of Wands"},
        {"a name with a path separator", [&](auto& r) { r.name = "a/b"; }, "--name", "holds a path separator"},
        {"a name with markup", [&](auto& r) { r.name = "<b>Bold</b>"; }, "--name", "holds markup (<)"},
        {"an existing deck's name", [&](auto& r) { r.name = "ALPHA"; }, "decks/Alpha", "is already there"},
        {"a deck.toml that is not TOML", [&](auto&) { put("deck.toml", "[!deck]\nname = 1\n"); }, "deck.toml:1",
         "not TOML"},
        {"a deck.toml that names no cards", [&](auto&) { put("deck.toml", "[deck]\nname = \"Empty\"\n"); }, "cards",
         "holds a deck.toml but no card pictures"},
        {"meanings from no deck", [&](auto& r) { r.meaningsDeck = "../Alpha"; }, "--meanings", "no deck \"../Alpha\""},
        {"a picture that cannot be written", [](auto&) {}, "W1r.jpg", "cannot be written", "W1r.jpg"},
        {"a deck list that cannot be written", [](auto&) {}, "data/decks.dat", "cannot be written", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(source);
        if (c.failingWrite == "-") WriteMajors(source); else WriteWholeDeck(source);
        importer::ImportRequest request{source, data, "Fine", ""};
        c.arrange(request);
        importer::ImportResult result;
        FailingFileSystem fileSystem(c.failingWrite == "-" ? std::string() : c.failingWrite);
        FileSystem& used = c.failingWrite == "-" ? RealFileSystem() : fileSystem;
        EXPECT_FALSE(importer::ImportDeck(request, &result, used));
        bool named = false;
        for (const auto& problem : result.problems) {
            const std::string at = problem.file + (problem.line > 0 ? ":" + std::to_string(problem.line) : "");
            named = named || (at.ends_with(c.file) && problem.message.find(c.message) != std::string::npos);
        }
        EXPECT_TRUE(named) << (result.problems.empty() ? "no problem" : result.problems.front().file + ": " +
                                                                            result.problems.front().message);
        EXPECT_EQ(Snapshot(data), before);
    }
}

}  // namespace
}  // namespace sw
