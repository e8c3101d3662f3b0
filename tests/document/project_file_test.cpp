#include "document/project_file.h"

#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/project_text.h"
#include "document/video_object.h"
#include "media/image/image_formats.h"
#include "media/media_registry.h"
#include "base/paths.h"
#include "core/prompts.h"
#include "support/document_fakes.h"
#include "support/full_disk.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

// One drag path on a 320 x 240 stage, as the studio saves it.
const std::string kExample = test::fixture("projects/one_path.tvl");

// Answers questions from a script (default: the second button, "b_ignore")
// and records what was asked.
class ScriptedPrompts : public Prompts {
public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    int askChoice(const std::string& text, const std::vector<std::string>& labels) override {
        questions.push_back(text);
        lastLabels = labels;
        if (answers.empty()) return 1;
        int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> openFile(const std::string&, const std::string& initial) override {
        openedAt.push_back(initial);
        if (files.empty()) return std::nullopt;
        std::string f = files.front();
        files.pop_front();
        return f;
    }
    std::optional<std::string> saveFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&) override { return std::nullopt; }
    std::optional<uint32_t> chooseColour(uint32_t) override { return std::nullopt; }

    std::vector<std::string> messages, questions, lastLabels, openedAt;
    std::deque<int> answers;
    std::deque<std::string> files;
};

class ProjectFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearRegistry();
        registerImageFormats();
        registerAudioFormats();
        clearMediaFolders();
        installPrompts(&prompts);
    }
    void TearDown() override {
        installPrompts(nullptr);
        clearMediaFolders();
    }

    // A small real PNG picture in the scratch folder.
    std::string png(const std::string& name, int w = 4, int h = 3, uint32_t colour = 0xFF00FF00) {
        Image img(w, h);
        for (auto& p : img.pixels) p = colour;
        std::string path = scratch.file(name);
        EXPECT_TRUE(PngFormat().write(path, img));
        return path;
    }
    std::string au(const std::string& name) {
        Sound s;
        s.data.assign(1600, 0);
        std::string path = scratch.file(name);
        AudioFormat* f = findAudioFormat(path);
        EXPECT_NE(f, nullptr);
        if (f) {
            EXPECT_TRUE(f->write(path, s));
        }
        return path;
    }

    ScriptedPrompts prompts;
    test::ScratchDir scratch;
};

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

TEST_F(ProjectFileTest, ExampleReadsAndWritesBackByteForByte) {
    auto doc = readProject(kExample);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->stageWidth, 320);
    EXPECT_EQ(doc->stageHeight, 240);
    EXPECT_EQ(doc->length, 100);
    ASSERT_EQ(doc->objects.size(), 1u);
    EXPECT_EQ(doc->objects[0]->kind(), 2);
    EXPECT_EQ(doc->objects[0]->name, "dpath0");
    EXPECT_EQ(writeProject(*doc), kExample);
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(ProjectFileTest, WritesTheExampleForANewDocumentWithOnePath) {
    Document doc(320, 240);
    auto path = std::make_unique<DragPath>(doc);
    path->uniqueName("dpath");
    path->addPoint(40, 120, 0, true);
    path->addPoint(280, 120, 99, true);
    path->computeCross();
    path->fitRectangle();
    path->ranges.push_back({0, 99});
    doc.addObject(std::move(path));
    EXPECT_EQ(writeProject(doc), kExample);
}

