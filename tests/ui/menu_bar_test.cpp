#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QWidget>

#include "core/prompts.h"
#include "core/resource_folder.h"
#include "support/recording_prompts.h"
#include "support/scratch.h"
#include "ui/menu.h"
#include "ui/platform.h"
#include "ui/window.h"

namespace tavlin {
namespace {

const char kMenuText[] =
    "The menu\n"
    ".{ &File\n"
    ".I 101\t&New\tCtrl+N\n"
    ".D 103   &Save\tCtrl+S\r\n"
    ".-\n"
    ".{ &Recent\n"
    ".I 108 Recent files...\n"
    ".}\n"
    ".I 199 E&xit\n"
    ".}\n"
    ".{ &View\n"
    ".C 303 &Timeline\n"
    ".I 301 Zoom &in\n"
    ".}\n";

QList<QAction*> entries(QWidget* w) { return w->actions(); }

TEST(Menu, LoadBuildsTheBar) {
    Menu menu;
    EXPECT_EQ(menu.Load(kMenuText), 1);
    QWidget host;
    QMenuBar* bar = menu.build(&host);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->parent(), &host);
    EXPECT_FALSE(bar->isNativeMenuBar());

    auto top = entries(bar);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0]->text(), "&File");
    EXPECT_EQ(top[1]->text(), "&View");
    ASSERT_NE(top[0]->menu(), nullptr);
    EXPECT_FALSE(top[0]->data().isValid());

    auto file = entries(top[0]->menu());
    ASSERT_EQ(file.size(), 5u);
    // Labels verbatim: the mnemonic and the shortcut text after the tab.
    EXPECT_EQ(file[0]->text(), "&New\tCtrl+N");
    EXPECT_EQ(file[0]->data().toInt(), 101);
    EXPECT_TRUE(file[0]->isEnabled());
    EXPECT_FALSE(file[0]->isChecked());
    EXPECT_EQ(file[1]->text(), "&Save\tCtrl+S");
    EXPECT_FALSE(file[1]->isEnabled());
    EXPECT_TRUE(file[2]->isSeparator());
    EXPECT_FALSE(file[2]->data().isValid());
    ASSERT_NE(file[3]->menu(), nullptr);
    EXPECT_EQ(file[3]->text(), "&Recent");
    EXPECT_EQ(entries(file[3]->menu()).at(0)->data().toInt(), 108);
    EXPECT_EQ(file[4]->data().toInt(), 199);

    auto view = entries(top[1]->menu());
    ASSERT_EQ(view.size(), 2u);
    EXPECT_TRUE(view[0]->isCheckable());
    EXPECT_TRUE(view[0]->isChecked());

    // A shortcut shown in the label is display only: no key is bound.
    EXPECT_TRUE(file[0]->shortcut().isEmpty());
}

TEST(Menu, EnableCheckAndChoose) {
    Menu menu;
    std::istringstream in(kMenuText);
    menu.Load(in);
    std::vector<int32_t> chosen;
    menu.SetCommandHandler([&](int32_t id) { chosen.push_back(id); });

    EXPECT_FALSE(menu.IsEnabled(103));
    EXPECT_TRUE(menu.Enable(103, true));
    EXPECT_TRUE(menu.IsEnabled(103));
    EXPECT_TRUE(menu.Enable(108, false));  // inside a nested submenu
    EXPECT_FALSE(menu.IsEnabled(108));
    EXPECT_TRUE(menu.Enable(108, true));
    EXPECT_TRUE(menu.IsEnabled(108));
    EXPECT_FALSE(menu.Enable(4242, false));
    EXPECT_FALSE(menu.IsEnabled(4242));

    // Choosing a checked item keeps the mark; the program changes it.
    EXPECT_TRUE(menu.IsChecked(303));
    menu.FindItem(303)->trigger();
    EXPECT_TRUE(menu.IsChecked(303));
    EXPECT_TRUE(menu.Check(303, false));
    EXPECT_FALSE(menu.IsChecked(303));
    menu.FindItem(303)->trigger();
    EXPECT_FALSE(menu.IsChecked(303));
    menu.FindItem(108)->trigger();
    EXPECT_EQ(chosen, (std::vector<int32_t>{303, 303, 108}));

    // A greyed item cannot be chosen.
    menu.Enable(101, false);
    menu.FindItem(101)->trigger();
    EXPECT_EQ(chosen.size(), 3u);
}

