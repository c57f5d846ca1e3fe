// The pieces of the platform layer that decide what reaches a handler and
// what the server hands out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/random.h"
#include "core/text.h"
#include "platform/element.h"
#include "platform/web_server.h"

namespace sw {
namespace {

using platform::Document;
using platform::Element;
using platform::Variant;
namespace fs = std::filesystem;

Element Make(const std::string& tag, std::vector<std::pair<std::string, Variant>> attributes) {
    Element element(tag);
    for (auto& [name, value] : attributes) element.SetAttribute(name, value);
    return element;
}

TEST(Generator, KeepsTheCLibraryContract) {
    RandomGenerator generator;
    generator.Seed(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected) EXPECT_EQ(generator.Next(), value);
    generator.Seed(0xFFFFFFFFu);
    for (int i = 0; i < 10000; ++i) {
        int value = generator.Next();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, kRandMax);
    }
}

TEST(GetElement, FindsByIdOrNameInAnyCaseAndNothingWhenAmbiguous) {
    Document document;
    document.elements = {
        Make("INPUT", {{"name", Variant("question")}, {"value", Variant("Will it rain?")}}),
        Make("TD", {{"id", Variant("grid")}}),
        Make("TD", {{"id", Variant("grid")}}),
        Make("INPUT", {{"name", Variant("reverse")}, {"checked", Variant(true)}}),
        Make("INPUT", {{"id", Variant("other")}, {"checked", Variant(false)}}),
        Make("SELECT", {{"ID", Variant("Deck")}, {"value", Variant("2")}}),
    };
    auto question = document.Find("Question");
    ASSERT_TRUE(question);
    EXPECT_EQ(question->Text("VALUE"), "Will it rain?");
    EXPECT_FALSE(document.Find("grid")) << "two matches give none";
    EXPECT_FALSE(document.Find("missing"));
    EXPECT_EQ(document.Find("reverse")->Text("checked"), "-1");
    EXPECT_EQ(document.Find("other")->Text("checked"), "0");
    EXPECT_EQ(document.Find("deck")->Text("value"), "2");
}

TEST(VariantToText, ConvertsLikeTheOriginalControl) {
    EXPECT_EQ(platform::VariantToText(Variant("text")), "text");
    EXPECT_EQ(platform::VariantToText(Variant(42LL)), "42");
    EXPECT_EQ(platform::VariantToText(Variant(-7LL)), "-7");
    EXPECT_EQ(platform::VariantToText(Variant(true)), "-1");
    EXPECT_EQ(platform::VariantToText(Variant(false)), "0");
    // A missing attribute reads as empty text instead of failing.
    EXPECT_EQ(platform::VariantToText(Variant()), "");
    EXPECT_EQ(Make("A", {}).Text("session"), "");
    std::string out = "old";
    platform::VariantToText(Variant("new"), out);
    EXPECT_EQ(out, "new");
}

TEST(CAtoi, FollowsTheCLibraryRules) {
    EXPECT_EQ(CAtoi("12"), 12);
    EXPECT_EQ(CAtoi("  -3x"), -3);
    EXPECT_EQ(CAtoi("+7 apples"), 7);
    EXPECT_EQ(CAtoi("abc"), 0);
    EXPECT_EQ(CAtoi(""), 0);
    EXPECT_EQ(CAtoi("99999999999999999999"), 2147483647);
    EXPECT_EQ(CAtoi("-99999999999999999999"), -2147483647 - 1);
}

TEST(EscapeHtml, KeepsUserTextAsTyped) {
    EXPECT_EQ(EscapeHtml("a friend's idea"), "a friend&#39;s idea");
    EXPECT_EQ(EscapeHtml("a<b & \"c\""), "a&lt;b &amp; &quot;c&quot;");
    EXPECT_EQ(EscapeHtml(""), "");
}

TEST(WebServerHelpers, SecretsCompareWholly) {
    EXPECT_TRUE(platform::ConstantTimeEquals("abcd", "abcd"));
    EXPECT_FALSE(platform::ConstantTimeEquals("abcd", "abce"));
    EXPECT_FALSE(platform::ConstantTimeEquals("abc", "abcd"));
    EXPECT_FALSE(platform::ConstantTimeEquals("", ""));
}

TEST(WebServerHelpers, PercentDecodingRejectsBrokenEscapesAndZeroBytes) {
    std::string path;
    EXPECT_TRUE(platform::PercentDecode("/decks/Classic%20Tarot/00.svg", &path));
    EXPECT_EQ(path, "/decks/Classic Tarot/00.svg");
    EXPECT_FALSE(platform::PercentDecode("/a%2", &path));
    EXPECT_FALSE(platform::PercentDecode("/a%zz", &path));
    EXPECT_FALSE(platform::PercentDecode("/a%00.gif", &path));
}

class PictureFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sagewend-pictures-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        fs::create_directories(root / "images");
        fs::create_directories(root / "images2");
        fs::create_directories(root / "decks" / "My Deck");
        fs::create_directories(root / "data");
        Write(root / "images" / "logo.gif");
        Write(root / "images2" / "other.gif");
        Write(root / "images" / "notes.txt");
        Write(root / "decks" / "My Deck" / "00.svg");
        Write(root / "decks" / "My Deck" / "index.dat");
        Write(root / "data" / "secret.gif");
        fs::create_symlink(root / "data" / "secret.gif", root / "images" / "link.gif");
        fs::create_directories(root / "images" / "folder.gif");
    }
    void TearDown() override { fs::remove_all(root); }
    static void Write(const fs::path& path) { std::ofstream(path) << "x"; }
    fs::path Resolve(const std::string& path) { return platform::ResolvePicture(root, path); }

    fs::path root;
};

