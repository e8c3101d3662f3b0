// The capture window recording from FFmpeg's test pattern, set as the capture
// input through the settings, into real AVI files that are then opened again.

#include <chrono>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "core/key_codes.h"
#include "media/video/video_sources.h"
#include "studio/capture_dialog.h"
#include "studio_fixture.h"
#include "ui/control.h"

namespace tavlin {
namespace {

using test::StudioTest;

const CaptureInput kPattern{"lavfi", "testsrc=size=96x64:rate=25"};

// Pumps events until `done` holds or five seconds pass.
bool waitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QTest::qWait(20);
    }
    return true;
}

class CaptureTest : public StudioTest {
protected:
    void TearDown() override {
        owner.reset();
        StudioTest::TearDown();
    }
    static void type(CaptureDialog& d, int32_t id, const std::string& text) {
        dynamic_cast<Edit*>(d.ControlById(id))->SetText(text);
    }
    static std::string startLabel(CaptureDialog& d) {
        return dynamic_cast<Button*>(d.ControlById(CaptureDialog::kStart))->label();
    }
    // The recording, opened as an AVI file like any imported video.
    static std::unique_ptr<AviSource> open(const std::string& path) {
        auto source = std::make_unique<AviSource>();
        if (!source->load(path)) return nullptr;
        return source;
    }
    std::unique_ptr<Window> owner = std::make_unique<Window>(nullptr, 0, 0, 200, 200, kMainWindow);
};

TEST_F(CaptureTest, WithoutACameraThereIsNoDriver) {
    settings().Set("capture_format", "v4l2");
    settings().Set("capture_device", scratch.file("no-such-camera"));
    EXPECT_FALSE(captureVideo(owner.get(), scratch.file("c.avi")));
    settings().Set("capture_format", "no-such-input");
    EXPECT_FALSE(captureVideo(owner.get(), scratch.file("c.avi")));
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Error: No driver", "Error: No driver"}));
}

TEST_F(CaptureTest, PreviewsRefusesBadRatesAndRecordsUntilStopped) {
    const std::string first = scratch.file("first.avi");
    CaptureDialog dialog(owner.get(), kPattern, first);
    ASSERT_TRUE(dialog.connected());
    dialog.Show(true);
    EXPECT_EQ(std::string(dynamic_cast<Edit*>(dialog.ControlById(CaptureDialog::kRate))->GetText()), "25");
    EXPECT_EQ(std::string(dynamic_cast<Edit*>(dialog.ControlById(CaptureDialog::kFile))->GetText()), first);

    // The preview shows the pattern, not the black it starts with.
    ASSERT_TRUE(waitFor([&] { return dialog.previewed() >= 3; }));
    const Image& back = dialog.canvas()->image();
    int coloured = 0;
    for (int32_t y = 0; y < CaptureDialog::kPreviewHeight; ++y)
        for (int32_t x = 0; x < CaptureDialog::kPreviewWidth; ++x)
            coloured += (back.at(CaptureDialog::kPreviewX + x, CaptureDialog::kPreviewY + y) & 0xFFFFFF) != 0;
    EXPECT_GT(coloured, CaptureDialog::kPreviewWidth * CaptureDialog::kPreviewHeight / 2);

    for (const char* bad : {"0", "100", "", "12fps", "-5"}) {
        type(dialog, CaptureDialog::kRate, bad);
        dialog.OnControl(CaptureDialog::kStart);
        EXPECT_FALSE(dialog.recording()) << bad;
    }
    EXPECT_EQ(prompts.messages, std::vector<std::string>(5, "Error: Bad rate."));
    prompts.messages.clear();

    // Recorded at 10 per second for about a second, ended with Escape.
    type(dialog, CaptureDialog::kRate, "10");
    dialog.OnControl(CaptureDialog::kStart);
    ASSERT_TRUE(dialog.recording());
    EXPECT_EQ(startLabel(dialog), "Stop");
    QTest::qWait(1200);
    dialog.OnKey(Key::Escape);
    EXPECT_FALSE(dialog.recording());
    EXPECT_EQ(startLabel(dialog), "Start");
    EXPECT_EQ(dialog.recorded(), first);
    EXPECT_TRUE(prompts.messages.empty());
    auto video = open(first);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->current.width, 96);
    EXPECT_EQ(video->current.height, 64);
    EXPECT_GE(video->frameCount, 8);
    EXPECT_LE(video->frameCount, 40);
    EXPECT_NEAR(video->frameRate, 10.0, 0.01);
    ASSERT_TRUE(video->frameAt(video->frameCount - 1));

    // An empty file field asks for a file; cancelling starts nothing.
    type(dialog, CaptureDialog::kFile, "");
    dialog.OnControl(CaptureDialog::kStart);
    EXPECT_FALSE(dialog.recording());
    ASSERT_EQ(prompts.saveFilters.size(), 1u);
    EXPECT_EQ(prompts.saveFilters[0], std::string("AVI Movie Files(*.avi)\0*.avi\0", 30));

    // A chosen file; a click in the window stops, and closing keeps a
    // recording that is still running.
    const std::string second = scratch.file("second.avi"), third = scratch.file("third.avi");
    prompts.saves.push_back(second);
    dialog.OnControl(CaptureDialog::kStart);
    ASSERT_TRUE(dialog.recording());
    QTest::qWait(400);
    dialog.OnLeftDown(300, 250, 0);
    EXPECT_EQ(dialog.recorded(), second);
    type(dialog, CaptureDialog::kFile, third);
    dialog.OnControl(CaptureDialog::kStart);
    ASSERT_TRUE(dialog.recording());
    QTest::qWait(400);
    dialog.OnClose();
    EXPECT_EQ(dialog.recorded(), third);
    EXPECT_TRUE(open(second));
    EXPECT_TRUE(open(third));
}

TEST_F(CaptureTest, AFileThatCannotBeCreatedIsReportedAndNothingIsKept) {
    const std::string inMissingFolder = scratch.file("missing/c.avi");
    CaptureDialog dialog(owner.get(), kPattern, inMissingFolder);
    ASSERT_TRUE(dialog.connected());
    dialog.OnControl(CaptureDialog::kStart);
    EXPECT_FALSE(dialog.recording());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].rfind("Error# ", 0), 0u) << prompts.messages[0];
    dialog.OnClose();
    EXPECT_TRUE(dialog.recorded().empty());
}

// The whole modal run: the window is found on the screen, recording starts,
// and closing it hands back the file.
TEST_F(CaptureTest, CaptureVideoReturnsTheRecordedFile) {
    settings().Set("capture_format", kPattern.format);
    settings().Set("capture_device", kPattern.device);
    const std::string path = scratch.file("modal.avi");
    CaptureDialog* shown = nullptr;
    std::function<void()> drive = [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == "Capture")
                shown = dynamic_cast<CaptureDialog*>(Window::FromWidget(w));
        if (!shown) {
            QTimer::singleShot(50, drive);
            return;
        }
        shown->OnControl(CaptureDialog::kStart);
        QTimer::singleShot(600, [&] { shown->OnClose(); });
    };
    QTimer::singleShot(50, drive);
    const auto result = captureVideo(owner.get(), path);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, path);
    auto video = open(path);
    ASSERT_TRUE(video);
    EXPECT_GT(video->frameCount, 0);
}

}  // namespace
}  // namespace tavlin
