#include "core/resource_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "media/image/image_formats.h"
#include "media/media_registry.h"
#include "support/recording_prompts.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

class ResourceFolderTest : public ::testing::Test {
protected:
    void SetUp() override { res.Open(dir.path()); }
    void table(const std::string& text) { dir.write("res.txt", text); }

    test::ScratchDir dir;
    test::RecordingPrompts prompts;
    ResourceFolder res;
};

TEST_F(ResourceFolderTest, LinesSplitIntoIdAndVerbatimText) {
    table("greet   hello  big world\t\n"
          "bare\n"
          "\n"
          "   \n"
          "dup first\n"
          "crlf\tfrom a CR LF file\r\n"
          "fmt e_cant_open %s here\n"
          "dup second one\n"
          "last no line end");
    EXPECT_EQ(res.String("greet"), "hello  big world");
    EXPECT_EQ(res.String("bare"), "");
    EXPECT_EQ(res.String("dup"), "second one");  // the last line with the id wins
    EXPECT_EQ(res.String("crlf"), "from a CR LF file");
    EXPECT_EQ(res.String("fmt"), "e_cant_open %s here");
    EXPECT_EQ(res.String("last"), "no line end");
    // Ids are compared exactly.
    EXPECT_EQ(res.String("Greet"), kNullStringResource);
    EXPECT_EQ(res.String("gree"), kNullStringResource);
    EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST_F(ResourceFolderTest, LongLinesAreReadInPiecesOf2048) {
    // The first piece is "a " and 2046 y's; what follows is a line of its own.
    table("a " + std::string(2046, 'y') + "tail_id tail text\n" +
          "long " + std::string(3000, 'x') + "\n");
    EXPECT_EQ(res.String("a"), std::string(2046, 'y'));
    EXPECT_EQ(res.String("tail_id"), "tail text");
    EXPECT_EQ(res.String("long"), std::string(2048 - 5, 'x'));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ResourceFolderTest, MissingIdIsReportedEveryTimeAndNotCached) {
    table("known yes\n");
    EXPECT_EQ(res.String("nope"), "(null string resource)");
    EXPECT_EQ(res.StringCopy("nope"), "(null string resource)");
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0], "Cannot read string resource (nope)");
    EXPECT_EQ(prompts.messages[1], "Cannot read string resource (nope)");
    EXPECT_EQ(res.cachedStringCount(), 0u);

    // Once the id appears in the table it is found.
    table("known yes\nnope now here\n");
    EXPECT_EQ(res.String("nope"), "now here");
    EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST_F(ResourceFolderTest, UnreadableTableYieldsTheNullTextSilently) {
    EXPECT_EQ(res.String("title"), "(null string resource)");
    // A folder where the table should be cannot be read either.
    ASSERT_EQ(::mkdir(dir.file("res.txt").c_str(), 0700), 0);
    EXPECT_EQ(res.String("title"), "(null string resource)");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(res.cachedStringCount(), 0u);
}

TEST_F(ResourceFolderTest, CachedTextsAreSharedCopiesAreTheCallers) {
    table("title Studio\n");
    const std::string& a = res.String("title");
    const std::string& b = res.String("title");
    EXPECT_EQ(&a, &b);
    std::string c = res.StringCopy("title");
    c[0] = 'X';
    EXPECT_EQ(res.String("title"), "Studio");
    EXPECT_EQ(res.cachedStringCount(), 1u);

    // The cache answers without reading the table again, and references
    // handed out earlier survive the cache's growth.
    std::string many = "title Changed\n";
    for (int i = 0; i < 100; ++i) many += "id" + std::to_string(i) + " v" + std::to_string(i) + "\n";
    table(many);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(res.String("id" + std::to_string(i)), "v" + std::to_string(i));
    EXPECT_EQ(&res.String("title"), &a);
    EXPECT_EQ(a, "Studio");
}

TEST_F(ResourceFolderTest, ReopeningForgetsTheOldFolder) {
    table("title Old\n");
    EXPECT_EQ(res.String("title"), "Old");
    test::ScratchDir other;
    other.write("res.txt", "title New\n");
    EXPECT_TRUE(res.Open(other.path()));
    EXPECT_EQ(res.Path(), other.path());
    EXPECT_EQ(res.String("title"), "New");
}

TEST_F(ResourceFolderTest, ReadWholeGivesExactBytesOrNothing) {
    std::string bytes("PK\x03\x04\0\r\n\xff tail", 13);
    dir.write("tavlin.jar", bytes);
    auto got = res.ReadWhole("tavlin.jar");
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(got->begin(), got->end()), bytes);

    dir.write("empty.txt", "");
    auto empty = res.ReadWhole("empty.txt");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());

    EXPECT_FALSE(res.ReadWhole("menu.txt"));
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0700), 0);
    EXPECT_FALSE(res.ReadWhole("sub"));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ResourceFolderTest, PicturesAreCachedFailuresAreTriedAgain) {
    clearRegistry();
    registerImageFormats();
    EXPECT_EQ(res.Image("bmovie.png"), nullptr);
    dir.write("bmovie.png", "not a picture");
    EXPECT_EQ(res.Image("bmovie.png"), nullptr);
    EXPECT_EQ(res.Image("noformat.xyz"), nullptr);
    ASSERT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(prompts.messages[0], "Cannot read image resource (bmovie.png)");
    EXPECT_EQ(prompts.messages[1], "Cannot read image resource (bmovie.png)");
    EXPECT_EQ(prompts.messages[2], "Cannot read image resource (noformat.xyz)");
    EXPECT_EQ(res.cachedImageCount(), 0u);

    // Once the file is good it loads, and later requests share the same picture
    // even after it changes on disk.
    Image red(3, 2);
    red.pixels.assign(6, 0xFFFF0000u);
    ASSERT_TRUE(PngFormat().write(dir.file("bmovie.png"), red));
    const Image* a = res.Image("bmovie.png");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->width, 3);
    EXPECT_EQ(a->height, 2);
    EXPECT_EQ(a->at(2, 1), 0xFFFF0000u);
    ASSERT_TRUE(PngFormat().write(dir.file("bmovie.png"), Image(5, 5)));
    ASSERT_TRUE(PngFormat().write(dir.file("bimage.png"), Image(4, 4)));
    const Image* b = res.Image("bimage.png");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(res.Image("bmovie.png"), a);
    EXPECT_EQ(a->width, 3);
    EXPECT_EQ(res.Image("bimage.png"), b);
    // Names are compared exactly.
    EXPECT_EQ(res.Image("BMOVIE.png"), nullptr);
    EXPECT_EQ(res.cachedImageCount(), 2u);
    EXPECT_EQ(prompts.messages.size(), 4u);
    clearRegistry();
}

}  // namespace
}  // namespace tavlin
