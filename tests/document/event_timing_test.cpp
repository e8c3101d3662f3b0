// Events running on the timeline: the running slot per kind, frame entry,
// timer steps, play stepping, jumps, sounds, parameters and switches.

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "document/document.h"
#include "document/image_object.h"
#include "core/settings.h"
#include "canvas/canvas.h"
#include "support/document_fakes.h"

namespace tavlin {
namespace {

using test::Wired;

class EventTest : public ::testing::Test {
protected:
    void SetUp() override { w.doc.setEditMode(false); }

    PlayEvent* play(int32_t first, int32_t last, int32_t wait = 100) {
        auto* e = static_cast<PlayEvent*>(w.doc.addEvent(kPlayEvent, first, last));
        e->wait = wait;
        return e;
    }
    // Moves the clock in 1 ms steps, running a timer step each time, and
    // records every frame change.
    std::vector<int32_t> run(int64_t ms) {
        std::vector<int32_t> frames;
        for (int64_t i = 0; i < ms; ++i) {
            w.advance(1);
            int32_t before = w.doc.currentFrame;
            w.doc.timerStep();
            if (w.doc.currentFrame != before) frames.push_back(w.doc.currentFrame);
        }
        return frames;
    }

    Wired w;
};

TEST_F(EventTest, PlayStepsForwardEveryWaitAndStopsAtItsLastFrame) {
    PlayEvent* e = play(10, 20);
    w.doc.setCurrentFrame(10);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], e);
    run(99);
    EXPECT_EQ(w.doc.currentFrame, 10);
    run(1);
    EXPECT_EQ(w.doc.currentFrame, 11);
    std::vector<int32_t> frames = run(2000);
    EXPECT_EQ(frames, (std::vector<int32_t>{12, 13, 14, 15, 16, 17, 18, 19, 20}));
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr);
    EXPECT_EQ(e->due, 0);
}

TEST_F(EventTest, PlayBackwardStopsWhenTheNextStepLeavesTheRange) {
    PlayEvent* e = play(10, 20);
    w.doc.playDirection = -1;
    w.doc.setCurrentFrame(15);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], e);
    EXPECT_EQ(run(2000), (std::vector<int32_t>{14, 13, 12, 11, 10}));
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr);
}

TEST_F(EventTest, PlayEnteredAtItsLastFrameStopsAtOnceWhateverTheDirection) {
    play(10, 20);
    for (int32_t dir : {1, -1}) {
        w.doc.playDirection = dir;
        w.doc.setCurrentFrame(5);
        w.doc.setCurrentFrame(20);
        EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr) << dir;
        EXPECT_TRUE(run(500).empty()) << dir;
    }
}

TEST_F(EventTest, SpeedAndDirectionZeroPauseAndSpeedScalesTheInterval) {
    PlayEvent* e = play(0, 50);
    w.doc.playSpeed = 0;
    w.doc.setCurrentFrame(1);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], e);
    EXPECT_EQ(e->due, 0);
    EXPECT_TRUE(run(1000).empty());
    w.doc.playSpeed = 400;
    e->arm();  // a quarter of the wait
    run(24);
    EXPECT_EQ(w.doc.currentFrame, 1);
    run(1);
    EXPECT_EQ(w.doc.currentFrame, 2);
}

TEST_F(EventTest, ParamEventSetsSpeedBeforePlayStarts) {
    auto* param = static_cast<ParamEvent*>(w.doc.addEvent(kParamEvent, 0, 5));
    param->text = "$volume=3;$play_speed=200;other";
    play(10, 30);
    w.doc.setCurrentFrame(0);
    run(1);
    EXPECT_EQ(w.doc.playSpeed, 200);
    w.doc.setCurrentFrame(10);
    run(49);
    EXPECT_EQ(w.doc.currentFrame, 10);
    run(1);
    EXPECT_EQ(w.doc.currentFrame, 11);
    run(50);
    EXPECT_EQ(w.doc.currentFrame, 12);
}

TEST_F(EventTest, ParamEventTurnsPlayBackwards) {
    auto* param = static_cast<ParamEvent*>(w.doc.addEvent(kParamEvent, 10, 30));
    param->text = "$play_dir=-1";
    play(10, 30);
    w.doc.setCurrentFrame(20);
    run(1);  // the param fires at the first step
    EXPECT_EQ(w.doc.playDirection, -1);
    run(100);
    EXPECT_EQ(w.doc.currentFrame, 19);
    // A param fires once per entry into its range.
    w.doc.playDirection = 1;
    run(100);
    EXPECT_EQ(w.doc.playDirection, 1);
}

TEST_F(EventTest, MouseDownPausesOnlyInterruptiblePlay) {
    PlayEvent* e = play(0, 50);
    e->interruptible = 1;
    w.doc.setCurrentFrame(0);
    w.doc.mouseDown = 1;
    EXPECT_TRUE(run(500).empty());
    w.doc.mouseDown = 0;
    run(1);
    EXPECT_EQ(w.doc.currentFrame, 1);
    e->interruptible = 0;
    w.doc.mouseDown = 1;
    run(100);
    EXPECT_EQ(w.doc.currentFrame, 2);
}

