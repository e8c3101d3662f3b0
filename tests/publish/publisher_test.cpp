// Whole publications of documents made here (an FFmpeg video, PNG, JPEG and
// GIF pictures, WAV and AU sounds, a drag path, a disabled object and a
// switched-off event kind), checked file by file: the content file read
// back, the frame list decoded again, both archives opened with Info-ZIP's
// unzip, the page bytes; then repeated runs, refusals, Stop, and faults.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "base/paths.h"
#include "base/safe_write.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "document/media_recount.h"
#include "media/audio/au_format.h"
#include "publication.h"
#include "publish/album.h"
#include "publish/content_file.h"
#include "publish/page_template.h"
#include "publish/publish_run.h"
#include "publish/publisher.h"
#include "support/recording_prompts.h"
#include "test_videos.h"
#include "zip_reader.h"
#include "ziparchive/zip_writer.h"

namespace tavlin {
namespace {

using namespace test;
namespace fs = std::filesystem;

std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> out;
    for (auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string() + (e.is_directory() ? "/" : ""));
    return out;
}

std::string bytesOf(const std::string& path) { return readAll(path); }

// A 16-bit mono 8000 Hz PCM WAV file written by hand.
std::string writeWav(const ScratchDir& dir, const std::string& name, int samples) {
    auto le = [](std::string& s, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) s += char((v >> (8 * i)) & 0xFF);
    };
    std::string data;
    for (int i = 0; i < samples; ++i) le(data, uint16_t(int16_t(std::lround(8000 * std::sin(i * 0.3)))), 2);
    std::string f = "RIFF";
    le(f, uint32_t(36 + data.size()), 4);
    f += "WAVEfmt ";
    le(f, 16, 4), le(f, 1, 2), le(f, 1, 2), le(f, 8000, 4), le(f, 16000, 4), le(f, 2, 2), le(f, 16, 2);
    f += "data";
    le(f, uint32_t(data.size()), 4);
    return dir.write(name, f + data);
}

// Records every stretch of work, and stops when told to.
class RecordingProgress : public Progress {
public:
    void begin(const std::string& title) override { titles.push_back(title); }
    bool update(int64_t, int64_t) override {
        if (stopAfter >= 0 && updates++ >= stopAfter) stopped_ = true;
        return !stopped_;
    }
    bool stopped() const override { return stopped_; }
    std::vector<std::string> titles;
    int stopAfter = -1;
    int updates = 0;
    bool stopped_ = false;
};

class TestHost : public PublishHost {
public:
    Progress& progress() override { return progress_; }
    bool confirmErase(const std::vector<std::string>& names) override {
        offered.push_back(names);
        return answer;
    }
    void openPage(const std::string& folder) override { pages.push_back(folder); }
    RecordingProgress progress_;
    std::vector<std::vector<std::string>> offered;
    std::vector<std::string> pages;
    bool answer = true;
};

// A scratch resource folder: the shipped string table and a viewer archive.
class PublishFixture : public ::testing::Test {
protected:
    void SetUp() override {
        registerMedia();
        registerVideoFormats();
        const char* src = std::getenv("TAVLIN_TEST_SRC");
        ASSERT_NE(src, nullptr) << "TAVLIN_TEST_SRC names the source tree";
        sourceTree = src;
        fs::create_directory(res.file("res"));
        fs::copy_file(joinPath(sourceTree, "res/res.txt"), res.file("res/res.txt"));
        ASSERT_TRUE(writeZipArchive(res.file("res/tavlin.jar"), {{"Tavlin.class", {}, "viewer"}}));
        resources().Open(res.file("res"));
        settings().Load(res.file("tavlin.rc"));
        folder = out.file("site");
    }
    void TearDown() override { resources().Open(""); }
    std::string templateFolder() const { return joinPath(sourceTree, "template/simple"); }

    std::string sourceTree;
    ScratchDir res, src, out;
    std::string folder;
};

// The document of the whole-publication tests; see the file comment.
struct Project {
    std::unique_ptr<Document> doc;
    std::string clip, logo, photo, normal, pressed, spare, unused, wav, au;
    ImageResource* unusedR = nullptr;
};

