// The keys a desktop user expects in every dialog and question: Enter presses
// the default button, Escape cancels as the close box does, Tab into a field
// selects its text, a double click in a list chooses the row; and a window
// kept inside the screen's available area.

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "base/paths.h"
#include "core/resource_folder.h"
#include "media/media_registry.h"
#include "support/recording_prompts.h"
#include "ui/choice_window.h"
#include "ui/control.h"
#include "ui/dialog.h"
#include "ui/menu.h"
#include "ui/platform.h"
#include "ui/window.h"

namespace tavlin {
namespace {

std::string shippedRes() {
    if (const char* src = std::getenv("TAVLIN_TEST_SRC")) return joinPath(src, "res");
    return joinPath(QCoreApplication::applicationDirPath().toStdString(), "res");
}

// A shipped dialog that ends with 100 + the id of the button pressed.
class PressedDialog : public Dialog {
public:
    PressedDialog(Window* owner, const std::string& name) : Dialog(owner, name) {}
    void OnControl(int32_t id) override {
        if (dynamic_cast<Button*>(ControlById(id))) EndModal(100 + id);
    }
};

void typeInto(Window* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    ASSERT_NE(w, nullptr);
    QWidget* target = QApplication::focusWidget();
    if (!target || Window::FromWidget(target) != w) target = w->client();
    QTest::keyClick(target, key, mods);
}

// Runs `steps` inside the next modal loop, then returns what the loop gave;
// a loop the steps did not end is ended with -99.
template <typename Run>
int32_t whileModal(Run run, std::function<void()> steps) {
    auto done = std::make_shared<bool>(false);
    QTimer::singleShot(0, [steps, done] {
        steps();
        QTimer::singleShot(50, [done] {
            if (ModalWindow* m = ModalWindow::Innermost(); m && !*done) m->EndModal(-99);
        });
    });
    int32_t result = run();
    *done = true;
    return result;
}

class DesktopKeys : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fileExists(joinPath(shippedRes(), "dialog.txt"))) GTEST_SKIP() << "no res folder";
        if (!findImageFormat("x.png")) registerImageFormats();
        resources().Open(shippedRes());
        installPrompts(&prompts_);
        owner = std::make_unique<Window>(nullptr, 100, 100, 300, 200, kMainWindow);
        owner->Show(true);
    }
    void TearDown() override {
        if (owner) owner->Destroy();
        owner.reset();
        installPrompts(nullptr);
        FlushDestroyedWindows();
    }
    int32_t runDialog(const std::string& name, std::function<void(PressedDialog&)> steps) {
        PressedDialog dialog(owner.get(), name);
        int32_t result = whileModal([&] { return dialog.DoModal(); }, [&] { steps(dialog); });
        dialog.Destroy();
        return result;
    }
    std::unique_ptr<Window> owner;
    test::RecordingPrompts prompts_;
};

TEST_F(DesktopKeys, QuestionsTakeEnterEscapeAndTheFocusedButton) {
    auto ask = [&](std::function<void()> keys) {
        return whileModal(
            [&] {
                return AskChoice(owner.get(), "Save the changes?", {"Save", "Don't Save", "Cancel"});
            },
            keys);
    };
    EXPECT_EQ(ask([] { typeInto(ModalWindow::Innermost(), Qt::Key_Return); }), 0);
    EXPECT_EQ(ask([] { typeInto(ModalWindow::Innermost(), Qt::Key_Enter); }), 0);
    // Escape is the close box: -1, never "Don't Save".
    EXPECT_EQ(ask([] { typeInto(ModalWindow::Innermost(), Qt::Key_Escape); }), -1);
    // Enter presses the button that has the focus.
    EXPECT_EQ(ask([] {
                  auto* q = dynamic_cast<ChoiceWindow*>(ModalWindow::Innermost());
                  ASSERT_NE(q, nullptr);
                  q->SetFocusControl(q->button(2));
                  typeInto(q, Qt::Key_Return);
              }),
              2);
    // Other keys answer nothing.
    EXPECT_EQ(ask([] { typeInto(ModalWindow::Innermost(), Qt::Key_Q); }), -99);
    EXPECT_TRUE(owner->IsEnabled());
}

