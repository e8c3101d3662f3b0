#include "core/menu_description.h"

#include "base/line_reader.h"
#include "base/numbers.h"

namespace tavlin {

namespace {

// Item line: the id starts at the fourth character; the character after the
// record letter is a separator and never part of the id.
bool parseItem(std::string_view line, MenuEntry& item) {
    if (line.size() <= 3 || line[3] < '0' || line[3] > '9') return false;
    size_t digits = 0;
    item.id = leadingDigits(line.substr(3), &digits);
    size_t p = 3 + digits;
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    item.label.assign(line.substr(p));
    return true;
}

}  // namespace

MenuDescription ParseMenuDescription(std::string_view text) {
    MenuDescription d;
    // Path from the top level to the submenu being filled.
    std::vector<std::vector<MenuEntry>*> open{&d.entries};
    LineReader lines(text, kMenuLineLimit);
    std::string_view line;
    while (lines.nextLine(line)) {
        if (lines.cut()) {
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
            if (open.size() > kMenuDepthLimit) {
                d.tooDeep = true;
                return d;
            }
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