Project makeProject(const ScratchDir& src) {
    Project p;
    p.clip = src.file("clip.avi");
    EXPECT_TRUE(makeLavfiVideo(p.clip, "testsrc=size=160x120:rate=25", 12));
    p.unused = writePicture(src, "unused.png", 0xFF00FF00);
    p.logo = writePicture(src, "logo.png", 0xFF336699, 12, 10);
    p.photo = writePicture(src, "Photo.JPG", 0xFFCC8844, 16, 16);
    p.normal = writePicture(src, "normal.png", 0xFF112233, 20, 20);
    p.pressed = writePicture(src, "pressed.gif", 0xFFFF0000, 20, 20);
    p.spare = writePicture(src, "spare.gif", 0xFF00FFFF);
    p.wav = writeWav(src, "beep.wav", 800);
    p.au = writeSound(src, "tone.au", 600);

    p.doc = std::make_unique<Document>(160, 120);
    Document& doc = *p.doc;
    doc.setLength(12);
    doc.jpegQuality = 80;
    doc.diffQuality = 70;
    doc.setFileName(src.file("tour.tvl"));
    auto* clip = loaded<VideoResource>(doc, MediaKind::Video, p.clip);
    p.unusedR = loaded<ImageResource>(doc, MediaKind::Image, p.unused);
    auto* logo = loaded<ImageResource>(doc, MediaKind::Image, p.logo);
    auto* photo = loaded<ImageResource>(doc, MediaKind::Image, p.photo);
    auto* normal = loaded<ImageResource>(doc, MediaKind::Image, p.normal);
    auto* pressed = loaded<ImageResource>(doc, MediaKind::Image, p.pressed);
    auto* spare = loaded<ImageResource>(doc, MediaKind::Image, p.spare);
    auto* wav = loaded<SoundResource>(doc, MediaKind::Sound, p.wav);
    auto* au = loaded<SoundResource>(doc, MediaKind::Sound, p.au);
    EXPECT_TRUE(clip && logo && photo && normal && pressed && spare && wav && au);

    append<VideoObject>(doc, "novideo", 0, 0, 16, 16, {{0, 11}});  // counts, writes nothing
    append<VideoObject>(doc, "video0", 0, 0, 80, 60, {{0, 11}})->video = clip;
    auto* off = append<VideoObject>(doc, "video1", 80, 60, 80, 60, {{0, 11}});
    off->video = clip;
    off->enabled = 0;
    append<ImageObject>(doc, "logo", 90, 5, 12, 10, {{0, 11}})->picture = logo;
    append<ImageObject>(doc, "photo", 110, 5, 16, 16, {{0, 11}})->picture = photo;
    auto* hidden = append<ImageObject>(doc, "spare", 5, 90, 4, 3, {{0, 11}});
    hidden->picture = spare;
    hidden->enabled = 0;
    auto* path = append<DragPath>(doc, "dpath0", 10, 70, 20, 20, {{0, 11}});
    path->statePictures = {normal, pressed, nullptr};
    path->addPoint(10, 70, 0, true);
    path->addPoint(150, 70, 11, true);
    path->computeCross();
    addEvent<PlayEvent>(doc, kPlayEvent, 0, 11, 0);
    addEvent<SoundEvent>(doc, kSoundEvent, 2, 3, 0)->sound = wav;
    addEvent<SoundEvent>(doc, kSoundEvent, 5, 6, 0)->sound = au;
    addEvent<ParamEvent>(doc, kParamEvent, 7, 8, 0)->text = "x=1";
    doc.kindSwitch[kParamEvent] = 0;
    doc.recomputeFrameCodes();
    return p;
}

double meanDifference(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int s = 0; s < 24; s += 8) sum += std::abs(int((a.pixels[i] >> s) & 0xFF) - int((b.pixels[i] >> s) & 0xFF));
    return sum / (3.0 * double(a.pixels.size()));
}

