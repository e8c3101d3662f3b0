#include "core/menu_description.h"

#include <climits>

namespace tavlin {

namespace {

// Item line: the id starts at the fourth character; the character after the
// record letter is a separator and never part of the id.
bool parseItem(std::string_view line, MenuEntry& item) {
    size_t p = 3;
    if (p >= line.size() || line[p] < '0' || line[p] > '9') return false;
    int64_t id = 0;
    while (p < line.size() && line[p] >= '0' && line[p] <= '9') {
        // Saturate rather than overflow on absurd ids.
        if (id <= INT32_MAX) id = id * 10 + (line[p] - '0');
        ++p;
    }
    item.id = int32_t(id > INT32_MAX ? INT32_MAX : id);
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    item.label.assign(line.substr(p));
    return true;
}

}  // namespace

MenuDescription ParseMenuDescription(std::string_view text) {
    MenuDescription d;
    // Path from the top level to the submenu being filled.
    std::vector<std::vector<MenuEntry>*> open{&d.entries};
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = next;
        if (line.size() > kMenuLineLimit) {
            d.cutShort = true;
            break;
        }
        // A line ends at its first CR (and at a zero byte, as C text would).
        size_t cut = line.find_first_of(std::string_view("\r\0", 2));
        if (cut != std::string_view::npos) line = line.substr(0, cut);
        if (line.size() < 2 || line[0] != '.') continue;

        std::vector<MenuEntry>& current = *open.back();
        MenuEntry e;
        switch (line[1]) {
        case '{':
            e.kind = MenuEntry::Kind::Submenu;
            e.label.assign(line.size() > 3 ? line.substr(3) : std::string_view());
            current.push_back(std::move(e));
            open.push_back(&current.back().children);
            break;
        case '}':
            if (open.size() > 1) open.pop_back();
            break;
        case '-':
            e.kind = MenuEntry::Kind::Separator;
            current.push_back(std::move(e));
            break;
        case 'I':
        case 'D':
        case 'C':
            if (!parseItem(line, e)) break;
            e.flags = line[1] == 'D' ? kMenuItemDisabled : line[1] == 'C' ? kMenuItemChecked : 0;
            current.push_back(std::move(e));
            break;
        default:
            break;
        }
    }
    return d;
}

}  // namespace tavlin
