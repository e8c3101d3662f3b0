#include <memory>
#include <string>
#include <vector>

#include <set>

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTest>

#include "recording_window.h"
#include "ui/control.h"
#include "ui/window.h"

namespace tavlin {
namespace {

using test::RecordingWindow;

// Presses at p along a slider of length 100 (proportion 0.2: thumb 20).
int32_t pressAt(RecordingWindow& w, Slider& s, int32_t p) {
    w.RouteButton(true, true, s.x() + p, s.y() + 5, 0);
    w.RouteButton(true, false, s.x() + p, s.y() + 5, 0);
    return s.position();
}

TEST(SliderDrag, PositionArithmeticAtBothEnds) {
    RecordingWindow w(nullptr, 0, 0, 200, 100, 0);
    Slider s(&w, 20, 10, 100, 16, 3, true);
    // p - t/2 scaled by (max - min + 1) / (length - t), then clamped.
    EXPECT_EQ(pressAt(w, s, 0), 0);     // (0 - 10) * 101 / 80 = -12 -> 0
    EXPECT_EQ(pressAt(w, s, 10), 0);
    EXPECT_EQ(pressAt(w, s, 11), 1);
    EXPECT_EQ(pressAt(w, s, 50), 50);
    EXPECT_EQ(pressAt(w, s, 89), 99);   // 79 * 101 / 80 = 99
    EXPECT_EQ(pressAt(w, s, 90), 100);  // 80 * 101 / 80 = 101 -> 100
    EXPECT_EQ(pressAt(w, s, 99), 100);

    // A range below zero: the division truncates toward zero before clamping.
    s.SetRange(-50, 50);
    EXPECT_EQ(pressAt(w, s, 9), -50);   // -1 * 101 / 80 = -1 -> -51 -> -50
    EXPECT_EQ(pressAt(w, s, 11), -49);
    EXPECT_EQ(pressAt(w, s, 99), 50);

    // Vertical sliders measure along y.
    Slider v(&w, 150, 0, 16, 100, 4, false);
    w.RouteButton(true, true, 155, 90, 0);
    EXPECT_EQ(v.position(), 100);
    EXPECT_TRUE(v.tracking());
    w.RouteButton(true, false, 155, 90, 0);
    EXPECT_FALSE(v.tracking());
}

TEST(SliderDrag, HugeRangesDoNotOverflow) {
    RecordingWindow w(nullptr, 0, 0, 200, 100, 0);
    Slider s(&w, 0, 0, 100, 16, 3, true);
    s.SetRange(0, 2000000000);
    EXPECT_EQ(pressAt(w, s, 90), 2000000000);
    int32_t mid = pressAt(w, s, 50);
    EXPECT_GT(mid, 900000000);
    EXPECT_LT(mid, 1100000000);
    s.SetPosition(1999999999);
    w.canvas()->FillRect(0, 0, 200, 100, 0x123456);
    s.Draw();  // thumb offset arithmetic with a huge range
    EXPECT_EQ(w.canvas()->image().at(99, 8) & 0xFFFFFF, 0x000000u);  // right edge of the thumb
}

TEST(SliderDrag, NotifiesWhileTrackingAndOnceMoreOnRelease) {
    RecordingWindow w(nullptr, 0, 0, 200, 100, 0);
    Slider s(&w, 0, 0, 100, 16, 7, true);
    std::vector<bool> tracking;
    w.RouteButton(true, true, 50, 5, 0);
    tracking.push_back(s.tracking());
    w.RouteMouseMove(60, 5, 0);
    tracking.push_back(s.tracking());
    w.RouteButton(true, false, 60, 5, 0);
    tracking.push_back(s.tracking());
    EXPECT_EQ(w.controlIds, (std::vector<int32_t>{7, 7, 7}));
    EXPECT_EQ(tracking, (std::vector<bool>{true, true, false}));
    // Moving without a press does not drag.
    w.controlIds.clear();
    w.RouteMouseMove(10, 5, 0);
    EXPECT_TRUE(w.controlIds.empty());
    EXPECT_EQ(s.position(), 63);
}

TEST(SliderKeysAndWheel, StepsStayInsideTheRange) {
    RecordingWindow w(nullptr, 0, 0, 200, 100, 0);
    Slider s(&w, 0, 0, 100, 16, 2, true);
    s.SetRange(0, 3);
    s.SetPosition(3);
    EXPECT_TRUE(s.OnKey(6));  // at the maximum: no change, no notice
    EXPECT_TRUE(w.controlIds.empty());
    EXPECT_TRUE(s.OnKey(16));
    EXPECT_EQ(s.position(), 2);
    EXPECT_FALSE(s.tracking());
    EXPECT_TRUE(s.OnKey(14));
    EXPECT_EQ(s.position(), 3);
    EXPECT_FALSE(s.OnKey('a'));
    EXPECT_EQ(w.controlIds.size(), 2u);

    EXPECT_TRUE(s.OnWheel(-10));  // down: position grows, clamped
    EXPECT_EQ(s.position(), 3);
    EXPECT_TRUE(s.OnWheel(2));
    EXPECT_EQ(s.position(), 1);
    EXPECT_TRUE(s.tracking());
    EXPECT_TRUE(s.OnWheel(5));
    EXPECT_EQ(s.position(), 0);
}

TEST(SliderPaint, ThumbPlacementAndFocusFrame) {
    RecordingWindow w(nullptr, 0, 0, 200, 100, 0);
    Slider s(&w, 10, 10, 100, 16, 2, true);
    s.SetPosition(50);
    s.Draw();
    const Image& img = w.canvas()->image();
    // t = 20, offset = 50 * 80 / 100 = 40: the thumb spans x 50..69.
    EXPECT_EQ(img.at(10 + 39, 18) & 0xFFFFFF, 0xE0E0E0u);
    EXPECT_EQ(img.at(10 + 40, 18) & 0xFFFFFF, 0xFFFFFFu);  // light left edge
    EXPECT_EQ(img.at(10 + 45, 18) & 0xFFFFFF, 0xC0C0C0u);
    EXPECT_EQ(img.at(10 + 59, 18) & 0xFFFFFF, 0x000000u);  // dark right edge
    EXPECT_EQ(img.at(10 + 60, 18) & 0xFFFFFF, 0xE0E0E0u);
    EXPECT_EQ(img.at(10, 10) & 0xFFFFFF, 0xC0C0C0u);  // frame without focus
    w.SetFocusControl(&s);
    EXPECT_EQ(w.canvas()->image().at(10, 10) & 0xFFFFFF, 0x000000u);

    // An empty range or a disabled slider is the desktop's disabled bar:
    // no thumb, and not a flat strip.
    s.SetRange(5, 5);
    s.Draw();
    const Image& off = w.canvas()->image();
    EXPECT_NE(off.at(10 + 40, 18) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(off.at(10 + 59, 18) & 0xFFFFFF, 0x000000u);
    std::set<uint32_t> colours;
    for (int32_t x = 10; x < 110; ++x)
        for (int32_t y = 10; y < 26; ++y) colours.insert(off.at(x, y) & 0xFFFFFF);
    EXPECT_GT(colours.size(), 1u);
    for (int32_t x = 10; x < 110; x += 9) EXPECT_EQ(off.at(x, 18) >> 24, 0xFFu) << "opaque";
}

// A 20 x 20 picture: blue with a red top-left pixel.
std::unique_ptr<Image> marked(uint32_t body) {
    auto img = std::make_unique<Image>(20, 20);
    for (uint32_t& p : img->pixels) p = body;
    img->at(0, 0) = 0xFFFF0000u;
    return img;
}

TEST(ImageButtonPaint, PressedWithoutPressedPictureIsTheNormalOneShifted) {
    RecordingWindow w(nullptr, 0, 0, 100, 100, 0);
    w.canvas()->FillRect(0, 0, 100, 100, 0x00FF00);  // green background
    ImageButton b(&w, 30, 30, 20, 20, 6);
    auto normal = marked(0xFF0000FFu);
    b.SetImages(normal.get(), nullptr, nullptr, nullptr);
    b.Draw();
    const Image& img = w.canvas()->image();
    EXPECT_EQ(img.at(30, 30), 0xFFFF0000u);
    EXPECT_EQ(img.at(31, 31), 0xFF0000FFu);

    w.RouteButton(true, true, 40, 40, 0);  // hovered and pressed
    EXPECT_EQ(img.at(30, 30), 0xFF00FF00u);  // the remembered background shows
    EXPECT_EQ(img.at(31, 31), 0xFF00FF00u);
    EXPECT_EQ(img.at(32, 32), 0xFFFF0000u);  // the marker moved by (2, 2)
    EXPECT_EQ(img.at(49, 49), 0xFF0000FFu);
    EXPECT_EQ(img.at(50, 50), 0xFF00FF00u);  // nothing spills outside the button
    EXPECT_EQ(img.at(51, 40), 0xFF00FF00u);

    // Released outside: no command; released inside: the command.
    w.RouteMouseMove(80, 80, 0);
    w.RouteButton(true, false, 80, 80, 0);
    EXPECT_TRUE(w.controlIds.empty());
    EXPECT_EQ(img.at(30, 30), 0xFFFF0000u);
    w.RouteButton(true, true, 40, 40, 0);
    w.RouteButton(true, false, 41, 41, 0);
    EXPECT_EQ(w.controlIds, std::vector<int32_t>{6});
    test::saveScreenshot(w, "image_button.png");
}

TEST(ImageButtonPaint, RolloverPressedDisabledAndKeys) {
    RecordingWindow w(nullptr, 0, 0, 100, 100, 0);
    ImageButton b(&w, 0, 0, 20, 20, 8);
    auto normal = marked(0xFF000001u), pressed = marked(0xFF000002u), roll = marked(0xFF000003u);
    // The button owns the disabled picture and frees it.
    b.SetImages(normal.get(), pressed.get(), roll.get(), marked(0xFF000004u).release(), ImageButton::kOwnDisabled);
    const Image& img = w.canvas()->image();
    w.RouteMouseMove(5, 5, 0);
    EXPECT_EQ(img.at(5, 5), 0xFF000003u);
    w.RouteButton(true, true, 5, 5, 0);
    EXPECT_EQ(img.at(5, 5), 0xFF000002u);
    w.RouteButton(true, false, 5, 5, 0);
    EXPECT_EQ(w.controlIds, std::vector<int32_t>{8});
    w.RouteMouseMove(60, 60, 0);
    EXPECT_EQ(img.at(5, 5), 0xFF000001u);
    // Leaving the window ends the rollover too.
    w.RouteMouseMove(5, 5, 0);
    EXPECT_EQ(img.at(5, 5), 0xFF000003u);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w.client(), &leave);
    EXPECT_EQ(w.hoveredControl(), nullptr);
    EXPECT_EQ(img.at(5, 5), 0xFF000001u);
    b.Enable(false);
    b.Draw();
    EXPECT_EQ(img.at(5, 5), 0xFF000004u);
    b.Enable(true);
    EXPECT_TRUE(b.OnKey(32));
    EXPECT_TRUE(b.OnKey(13));
    EXPECT_FALSE(b.OnKey('x'));
    EXPECT_EQ(w.controlIds, (std::vector<int32_t>{8, 8, 8}));
}

TEST(NativeControls, ListBoxKeepsWin32SelectionRules) {
    RecordingWindow w(nullptr, 0, 0, 300, 200, 0);
    ListBox list(&w, 10, 10, 120, 100, 4);
    w.Show(true);
    list.AddString("alpha");
    list.AddString("gamma");
    list.InsertString(1, "beta");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.GetSelection(), -1);
    EXPECT_STREQ(list.GetString(1), "beta");
    EXPECT_STREQ(list.GetString(7), "");
    // One buffer for the class: the next call replaces the text.
    const char* first = list.GetString(0);
    std::string copy = first;
    list.GetString(2);
    EXPECT_EQ(copy, "alpha");
    EXPECT_STREQ(list.GetString(2), "gamma");