TEST_F(ProjectFileTest, ProjectWithMediaRoundTripsByteForByte) {
    std::string a = png("a.png", 8, 6), b = png("b.png", 5, 5), c = png("c.png"), t1 = png("t1.png"),
                t2 = png("t2.png");
    std::string snd = au("s.au");
    const std::string text =
        ".V 3\n.D 320 240\n.L 100\n.SF 0\n"
        ".O 1\n.OP 0 0 8 6\n.OR 0 9\n.ON image0\n.OE 1\n.OL 0\n.OI " + a + "\n"
        ".O 2\n.OP 10 10 8 6\n.OR 0 99\n.ON button0\n.OE 1\n.OL 0\n"
        ".ODMI0 " + a + "\n.ODMW0 1\n.ODMC0 255 128 128\n.ODMI1 " + b + "\n.ODMW1 1\n.ODMC1 255 0 0\n"
        ".ODMI2 " + c + "\n.ODMW2 0\n.ODMC2 0 0 0\n.ODMA 3\n.ODMB 0\n.ODMD 0\n.ODMFT 0\n"
        ".ODMT " + t1 + "\n.ODMT " + t2 + "\n.ODMT " + t1 + "\n.ODMK 0\n.ODMTD 1\n"
        ".P 10 13 5 1\n.P 18 13 5 1\n"
        ".E 2\n.ER 3 9\n.ET 100\n.ESR 0\n.EU " + snd + "\n..\n";
    auto doc = readProject(text);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(writeProject(*doc), text);
    // Each file is loaded once, however often it is named.
    EXPECT_EQ(doc->imageResources.size(), 5u);
    EXPECT_EQ(doc->soundResources.size(), 1u);
    auto* button = dynamic_cast<DragPath*>(doc->objects[0].get());
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->thumbs.size(), 3u);
    EXPECT_EQ(button->thumbs[0], button->thumbs[2]);
}

TEST_F(ProjectFileTest, DragPathRecordsBeyondTheThreeStatesAreIgnored) {
    std::string text = replaceAll(kExample, ".ODMA 3\n", ".ODMW7 9\n.ODMC5 1 2 3\n.ODMI3 /x.png\n.ODMW 4\n.ODMA 3\n");
    auto doc = readProject(text);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(writeProject(*doc), kExample);
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(ProjectFileTest, PointRecordsCloseTheDragPath) {
    // Without points the path loads empty. After the points, a record that
    // starts with "O" belongs to the document again: it opens a new object
    // whose kind is the value's number ("late" reads as 0, a video object).
    auto empty = readProject(".V 3\n.D 10 10\n.L 5\n.O 2\n.ON p\n..\n");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(dynamic_cast<DragPath*>(empty->objects[0].get())->count(), 0);
    auto after = readProject(".V 3\n.D 10 10\n.L 5\n.O 2\n.P 1 1 0 1\n.P 5 1 4 1\n.ON late\n..\n");
    ASSERT_NE(after, nullptr);
    ASSERT_EQ(after->objects.size(), 2u);
    EXPECT_EQ(after->objects[1]->name, "");
    EXPECT_EQ(after->objects[0]->kind(), 0);
    EXPECT_EQ(after->objects[0]->name, "");
}

TEST_F(ProjectFileTest, EveryProperPrefixOfTheExampleIsRejected) {
    std::string text = kExample;
    for (size_t n = 0; n < text.size(); ++n) {
        auto doc = readProject(std::string_view(text).substr(0, n));
        EXPECT_EQ(doc, nullptr) << "prefix of " << n << " bytes";
    }
}

TEST_F(ProjectFileTest, KeepsOrderOfObjectsEventsRangesAndFixedMarks) {
    const std::string text =
        ".V 3\n.D 200 100\n.L 50\n.SF 1\n"
        ".O 1\n.OP 1 2 3 4\n.OR 30 40\n.OR 5 9\n.OR 12 10\n.ON front\n.OE 1\n.OL 1\n.OI \n"
        ".O 0\n.OP 0 0 10 10\n.OR 0 4\n.ON back\n.OE 0\n.OL 0\n.OVS \n.OT 1 -2 3 4 \n"
        ".E 1\n.ER 3 8\n.ET 250\n.EF 9\n.EF 2\n.EF 70\n"
        ".E 0\n.ER 10 20\n.ET 100\n.EI 1\n"
        ".E 3\n.ER 1 1\n.ET 0\n.ETG _blank\n.EU http://example.org/a b\n"
        ".E 4\n.ER 0 49\n.ET 5\n.EP $play_speed=200;x=1\n"
        ".E 2\n.ER 4 4\n.ET 100\n.ESR 1\n.EU \n"
        ".FFS 7 5\n.FFS 12 6\n..\n";
    auto doc = readProject(text);
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->objects.size(), 2u);
    // Written back to front: the last block read is the first in the list.
    EXPECT_EQ(doc->objects[0]->name, "back");
    EXPECT_EQ(doc->objects[1]->name, "front");
    auto* front = doc->objects[1].get();
    ASSERT_EQ(front->ranges.size(), 3u);
    EXPECT_EQ(front->ranges[0], (FrameRange{30, 40}));
    EXPECT_EQ(front->ranges[1], (FrameRange{5, 9}));
    EXPECT_EQ(front->ranges[2], (FrameRange{12, 10}));
    EXPECT_EQ(front->locked, 1);
    auto* back = dynamic_cast<VideoObject*>(doc->objects[0].get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->enabled, 0);
    EXPECT_EQ(back->reserved[1], -2);
    ASSERT_EQ(doc->events.size(), 5u);
    EXPECT_EQ(doc->events[0]->kind(), 1);
    EXPECT_EQ(doc->events[4]->kind(), 2);
    auto* jump = dynamic_cast<JumpEvent*>(doc->events[0].get());
    ASSERT_NE(jump, nullptr);
    EXPECT_EQ(jump->targets, (std::vector<int32_t>{9, 2, 70}));
    EXPECT_EQ(jump->wait, 250);
    auto* link = dynamic_cast<LinkEvent*>(doc->events[2].get());
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->address, "http://example.org/a b");
    EXPECT_EQ(doc->frameFlags[7], 5);
    EXPECT_EQ(doc->frameFlags[12], 6);
    EXPECT_EQ(doc->frameSkip, 1);
    EXPECT_EQ(writeProject(*doc), text);
}

