#include "ui/menu.h"

#include <iterator>

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QString>
#include <QVariant>

#include "core/prompts.h"
#include "core/resource_folder.h"

namespace tavlin {

namespace {

QString toQString(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// Nesting depth of mouse or key handling inside one of our pop-ups. Qt tells
// the menu bar about an item chosen there by itself; an item triggered any
// other way (from code) would not reach the bar, so the menu passes it on.
int popupActivation = 0;

class CommandPopup : public QMenu {
protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        ++popupActivation;
        QMenu::mouseReleaseEvent(event);
        --popupActivation;
    }
    void keyPressEvent(QKeyEvent* event) override {
        ++popupActivation;
        QMenu::keyPressEvent(event);
        --popupActivation;
    }
};

}  // namespace

Menu::Menu(Menu* parent) : parent_(parent), menu_(std::make_unique<CommandPopup>()) {}

Menu::~Menu() {
    // Items and submenus go; menu bars stay with the widgets they were built
    // for (they lose their entries with the items).
    submenus_.clear();
}

void Menu::addAction(QAction* action) {
    menu_->addAction(action);
    for (const QPointer<QMenuBar>& bar : bars_)
        if (bar) bar->addAction(action);
}

void Menu::AppendItem(const std::string& label, int32_t id, int32_t flags) {
    auto* action = new QAction(toQString(label), menu_.get());
    action->setData(QVariant(int(id)));
    action->setEnabled(!(flags & kMenuItemDisabled));
    if (flags & kMenuItemChecked) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    QObject::connect(action, &QAction::triggered, action, [this, action, id](bool) {
        // Qt flips a checkable item on its own; the mark is the program's.
        if (action->isCheckable()) action->setChecked(!action->isChecked());
        Menu* top = this;
        while (top->parent_) top = top->parent_;
        // Copies: a receiver may replace or delete this menu.
        const std::vector<QPointer<QMenuBar>> bars = top->bars_;
        const std::function<void(int32_t)> handler = top->handler_;
        // Items directly in a bar reach it anyway.
        if (top != this && popupActivation == 0) {
            QPointer<QAction> alive(action);
            for (const QPointer<QMenuBar>& bar : bars)
                if (bar && alive) emit bar->triggered(action);
        }
        if (handler) handler(id);
    });
    addAction(action);
}

void Menu::AppendSeparator() {
    auto* action = new QAction(menu_.get());
    action->setSeparator(true);
    addAction(action);
}

void Menu::AppendSubmenu(const std::string& label, Menu* submenu) {
    if (!submenu) return;
    for (const Menu* m = this; m; m = m->parent_)
        if (m == submenu) return;
    submenu->parent_ = this;
    submenu->menu_->setTitle(toQString(label));
    submenus_.emplace_back(submenu);
    addAction(submenu->menu_->menuAction());
}

QAction* Menu::FindItem(int32_t id) const {
    for (QAction* a : menu_->actions()) {
        if (a->isSeparator() || a->menu()) continue;
        QVariant v = a->data();
        if (v.isValid() && v.toInt() == id) return a;
    }
    for (const auto& sub : submenus_)
        if (QAction* a = sub->FindItem(id)) return a;
    return nullptr;
}

bool Menu::Enable(int32_t id, bool flag) {
    bool found = false;
    for (QAction* a : menu_->actions()) {
        QVariant v = a->data();
        if (v.isValid() && v.toInt() == id) {
            a->setEnabled(flag);
            found = true;
        }
    }
    for (const auto& sub : submenus_) found = sub->Enable(id, flag) || found;
    return found;
}

bool Menu::Check(int32_t id, bool flag) {
    bool found = false;
    for (QAction* a : menu_->actions()) {
        QVariant v = a->data();
        if (v.isValid() && v.toInt() == id) {
            a->setCheckable(true);
            a->setChecked(flag);
            found = true;
        }
    }
    for (const auto& sub : submenus_) found = sub->Check(id, flag) || found;
    return found;
}

bool Menu::IsEnabled(int32_t id) const {
    QAction* a = FindItem(id);
    return a && a->isEnabled();
}

bool Menu::IsChecked(int32_t id) const {
    QAction* a = FindItem(id);
    return a && a->isChecked();
}

void Menu::Append(const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
        case MenuEntry::Kind::Item:
            AppendItem(e.label, e.id, e.flags);
            break;
        case MenuEntry::Kind::Separator:
            AppendSeparator();
            break;
        case MenuEntry::Kind::Submenu: {
            auto* sub = new Menu(this);
            AppendSubmenu(e.label, sub);
            sub->Append(e.children);
            break;
        }
        }
    }
}

int Menu::Load(std::string_view text) {
    Append(ParseMenuDescription(text).entries);
    return 1;
}

int Menu::Load(std::istream& in) {
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Load(std::string_view(text));
}

QMenuBar* Menu::build(QWidget* parent) {
    auto* bar = new QMenuBar(parent);
    // Keep the bar inside the window: a desktop-wide menu bar would take no
    // room in it, and client sizes are counted with the bar's height.
    bar->setNativeMenuBar(false);
    bar->addActions(menu_->actions());
    std::erase_if(bars_, [](const QPointer<QMenuBar>& b) { return b.isNull(); });
    bars_.emplace_back(bar);
    return bar;
}

void Menu::SetCommandHandler(std::function<void(int32_t)> handler) { handler_ = std::move(handler); }

std::unique_ptr<Menu> LoadMenuBar() {
    auto bytes = resources().ReadWhole("menu.txt");
    if (!bytes) {
        ShowMessage("Tavlin. Error: No menu.");
        return nullptr;
    }
    MenuDescription d =
        ParseMenuDescription(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    // A damaged file keeps what was read before the damage, and says so.
    if (d.tooDeep) ShowMessage("Tavlin. Error: menu.txt is broken (submenus nested deeper than %zu).", kMenuDepthLimit);
    auto menu = std::make_unique<Menu>();
    menu->Append(d.entries);
    return menu;
}

}  // namespace tavlin
