#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include "recording_window.h"
#include "ui/audio_output.h"
#include "ui/choice_window.h"
#include "ui/clipboard.h"
#include "ui/control.h"
#include "ui/cursors.h"
#include "ui/platform.h"

namespace tavlin {
namespace {

ChoiceWindow* openChoice() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = dynamic_cast<ChoiceWindow*>(Window::FromWidget(w)); c && c->exists() && w->isVisible())
            return c;
    return nullptr;
}

TEST(AskChoiceWindow, TwelveLabelsShowTenAndTheClickedIndexComesBack) {
    std::vector<std::string> labels;
    for (int i = 0; i < 12; ++i) labels.push_back("b" + std::to_string(i));
    size_t buttons = 0;
    std::vector<QRect> rects;
    int32_t clientWidth = 0, clientHeight = 0;
    QTimer::singleShot(0, [&] {
        ChoiceWindow* c = openChoice();
        ASSERT_NE(c, nullptr);
        buttons = c->buttonCount();
        clientWidth = c->client()->width();
        clientHeight = c->client()->height();
        for (Control* ctl : c->controls()) rects.push_back(QRect(ctl->x(), ctl->y(), ctl->width(), ctl->height()));
        test::saveScreenshot(*c, "ask_choice.png");
        QTest::mouseClick(c->ControlById(3)->NativeHandle(), Qt::LeftButton);
    });
    EXPECT_EQ(AskChoice(nullptr, "Pick one of these", labels), 3);
    EXPECT_EQ(buttons, 10u);
    ASSERT_EQ(rects.size(), 10u);
    // x(0) = 10, x(i+1) = x(i) + lw(i) + 40, width lw(i) + 20, at y 65, 35 high.
    EXPECT_EQ(rects[0].x(), 10);
    for (size_t i = 0; i + 1 < rects.size(); ++i) {
        int32_t lw = rects[i].width() - 20;
        EXPECT_EQ(rects[i + 1].x(), rects[i].x() + lw + 40);
        EXPECT_EQ(rects[i].y(), 65);
        EXPECT_EQ(rects[i].height(), 35);
    }
    int32_t sum = 40;
    for (const QRect& r : rects) sum += r.width() - 20 + 40;
    EXPECT_EQ(clientWidth, sum);
    EXPECT_EQ(clientHeight, 120);
}

TEST(AskChoiceWindow, ClosingAnswersMinusOneAndNoLabelsAnswerZero) {
    QTimer::singleShot(0, [&] {
        ChoiceWindow* c = openChoice();
        ASSERT_NE(c, nullptr);
        c->widget()->close();
    });
    EXPECT_EQ(AskChoice(nullptr, "Close me", {"Yes", "No"}), -1);
    EXPECT_EQ(AskChoice(nullptr, "Nothing to press", {}), 0);

    // A longer text widens the window to the text (as far as the screen allows).
    std::string text(30, 'W');
    int32_t width = 0;
    QTimer::singleShot(0, [&] {
        ChoiceWindow* c = openChoice();
        ASSERT_NE(c, nullptr);
        width = c->client()->width();
        c->EndModal(0);
    });
    EXPECT_EQ(AskChoice(nullptr, text, {"OK"}), 0);
    Canvas probe(1, 1);
    probe.SelectFont(DefaultFont());
    EXPECT_EQ(width, probe.MeasureText(text).x + 40);
}