TEST_F(ProjectFileTest, FixedMarksOutsideTheTimelineAndOtherCodesAreNotKept) {
    auto doc = readProject(".V 3\n.D 10 10\n.L 20\n.FFS 25 4\n.FFS -1 4\n.FFS 3 3\n.FFS 4 260\n..\n");
    ASSERT_NE(doc, nullptr);
    // Frame 3 carries no fixed mark, so only its code was stored and it is
    // recomputed, not written.
    EXPECT_EQ(doc->frameFlags[4], 4);
    std::string out = writeProject(*doc);
    EXPECT_NE(out.find(".FFS 4 4\n"), std::string::npos);
    EXPECT_EQ(out.find("FFS 3"), std::string::npos);
    EXPECT_EQ(out.find("FFS 25"), std::string::npos);
}

TEST_F(ProjectFileTest, RecordsInAnotherOrderLoadTheSameObject) {
    std::string reordered = replaceAll(kExample, ".OP 40 120 241 1\n.OR 0 99\n.ON dpath0\n",
                                       ".ON dpath0\n.OR 0 99\n.OP 40 120 241 1\n");
    ASSERT_NE(reordered, kExample);
    auto doc = readProject(reordered);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(writeProject(*doc), kExample);
}

TEST_F(ProjectFileTest, LinesWithoutFullStopAreSkippedAnywhere) {
    std::string text = replaceAll(kExample, "\n.", "\n\nnote: by hand\n.");
    auto doc = readProject(text);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(writeProject(*doc), kExample);
}

TEST_F(ProjectFileTest, MissingFinalLineFeedRejects) {
    std::string text = kExample;
    text.pop_back();
    EXPECT_EQ(readProject(text), nullptr);
}