    list.SetSelection(2);  // from code: no notice
    EXPECT_EQ(list.GetSelection(), 2);
    EXPECT_TRUE(w.controlIds.empty());
    auto* qlist = qobject_cast<QListWidget*>(list.NativeHandle());
    ASSERT_NE(qlist, nullptr);
    QRect r = qlist->visualItemRect(qlist->item(0));
    QTest::mouseClick(qlist->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    EXPECT_EQ(list.GetSelection(), 0);
    EXPECT_EQ(w.controlIds, std::vector<int32_t>{4});
    list.DeleteString(0);
    list.DeleteString(9);
    EXPECT_EQ(list.Count(), 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.GetSelection(), -1);
}

TEST(NativeControls, ComboCheckButtonEditNotify) {
    RecordingWindow w(nullptr, 0, 0, 300, 200, 0);
    ComboBox combo(&w, 10, 10, 120, 24, 1);
    CheckButton check(&w, 10, 40, 120, 24, 2, "&Loop");
    Button button(&w, 10, 70, 80, 30, 3, "OK");
    Edit edit(&w, 10, 110, 120, 24, 4);
    w.Show(true);

    combo.AddString("one");
    combo.AddString("two");
    EXPECT_EQ(combo.GetSelection(), -1);  // nothing chosen until set
    combo.SetSelection(1);
    EXPECT_STREQ(combo.GetString(1), "two");
    EXPECT_EQ(combo.GetSelection(), 1);
    auto* qcombo = qobject_cast<QComboBox*>(combo.NativeHandle());
    emit qcombo->activated(0);  // the user's choice
    EXPECT_FALSE(check.IsChecked());
    QTest::mouseClick(check.NativeHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 12));
    EXPECT_TRUE(check.IsChecked());
    check.SetChecked(false);
    EXPECT_FALSE(check.IsChecked());
    QTest::mouseClick(button.NativeHandle(), Qt::LeftButton);
    edit.SetText("abc");
    EXPECT_STREQ(edit.GetText(), "abc");
    QTest::keyClick(edit.NativeHandle(), 'd');
    EXPECT_STREQ(edit.GetText(), "abcd");
    EXPECT_EQ(w.controlIds, (std::vector<int32_t>{1, 2, 3, 4, 4}));

    // Disabling and hiding reach the widget; a disabled button is silent.
    button.Enable(false);
    EXPECT_FALSE(button.NativeHandle()->isEnabled());
    QTest::mouseClick(button.NativeHandle(), Qt::LeftButton);
    EXPECT_EQ(w.controlIds.size(), 5u);
    edit.Show(false);
    EXPECT_FALSE(edit.NativeHandle()->isVisible());
    edit.SetRect(20, 30, 40, 22);
    EXPECT_EQ(edit.NativeHandle()->geometry(), QRect(20, 30, 40, 22));
    test::saveScreenshot(w, "native_controls.png");

    // After the window is gone the controls still answer, without a widget.
    w.Destroy();
    EXPECT_EQ(edit.NativeHandle(), nullptr);
    EXPECT_STREQ(edit.GetText(), "");
    EXPECT_EQ(combo.Count(), 0);
}

}  // namespace
}  // namespace tavlin