TEST_F(EventTest, JumpLandsOnATargetAndStopsPlay) {
    auto* jump = static_cast<JumpEvent*>(w.doc.addEvent(kJumpEvent, 90, 95));
    jump->targets = {5, 30, 60};
    jump->wait = 10;
    std::set<int32_t> landed;
    for (uint32_t seed = 0; seed < 40; ++seed) {
        w.doc.seedRandom(seed);
        w.doc.setCurrentFrame(0);
        w.doc.setCurrentFrame(90);
        run(10);
        landed.insert(w.doc.currentFrame);
    }
    EXPECT_EQ(landed, (std::set<int32_t>{5, 30, 60}));

    // Without targets it only stops the running play event.
    PlayEvent* p = play(80, 99);
    jump->targets.clear();
    w.doc.setCurrentFrame(92);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], p);
    run(10);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr);
    EXPECT_EQ(w.doc.currentFrame, 92);
}

TEST_F(EventTest, JumpTargetsBeyondTheTimelineLandInsideIt) {
    auto* jump = static_cast<JumpEvent*>(w.doc.addEvent(kJumpEvent, 0, 0));
    jump->targets = {150};
    jump->wait = 0;
    w.doc.setCurrentFrame(0);
    run(1);
    EXPECT_EQ(w.doc.currentFrame, 99);
    jump->targets = {-20};
    w.doc.setCurrentFrame(0);
    w.doc.setCurrentFrame(0);
    w.doc.runningEvent[kJumpEvent] = nullptr;
    w.doc.enterFrame();
    run(1);
    EXPECT_EQ(w.doc.currentFrame, 0);
}

TEST_F(EventTest, OnlyTheLastCoveringSoundRunsAndRepeatLoops) {
    SoundResource a, b;
    a.sound = std::make_unique<Sound>();
    b.sound = std::make_unique<Sound>();
    auto* first = static_cast<SoundEvent*>(w.doc.addEvent(kSoundEvent, 0, 20));
    auto* second = static_cast<SoundEvent*>(w.doc.addEvent(kSoundEvent, 5, 10));
    first->sound = &a;
    second->sound = &b;
    second->repeat = 1;
    w.doc.setCurrentFrame(6);
    EXPECT_EQ(w.doc.runningEvent[kSoundEvent], second);
    run(100);
    ASSERT_EQ(w.audio.plays.size(), 1u);
    EXPECT_EQ(w.audio.plays[0].sound, b.sound.get());
    EXPECT_EQ(w.audio.plays[0].loops, 65535);
    // Leaving its range stops a repeating sound; the other one takes over.
    w.doc.setCurrentFrame(15);
    EXPECT_EQ(w.audio.stops, 1);
    EXPECT_EQ(w.doc.runningEvent[kSoundEvent], first);
    run(100);
    ASSERT_EQ(w.audio.plays.size(), 2u);
    EXPECT_EQ(w.audio.plays[1].loops, 1);
    // A sound without repeat plays on after its event stops.
    w.doc.setCurrentFrame(50);
    EXPECT_EQ(w.audio.stops, 1);
}

TEST_F(EventTest, SwitchingAKindOffStopsItsEventAndKeepsItIdle) {
    PlayEvent* e = play(0, 50);
    w.doc.setCurrentFrame(3);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], e);
    w.doc.kindSwitch[kPlayEvent] = 0;
    w.doc.applySwitches();
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr);
    EXPECT_EQ(e->due, 0);
    w.doc.setCurrentFrame(4);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr);
    EXPECT_TRUE(run(300).empty());
}

TEST_F(EventTest, RemovingTheRunningEventEmptiesItsSlot) {
    PlayEvent* e = play(0, 50);
    w.doc.setCurrentFrame(3);
    w.doc.removeEvent(e);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr);
    EXPECT_EQ(w.info.closes, 1);
    EXPECT_TRUE(run(300).empty());
    EXPECT_EQ(w.doc.addEvent(5, 0, 1), nullptr);
    EXPECT_EQ(w.doc.addEvent(-1, 0, 1), nullptr);
}

TEST_F(EventTest, EventsRunOnlyWithATimelineThatIsNotBeingDragged) {
    play(0, 50);
    w.timeline.dragging = true;
    w.doc.setCurrentFrame(3);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr);
    EXPECT_GT(w.view.redraws, 0);
    w.timeline.dragging = false;
    w.doc.timeline = nullptr;
    w.doc.setCurrentFrame(4);
    EXPECT_EQ(w.doc.runningEvent[kPlayEvent], nullptr);
    w.doc.timeline = &w.timeline;
}