TEST_F(DesktopKeys, ShippedDialogsPressTheirConfirmingButton) {
    // The confirming button stands left of the cancelling one in the corner,
    // whatever other buttons the dialog has.
    const struct {
        const char* name;
        std::string label;
    } dialogs[] = {{"about", "OK"},           {"dimension", "OK"},       {"dmrecent", "&Open"},
                   {"saveparam", "&Publish"}, {"erasefiles", "&Delete"}, {"skipinout", "OK"}};
    for (const auto& d : dialogs) {
        int32_t expected = -1;
        int32_t got = runDialog(d.name, [&](PressedDialog& dialog) {
            Control* def = dialog.DefaultButton();
            ASSERT_NE(def, nullptr) << d.name;
            EXPECT_EQ(static_cast<Button*>(def)->label(), d.label) << d.name;
            expected = 100 + def->id();
            typeInto(&dialog, Qt::Key_Return);
        });
        EXPECT_EQ(got, expected) << d.name;
        EXPECT_EQ(runDialog(d.name, [](PressedDialog& dialog) { typeInto(&dialog, Qt::Key_Escape); }), -1) << d.name;
        EXPECT_TRUE(owner->IsEnabled()) << d.name;
    }
}

TEST_F(DesktopKeys, GreyedDefaultIsNotPressedAndFieldsAreTypedOver) {
    // An Open that cannot act stays unpressed by Enter.
    EXPECT_EQ(runDialog("dmrecent",
                        [](PressedDialog& dialog) {
                            dialog.ControlById(1)->Enable(false);
                            EXPECT_EQ(dialog.DefaultButton(), nullptr);
                            typeInto(&dialog, Qt::Key_Return);
                        }),
              -99);
    // Enter in a number field confirms the dialog, and Tab into the next
    // field selects its text for typing over.
    EXPECT_EQ(runDialog("dimension",
                        [](PressedDialog& dialog) {
                            auto* width = dynamic_cast<Edit*>(dialog.ControlById(0));
                            auto* height = dynamic_cast<Edit*>(dialog.ControlById(1));
                            ASSERT_TRUE(width && height);
                            height->SetText("480");
                            dialog.SetFocusControl(width);
                            dialog.RouteKey(9);
                            auto* field = qobject_cast<QLineEdit*>(height->NativeHandle());
                            ASSERT_NE(field, nullptr);
                            EXPECT_EQ(field->selectedText(), "480");
                            QTest::keyClick(field, Qt::Key_Return);
                        }),
              103);
    // A double click on a row chooses it as Enter does.
    EXPECT_EQ(runDialog("dmrecent",
                        [](PressedDialog& dialog) {
                            auto* list = dynamic_cast<ListBox*>(dialog.ControlById(0));
                            ASSERT_NE(list, nullptr);
                            list->AddString("/tmp/a.tvl");
                            auto* widget = qobject_cast<QListWidget*>(list->NativeHandle());
                            QRect row = widget->visualItemRect(widget->item(0));
                            QTest::mouseClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
                            QTest::mouseDClick(widget->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
                        }),
              101);
}

TEST(DesktopPlacement, MainWindowsStayInsideTheAvailableArea) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    QRect avail = screen->availableGeometry();
    {
        Window w(nullptr, -500, -400, 5000, 4000, kMainWindow);
        w.Show(true);
        QTest::qWait(150);
        QRect frame = w.widget()->frameGeometry();
        EXPECT_TRUE(avail.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        // The back buffer and the routed size follow the size it got.
        EXPECT_LE(w.client()->width(), avail.width());
        EXPECT_GE(w.canvas()->width(), w.client()->width());
        // Growing later is held to the screen too; shrinking works.
        w.ResizeClient(avail.width() * 3, 300);
        EXPECT_TRUE(avail.contains(w.widget()->frameGeometry()));
        w.ResizeClient(320, 240);
        EXPECT_EQ(w.client()->width(), 320);
        EXPECT_EQ(w.client()->height(), 240);
        // Moved off the top-left, it comes back with its title bar.
        w.Move(avail.x() - 200, avail.y() - 100);
        w.KeepOnScreen();
        EXPECT_GE(w.widget()->frameGeometry().top(), avail.top());
        EXPECT_GE(w.widget()->frameGeometry().left(), avail.left());
        // A status line sits under the client area without taking from it.
        w.SetStatusText("Frame 1 of 100");
        EXPECT_EQ(w.statusText(), "Frame 1 of 100");
        EXPECT_EQ(w.client()->height(), 240);
        w.Destroy();
    }
    FlushDestroyedWindows();
}

}  // namespace
}  // namespace tavlin