TEST(Menu, BarsFollowLaterAppendsAndOutliveNothing) {
    auto menu = std::make_unique<Menu>();
    menu->Load(".{ A\n.I 1 One\n.}\n");
    auto host = std::make_unique<QWidget>();
    QMenuBar* bar = menu->build(host.get());
    menu->AppendItem("Top level", 7, kMenuItemChecked);
    auto* sub = new Menu(menu.get());
    menu->AppendSubmenu("B", sub);
    sub->AppendItem("Two", 2, 0);
    ASSERT_EQ(bar->actions().size(), 3u);
    EXPECT_EQ(bar->actions()[1]->data().toInt(), 7);
    EXPECT_EQ(bar->actions()[2]->menu()->actions().at(0)->data().toInt(), 2);

    // The bar goes with its widget; the menu can still be built again.
    host.reset();
    menu->AppendSeparator();
    QWidget other;
    QMenuBar* again = menu->build(&other);
    EXPECT_EQ(again->actions().size(), 4u);
    // A menu cannot hold itself or one of the menus holding it.
    menu->AppendSubmenu("Self", menu.get());
    sub->AppendSubmenu("Loop", menu.get());
    EXPECT_EQ(menu->Submenus().size(), 2u);
    EXPECT_TRUE(sub->Submenus().empty());
    // The menu goes first: its bar stays, empty.
    menu.reset();
    EXPECT_TRUE(again->actions().isEmpty());
}

TEST(Menu, LoadMenuBarFromTheResourceFolder) {
    test::ScratchDir dir;
    test::RecordingPrompts prompts;
    installPrompts(&prompts);
    resources().Open(dir.path());
    EXPECT_EQ(LoadMenuBar(), nullptr);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Tavlin. Error: No menu."});

    dir.write("menu.txt", kMenuText);
    std::unique_ptr<Menu> bar = LoadMenuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_NE(bar->FindItem(301), nullptr);
    EXPECT_EQ(prompts.messages.size(), 1u);
    resources().Open("");
    installPrompts(nullptr);
}

// Records the menu commands the window receives.
class MenuWindow : public Window {
public:
    MenuWindow() : Window(nullptr, 20, 20, 300, 200, kMainWindow) {}
    void OnMenu(int32_t id) override { commands.push_back(id); }
    std::vector<int32_t> commands;
};

TEST(Menu, WindowDeliversChosenItems) {
    Menu menu;
    menu.Load(kMenuText);
    MenuWindow w;
    w.SetMenu(&menu);
    w.Show(true);
    PumpPending();
    QMenuBar* bar = w.menuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(w.client()->width(), 300);
    EXPECT_EQ(w.client()->height(), 200);

    // Open "&View" with the mouse and choose its second item.
    QAction* view = bar->actions().at(1);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(view).center());
    QMenu* popup = view->menu();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    QAction* zoom = popup->actions().at(1);
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(zoom).center());
    PumpPending();
    EXPECT_EQ(w.commands, std::vector<int32_t>{301});

    // A greyed item sends nothing.
    menu.Enable(301, false);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(view).center());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
    QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(zoom).center());
    PumpPending();
    if (popup->isVisible()) popup->hide();
    EXPECT_EQ(w.commands.size(), 1u);

    // Items triggered from code arrive once too, nested or directly in the bar.
    menu.Enable(301, true);
    menu.FindItem(301)->trigger();
    menu.FindItem(108)->trigger();
    menu.AppendItem("Top", 5, 0);
    menu.FindItem(5)->trigger();
    EXPECT_EQ(w.commands, (std::vector<int32_t>{301, 301, 108, 5}));
}

}  // namespace
}  // namespace tavlin
