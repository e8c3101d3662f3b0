// Object and event records, the clipboard of stage objects and the undo
// history built on them.

#include <gtest/gtest.h>

#include <set>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/image_object.h"
#include "document/project_text.h"
#include "document/video_object.h"
#include "core/settings.h"
#include "support/document_fakes.h"
#include "support/recording_prompts.h"

namespace tavlin {
namespace {

using test::Wired;

MediaObject* addObject(Document& doc, int32_t kind, const char* name, FrameRange range) {
    auto o = MediaObject::create(doc, kind);
    o->name = name;
    o->ranges.push_back(range);
    return doc.addObject(std::move(o));
}

// Reads one object of `kind` from records (the ".O" line already consumed).
std::unique_ptr<MediaObject> readObject(Document& doc, int32_t kind, const std::string& text, bool* ok,
                                        std::string* inHand = nullptr) {
    auto o = MediaObject::create(doc, kind);
    ProjectReader in(text);
    *ok = in.next() && o->read(in);
    if (inHand) *inHand = std::string(in.keyword());
    return o;
}

TEST(ObjectRecords, CommonAndOwnRecordsInAnyOrder) {
    Document doc(0, 0);
    bool ok = false;
    std::string next;
    auto o = readObject(doc, kVideoObject,
                        ".ON clip\n.OT 1 2 3 4 \nstray line\n\n.OP 5 6 7 8\n.OR 3 4\n.OE 0\n.OR 1 2\n.OL 1\n.E 0\n",
                        &ok, &next);
    ASSERT_TRUE(ok);
    EXPECT_EQ(next, "E");  // the first foreign record stays in hand
    auto* v = static_cast<VideoObject*>(o.get());
    EXPECT_EQ(v->name, "clip");
    EXPECT_EQ((std::vector<int32_t>{v->left, v->top, v->width, v->height}), (std::vector<int32_t>{5, 6, 7, 8}));
    EXPECT_EQ(v->ranges, (std::vector<FrameRange>{{3, 4}, {1, 2}}));  // kept as read
    EXPECT_EQ(v->enabled, 0);
    EXPECT_EQ(v->locked, 1);
    EXPECT_EQ(v->reserved[3], 4);
}

TEST(ObjectRecords, MalformedOrTruncatedRecordsFail) {
    Document doc(0, 0);
    bool ok = true;
    for (const char* text : {".OP 1 2 3\n..\n", ".OR 5\n..\n", ".OT 1 2 3\n..\n", ".ON a\n.OP 1 2 3 4\n",
                             ".ON a\n..", ""}) {
        readObject(doc, kVideoObject, text, &ok);
        EXPECT_FALSE(ok) << text;
    }
    readObject(doc, kImageObject, ".OI\n..\n", &ok);  // an empty picture name is no error
    EXPECT_TRUE(ok);
}

TEST(ObjectRecords, VideoStepAndNameAndTheirMissingParts) {
    Document doc(0, 0);
    std::vector<std::string> asked;
    doc.mediaResolver = [&](MediaKind kind, const std::string& name) -> MediaResource* {
        EXPECT_EQ(kind, MediaKind::Video);
        asked.push_back(name);
        return nullptr;
    };
    bool ok = false;
    auto o = readObject(doc, kVideoObject, ".OVS 2 my clip.avi\n..\n", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(static_cast<VideoObject*>(o.get())->frameStep, 2);
    o = readObject(doc, kVideoObject, ".OVS 7\n.OVS 3 \n.OVS \n.OV other.avi\n..\n", &ok);
    ASSERT_TRUE(ok);
    auto* v = static_cast<VideoObject*>(o.get());
    EXPECT_EQ(v->frameStep, 3);  // digits alone set the step but name no video
    EXPECT_EQ(v->video, nullptr);
    EXPECT_EQ(asked, (std::vector<std::string>{"my clip.avi", "other.avi"}));
    o = readObject(doc, kVideoObject, ".OVS 99999999999999 x\n..\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(static_cast<VideoObject*>(o.get())->frameStep, INT32_MAX);
}

TEST(ObjectRecords, WrittenRecordsReadBackTheSame) {
    Document doc(0, 0);
    VideoObject v(doc);
    v.setRect(-4, 5, 60, 70);
    v.ranges = {{0, 9}, {20, 30}};
    v.name = "v x";
    v.locked = 1;
    v.reserved[0] = -7;
    ProjectWriter out;
    v.write(out);
    EXPECT_EQ(out.text(), ".OP -4 5 60 70\n.OR 0 9\n.OR 20 30\n.ON v x\n.OE 1\n.OL 1\n.OVS \n.OT -7 0 0 0 \n");
    bool ok = false;
    auto back = readObject(doc, kVideoObject, out.text() + "..\n", &ok);
    ASSERT_TRUE(ok);
    ProjectWriter again;
    back->write(again);
    EXPECT_EQ(again.text(), out.text());
}

std::unique_ptr<Event> roundTrip(Document& doc, const Event& e) {
    ProjectWriter out;
    EXPECT_TRUE(e.write(out));
    auto back = Event::create(e.kind(), 0, 0);
    back->document = &doc;
    std::string text = out.text() + "..\n";
    ProjectReader in(text);
    EXPECT_TRUE(in.next());
    EXPECT_TRUE(back->read(in));
    EXPECT_TRUE(in.keywordIs("."));
    ProjectWriter again;
    back->write(again);
    EXPECT_EQ(again.text(), out.text());
    return back;
}

TEST(EventRecords, EveryKindWritesAndReadsItsFields) {
    Document doc(0, 0);
    PlayEvent play(3, 9);
    play.wait = 250;
    play.interruptible = 1;
    auto p = roundTrip(doc, play);
    EXPECT_EQ(p->first, 3);
    EXPECT_EQ(p->last, 9);
    EXPECT_EQ(p->wait, 250);
    EXPECT_EQ(static_cast<PlayEvent&>(*p).interruptible, 1);

    JumpEvent jump(0, 1);
    jump.targets = {5, -2, 60};
    EXPECT_EQ(static_cast<JumpEvent&>(*roundTrip(doc, jump)).targets, jump.targets);

    LinkEvent link(0, 1);
    link.target = "_blank";
    link.address = "http://example.org/a b";
    auto l = roundTrip(doc, link);
    EXPECT_EQ(static_cast<LinkEvent&>(*l).address, link.address);

    ParamEvent param(0, 1);
    param.text = "$play_dir=-1;$x=2";
    EXPECT_EQ(static_cast<ParamEvent&>(*roundTrip(doc, param)).text, param.text);

    SoundEvent sound(0, 1);
    sound.repeat = 1;
    ProjectWriter out;
    sound.write(out);
    EXPECT_EQ(out.text(), ".ER 0 1\n.ET 100\n.ESR 1\n.EU \n");
    SoundResource res;
    doc.mediaResolver = [&](MediaKind kind, const std::string& name) -> MediaResource* {
        return kind == MediaKind::Sound && name == "beep.wav" ? &res : nullptr;
    };
    auto s = Event::create(kSoundEvent, 0, 0);
    s->document = &doc;
    ProjectReader in(".ESR 1\n.EU beep.wav\n.ER 4\n");
    ASSERT_TRUE(in.next());
    EXPECT_FALSE(s->read(in));  // ".ER" with one number
    EXPECT_EQ(static_cast<SoundEvent&>(*s).sound, &res);
    EXPECT_EQ(Event::create(5, 0, 0), nullptr);
}

TEST(Clipboard, CopyWritesSelectedObjectsBackToFront) {
    Wired w;
    addObject(w.doc, kImageObject, "back", {0, 1})->selected = 1;
    addObject(w.doc, kVideoObject, "middle", {0, 1});
    addObject(w.doc, kImageObject, "front", {0, 1})->selected = 1;
    w.doc.copySelected();
    EXPECT_EQ(w.clipboard.content,
              ".O 1\n.OP 0 0 0 0\n.OR 0 1\n.ON back\n.OE 1\n.OL 0\n.OI \n"
              ".O 1\n.OP 0 0 0 0\n.OR 0 1\n.ON front\n.OE 1\n.OL 0\n.OI \n..\n");

    Wired other;
    other.clipboard.content = w.clipboard.content;
    other.doc.paste();
    ASSERT_EQ(other.doc.objects.size(), 2u);
    EXPECT_EQ(other.doc.objects[0]->name, "front");
    EXPECT_EQ(other.doc.objects[1]->name, "back");
    EXPECT_TRUE(other.doc.canUndo());
    EXPECT_GT(other.view.redraws, 0);
}

TEST(Clipboard, ForeignTextIsIgnoredAndABrokenPasteKeepsWhatWasRead) {
    Wired w;
    for (const char* text : {"", "O", "hello world", ".E 0\n..\n"}) {
        w.clipboard.content = text;
        w.doc.paste();
    }
    EXPECT_TRUE(w.doc.objects.empty());
    EXPECT_FALSE(w.doc.canUndo());
    w.clipboard.content = ".O 1\n.ON good\n.OI \n.O 1\n.OP 1 2\n..\n";
    w.doc.paste();
    ASSERT_EQ(w.doc.objects.size(), 1u);
    EXPECT_EQ(w.doc.objects[0]->name, "good");
    w.clipboard.content = ".O 9\n..\n";  // unknown kind
    w.doc.paste();
    EXPECT_EQ(w.doc.objects.size(), 1u);
    // Pasted text meets the same bounds as a project file: a giant rectangle
    // (which would make every later render crawl) is brought into range.
    w.clipboard.content = ".O 1\n.OP 0 0 2147483647 2147483647\n.ON huge\n.OI \n..\n";
    w.doc.paste();
    ASSERT_EQ(w.doc.objects.size(), 2u);
    EXPECT_LE(w.doc.objects[0]->width, 1000000);
}

TEST(Clipboard, CutRemovesTheSelectionAndUndoBringsItBack) {
    Wired w;
    addObject(w.doc, kImageObject, "keep", {0, 1});
    addObject(w.doc, kVideoObject, "cut", {0, 1})->selected = 1;
    w.doc.cutSelected();
    ASSERT_EQ(w.doc.objects.size(), 1u);
    EXPECT_EQ(w.doc.objects[0]->name, "keep");
    EXPECT_NE(w.clipboard.content.find(".ON cut\n"), std::string::npos);
    w.doc.undo();
    ASSERT_EQ(w.doc.objects.size(), 2u);
    EXPECT_EQ(w.doc.objects[0]->name, "cut");
}

TEST(UndoHistory, UndoAndRedoWalkTheSnapshots) {
    Wired w;
    EXPECT_FALSE(w.doc.canUndo());
    w.doc.undo();  // nothing to undo: harmless
    w.doc.redo();
    w.doc.snapshot();
    addObject(w.doc, kImageObject, "one", {0, 5});
    w.doc.snapshot();
    addObject(w.doc, kImageObject, "two", {0, 5});
    w.doc.addEvent(kPlayEvent, 10, 20);
    w.doc.fixFrameCodes(0, 40, 40, kFullFrame);
    EXPECT_EQ(w.doc.history.snapshots.size(), 2u);

    w.doc.undo();  // back to "one"
    ASSERT_EQ(w.doc.objects.size(), 1u);
    EXPECT_EQ(w.doc.objects[0]->name, "one");
    EXPECT_TRUE(w.doc.events.empty());
    EXPECT_EQ(w.doc.frameFlags[40], 0);
    w.doc.undo();  // back to empty
    EXPECT_TRUE(w.doc.objects.empty());
    EXPECT_FALSE(w.doc.canUndo());
    w.doc.redo();
    w.doc.redo();  // forward to the latest state
    ASSERT_EQ(w.doc.objects.size(), 2u);
    EXPECT_EQ(w.doc.events.size(), 1u);
    EXPECT_EQ(w.doc.frameFlags[40], kFixedMark | kFullFrame);
    EXPECT_EQ(w.doc.frameCode(10), kKeyFrame);  // codes recomputed after the events
    EXPECT_FALSE(w.doc.canRedo());
    w.doc.redo();  // nothing beyond
    EXPECT_EQ(w.doc.objects.size(), 2u);

    w.doc.clearHistory();
    EXPECT_FALSE(w.doc.canUndo());
    EXPECT_TRUE(w.doc.history.snapshots.empty());
}

TEST(UndoHistory, IdsHeldAcrossAnUndoFindNothingEvenWhereAddressesComeBack) {
    Wired w;
    w.doc.snapshot();
    addObject(w.doc, kDragPath, "held", {0, 5});
    auto* path = static_cast<DragPath*>(w.doc.objects[0].get());
    ObjectId held = path->id;
    w.doc.setActiveDragPath(path);
    EXPECT_EQ(w.doc.findObject(held), path);
    // Undo and redo rebuild every object; the allocator may well hand the
    // same addresses out again, but never the same ids.
    std::set<ObjectId> seen{held};
    for (int round = 0; round < 20; ++round) {
        w.doc.undo();
        w.doc.redo();
        ASSERT_EQ(w.doc.objects.size(), 1u);
        EXPECT_TRUE(seen.insert(w.doc.objects[0]->id).second) << "an id came back";
        EXPECT_EQ(w.doc.findObject(held), nullptr);
        EXPECT_EQ(w.doc.activeDragPath(), nullptr);
    }
    EXPECT_EQ(w.doc.findObject(0), nullptr);
}

TEST(UndoHistory, AnUndoThatCannotBeReadLeavesTheDocumentAndSaysSo) {
    test::RecordingPrompts prompts;
    Wired w;
    // Settings beyond what files carry no longer reach new paths.
    settings().Set("dmdist", "300");
    settings().Set("dmlinew0", "256");
    DragPath fresh(w.doc);
    EXPECT_EQ(fresh.grabLimit, 255);
    EXPECT_EQ(fresh.stateWidths[0], 255);
    settings().Set("dmdist", "0");
    settings().Set("dmlinew0", "1");

    addObject(w.doc, kImageObject, "one", {0, 5});
    addObject(w.doc, kImageObject, "two", {0, 5});
    w.doc.addEvent(kPlayEvent, 1, 2);
    w.doc.snapshot();
    addObject(w.doc, kImageObject, "three", {0, 5});
    // A snapshot the reader refuses (here: a damaged one) must not empty the
    // document.
    w.doc.history.snapshots[0] = ".V 3\n.D 10 10\n.L 0\n..\n";
    w.doc.undo();
    EXPECT_EQ(w.doc.objects.size(), 3u);
    EXPECT_EQ(w.doc.events.size(), 1u);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], documentString("e_undo_read"));
    // The history is as before: the failed step can be tried again, and redo
    // has nothing to do.
    EXPECT_TRUE(w.doc.canUndo());
    EXPECT_FALSE(w.doc.canRedo());
}

TEST(UndoHistory, RestoringKeepsLoadedMediaAndSettingsOutsideTheFile) {
    Wired w;
    auto res = std::make_unique<ImageResource>();
    res->name = "/pictures/p.png";
    res->image = std::make_unique<Image>(3, 2);
    ImageResource* picture = res.get();
    w.doc.imageResources.push_back(std::move(res));
    auto* o = static_cast<ImageObject*>(addObject(w.doc, kImageObject, "pic", {0, 1}));
    o->attachImage(picture);
    w.doc.inPoint = 7;
    w.doc.kindSwitch[kLinkEvent] = 0;
    w.doc.snapshot();
    w.doc.removeObject(o);
    w.doc.undo();
    ASSERT_EQ(w.doc.objects.size(), 1u);
    EXPECT_EQ(static_cast<ImageObject&>(*w.doc.objects[0]).picture, picture);  // found by its name
    EXPECT_EQ(w.doc.imageResources.size(), 1u);
    EXPECT_EQ(w.doc.inPoint, 7);
    EXPECT_EQ(w.doc.kindSwitch[kLinkEvent], 0);
}

}  // namespace
}  // namespace tavlin
