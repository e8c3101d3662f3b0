#pragma once
// The menu description of "menu.txt", read into a tree of plain entries.
// No windows here: Menu::Load (menu.h) turns the tree into platform menus.
//
// Records are lines starting with "."; the second character chooses:
//   ".{xLabel"        submenu (x is any one character), entries follow
//   ".}"              end of the current submenu
//   ".-"              separator
//   ".Ix101 Label"    item with command id 101 (the id starts at the fourth
//   ".Dx..." ".Cx..." character); D greys it, C checks it
// Labels are kept verbatim: "&" mnemonics and a tab before a shortcut text are
// the menu's own business.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavlin {

// Item flags, as Menu::AppendItem takes them.
constexpr int32_t kMenuItemDisabled = 1;
constexpr int32_t kMenuItemChecked = 2;

struct MenuEntry {
    enum class Kind { Item, Separator, Submenu };
    Kind kind = Kind::Item;
    std::string label;
    int32_t id = 0;     // items only
    int32_t flags = 0;  // items only
    std::vector<MenuEntry> children;  // submenus only

    bool operator==(const MenuEntry&) const = default;
};

struct MenuDescription {
    std::vector<MenuEntry> entries;
    // Reading stopped at a line longer than kMenuLineLimit.
    bool cutShort = false;
    // Reading stopped at a submenu nested deeper than kMenuDepthLimit: the
    // file is broken.
    bool tooDeep = false;
};

constexpr size_t kMenuLineLimit = 1023;
// No real menu comes near it; a file that goes deeper is damaged or hostile,
// and every level costs the menu bar (and the stack) more.
constexpr size_t kMenuDepthLimit = 32;

// Never fails. A "}" with no open submenu is ignored; submenus still open at
// the end are closed there; a line longer than the limit, or a submenu nested
// deeper than kMenuDepthLimit, ends the reading and keeps what was read before it.
MenuDescription ParseMenuDescription(std::string_view text);

}  // namespace tavlin