TEST_F(ProjectFileTest, CarriageReturnsLoadButNamesKeepThem) {
    std::string pic = png("pic.png");
    std::string text = ".V 3\n.D 320 240\n.L 100\n.SF 0\n.O 1\n.OP 0 0 0 0\n.OR 0 9\n.ON img\n.OE 1\n.OL 0\n.OI " + pic +
                       "\n..\n";
    std::string crlf = replaceAll(text, "\n", "\r\n");
    auto doc = readProject(crlf);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->stageWidth, 320);
    EXPECT_EQ(doc->length, 100);
    ASSERT_EQ(doc->objects.size(), 1u);
    EXPECT_EQ(doc->objects[0]->name, "img\r");
    // The picture's name ends in CR, so it is not found: the user is asked.
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_NE(prompts.questions[0].find(pic + "\r"), std::string::npos);
    EXPECT_EQ(dynamic_cast<ImageObject*>(doc->objects[0].get())->picture, nullptr);

    // Without the CRs the same picture loads and nobody is asked.
    prompts.questions.clear();
    auto plain = readProject(text);
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(prompts.questions.empty());
    auto* img = dynamic_cast<ImageObject*>(plain->objects[0].get());
    ASSERT_NE(img->picture, nullptr);
    EXPECT_EQ(img->width, 4);
    EXPECT_EQ(img->height, 3);
    EXPECT_EQ(writeProject(*plain), replaceAll(text, ".OP 0 0 0 0", ".OP 0 0 4 3"));
}

TEST_F(ProjectFileTest, HeaderChecksLookAtFirstCharacters) {
    EXPECT_NE(readProject(".Vx 3rd\n.Dim 10 10\n.Len 5\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 2\n.D 10 10\n.L 5\n..\n"), nullptr);
    EXPECT_EQ(readProject(".D 10 10\n.V 3\n.L 5\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 3\n.D 10\n.L 5\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 3\n.D 10 10\n.L x\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 3\n.D 10 10\n.L 5\n.O 3\n.OP 0 0 1 1\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 3\n.D 10 10\n.L 5\n.E 5\n.ER 0 0\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 3\n.D 10 10\n.L 5\n.FFS 1\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 3\n.D 10 10\n.L 5\n.O 1\n.OP 0 0 1\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 3\n.D 10 10\n.L 5\n.E 0\n.ER 1\n..\n"), nullptr);
    EXPECT_EQ(readProject(".V 3\n.D 10 10\n.L 5\n.O 0\n.OT 1 2 3\n..\n"), nullptr);
    // Any record after the frame marks ends the document; ".." is the usual one.
    EXPECT_NE(readProject(".V 3\n.D 10 10\n.L 5\n.X\n"), nullptr);
}

TEST_F(ProjectFileTest, OnlySizesThatWouldAllocateAbsurdlyAreRefused) {
    for (const char* refused : {".D 16385 10\n.L 5\n", ".D 10 16385\n.L 5\n", ".D -10 10\n.L 5\n",
                                ".D 0 10\n.L 5\n", ".D 10 10\n.L 1000001\n", ".D 10 10\n.L 2147483647\n",
                                ".D 10 10\n.L -5\n", ".D 10 10\n.L 99999999999999999999\n"}) {
        Document doc(0, 0);
        ProjectReadNotes notes;
        EXPECT_FALSE(readProject(doc, std::string(".V 3\n") + refused + "..\n", MediaLookup::documentOnly, &notes))
            << refused;
        // The reason names the value.
        EXPECT_NE(notes.refusal.find(std::string(refused).substr(3, 2)), std::string::npos) << notes.refusal;
    }
    // A 4K stage and the longest timeline open.
    auto wide = readProject(".V 3\n.D 4096 2160\n.L 1000000\n..\n");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->stageWidth, 4096);
    // Frame skips are clamped, not refused.
    for (const char* skip : {"-1", "2147483647"}) {
        Document doc(0, 0);
        ProjectReadNotes notes;
        ASSERT_TRUE(readProject(doc, std::string(".V 3\n.D 10 10\n.L 5\n.SF ") + skip + "\n..\n",
                                MediaLookup::documentOnly, &notes));
        EXPECT_TRUE(notes.adjusted);
        EXPECT_GE(doc.frameSkip, 0);
        EXPECT_LE(doc.frameSkip, kMaxLength);
    }
}