TEST_F(PictureFolder, ServesOnlyPicturesInsideTheirFolders) {
    EXPECT_EQ(Resolve("images/logo.gif"), fs::canonical(root / "images" / "logo.gif"));
    EXPECT_EQ(Resolve("decks/My Deck/00.svg"), fs::canonical(root / "decks" / "My Deck" / "00.svg"));
    EXPECT_TRUE(Resolve("decks/My Deck/index.dat").empty()) << "not a picture";
    EXPECT_TRUE(Resolve("images/notes.txt").empty());
    EXPECT_TRUE(Resolve("images/../data/secret.gif").empty()) << "no way up";
    EXPECT_TRUE(Resolve("images/link.gif").empty()) << "no escape through links";
    EXPECT_TRUE(Resolve("images2/other.gif").empty()) << "a sibling with the same prefix";
    EXPECT_TRUE(Resolve("data/secret.gif").empty());
    EXPECT_TRUE(Resolve("images/folder.gif").empty()) << "directories are not files";
    EXPECT_TRUE(Resolve("images/missing.gif").empty());
    EXPECT_TRUE(Resolve("images\\logo.gif").empty());
}

// A deck folder that is a link to where the user keeps the deck shows its
// pictures; below it, links still may not lead out, and ".." never climbs.
TEST_F(PictureFolder, ServesALinkedDeckFolderAndNothingBeyondIt) {
    const fs::path elsewhere = root / "data" / "kept deck";
    fs::create_directories(elsewhere / "sub");
    Write(elsewhere / "00.jpg");
    Write(elsewhere / "sub" / "01.png");
    Write(elsewhere / "notes.txt");
    fs::create_symlink(elsewhere, root / "decks" / "Linked");
    fs::create_symlink(root / "data" / "secret.gif", elsewhere / "escape.gif");
    fs::create_symlink(root / "decks" / "My Deck" / "00.svg", elsewhere / "other.svg");

    EXPECT_EQ(Resolve("decks/Linked/00.jpg"), fs::canonical(elsewhere / "00.jpg"));
    EXPECT_EQ(Resolve("decks/Linked/sub/01.png"), fs::canonical(elsewhere / "sub" / "01.png"));
    EXPECT_TRUE(Resolve("decks/Linked/notes.txt").empty()) << "not a picture";
    EXPECT_TRUE(Resolve("decks/Linked/escape.gif").empty()) << "a link out of the deck folder";
    EXPECT_TRUE(Resolve("decks/Linked/other.svg").empty()) << "a link into another deck";
    EXPECT_TRUE(Resolve("decks/Linked/../../data/secret.gif").empty()) << "no way up";
    EXPECT_TRUE(Resolve("decks/Linked/sub/../00.jpg").empty()) << "no way up, even inside";
    EXPECT_TRUE(Resolve("decks/Linked").empty()) << "the folder itself";
    EXPECT_TRUE(Resolve("decks/Linked/sub").empty());
    // Pictures of ordinary deck folders, and a picture straight in decks/.
    Write(root / "decks" / "loose.gif");
    EXPECT_EQ(Resolve("decks/loose.gif"), fs::canonical(root / "decks" / "loose.gif"));
    EXPECT_EQ(Resolve("decks/My Deck/00.svg"), fs::canonical(root / "decks" / "My Deck" / "00.svg"));
}

}  // namespace
}  // namespace sw

#include "app/home_page.h"
#include "app/quote_table.h"

namespace sw {
namespace {

TEST(HomePage, ComposesTheLogoAndTheDrawnQuotation) {
    const Quote& quote = QuoteTable[41];
    std::string expected = "<TABLE align='center' width='400' border='0' height='100%'>";
    expected += "<TR><TD align=center style='font-size : 12pt;' valign='top'>";
    expected += "<BR><BR><img src='file:./images/logo.gif'><br><BR><BR><BR><BR><BR> ";
    expected += "<DIV  style='font-size : 12pt;' align='left'>";
    expected += std::string(quote.text) + "</DIV><BR><B><I>- " + quote.attribution + "</B>";
    expected += "</TD></TR></TABLE><BR>";
    EXPECT_EQ(RenderHomePage(41), expected);
}

}  // namespace
}  // namespace sw