TEST_F(EventTest, FindAndOverlapFollowKindsAndRanges) {
    Event* a = w.doc.addEvent(kSoundEvent, 10, 20);
    Event* b = w.doc.addEvent(kSoundEvent, 15, 30);
    w.doc.addEvent(kLinkEvent, 0, 99);
    EXPECT_EQ(w.doc.findEvent(kSoundEvent, 16), a);
    EXPECT_EQ(w.doc.findEvent(kSoundEvent, 25), b);
    EXPECT_EQ(w.doc.findEvent(kSoundEvent, 9), nullptr);
    EXPECT_EQ(w.doc.findEvent(kPlayEvent, 16), nullptr);
    EXPECT_TRUE(w.doc.eventOverlaps(kSoundEvent, 30, 40));
    EXPECT_TRUE(w.doc.eventOverlaps(kSoundEvent, 0, 10));
    EXPECT_FALSE(w.doc.eventOverlaps(kSoundEvent, 31, 40));
    EXPECT_FALSE(w.doc.eventOverlaps(kPlayEvent, 0, 99));

    test::RecordingPrompts prompts;
    installPrompts(&prompts);
    EXPECT_EQ(w.doc.addEventChecked(kSoundEvent, 25, 35), nullptr);
    EXPECT_NE(w.doc.addEventChecked(kSoundEvent, 31, 35), nullptr);
    installPrompts(nullptr);
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{documentString("e_ev_overlap")}));
    EXPECT_EQ(w.doc.events.size(), 4u);
}

// Counts animation steps.
class Blinker : public ImageObject {
public:
    using ImageObject::ImageObject;
    bool animate() override {
        ++steps;
        return true;
    }
    bool isAnimatedAt(int32_t frame) const override { return visibleAt(frame); }
    int steps = 0;
};

TEST_F(EventTest, AnimationStepsAtMostEvery300Milliseconds) {
    auto owned = std::make_unique<Blinker>(w.doc);
    owned->ranges.push_back({0, 10});
    auto* blinker = static_cast<Blinker*>(w.doc.addObject(std::move(owned)));
    auto hidden = std::make_unique<Blinker>(w.doc);
    hidden->ranges.push_back({50, 60});
    auto* offStage = static_cast<Blinker*>(w.doc.addObject(std::move(hidden)));
    w.advance(300);  // play mode began with an animation step
    int before = w.view.redraws;
    w.doc.timerStep();
    EXPECT_EQ(blinker->steps, 1);
    EXPECT_EQ(w.view.redraws, before + 1);
    run(299);
    EXPECT_EQ(blinker->steps, 1);
    run(1);
    EXPECT_EQ(blinker->steps, 2);
    EXPECT_EQ(offStage->steps, 0);
    w.doc.busy = 1;  // a frame entry in progress blocks timer steps
    run(1000);
    EXPECT_EQ(blinker->steps, 2);
    w.doc.busy = 0;
}

TEST_F(EventTest, EventsFiringEachOtherWithoutWaitingDoNotRecurseForever) {
    // Two jumps sending the frame back and forth, each range with a param
    // event that runs timer steps from inside its firing, all with no wait.
    for (auto [first, last, target] : {std::tuple{0, 10, 20}, std::tuple{20, 30, 0}}) {
        auto* jump = static_cast<JumpEvent*>(w.doc.addEvent(kJumpEvent, first, last));
        jump->targets = {target};
        jump->wait = 0;
        auto* param = static_cast<ParamEvent*>(w.doc.addEvent(kParamEvent, first, last));
        param->text = "$play_speed=100";
    }
    w.doc.setCurrentFrame(5);
    for (int i = 0; i < 50; ++i) w.doc.timerStep();  // the clock stands still
    EXPECT_TRUE(w.doc.currentFrame == 0 || w.doc.currentFrame == 20) << w.doc.currentFrame;
}

TEST(EventModes, PlayModeResetsSpeedAndEditModeSilencesLoops) {
    Wired w;
    SoundResource s;
    s.sound = std::make_unique<Sound>();
    auto* e = static_cast<SoundEvent*>(w.doc.addEvent(kSoundEvent, 0, 10));
    e->sound = &s;
    e->repeat = 1;
    w.doc.playSpeed = 7;
    w.doc.playDirection = 0;
    w.doc.setEditMode(false);
    EXPECT_EQ(w.doc.playSpeed, 100);
    EXPECT_EQ(w.doc.playDirection, 1);
    EXPECT_EQ(w.doc.runningEvent[kSoundEvent], e);
    w.doc.setEditMode(true);
    EXPECT_EQ(w.doc.runningEvent[kSoundEvent], nullptr);
    EXPECT_EQ(w.audio.stops, 1);
}

TEST(EventClock, WaitComesFromTheSettingsAtEachCreation) {
    settings().Set("def_wtime", "250");
    Document doc(0, 0);
    EXPECT_EQ(doc.addEvent(kLinkEvent, 0, 1)->wait, 250);
    settings().Set("def_wtime", "100");
    EXPECT_EQ(doc.addEvent(kLinkEvent, 0, 1)->wait, 100);
}

TEST(EventClock, AnEventArmedAtClockZeroStillFires) {
    Wired w;
    w.clock = 0;
    auto* e = static_cast<ParamEvent*>(w.doc.addEvent(kParamEvent, 0, 10));
    e->text = "$play_speed=300";
    w.doc.setEditMode(false);
    EXPECT_GE(e->due, 1);
    w.advance(1);
    w.doc.timerStep();
    EXPECT_EQ(w.doc.playSpeed, 300);
}

}  // namespace
}  // namespace tavlin
