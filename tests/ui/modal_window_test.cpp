// Modal windows hold their owner: while one runs, the owner refuses to close,
// keys typed into it never end the program, and a question inside a dialog
// gives back only the dialog. Long questions fit the screen.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "core/resource_folder.h"
#include "recording_window.h"
#include "support/modal_script.h"
#include "support/recording_prompts.h"
#include "support/scratch.h"
#include "ui/choice_window.h"
#include "ui/control.h"
#include "ui/dialog.h"
#include "ui/menu.h"
#include "ui/platform.h"
#include "ui/progress_window.h"

namespace tavlin {
namespace {

using test::pressQuitKeys;

// A modal window that writes down the keys and close requests it gets.
class RecordingModal : public ModalWindow {
public:
    RecordingModal(Window* owner, int32_t kind = kToolWindow) : ModalWindow(owner, 10, 10, 120, 80, kind) {}
    void OnKey(int32_t code) override {
        keys.push_back(code);
        ModalWindow::OnKey(code);
    }
    std::vector<int32_t> keys;
};

void clickButton(ChoiceWindow* c, size_t index) {
    ASSERT_NE(c, nullptr);
    ASSERT_NE(c->button(index), nullptr);
    QTest::mouseClick(c->button(index)->NativeHandle(), Qt::LeftButton);
}

ChoiceWindow* innermostChoice() { return dynamic_cast<ChoiceWindow*>(ModalWindow::Innermost()); }

TEST(ModalHold, TheOwnerRefusesToCloseAndNestedLoopsGiveBackOnlyWhatTheyTook) {
    test::RecordingWindow main(nullptr, 0, 0, 300, 200, kMainWindow);
    main.Show(true);
    RecordingModal dialog(&main);
    bool ownerHeldDuringQuestion = false, dialogHeldDuringQuestion = false;
    bool ownerHeldAfterQuestion = false, dialogFreeAfterQuestion = false;
    Window* questionOwner = nullptr;
    int32_t firstAnswer = -2, secondAnswer = -2;
    QTimer::singleShot(0, [&] {
        // The close box of the waiting owner does nothing, twice over.
        test::pressCloseBox(main);
        main.widget()->close();
        EXPECT_EQ(main.closes, 0);
        EXPECT_TRUE(main.exists());
        EXPECT_TRUE(main.widget()->isVisible());
        // A question that names the held owner itself must not free it.
        QTimer::singleShot(0, [&] { clickButton(innermostChoice(), 1); });
        firstAnswer = AskChoice(&main, "Owned by the main window", {"a", "b"});
        ownerHeldAfterQuestion = !main.IsEnabled();
        // The prompts of core code put the question over the dialog.
        QtPrompts qt;
        QTimer::singleShot(0, [&] {
            ChoiceWindow* q = innermostChoice();
            questionOwner = q ? q->owner() : nullptr;
            ownerHeldDuringQuestion = !main.IsEnabled();
            dialogHeldDuringQuestion = !dialog.IsEnabled();
            dialog.widget()->close();  // the held dialog refuses too
            clickButton(q, 0);
        });
        secondAnswer = qt.askChoice("Owned by the dialog", {"yes", "no"});
        dialogFreeAfterQuestion = dialog.IsEnabled() && dialog.exists();
        dialog.widget()->close();
    });
    EXPECT_EQ(dialog.RunModal(), -1);
    EXPECT_EQ(firstAnswer, 1);
    EXPECT_EQ(secondAnswer, 0);
    EXPECT_TRUE(ownerHeldAfterQuestion);
    EXPECT_EQ(questionOwner, &dialog);
    EXPECT_TRUE(ownerHeldDuringQuestion);
    EXPECT_TRUE(dialogHeldDuringQuestion);
    EXPECT_TRUE(dialogFreeAfterQuestion);
    EXPECT_EQ(ModalWindow::Innermost(), nullptr);
    // Free again: now the close box works.
    EXPECT_TRUE(main.IsEnabled());
    main.widget()->close();
    EXPECT_EQ(main.closes, 1);
    EXPECT_FALSE(main.exists());
}

// Asks before it closes, as the studio's main window does.
class AskingWindow : public Window {
public:
    AskingWindow() : Window(nullptr, 50, 50, 200, 100, kMainWindow) {}
    void OnClose() override {
        ++asked;
        if (AskChoice(this, "Close?", {"Close", "Keep"}) == 0) Destroy();
    }
    int asked = 0;
};

TEST(ModalHold, ACloseRequestWhileTheCloseQuestionIsOpenIsIgnored) {
    AskingWindow w;
    w.Show(true);
    bool stillShown = false;
    ChoiceWindow* during = nullptr;
    QTimer::singleShot(0, [&] {
        during = innermostChoice();
        // The second request arrives while the first is being answered.
        test::pressCloseBox(w);
        w.widget()->close();
        stillShown = w.widget()->isVisible() && w.widget()->windowHandle()->handle() && innermostChoice() == during;
        clickButton(during, 1);
    });
    test::pressCloseBox(w);
    EXPECT_NE(during, nullptr);
    EXPECT_TRUE(stillShown) << "the platform window outlives the second request";
    EXPECT_EQ(w.asked, 1);
    EXPECT_TRUE(w.widget()->isVisible());
    EXPECT_TRUE(w.IsEnabled());
    // Answered "Close" it goes.
    QTimer::singleShot(0, [&] { clickButton(innermostChoice(), 0); });
    test::pressCloseBox(w);
    EXPECT_EQ(w.asked, 2);
    EXPECT_FALSE(w.exists());
}

TEST(ModalHold, QuitKeysInDialogsQuestionsAndProgressLeaveTheProgramRunning) {
    test::ScratchDir res;
    res.write("dialog.txt",
              ".D keys 200 120 Keys\n"
              ".B 0 10 10 80 30 OK\n"
              ".E 1 10 50 80 20\n"
              "..\n");
    resources().Open(res.path());
    test::RecordingWindow main(nullptr, 0, 0, 300, 200, kMainWindow);
    main.Show(true);
    std::vector<std::string> stillRunning;
    auto check = [&](const char* where) {
        if (MainLoopRunning()) stillRunning.push_back(where);
    };
    std::vector<int32_t> ownedKeys, ownerlessKeys;
    test::runInMainLoop({
        {0,
         [&] {
             RecordingModal owned(&main);
             owned.SetTitle("owned");
             owned.RunModal();
             ownedKeys = owned.keys;
         }},
        {1,
         [&] {
             ModalWindow* w = ModalWindow::Innermost();
             pressQuitKeys(*w);
             check("owned modal");
             w->EndModal(0);
         }},
        {0,
         [&] {
             RecordingModal ownerless(nullptr);
             ownerless.RunModal();
             ownerlessKeys = ownerless.keys;
         }},
        {1,
         [&] {
             ModalWindow* w = ModalWindow::Innermost();
             pressQuitKeys(*w);
             check("modal without owner");
             w->EndModal(0);
         }},
        {0,
         [&] {
             EXPECT_EQ(AskChoice(&main, "save_doc?", {"Save", "Don't save", "Cancel"}), 2);
         }},
        {1,
         [&] {
             ChoiceWindow* q = innermostChoice();
             ASSERT_NE(q, nullptr);
             q->SetFocusControl(q->button(2));
             pressQuitKeys(*q);
             check("question");
             clickButton(q, 2);
         }},
        {0,
         [&] {
             Dialog d(&main, "keys");
             d.DoModal();
             d.Destroy();
         }},
        {1,
         [&] {
             ModalWindow* d = ModalWindow::Innermost();
             ASSERT_NE(d->focusedControl(), nullptr);
             pressQuitKeys(*d);
             check("dialog");
             d->SetFocusControl(d->ControlById(1));
             pressQuitKeys(*d);
             check("dialog entry");
             d->EndModal(0);
         }},
        {0,
         [&] {
             ProgressWindow::open(&main, "Working");
             ProgressWindow* p = ProgressWindow::current();
             ASSERT_NE(p, nullptr);
             p->SetFocusControl(p->ControlById(ProgressWindow::kStopId));
             pressQuitKeys(*p);
             check("progress");
             EXPECT_TRUE(ProgressWindow::update(1, 2)) << "the work goes on";
             ProgressWindow::close();
         }},
    });
    EXPECT_EQ(stillRunning, (std::vector<std::string>{"owned modal", "modal without owner", "question", "dialog",
                                                      "dialog entry", "progress"}));
    // The keys did arrive: "q" as itself, Alt+Q never turned into "q".
    EXPECT_EQ(ownedKeys, (std::vector<int32_t>{'q'}));
    EXPECT_EQ(ownerlessKeys, (std::vector<int32_t>{'q'}));
    EXPECT_TRUE(main.exists());
    resources().Open("");
}

TEST(ModalHold, AQuestionWiderThanTheScreenWrapsToFitIt) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect avail = screen->availableGeometry();
    std::string longText;
    for (int i = 0; i < 400; ++i) longText += "word" + std::to_string(i) + " ";
    longText += std::string(300, 'x');  // one word longer than any line
    struct Seen {
        QRect frame;
        int32_t clientW = 0, clientH = 0;
        std::vector<QRect> buttons;
    };
    auto ask = [](const std::string& text, Seen& seen) {
        QTimer::singleShot(0, [&seen] {
            ChoiceWindow* q = innermostChoice();
            ASSERT_NE(q, nullptr);
            seen.frame = q->widget()->frameGeometry();
            seen.clientW = q->client()->width();
            seen.clientH = q->client()->height();
            for (Control* c : q->controls()) seen.buttons.push_back(QRect(c->x(), c->y(), c->width(), c->height()));
            test::saveScreenshot(*q, "ask_choice_long.png");
            clickButton(q, 1);
        });
        return AskChoice(nullptr, text, {"Overwrite", "Cancel"});
    };
    Seen wide, narrow;
    EXPECT_EQ(ask(longText, wide), 1);
    EXPECT_LE(wide.frame.width(), avail.width());
    EXPECT_LE(wide.frame.height(), avail.height());
    EXPECT_GT(wide.clientH, 120) << "the wrapped lines make the window taller";
    ASSERT_EQ(wide.buttons.size(), 2u);
    for (const QRect& b : wide.buttons) {
        EXPECT_LE(b.right(), wide.clientW);
        EXPECT_EQ(b.bottom() + 1, wide.clientH - 20) << "the buttons keep their distance to the bottom";
    }
    // A short question keeps the plain layout.
    EXPECT_EQ(ask("Replace it?", narrow), 1);
    EXPECT_EQ(narrow.clientH, 120);
    ASSERT_EQ(narrow.buttons.size(), 2u);
    EXPECT_EQ(narrow.buttons[0].y(), 65);
}

TEST(ModalHold, WrappedLinesFitAndKeepEveryCharacter) {
    // Each character is as wide as its code's last digit plus one: an
    // uneven measure, as a proportional font is.
    auto measure = [](const std::string& s) {
        int32_t w = 0;
        for (unsigned char c : s) w += (c & 0xC0) == 0x80 ? 0 : 1 + c % 10;
        return w;
    };
    const std::string texts[] = {
        "The quick brown fox jumps over the lazy dog, again and again and again.",
        std::string(200, 'm'),
        "short",
        "line one\nline two is longer than the others by far\n\nafter an empty line",
        "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5",
        "   leading blanks and  double  blanks",
    };
    for (const std::string& text : texts) {
        for (int32_t width : {1, 7, 25, 60, 1000}) {
            std::vector<std::string> lines = wrapText(text, width, 1000, measure);
            std::string joined, expected;
            for (const std::string& line : lines) {
                // Wider only when a single character is wider than the line.
                if (measure(line) > width) {
                    EXPECT_LE(line.size(), 4u) << text << " at " << width;
                }
                EXPECT_EQ(line.find('\n'), std::string::npos);
                // Never half a UTF-8 character at either end.
                if (!line.empty()) {
                    EXPECT_NE(static_cast<unsigned char>(line[0]) & 0xC0, 0x80);
                }
                joined += line;
            }
            for (char c : text)
                if (c != ' ' && c != '\n') expected += c;
            std::erase(joined, ' ');
            EXPECT_EQ(joined, expected) << text << " at " << width;
        }
    }
    // Too many lines: the last one says there is more, and still fits.
    std::vector<std::string> cut = wrapText(std::string(500, 'a'), 40, 3, measure);
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut[2].substr(cut[2].size() - 3), "...");
    EXPECT_LE(measure(cut[2]), 40);
}

TEST(ModalHold, AMenuFileNestedTooDeeplyIsRefusedWithAMessage) {
    test::ScratchDir dir;
    test::RecordingPrompts prompts;
    std::string text = ".{xFile\n.Ix101 New\n.}\n";
    for (int i = 0; i < 100000; ++i) text += ".{xDeeper\n";
    text += ".Ix102 Lost\n";
    for (int i = 0; i < 100000; ++i) text += ".}\n";
    dir.write("menu.txt", text);
    resources().Open(dir.path());
    std::unique_ptr<Menu> bar = LoadMenuBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("menu.txt is broken"), std::string::npos);
    // What came before the damage stays usable.
    EXPECT_NE(bar->FindItem(101), nullptr);
    EXPECT_EQ(bar->FindItem(102), nullptr);
    Window w(nullptr, 0, 0, 200, 100, kMainWindow);
    w.SetMenu(bar.get());
    EXPECT_NE(w.menuBar(), nullptr);
    w.Destroy();
    resources().Open("");
}

}  // namespace
}  // namespace tavlin
