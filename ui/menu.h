#pragma once
// A platform menu: the menu bar of a window, or a pop-up submenu in it. Items
// carry command ids; choosing one hands its id to the window's OnMenu.

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>

#include "core/menu_description.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace tavlin {

class Menu {
public:
    // An empty menu; one without a parent is a menu bar.
    explicit Menu(Menu* parent = nullptr);
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    Menu* Parent() const { return parent_; }

    // flags: kMenuItemDisabled (greyed), kMenuItemChecked (check mark). The
    // label is used as it is: "&" marks the mnemonic, text after a tab is shown
    // as the shortcut.
    void AppendItem(const std::string& label, int32_t id, int32_t flags);
    void AppendSeparator();
    // Takes ownership of `submenu` (made with this menu as its parent); a
    // menu cannot be put inside itself.
    void AppendSubmenu(const std::string& label, Menu* submenu);

    // Enables or greys every item with this command id, here and in the
    // submenus. False when there is none.
    bool Enable(int32_t id, bool flag);
    // The check mark is the program's: choosing a checked item does not clear it.
    bool Check(int32_t id, bool flag);
    bool IsEnabled(int32_t id) const;
    bool IsChecked(int32_t id) const;
    // The item with this command id, or null (first match, submenus included).
    QAction* FindItem(int32_t id) const;

    // Appends what a description text says, starting at this menu. Always 1.
    int Load(std::string_view text);
    int Load(std::istream& in);
    // Appends already parsed entries.
    void Append(const std::vector<MenuEntry>& entries);

    // A new menu bar, parented to `parent`, showing this menu's entries and
    // kept in step with later appends. Items carry their command id as an int
    // in QAction::data(); separators and submenu entries carry none. The bar
    // belongs to `parent`; the items stay this menu's.
    QMenuBar* build(QWidget* parent);
    // The pop-up that holds this menu's entries.
    QMenu* Popup() const { return menu_.get(); }
    const std::vector<std::unique_ptr<Menu>>& Submenus() const { return submenus_; }

    // Also receives the id of a chosen item of this menu or any submenu, for
    // a menu used without a window (set on the topmost menu).
    void SetCommandHandler(std::function<void(int32_t)> handler);

private:
    void addAction(QAction* action);

    Menu* parent_;
    std::unique_ptr<QMenu> menu_;
    std::vector<QPointer<QMenuBar>> bars_;
    std::vector<std::unique_ptr<Menu>> submenus_;
    std::function<void(int32_t)> handler_;
};

// The menu bar read from "menu.txt" of the resource folder, or null after
// showing "Tavlin. Error: No menu." when the file cannot be read.
std::unique_ptr<Menu> LoadMenuBar();

}  // namespace tavlin