TEST(MessageBoxes, TitledMessageAndTheWindowTextLimit) {
    test::RecordingWindow w(nullptr, 0, 0, 100, 100, 0);
    w.Show(true);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    auto grabAndClose = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->accept();
    };
    QTimer::singleShot(0, grabAndClose);
    std::string longText(700, 'x');
    w.Message("%s-%d", longText.c_str(), 5);
    EXPECT_EQ(title, "Message");
    EXPECT_EQ(text.size(), 511);  // cut, not overrun
    EXPECT_EQ(icon, QMessageBox::NoIcon);

    // Core code's messages and questions go through the installed prompts.
    InstallQtPrompts();
    QTimer::singleShot(0, grabAndClose);
    ShowMessage("Cannot open %s", "a.png");
    EXPECT_EQ(title, "Message");
    EXPECT_EQ(text, "Cannot open a.png");
    // A failure carries the desktop's warning icon.
    EXPECT_EQ(icon, QMessageBox::Warning);
    QTimer::singleShot(0, [&] {
        ChoiceWindow* c = openChoice();
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->buttonCount(), 2u);
        c->EndModal(1);
    });
    EXPECT_EQ(AskChoice("Save changes?", {"Yes", "No"}), 1);
    installPrompts(nullptr);
}

TEST(FileDialogFilters, ZeroSeparatedPairsBecomeQtNameFilters) {
    static const char raw[] = "Pictures\0*.png;*.jpg;*.gif\0Sum u-law audio (*.au)\0*.au\0\0ignored\0*.x\0";
    std::string list(raw, sizeof raw - 1);
    auto filters = QtNameFilters(list);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0], "Pictures (*.png *.jpg *.gif)");
    // A label that names its patterns names them once.
    EXPECT_EQ(filters[1], "Sum u-law audio (*.au)");
    // A label without its pattern is dropped rather than read past the end.
    EXPECT_TRUE(QtNameFilters(std::string("Lonely", 6)).empty());
    EXPECT_TRUE(QtNameFilters(std::string()).empty());
}

TEST(Clipboard, TextAndPicturesRoundTrip) {
    ASSERT_TRUE(ClipboardSetText("frame 12\tJump"));
    auto text = ClipboardGetText();
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "frame 12\tJump");

    Image img(3, 2);
    img.at(0, 0) = 0xFF102030u;
    img.at(2, 1) = 0xFFFFFF00u;
    ASSERT_TRUE(ClipboardSetImage(img));
    auto back = ClipboardGetImage();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width, 3);
    EXPECT_EQ(back->height, 2);
    EXPECT_EQ(back->at(0, 0), 0xFF102030u);
    EXPECT_EQ(back->at(2, 1), 0xFFFFFF00u);
    EXPECT_FALSE(ClipboardSetImage(Image()));
}

TEST(CursorTable, BuiltInShapesAndCursorsFromPictures) {
    EXPECT_GE(CursorCount(), kBuiltInCursorCount);
    for (int32_t id = 0; id < kBuiltInCursorCount; ++id) {
        const CursorShape& s = BuiltInCursorShape(id);
        int black = 0;
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x) black += CursorShapePixel(s, x, y) == 1;
        EXPECT_GT(black, 3) << "cursor " << id;
        EXPECT_NE(CursorShapePixel(s, s.hotX, s.hotY), 3) << "cursor " << id;
        EXPECT_NE(CursorById(id), nullptr);
    }
    // The arrow points at its hot spot; the slider cursors differ.
    const CursorShape& arrow = BuiltInCursorShape(kCursorArrow);
    EXPECT_EQ(arrow.hotX, 0);
    EXPECT_EQ(arrow.hotY, 0);
    EXPECT_EQ(CursorShapePixel(arrow, 0, 0), 1);
    EXPECT_EQ(CursorShapePixel(arrow, 15, 0), 0);
    EXPECT_NE(std::string(reinterpret_cast<const char*>(BuiltInCursorShape(12).andMask), 32),
              std::string(reinterpret_cast<const char*>(BuiltInCursorShape(13).andMask), 32));
    EXPECT_EQ(CursorById(-1), nullptr);
    EXPECT_EQ(CursorById(CursorCount()), nullptr);

    Image pic(4, 4);
    pic.transparent = true;
    pic.at(0, 0) = 0x00000000u;  // transparent
    pic.at(1, 0) = 0xFF000000u;  // black
    pic.at(2, 0) = 0xFF000001u;  // any colour but 0: white
    int32_t id = CursorFromImage(pic, 2, 3);
    EXPECT_EQ(id, CursorCount() - 1);
    const QCursor* c = CursorById(id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->hotSpot(), QPoint(2, 3));
    QImage shown = c->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
    EXPECT_EQ(shown.pixel(1, 0), 0xFF000000u);
    EXPECT_EQ(shown.pixel(2, 0), 0xFFFFFFFFu);

    // Unknown ids hide the cursor instead of failing.
    test::RecordingWindow w(nullptr, 0, 0, 50, 50, 0);
    w.SetCursor(9999);
    EXPECT_EQ(w.client()->cursor().shape(), Qt::BlankCursor);
    w.SetCursor(kCursorWait);
    EXPECT_EQ(w.client()->cursor().shape(), Qt::BitmapCursor);

    // A sheet of every built-in shape, eight times enlarged, to look at.
    QImage sheet(kBuiltInCursorCount * 136, 136, QImage::Format_ARGB32);
    sheet.fill(0xFF8080C0u);
    for (int32_t i = 0; i < kBuiltInCursorCount; ++i)
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                int32_t p = CursorShapePixel(BuiltInCursorShape(i), x, y);
                if (!p) continue;
                uint32_t colour = p == 2 ? 0xFFFFFFFFu : 0xFF000000u;
                for (int32_t k = 0; k < 64; ++k) sheet.setPixel(i * 136 + 4 + x * 8 + k % 8, 4 + y * 8 + k / 8, colour);
            }
    std::filesystem::create_directories("ui_screenshots");
    sheet.save("ui_screenshots/cursors.png");
}