TEST_F(PublishFixture, AWholePublicationHoldsEveryFileAndReadsBack) {
    if (!haveUnzip()) GTEST_SKIP() << "unzip is not installed (scripts/install-deps)";
    Project p = makeProject(src);
    Document& doc = *p.doc;
    const std::string photoBytes = bytesOf(p.photo), auBytes = bytesOf(p.au);
    RecordingPrompts prompts;
    prompts.answers = {0};  // create the folder
    TestHost host;
    Settings s;
    s.Load(res.file("own.rc"));
    Album a(s);
    PublishRequest request{folder + "/", templateFolder(), 80, 70, kAllSteps, "2004-2-29", true, true};
    PublishOutcome outcome = startPublishing(&doc, request, host, &s, &a);
    ASSERT_TRUE(outcome.ok()) << outcome.reason;
    EXPECT_EQ(outcome.folder, folder);
    EXPECT_TRUE(host.offered.empty()) << "an empty folder offers nothing for deletion";
    EXPECT_EQ(doc.publishDate, 40229);
    EXPECT_EQ(host.pages, std::vector<std::string>{folder});

    // The unused picture is gone from the document; the one only a disabled
    // object uses stays, behind the published ones.
    ASSERT_EQ(doc.imageResources.size(), 5u);
    for (auto& r : doc.imageResources) EXPECT_NE(r->name, p.unused);
    EXPECT_EQ(doc.imageResources[4]->name, p.spare);

    std::set<std::string> files = filesIn(folder);
    std::set<std::string> frames;
    for (const std::string& f : files)
        if (f.rfind("v0", 0) == 0 && f.size() > 4 && f.substr(f.size() - 4) == ".jpg") frames.insert(f);
    EXPECT_FALSE(frames.empty());
    std::set<std::string> expected = {"v0.txt", "i0.gif", "i1.JPG", "i2.gif", "i3.gif", "a0.au", "a1.au",
                                      "tavlin.txt", "data.jar", "tavlin.jar", "thumb.jpg", "index.html", "site.zip"};
    expected.insert(frames.begin(), frames.end());
    EXPECT_EQ(files, expected);

    // Copies are byte for byte; the others went through the writers.
    EXPECT_EQ(bytesOf(folder + "/i1.JPG"), photoBytes);
    EXPECT_EQ(bytesOf(folder + "/a1.au"), auBytes);
    EXPECT_EQ(bytesOf(folder + "/tavlin.jar"), bytesOf(res.file("res/tavlin.jar")));
    auto logo = GifFormat().read(folder + "/i0.gif");
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->pixels[0] & 0xFFFFFF, 0x336699u);
    auto beep = AuFormat().read(folder + "/a0.au");
    ASSERT_TRUE(beep);
    EXPECT_EQ(beep->sampleCount(), 800u);
    auto thumb = JpegFormat().read(folder + "/thumb.jpg");
    ASSERT_TRUE(thumb);
    EXPECT_EQ(thumb->width, 160);
    EXPECT_EQ(thumb->height, 120);

    // The frame list gives back the video's frames at the object's size.
    auto list = openVideo(folder + "/v0.txt");
    auto clip = openVideo(p.clip);
    ASSERT_TRUE(list && clip);
    EXPECT_EQ(list->frameCount, 12);
    for (int32_t f : {0, 5, 11}) {
        const Image* got = list->frameAt(f);
        const Image* want = clip->frameAt(f);
        ASSERT_TRUE(got && want);
        auto scaled = scaleAveraged(*want, 80, 60);
        EXPECT_LT(meanDifference(*got, *scaled), 12.0) << "frame " << f;
    }

    // The content file names what was published and reads back.
    ContentDescription c;
    ASSERT_TRUE(readContentFile(folder + "/tavlin.txt", c).ok());
    EXPECT_EQ(c.publishDate, 40229u);
    EXPECT_EQ(c.videoCount, 2);
    EXPECT_EQ(c.pictureNames, (std::vector<std::string>{"i0.gif", "i1.JPG", "i2.gif", "i3.gif"}));
    EXPECT_EQ(c.soundNames, (std::vector<std::string>{"a0.au", "a1.au"}));
    ASSERT_EQ(c.objects.size(), 5u);
    EXPECT_EQ(c.objects[0].media, -1);
    EXPECT_EQ(c.objects[1].media, 0);
    ASSERT_EQ(c.events.size(), 3u) << "param events are switched off";
    Document back(0, 0);
    ASSERT_TRUE(loadContentFile(folder + "/tavlin.txt", back).ok());
    EXPECT_TRUE(prompts.messages.size() <= 1) << "nothing is missing";
    ASSERT_EQ(back.objects.size(), 5u);
    auto* backPhoto = dynamic_cast<ImageObject*>(back.objects[3].get());
    ASSERT_TRUE(backPhoto && backPhoto->picture);
    EXPECT_EQ(backPhoto->picture->name, folder + "/i1.JPG");
    auto* backPath = dynamic_cast<DragPath*>(back.objects[4].get());
    ASSERT_TRUE(backPath && backPath->statePictures[1]);
    EXPECT_EQ(backPath->statePictures[1]->name, folder + "/i3.gif");

    // data.jar: the manifest, then the published files pattern by pattern.
    std::vector<std::string> jar = {"META-INF/MANIFEST.MF", "tavlin.txt", "v0.txt"};
    jar.insert(jar.end(), frames.begin(), frames.end());
    for (const char* n : {"i1.JPG", "i0.gif", "i2.gif", "i3.gif", "a0.au", "a1.au"}) jar.push_back(n);
    EXPECT_EQ(zipNames(folder + "/data.jar"), jar);
    EXPECT_TRUE(zipTestsClean(folder + "/data.jar"));
    EXPECT_EQ(zipEntry(folder + "/data.jar", "META-INF/MANIFEST.MF"), "Manifest-Version: 1.0\r\n");
    EXPECT_EQ(zipEntry(folder + "/data.jar", "tavlin.txt"), bytesOf(folder + "/tavlin.txt"));
    EXPECT_NE(zipMethods(folder + "/data.jar").find("Defl:N"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder + "/META-INF"));

    // The folder ZIP holds the folder under its own name, and not itself.
    std::vector<std::string> zipped = zipNames(folder + "/site.zip");
    ASSERT_FALSE(zipped.empty());
    EXPECT_EQ(zipped[0], "site/");
    EXPECT_EQ(zipped.size(), files.size());  // every file but the ZIP, and the folder entry
    EXPECT_EQ(std::count(zipped.begin(), zipped.end(), "site/site.zip"), 0);
    EXPECT_TRUE(zipTestsClean(folder + "/site.zip"));
    EXPECT_EQ(zipEntry(folder + "/site.zip", "site/i1.JPG"), photoBytes);

    // The page: the template's placeholders filled, CR LF line ends, the
    // archive list naming data.jar.
    std::string page = bytesOf(folder + "/index.html");
    EXPECT_NE(page.find("<title>tour</title>\r\n"), std::string::npos);
    EXPECT_NE(page.find(toPageLineEnds(appletBlock(160, 120, true))), std::string::npos);
    EXPECT_NE(page.find("archive=\"tavlin.jar,data.jar\">\r\n<PARAM NAME=PRELOAD VALUE=TRUE>\r\n"), std::string::npos);
    EXPECT_EQ(page.find('$'), std::string::npos);
    EXPECT_EQ(page.find("\n\n"), std::string::npos);

    // Progress came for every long stretch.
    std::string titles;
    for (auto& t : host.progress_.titles) titles += t + "|";
    for (const char* t : {"Frames of video0", "Pictures", "Sounds", "Packing data.jar", "Packing site.zip"})
        EXPECT_NE(titles.find(t), std::string::npos) << t << " in " << titles;

    // The choices were stored, and the publication recorded in the album.
    EXPECT_EQ(s.Get("last_web_dir"), folder);
    EXPECT_EQ(s.Get("param_zip"), "1");
    EXPECT_EQ(s.Get("param_thumb"), "1");
    EXPECT_EQ(s.Get("rdst0"), folder);
    EXPECT_EQ(s.Get("rsrc0"), src.file("tour.tvl"));
    EXPECT_EQ(doc.lastPublishFolder, folder);

    // The project's own media are untouched.
    EXPECT_EQ(bytesOf(p.photo), photoBytes);
    EXPECT_EQ(bytesOf(p.au), auBytes);

    // A second run offers the earlier files, and on yes writes them again.
    PublishOutcome again = startPublishing(&doc, request, host, &s, &a);
    ASSERT_TRUE(again.ok()) << again.reason;
    ASSERT_EQ(host.offered.size(), 1u);
    std::vector<std::string> offered = host.offered[0];
    EXPECT_EQ(offered.front(), *frames.begin());
    EXPECT_EQ(std::count(offered.begin(), offered.end(), "site.zip"), 0) << "ZIPs are not the run's files";
    EXPECT_EQ(offered.back(), "index.html");
    EXPECT_EQ(a.entries().size(), 1u) << "publishing twice to a folder keeps one album entry";
}