TEST_F(ProjectFileTest, NumbersBeyondWhatTheProgramCarriesAreClampedAndReadBackStable) {
    const std::string head = ".V 3\n.D 10 10\n.L 5\n";
    const std::string beyond[] = {
        ".O 1\n.OP 0 0 1000001 1\n",
        ".O 1\n.OP -1000001 0 1 1\n",
        ".O 0\n.OP 2147483647 2147483647 2147483647 2147483647\n",
        ".O 1\n.OR 0 2147483647\n",
        ".O 1\n.OR -1000001 5\n",
        ".O 2\n.P 0 0 0 1\n.P 1000001 0 4 1\n",
        ".O 2\n.P 0 0 0 1\n.P 5 0 -2000000 1\n",
        ".O 2\n.ODMW1 256\n",
        ".O 2\n.ODMW0 -2147483648\n",
        ".O 2\n.ODMD 2147483647\n",
        ".O 2\n.ODMD -5\n",
        ".E 0\n.ER -2147483648 2147483647\n",
        ".E 1\n.ER 0 0\n.EF 1000001\n",
    };
    for (const std::string& body : beyond) {
        Document doc(0, 0);
        ProjectReadNotes notes;
        ASSERT_TRUE(readProject(doc, head + body + "..\n", MediaLookup::documentOnly, &notes)) << body;
        EXPECT_TRUE(notes.adjusted) << body;
        EXPECT_EQ(notes.readUpToLine, 0) << body;
        // What was clamped saves and reads back unchanged, without another
        // adjustment.
        std::string saved = writeProject(doc);
        Document again(0, 0);
        ProjectReadNotes second;
        ASSERT_TRUE(readProject(again, saved, MediaLookup::documentOnly, &second)) << body;
        EXPECT_FALSE(second.adjusted) << body;
        EXPECT_EQ(writeProject(again), saved) << body;
    }
    // Line widths and grab distances land in 0..255.
    auto doc = readProject(head + ".O 2\n.ODMW1 256\n.ODMD -7\n..\n");
    ASSERT_NE(doc, nullptr);
    const auto& path = static_cast<const DragPath&>(*doc->objects[0]);
    EXPECT_EQ(path.stateWidths[1], 255);
    EXPECT_EQ(path.grabLimit, 0);
}

TEST_F(ProjectFileTest, AReadingThatStopsEarlySaysWhere) {
    for (const char* stopper : {".ZZ 1\n", ".L 9\n", ".SF 2\n"}) {
        Document doc(0, 0);
        ProjectReadNotes notes;
        std::string text = std::string(".V 3\n.D 10 10\n.L 5\n.O 1\n.OR 0 4\n") + stopper + ".O 1\n.OR 0 4\n..\n";
        ASSERT_TRUE(readProject(doc, text, MediaLookup::documentOnly, &notes)) << stopper;
        EXPECT_EQ(notes.readUpToLine, 5) << stopper;
        EXPECT_EQ(doc.objects.size(), 1u);
    }
    // Events before objects stop the reading too; a whole file does not.
    Document doc(0, 0);
    ProjectReadNotes notes;
    ASSERT_TRUE(readProject(doc, ".V 3\n.D 10 10\n.L 5\n.E 0\n.ER 1 2\n.O 1\n..\n", MediaLookup::documentOnly, &notes));
    EXPECT_EQ(notes.readUpToLine, 5);
    ProjectReadNotes whole;
    Document full(0, 0);
    ASSERT_TRUE(readProject(full, ".V 3\n.D 10 10\n.L 5\n.O 1\n.OR 0 4\n..\n", MediaLookup::documentOnly, &whole));
    EXPECT_EQ(whole.readUpToLine, 0);
}

TEST_F(ProjectFileTest, VideoFrameStepAndMissingVideo) {
    auto doc = readProject(".V 3\n.D 10 10\n.L 5\n.O 0\n.OP 0 0 0 0\n.OVS 2 " + scratch.file("gone.avi") +
                           "\n.O 0\n.OVS 7\n..\n");
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->objects.size(), 2u);
    auto* first = dynamic_cast<VideoObject*>(doc->objects[1].get());
    auto* digitsOnly = dynamic_cast<VideoObject*>(doc->objects[0].get());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(digitsOnly, nullptr);
    EXPECT_EQ(first->frameStep, 2);
    EXPECT_EQ(first->video, nullptr);
    EXPECT_EQ(digitsOnly->video, nullptr);
    // Only the named file raised the question; digits alone name nothing.
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_NE(prompts.questions[0].find("gone.avi"), std::string::npos);
    EXPECT_EQ(prompts.lastLabels, (std::vector<std::string>{documentString("b_open_another"),
                                                           documentString("b_ignore")}));
}