TEST(SoundOutput, LoopingSourceRepeatsTheSamples) {
    LoopingSource once({1, 2, 3, 4}, 1);
    once.open(QIODevice::ReadOnly);
    EXPECT_EQ(once.readAll(), QByteArray("\x01\x02\x03\x04", 4));
    EXPECT_EQ(once.remaining(), 0u);

    LoopingSource thrice({1, 2, 3, 4}, 3);
    thrice.open(QIODevice::ReadOnly);
    EXPECT_EQ(thrice.remaining(), 12u);
    char buf[5];
    EXPECT_EQ(thrice.read(buf, 5), 5);
    EXPECT_EQ(QByteArray(buf, 5), QByteArray("\x01\x02\x03\x04\x01", 5));
    EXPECT_EQ(thrice.readAll(), QByteArray("\x02\x03\x04\x01\x02\x03\x04", 7));
    EXPECT_EQ(thrice.read(buf, 5), 0);

    // The full loop count of a looping sound, without copying it 65535 times.
    LoopingSource loop(std::vector<uint8_t>(16000, 0), AudioOutput::kLoopCount);
    EXPECT_EQ(loop.remaining(), uint64_t(16000) * 65535);
    LoopingSource empty({}, 5);
    EXPECT_EQ(empty.remaining(), 0u);
}

TEST(SoundOutput, PlayFailsQuietlyWithoutSamplesOrDevice) {
    AudioOutput& out = AudioOutput::instance();
    Sound silent;
    EXPECT_FALSE(out.play(silent, false));
    EXPECT_FALSE(out.playing());

    Sound beep;
    beep.data.assign(1600, 0);
    bool played = out.play(beep, true);
    if (played) {
        EXPECT_TRUE(out.playing());
        uint64_t first = out.header();
        // A second sound stops the first; its late notice is ignored.
        EXPECT_TRUE(out.play(beep, false));
        EXPECT_NE(out.header(), first);
        out.playbackDone(first);
        EXPECT_TRUE(out.playing());
        out.playbackDone(out.header());
        EXPECT_FALSE(out.playing());
    } else {
        EXPECT_FALSE(out.playing());
    }
    out.stop();
    EXPECT_FALSE(out.playing());
    EXPECT_EQ(out.header(), 0u);
}

}  // namespace
}  // namespace tavlin