TEST_F(PublishFixture, DecliningTheEraseWritesNothingAndNoStepShowsNothing) {
    Project p = makeProject(src);
    fs::create_directory(folder);
    std::string old = "old page";
    ASSERT_TRUE(writeFileSafely(folder + "/index.htm", old).ok());
    ASSERT_TRUE(writeFileSafely(folder + "/index.html", old).ok());
    ASSERT_TRUE(writeFileSafely(folder + "/i0.gif", old).ok());
    ASSERT_TRUE(writeFileSafely(folder + "/notes.txt", old).ok());
    TestHost host;
    host.answer = false;
    RecordingPrompts prompts;

    // With only the page chosen, only the pages are offered; declining stops
    // the run before anything is written.
    Publisher publisher(folder, *p.doc, host);
    StepResult r = publisher.run(kStepPage, 0, templateFolder());
    EXPECT_FALSE(r);
    ASSERT_EQ(host.offered.size(), 1u);
    EXPECT_EQ(host.offered[0], (std::vector<std::string>{"index.htm", "index.html"}));
    EXPECT_EQ(bytesOf(folder + "/index.html"), old);

    // No step: nothing offered, nothing run, the size check still applies.
    PublishRequest none{folder, templateFolder(), 75, 75, 0, "", false, false};
    PublishOutcome o = startPublishing(p.doc.get(), none, host, nullptr, nullptr);
    EXPECT_TRUE(o.ok()) << o.reason;
    EXPECT_EQ(host.offered.size(), 1u);
    EXPECT_EQ(o.contentBytes, int64_t(4 * old.size()));
    EXPECT_EQ(filesIn(folder), (std::set<std::string>{"index.htm", "index.html", "i0.gif", "notes.txt"}));
}

