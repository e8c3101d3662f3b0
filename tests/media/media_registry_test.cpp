#include "media/media_registry.h"

#include <gtest/gtest.h>

namespace tavlin {
namespace {

// A video format that remembers which paths it was asked to open and answers
// only when told to.
class FakeVideoFormat : public VideoFormat {
public:
    FakeVideoFormat(std::string desc, std::string pat, bool opens, std::vector<std::string>* log)
        : desc_(std::move(desc)), pat_(std::move(pat)), opens_(opens), log_(log) {}
    std::string description() const override { return desc_; }
    std::string pattern() const override { return pat_; }
    std::unique_ptr<VideoSource> open(const std::string& path) override {
        log_->push_back(desc_ + ":" + path);
        if (!opens_) return nullptr;
        struct Src : VideoSource {
            bool load(const std::string&) override { return true; }
            const Image* frameAt(int32_t) override { return &current; }
        };
        auto s = std::make_unique<Src>();
        s->frameCount = 7;
        return s;
    }

private:
    std::string desc_, pat_;
    bool opens_;
    std::vector<std::string>* log_;
};

class FakeImageFormat : public ImageFormat {
public:
    FakeImageFormat(std::string desc, std::string pat) : desc_(std::move(desc)), pat_(std::move(pat)) {}
    std::string description() const override { return desc_; }
    std::string pattern() const override { return pat_; }
    std::unique_ptr<Image> read(const std::string&) override { return std::make_unique<Image>(3, 2); }
    bool write(const std::string&, const Image&) override { return true; }

private:
    std::string desc_, pat_;
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { clearRegistry(); }
    void TearDown() override { clearRegistry(); }
    std::vector<std::string> log;
    void registerVideos(bool mpegOpens) {
        registerVideoFormat(std::make_unique<FakeVideoFormat>("AVI", "*.avi", false, &log));
        registerVideoFormat(std::make_unique<FakeVideoFormat>("MPEG", "*.mpg;*.mpeg;*.mpv;*.m2v", mpegOpens, &log));
        registerVideoFormat(std::make_unique<FakeVideoFormat>("LIST", "v*.txt", false, &log));
        registerVideoFormat(std::make_unique<FakeVideoFormat>("DS", "*.avi;*.mpg;*.mpeg", true, &log));
    }
};

TEST(PathExtension, FromLastDotToEnd) {
    EXPECT_EQ(pathExtension("clip.MPG"), ".MPG");
    EXPECT_EQ(pathExtension("a.b/c"), ".b/c");
    EXPECT_EQ(pathExtension("/no/dot/here"), "");
    EXPECT_EQ(pathExtension("x.tar.gz"), ".gz");
}

TEST(PatternMatching, SubstringWithoutCase) {
    EXPECT_TRUE(patternMatches("*.jpg;*.jpeg", "photo.JPEG"));
    EXPECT_TRUE(patternMatches("*.jpg;*.jpeg", "photo.jpg"));
    // Any .txt file is offered to the frame-list pattern, whatever its name.
    EXPECT_TRUE(patternMatches("v*.txt", "notes.txt"));
    EXPECT_FALSE(patternMatches("*.png", "a.b/c"));
    EXPECT_FALSE(patternMatches("*.png", "noextension"));
}

TEST_F(RegistryTest, VideoFallsThroughToNextMatchingFormat) {
    registerVideos(false);
    auto src = openVideo("/x/clip.MPG");
    ASSERT_TRUE(src);
    EXPECT_EQ(src->frameCount, 7);
    EXPECT_EQ(log, (std::vector<std::string>{"MPEG:/x/clip.MPG", "DS:/x/clip.MPG"}));
}

TEST_F(RegistryTest, FirstFormatThatOpensWins) {
    registerVideos(true);
    ASSERT_TRUE(openVideo("clip.mpeg"));
    EXPECT_EQ(log, (std::vector<std::string>{"MPEG:clip.mpeg"}));
    log.clear();
    EXPECT_FALSE(openVideo("notes.txt"));
    EXPECT_EQ(log, (std::vector<std::string>{"LIST:notes.txt"}));
    log.clear();
    EXPECT_FALSE(openVideo("a.b/c"));
    EXPECT_TRUE(log.empty());
}

TEST_F(RegistryTest, FilterListsAllPatternsThenPairs) {
    registerVideos(true);
    std::string expected = std::string("All Video") + '\0' +
                           "*.avi;*.mpg;*.mpeg;*.mpv;*.m2v;v*.txt;*.avi;*.mpg;*.mpeg;" + '\0' + "AVI" + '\0' +
                           "*.avi" + '\0' + "MPEG" + '\0' + "*.mpg;*.mpeg;*.mpv;*.m2v" + '\0' + "LIST" + '\0' +
                           "v*.txt" + '\0' + "DS" + '\0' + "*.avi;*.mpg;*.mpeg" + '\0' + '\0';
    EXPECT_EQ(videoFilter(), expected);
}

TEST_F(RegistryTest, RegistrationAfterFilterRebuildsIt) {
    registerImageFormat(std::make_unique<FakeImageFormat>("PNG image (*.png)", "*.png"));
    std::string before = imageFilter();
    EXPECT_EQ(before, std::string("All Image") + '\0' + "*.png;" + '\0' + "PNG image (*.png)" + '\0' + "*.png" +
                          '\0' + '\0');
    registerImageFormat(std::make_unique<FakeImageFormat>("GIF image (*.gif)", "*.gif"));
    EXPECT_NE(imageFilter().find("*.png;*.gif;"), std::string::npos);
    EXPECT_NE(imageFilter().find("GIF image (*.gif)"), std::string::npos);
}

TEST_F(RegistryTest, ImageReadUsesOnlyFirstMatchingFormat) {
    registerImageFormat(std::make_unique<FakeImageFormat>("A", "*.png"));
    auto img = readImage("x.PNG");
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 3);
    EXPECT_FALSE(readImage("x.bmp"));
    EXPECT_EQ(findAudioFormat("x.au"), nullptr);
    EXPECT_FALSE(readSound("x.au"));
}

}  // namespace
}  // namespace tavlin