TEST_F(ProjectFileTest, ResolveFindsKeptResourcesAndReloadsChangedFiles) {
    std::string pic = png("a.png", 4, 3);
    Document doc(100, 100);
    MediaResource* r = resolveMedia(doc, MediaKind::Image, pic);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->name, pic);
    EXPECT_EQ(resolveMedia(doc, MediaKind::Image, pic), r);
    EXPECT_EQ(doc.imageResources.size(), 1u);

    // The file changes on disk: the same resource reloads it.
    png("a.png", 7, 5);
    struct utimbuf times {1000, 1000};
    ASSERT_EQ(::utime(pic.c_str(), &times), 0);
    EXPECT_EQ(resolveMedia(doc, MediaKind::Image, pic), r);
    EXPECT_EQ(static_cast<ImageResource*>(r)->image->width, 7);
    EXPECT_EQ(r->modificationTime, 1000);
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(ProjectFileTest, MovedMediaAreFoundThroughTheFolderList) {
    std::string pic = png("b.png");
    Document doc(100, 100);
    // Looking up a file in the scratch folder puts that folder in the list.
    ASSERT_NE(resolveMedia(doc, MediaKind::Image, pic), nullptr);
    EXPECT_EQ(mediaFolders().front(), scratch.path());

    std::string sound = au("s.au");
    MediaResource* r = resolveMedia(doc, MediaKind::Sound, "/no/such/folder/s.au");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->name, sound);
    EXPECT_EQ(mediaFolders().front(), "/no/such/folder");
    // Looked up again under its old name, the same file is not loaded twice.
    EXPECT_EQ(resolveMedia(doc, MediaKind::Sound, "/other/s.au"), r);
    EXPECT_EQ(doc.soundResources.size(), 1u);
    EXPECT_TRUE(prompts.questions.empty());
}

TEST_F(ProjectFileTest, MissingMediaAskAndMayOpenAnotherFile) {
    std::string good = png("good.png");
    std::string bad = scratch.write("bad.png", "not a picture");
    Document doc(100, 100);
    // "b_open_another" twice: first a file that does not load, then a good one.
    prompts.answers = {0, 0};
    prompts.files = {bad, good};
    MediaResource* r = resolveMedia(doc, MediaKind::Image, "/lost/pic.png");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->name, good);
    ASSERT_EQ(prompts.questions.size(), 2u);
    EXPECT_NE(prompts.questions[0].find("/lost/pic.png"), std::string::npos);
    EXPECT_NE(prompts.questions[1].find(bad), std::string::npos);
    EXPECT_EQ(prompts.openedAt[0], "/lost/pic.png");

    // Closing the question or the file dialog gives nothing.
    prompts.answers = {-1};
    EXPECT_EQ(resolveMedia(doc, MediaKind::Image, "/lost/x.png"), nullptr);
    prompts.answers = {0};
    EXPECT_EQ(resolveMedia(doc, MediaKind::Image, "/lost/y.png"), nullptr);
}

TEST_F(ProjectFileTest, SnapshotsReadWithoutAsking) {
    auto doc = std::make_unique<Document>(0, 0);
    std::string text = ".V 3\n.D 10 10\n.L 5\n.O 1\n.OI /lost/z.png\n..\n";
    EXPECT_TRUE(readProject(*doc, text, MediaLookup::documentOnly));
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_FALSE(doc->mediaResolver);
}