TEST_F(PublishFixture, TheSizeWarningComesAtTheLimitItself) {
    fs::create_directory(folder);
    Document doc(20, 20);
    RecordingPrompts prompts;
    TestHost host;
    int64_t limit = settingsNumber(resources().StringCopy("max_content_sz"));
    ASSERT_GT(limit, 0);
    ASSERT_TRUE(writeFileSafely(folder + "/big.bin", std::string(size_t(limit - 1), 'x')).ok());
    ASSERT_TRUE(writeFileSafely(folder + "/left.jar", std::string(100, 'x')).ok());  // archives do not count
    fs::create_directory(folder + "/sub");
    PublishRequest none{folder, templateFolder(), 75, 75, 0, "", false, false};
    EXPECT_FALSE(startPublishing(&doc, none, host, nullptr, nullptr).contentLarge);
    ASSERT_TRUE(writeFileSafely(folder + "/one.bin", "x").ok());
    PublishOutcome o = startPublishing(&doc, none, host, nullptr, nullptr);
    EXPECT_TRUE(o.contentLarge);
    EXPECT_EQ(prompts.messages.back(), resources().StringCopy("w_content_large"));
}

TEST_F(PublishFixture, StartingRefusesBadFoldersWithTheirMessages) {
    Document doc(20, 20);
    RecordingPrompts prompts;
    TestHost host;
    for (const char* text : {"", "/", "relative/site", "site"}) {
        PublishRequest r{text, templateFolder(), 75, 75, kStepContent, "", false, false};
        PublishOutcome o = startPublishing(&doc, r, host, nullptr, nullptr);
        EXPECT_EQ(o.status, PublishStatus::Refused) << text;
        EXPECT_EQ(prompts.messages.back(), resources().StringCopy("e_invalid_dir")) << text;
    }
    // A missing folder is created only when the author agrees.
    prompts.answers = {1};
    PublishRequest r{folder, templateFolder(), 75, 75, kStepContent, "", false, false};
    EXPECT_EQ(startPublishing(&doc, r, host, nullptr, nullptr).status, PublishStatus::Refused);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(prompts.messages.back(), resources().StringCopy("create_dir?"));
    // A folder that cannot be made.
    ASSERT_TRUE(writeFileSafely(out.file("file"), "x").ok());
    prompts.answers = {0};
    r.folderText = out.file("file") + "/site";
    EXPECT_EQ(startPublishing(&doc, r, host, nullptr, nullptr).status, PublishStatus::Refused);
    EXPECT_EQ(prompts.messages.back(), resources().StringCopy("e_cant_mkdir"));
}