TEST_F(ProjectFileTest, SaveReplacesTheFileOnlyWhenTheNewOneIsComplete) {
    auto doc = readProject(kExample);
    ASSERT_NE(doc, nullptr);
    std::string path = scratch.file("p.tvl");
    ASSERT_TRUE(saveProjectFile(*doc, path));
    EXPECT_EQ(test::readAll(path), kExample);

    auto loaded = loadProjectFile(path);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->fileName, path);
    EXPECT_EQ(loaded->frameCode(0), kKeyFrame);

    EXPECT_FALSE(saveProjectFile(*doc, scratch.file("no/such/folder/p.tvl")));
    // A full disk, a link, a private file: the one write policy.
    test::expectWritePolicy([&](const std::string& file, int version) {
        doc->setLength(version == 1 ? 5 : 50);
        return saveProjectFile(*doc, file);
    });
}

TEST_F(ProjectFileTest, OpeningReportsMissingAndDamagedFiles) {
    std::string error;
    EXPECT_EQ(loadProjectFile(scratch.file("none.tvl"), &error), nullptr);
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(loadProjectFile(scratch.path(), &error), nullptr);
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(loadProjectFile(scratch.write("bad.tvl", ".V 3\n.D 10"), &error), nullptr);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tavlin

namespace tavlin {
namespace {

// Media names survive what cannot be found, and are looked for beside the
// project first.
TEST_F(ProjectFileTest, MediaNamesAreKeptAndFoundBesideTheProjectFirst) {
    for (const char* sub : {"p", "other", "moved/media"}) std::filesystem::create_directories(scratch.file(sub));
    // A picture the user skips keeps its name through save and reopen.
    std::string project = scratch.write("p/missing.tvl", ".V 3\n.D 20 20\n.L 5\n.O 1\n.OP 0 0 4 3\n.OR 0 4\n"
                                                         ".OI /nowhere/gone.png\n.E 2\n.ER 1 2\n.ESR 0\n"
                                                         ".EU /nowhere/beep.au\n..\n");
    prompts.answers = {1, 1};  // "b_ignore" both times
    auto doc = loadProjectFile(project);
    ASSERT_NE(doc, nullptr);
    std::string saved = writeProject(*doc);
    EXPECT_NE(saved.find(".OI /nowhere/gone.png\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find(".EU /nowhere/beep.au\n"), std::string::npos) << saved;

    // Another project's folder with a "red.png" is remembered first ...
    png("other/red.png", 4, 3, 0xFFFF0000);
    ASSERT_NE(loadProjectFile(scratch.write("other/o.tvl", ".V 3\n.D 20 20\n.L 5\n..\n")), nullptr);
    // ... but a project moved with its media in a subfolder, and one whose
    // name an older version wrote with backslashes, find their own.
    png("moved/media/red.png", 4, 3, 0xFF0000FF);
    png("moved/blue.png", 2, 2, 0xFF0000FF);
    auto moved = loadProjectFile(scratch.write(
        "moved/m.tvl", ".V 3\n.D 20 20\n.L 5\n.O 1\n.OR 0 4\n.OI media/red.png\n.O 1\n.OR 0 4\n"
                       ".OI C:\\old project\\blue.png\n..\n"));
    ASSERT_NE(moved, nullptr);
    ASSERT_EQ(moved->objects.size(), 2u);
    for (const auto& o : moved->objects) {
        const auto& image = static_cast<const ImageObject&>(*o);
        ASSERT_NE(image.picture, nullptr) << image.storedName;
        EXPECT_EQ(image.picture->name.rfind(scratch.file("moved/"), 0), 0u) << image.picture->name;
    }
    EXPECT_TRUE(prompts.answers.empty());
}

TEST_F(ProjectFileTest, AStoredVideoRangeStaysAsStored) {
    Document doc(0, 0);
    VideoResource video;
    video.name = "v.avi";
    video.video = std::make_unique<test::ColourVideo>(25, 8, 8);
    doc.mediaResolver = [&](MediaKind, const std::string&) -> MediaResource* { return &video; };
    ASSERT_TRUE(readProject(doc, ".V 3\n.D 20 20\n.L 30\n.O 0\n.OR 0 9\n.OVS 0 v.avi\n..\n",
                            MediaLookup::documentOnly));
    ASSERT_EQ(doc.objects.size(), 1u);
    EXPECT_EQ(doc.objects[0]->ranges[0], (FrameRange{0, 9}));
}

}  // namespace
}  // namespace tavlin