TEST(PublishDate, OnlyRealisticDatesCount) {
    EXPECT_EQ(parsePublishDate("2004-2-29"), 40229);
    EXPECT_EQ(parsePublishDate("2000-01-01"), 101);
    EXPECT_EQ(parsePublishDate("3000-12-31"), 10001231);
    for (const char* bad : {"1999-12-31", "2004-13-01", "", "2004-02", "2004/02/01", "3001-1-1", "2004-0-5", "2004-1-32"})
        EXPECT_EQ(parsePublishDate(bad), 0) << bad;
    EXPECT_EQ(formatPublishDate(40229), "2004-02-29");
    EXPECT_EQ(formatPublishDate(0), "");
    EXPECT_EQ(publishFolderFromText("/srv/site/"), "/srv/site");
    EXPECT_EQ(publishFolderFromText("/srv/site//"), "/srv/site/") << "one separator only";
}

TEST_F(PublishFixture, StopEndsTheRunAndLeavesNoArchiveUnderItsName) {
    Project p = makeProject(src);
    fs::create_directory(folder);
    TestHost host;
    host.progress_.stopAfter = 2;  // inside the frame list
    Publisher publisher(folder, *p.doc, host);
    StepResult r = publisher.run(kAllSteps, 0, templateFolder());
    EXPECT_FALSE(r);
    EXPECT_NE(r.reason.find("stopped"), std::string::npos) << r.reason;
    EXPECT_FALSE(fs::exists(folder + "/tavlin.txt")) << "later steps do not run";

    // Stopped while packing: neither the archive nor its temporary file.
    TestHost packing;
    Publisher again(folder, *p.doc, packing);
    ASSERT_TRUE(contentStep(again, 0));
    packing.progress_.stopAfter = 0;
    r = dataArchiveStep(again);
    EXPECT_FALSE(r);
    EXPECT_FALSE(fs::exists(folder + "/data.jar"));
    EXPECT_FALSE(fs::exists(zipTemporaryPath(folder + "/data.jar")));
}

TEST_F(PublishFixture, VanishedMediaAndMediaInTheOutputFolderStopCleanly) {
    Project p = makeProject(src);
    RecordingPrompts prompts;
    fs::create_directory(folder);
    TestHost host;
    fs::remove(p.photo);  // gone since the project was opened
    Publisher publisher(folder, *p.doc, host);
    StepResult r = publisher.run(kStepPictures | kStepContent, 0, templateFolder());
    EXPECT_FALSE(r);
    EXPECT_NE(r.reason.find(p.photo), std::string::npos) << r.reason;
    EXPECT_FALSE(fs::exists(folder + "/tavlin.txt"));
    EXPECT_TRUE(fs::exists(p.logo)) << "the other media stay";

    // A picture the project reads from the output folder is neither offered
    // for deletion nor overwritten by another picture.
    Document doc(40, 40);
    std::string mine = writePicture(out, "site/i0.gif", 0xFF0000FF);
    std::string other = writePicture(src, "other.gif", 0xFFFF0000);
    auto* otherR = loaded<ImageResource>(doc, MediaKind::Image, other);
    auto* mineR = loaded<ImageResource>(doc, MediaKind::Image, mine);
    append<ImageObject>(doc, "a", 0, 0, 4, 3, {{0, 0}})->picture = otherR;  // published as i0.gif
    append<ImageObject>(doc, "b", 0, 0, 4, 3, {{0, 0}})->picture = mineR;
    TestHost careful;
    Publisher second(folder, doc, careful);
    r = second.run(kStepPictures, 0, "");
    EXPECT_FALSE(r);
    EXPECT_NE(r.reason.find("i0.gif is a picture this project uses"), std::string::npos) << r.reason;
    auto still = GifFormat().read(mine);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->pixels[0] & 0xFFFFFF, 0x0000FFu);
    EXPECT_TRUE(careful.offered.empty());
}

}  // namespace
}  // namespace tavlin
