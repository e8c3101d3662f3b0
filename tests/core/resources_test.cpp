// The shipped resource folder: every string id the program asks for resolves,
// every picture it names loads at the size the windows lay it out for, and the
// dialog and menu descriptions hold every control and command the code
// addresses, laid out without overlaps.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "media/media_registry.h"
#include "base/paths.h"
#include "core/dialog_description.h"
#include "core/menu_description.h"
#include "core/prompts.h"
#include "core/resource_folder.h"

namespace tavlin {
namespace {

class RecordingPrompts : public Prompts {
public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    int askChoice(const std::string& text, const std::vector<std::string>&) override {
        messages.push_back(text);
        return -1;
    }
    std::optional<std::string> openFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&) override { return std::nullopt; }
    std::optional<uint32_t> chooseColour(uint32_t) override { return std::nullopt; }
    std::vector<std::string> messages;
};

// The folder under test: the source tree's res/ when CTest names it (that is
// what ships), else the copy the build puts beside the test program.
std::string shippedFolder() {
    if (const char* src = std::getenv("TAVLIN_TEST_SRC"); src && *src)
        return joinPath(src, "res");
    return joinPath(executableDir(), "res");
}

class ShippedResources : public ::testing::Test {
protected:
    void SetUp() override {
        registerImageFormats();
        installPrompts(&prompts_);
        folder_.Open(shippedFolder());
    }
    void TearDown() override { installPrompts(nullptr); }

    std::string text(const std::string& name) {
        auto bytes = folder_.ReadWhole(name);
        if (!bytes) {
            ADD_FAILURE() << name << " is missing from " << folder_.Path();
            return {};
        }
        return std::string(bytes->begin(), bytes->end());
    }

    RecordingPrompts prompts_;
    ResourceFolder folder_;
};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

// ---- strings -----------------------------------------------------------------

const char* const kToolboxButtons[] = {
    "bplaymode", "beditmode", "binsvideo", "binsimage", "bdrawplaybtn", "bdrawbtn", "bsetin",
    "bsetout", "bdrawpath", "bdrawoval", "bdrawvline", "bdrawhline", "bflippath",
};

std::set<std::string> expectedStringIds() {
    std::set<std::string> ids = {
        "title", "newdoc", "e_cant_open", "e_save_file", "save_doc?", "b_save", "b_dont_save",
        "b_cancel", "overwrite_file?", "b_overwrite", "nosrcfile", "e_no_dialog", "e_gen_window",
        "e_invalid_param", "b_open_another", "b_ignore", "b_open", "b_capture", "b_simg",
        "select_video", "e_gen_image", "e_gen_video", "e_ev_overlap", "e_no_tmp_name", "e_paste_damaged", "openimage",
        "loading_image", "diff_sum_h", "saving", "e_gen_dm", "none", "fixed", "flip", "rotate",
        "lowestq", "normalq", "highestq", "quit_saving", "b_create", "create_dir?",
        "e_cant_mkdir", "max_content_sz", "w_content_large", "e_invalid_dir", "e_bad_template",
        "e_bad_zipdir", "timeline", "play", "jump", "sound", "link", "param", "toolbox",
        "e_no_button", "e_undo_read", "w_read_partly", "w_values_adjusted", "e_cant_preview",
        "recover?", "recovery_time", "b_restore", "b_keep_later", "b_discard", "e_recovery_damaged",
        "e_autosave",
        "status_frame", "status_of", "status_zoom", "status_edit", "status_play", "e_no_browser",
        "greyed_no_document", "greyed_no_path_selected",
    };
    for (const char* button : kToolboxButtons) ids.insert(std::string("hint_") + button);
    return ids;
}

TEST_F(ShippedResources, EveryStringIdResolvesWithoutComplaint) {
    for (const std::string& id : expectedStringIds()) {
        const std::string& value = folder_.String(id);
        EXPECT_NE(value, kNullStringResource) << id;
        EXPECT_FALSE(value.empty()) << id;
    }
    EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages.front();
}

TEST_F(ShippedResources, TableHoldsExactlyTheIdsInUseOnceEach) {
    // A misspelt id would sit unused in the table while the program asks for
    // the right one in vain; a repeated one would silently override.
    std::map<std::string, int> seen;
    for (const std::string& line : lines(text("res.txt"))) {
        EXPECT_LE(line.size(), 2048u) << line.substr(0, 40);
        size_t end = line.find_first_of(" \t");
        std::string key = line.substr(0, end);
        if (key.empty() || key[0] == '#') continue;
        ++seen[key];
    }
    std::set<std::string> expected = expectedStringIds();
    for (const auto& [key, count] : seen) {
        EXPECT_TRUE(expected.count(key)) << "unused id in res.txt: " << key;
        EXPECT_EQ(count, 1) << "id given more than once: " << key;
    }
    for (const std::string& id : expected) EXPECT_TRUE(seen.count(id)) << "missing id: " << id;
}

TEST_F(ShippedResources, FormatsCarryExactlyTheirArguments) {
    // Texts go through printf-style message boxes: only the path message may
    // hold a conversion, and it needs exactly one "%s".
    for (const std::string& id : expectedStringIds()) {
        const std::string& value = folder_.String(id);
        size_t percent = std::count(value.begin(), value.end(), '%');
        if (id == "e_cant_open") {
            EXPECT_EQ(percent, 1u) << value;
            EXPECT_NE(value.find("%s"), std::string::npos) << value;
        } else {
            EXPECT_EQ(percent, 0u) << id << ": " << value;
        }
    }
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, folder_.String("e_cant_open").c_str(), "/tmp/clip.avi");
    EXPECT_NE(std::string(buffer).find("/tmp/clip.avi"), std::string::npos);
}

TEST_F(ShippedResources, NumbersAndQualityNamesReadAsTheCodeReadsThem) {
    long patch = std::strtol(folder_.String("diff_sum_h").c_str(), nullptr, 10);
    EXPECT_GT(patch, 0);
    EXPECT_EQ(patch % 8, 0);
    long limit = std::strtol(folder_.String("max_content_sz").c_str(), nullptr, 10);
    EXPECT_GT(limit, 100000);

    // The quality names are appended to numbers; the entry must still read
    // back as its number and show the name apart from it.
    for (const char* id : {"lowestq", "normalq", "highestq"}) {
        std::string entry = "75" + folder_.String(id);
        EXPECT_EQ(std::strtol(entry.c_str(), nullptr, 10), 75) << entry;
        EXPECT_FALSE(std::isdigit(static_cast<unsigned char>(entry[2]))) << entry;
        EXPECT_FALSE(std::isalpha(static_cast<unsigned char>(entry[2]))) << entry;
    }
}

TEST_F(ShippedResources, TimelineLabelsFitTheirColumn) {
    // The label column leaves 76 pixels for a name; at about 8 pixels a
    // character anything past 10 characters would be cut.
    for (const char* id : {"play", "jump", "sound", "link", "param"})
        EXPECT_LE(folder_.String(id).size(), 10u) << id;
}

// ---- pictures ----------------------------------------------------------------

struct ExpectedPicture {
    std::string name;
    int width;
    int height;
};

std::vector<ExpectedPicture> expectedPictures() {
    std::vector<ExpectedPicture> out;
    for (const char* button : kToolboxButtons) out.push_back({std::string(button) + ".png", 24, 20});
    for (const char* icon : {"bcheck", "buncheck", "block", "bunlock", "bmovie", "bimage", "bdm",
                             "bplay", "bjump", "bsound", "blink", "bparam"})
        out.push_back({std::string(icon) + ".png", 16, 16});
    out.push_back({"bin.png", 10, 16});
    out.push_back({"bout.png", 10, 16});
    out.push_back({"cdrawpath.png", 32, 32});
    out.push_back({"cfingergrip.png", 32, 32});
    out.push_back({"folder.png", 80, 60});  // a cell shows at most 80 x 60 above the name
    out.push_back({"playbutton.png", 48, 48});
    out.push_back({"jumpbutton.png", 48, 48});
    out.push_back({"stopbutton.png", 48, 48});
    out.push_back({"tavlinlogo.jpg", 480, 300});
    return out;
}

TEST_F(ShippedResources, EveryNamedPictureLoadsAtItsSize) {
    for (const ExpectedPicture& expected : expectedPictures()) {
        const Image* image = folder_.Image(expected.name);
        ASSERT_NE(image, nullptr) << expected.name;
        EXPECT_EQ(image->width, expected.width) << expected.name;
        EXPECT_EQ(image->height, expected.height) << expected.name;
    }
    EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages.front();
}

TEST_F(ShippedResources, IconsAreTransparentAroundTheirShape) {
    // Icons stand on the tool box, timeline and stage backgrounds; an opaque
    // corner would paint a box around them.
    for (const ExpectedPicture& expected : expectedPictures()) {
        if (expected.name == "tavlinlogo.jpg" || expected.name == "folder.png") continue;
        const Image* image = folder_.Image(expected.name);
        ASSERT_NE(image, nullptr) << expected.name;
        bool anyClear = false, anyInk = false;
        for (uint32_t pixel : image->pixels) {
            (pixel >> 24 ? anyInk : anyClear) = true;
        }
        EXPECT_TRUE(anyClear) << expected.name;
        EXPECT_TRUE(anyInk) << expected.name;
    }
}

TEST_F(ShippedResources, CursorsHoldOnlyBlackWhiteAndClear) {
    // A cursor keeps black for colour 0 and white for anything else, so grey
    // pixels would turn white and blur the outline.
    for (const char* name : {"cdrawpath.png", "cfingergrip.png"}) {
        const Image* image = folder_.Image(name);
        ASSERT_NE(image, nullptr) << name;
        for (uint32_t pixel : image->pixels) {
            if (!(pixel >> 24)) continue;
            uint32_t rgb = pixel & 0xFFFFFF;
            ASSERT_TRUE(rgb == 0 || rgb == 0xFFFFFF) << name << std::hex << " pixel " << pixel;
        }
    }
    // The drawing cursor's hot spot is its top-left pixel: the pencil tip.
    const Image* pencil = folder_.Image("cdrawpath.png");
    ASSERT_NE(pencil, nullptr);
    EXPECT_EQ(pencil->at(0, 0), 0xFF000000u);
}

// ---- dialog descriptions ---------------------------------------------------------

struct Rect {
    int x, y, w, h;
    bool overlaps(const Rect& o) const {
        return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h;
    }
};

struct Control {
    char letter;
    int id;
    Rect rect;
    std::string text;
};

struct DialogText {
    int count = 0;  // how many ".D" records carry the name
    int width = 0, height = 0;
    std::string title;
    std::vector<Control> controls;
    std::vector<Control> labels;    // "L" records
    std::vector<Control> pictures;  // "P" records
    std::vector<std::string> errors;
};

// The dialog as the program's own parser reads it, with every record whose
// fields do not all scan noted (a missing field silently takes the previous
// record's value), and how many dialogs carry the name.
DialogText readDialog(const std::string& description, const std::string& name) {
    DialogText out;
    for (const std::string& line : lines(description))
        if (line.rfind(".D " + name + " ", 0) == 0) ++out.count;
    DialogDescription parsed = ParseDialogDescription(description, name);
    if (!parsed.found) return out;
    if (parsed.headerScanned < 3) out.errors.push_back("header of " + name + " is incomplete");
    out.width = parsed.width;
    out.height = parsed.height;
    out.title = parsed.title;
    for (const DialogRecord& r : parsed.records) {
        int want = 0;
        switch (r.letter) {
        case 'E': case 'M': case 'T': case 'S': want = 5; break;
        case 'B': case 'C': case 'I': want = 6; break;
        case 'L': case 'P': want = 5; break;
        default: out.errors.push_back(std::string("unknown record ") + r.letter); continue;
        }
        if (r.scanned < want) out.errors.push_back(std::string("incomplete record ") + r.letter + " " + r.text);
        Control c{r.letter, r.letter == 'L' || r.letter == 'P' ? -1 : r.id, {r.x, r.y, r.w, r.h}, r.text};
        if (r.letter == 'L') out.labels.push_back(c);
        else if (r.letter == 'P') out.pictures.push_back(c);
        else out.controls.push_back(c);
    }
    return out;
}

struct ExpectedDialog {
    std::string name;
    std::map<int, std::string> kinds;  // id -> allowed record letters
    std::vector<Rect> reserved;        // areas the program draws into itself
};

std::map<int, std::string> objectBase() {
    return {{0, "E"}, {1, "E"}, {2, "E"}, {3, "E"}, {4, "E"}, {5, "B"}, {6, "B"}};
}

std::map<int, std::string> with(std::map<int, std::string> base, const std::map<int, std::string>& more) {
    base.insert(more.begin(), more.end());
    return base;
}

std::vector<ExpectedDialog> expectedDialogs() {
    const std::map<int, std::string> eventBase = {{0, "E"}, {1, "B"}};
    return {
        {"dmrecent", {{0, "T"}, {1, "B"}, {2, "B"}}, {}},
        {"dmalbum", {{0, "T"}, {1, "B"}, {2, "B"}, {3, "B"}, {4, "B"}}, {{10, 10, 90, 90}}},
        {"about", {{0, "B"}}, {}},
        {"dimension", {{0, "E"}, {1, "E"}, {2, "E"}, {3, "B"}, {4, "B"}}, {}},
        {"imagelist",
         {{0, "B"}, {1, "B"}, {2, "BI"}, {3, "BI"}, {4, "T"}, {5, "I"}, {6, "B"}, {7, "B"}, {8, "B"}, {9, "E"}},
         {}},
        {"saveparam",
         {{0, "B"}, {1, "M"}, {2, "M"}, {3, "C"}, {4, "C"}, {5, "C"}, {6, "C"}, {7, "E"}, {8, "C"}, {9, "C"},
          {10, "C"}, {11, "B"}, {12, "C"}, {13, "C"}, {14, "B"}, {15, "B"}, {16, "E"}, {17, "C"}},
         {{150, 46, 334, 26}}},
        {"erasefiles", {{0, "T"}, {1, "B"}, {2, "B"}}, {}},
        {"skipall", {{0, "T"}, {1, "B"}, {3, "B"}}, {}},
        {"skipinout", {{0, "T"}, {1, "B"}, {2, "B"}, {3, "B"}}, {}},
        {"infoimage", with(objectBase(), {{7, "B"}}), {}},
        {"infovideo", with(objectBase(), {{7, "B"}, {8, "B"}, {9, "B"}, {10, "E"}}), {}},
        {"infodm",
         with(objectBase(), {{7, "B"}, {8, "B"}, {9, "B"}, {10, "M"}, {11, "M"}, {12, "M"}, {13, "B"}, {14, "B"},
                             {15, "B"}, {16, "B"}, {17, "B"}, {18, "B"}, {19, "T"}, {20, "B"}, {21, "B"},
                             {22, "C"}, {23, "M"}, {24, "C"}, {25, "C"}, {26, "C"}, {27, "C"}, {28, "M"},
                             {29, "C"}}),
         {}},
        {"infoplay", with(eventBase, {{2, "C"}}), {}},
        {"infojump", with(eventBase, {{2, "B"}, {3, "B"}, {4, "T"}}), {}},
        {"infosound", with(eventBase, {{2, "B"}, {3, "C"}}), {}},
        {"infolink", with(eventBase, {{2, "E"}, {3, "E"}, {4, "T"}}), {}},
        {"infoparam", with(eventBase, {{2, "E"}}), {}},
    };
}

TEST_F(ShippedResources, EveryDialogHoldsTheControlsItsWindowAddresses) {
    const std::string description = text("dialog.txt");
    for (const ExpectedDialog& expected : expectedDialogs()) {
        SCOPED_TRACE(expected.name);
        DialogText dialog = readDialog(description, expected.name);
        ASSERT_EQ(dialog.count, 1);
        for (const std::string& error : dialog.errors) ADD_FAILURE() << error;
        EXPECT_FALSE(dialog.title.empty());

        std::map<int, char> found;
        for (const Control& c : dialog.controls) {
            EXPECT_TRUE(found.emplace(c.id, c.letter).second) << "id " << c.id << " used twice";
            auto want = expected.kinds.find(c.id);
            if (want == expected.kinds.end()) {
                ADD_FAILURE() << "control " << c.id << " is not one the window knows";
                continue;
            }
            EXPECT_NE(want->second.find(c.letter), std::string::npos)
                << "control " << c.id << " is '" << c.letter << "', expected one of " << want->second;
        }
        for (const auto& [id, letters] : expected.kinds) EXPECT_TRUE(found.count(id)) << "control " << id << " missing";
    }
}

TEST_F(ShippedResources, DialogLayoutsKeepInsideAndApart) {
    const std::string description = text("dialog.txt");
    for (const ExpectedDialog& expected : expectedDialogs()) {
        SCOPED_TRACE(expected.name);
        DialogText dialog = readDialog(description, expected.name);
        ASSERT_GT(dialog.width, 0);
        ASSERT_GT(dialog.height, 0);

        std::vector<std::pair<std::string, Rect>> placed;
        auto add = [&](const std::string& what, const Rect& r) {
            EXPECT_GT(r.w, 0) << what;
            EXPECT_GT(r.h, 0) << what;
            EXPECT_GE(r.x, 0) << what;
            EXPECT_GE(r.y, 0) << what;
            EXPECT_LE(r.x + r.w, dialog.width) << what << " sticks out on the right";
            EXPECT_LE(r.y + r.h, dialog.height) << what << " sticks out at the bottom";
            for (const auto& [other, o] : placed) EXPECT_FALSE(r.overlaps(o)) << what << " overlaps " << other;
            placed.emplace_back(what, r);
        };
        for (const Rect& r : expected.reserved) add("the area the window draws itself", r);
        for (const Control& c : dialog.controls) add(std::string("control ") + std::to_string(c.id), c.rect);
        for (const Control& l : dialog.labels) add("label \"" + l.text + "\"", l.rect);
        for (const Control& p : dialog.pictures) add("picture " + p.text, p.rect);

        // One mnemonic letter per dialog can reach only one control.
        std::map<char, int> mnemonics;
        for (const Control& c : dialog.controls) {
            size_t amp = c.text.find('&');
            if (amp != std::string::npos && amp + 1 < c.text.size()) {
                EXPECT_EQ(++mnemonics[static_cast<char>(std::tolower(c.text[amp + 1]))], 1)
                    << "mnemonic of \"" << c.text << "\" is taken";
            }
        }
    }
}

TEST_F(ShippedResources, DialogPicturesAndImageButtonsLoad) {
    const std::string description = text("dialog.txt");
    int imageButtons = 0;
    for (const ExpectedDialog& expected : expectedDialogs()) {
        DialogText dialog = readDialog(description, expected.name);
        for (const Control& c : dialog.controls) {
            if (c.letter != 'I') continue;
            ++imageButtons;
            for (const char* state : {"n.png", "p.png", "r.png", "d.png"}) {
                const Image* image = folder_.Image(c.text + state);
                ASSERT_NE(image, nullptr) << c.text << state;
                // The states replace one another in place.
                EXPECT_EQ(image->width, c.rect.w) << c.text << state;
                EXPECT_EQ(image->height, c.rect.h) << c.text << state;
            }
        }
        for (const Control& p : dialog.pictures) EXPECT_NE(folder_.Image(p.text), nullptr) << p.text;
    }
    EXPECT_GT(imageButtons, 0);
    EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages.front();
}

// ---- menu ----------------------------------------------------------------------

struct MenuItem {
    int id;
    std::string label;
};

struct MenuText {
    std::vector<std::string> topLevel;
    std::vector<MenuItem> items;
    std::vector<std::string> errors;
};

// The menu as the program's own parser reads it, with the faults a user would
// notice: items outside a menu, labels without a mnemonic or with one taken
// in the same menu, a file the reader stopped short in.
MenuText readMenu(const std::string& description) {
    MenuText out;
    MenuDescription parsed = ParseMenuDescription(description);
    if (parsed.cutShort) out.errors.push_back("line too long");
    if (parsed.tooDeep) out.errors.push_back("menus nested too deep");
    auto walk = [&](auto& self, const std::vector<MenuEntry>& entries, int depth) -> void {
        std::map<char, std::string> taken;
        for (const MenuEntry& e : entries) {
            if (e.kind == MenuEntry::Kind::Separator) continue;
            if (e.kind == MenuEntry::Kind::Item) {
                if (depth == 0) out.errors.push_back("item outside a menu: " + e.label);
                if (e.label.empty()) out.errors.push_back("item without label: " + std::to_string(e.id));
                out.items.push_back({e.id, e.label});
            } else if (depth == 0) {
                out.topLevel.push_back(e.label);
            }
            size_t amp = e.label.find('&');
            if (amp == std::string::npos || amp + 1 >= e.label.size() || e.label[amp + 1] == '\t') {
                out.errors.push_back("no mnemonic: " + e.label);
            } else {
                auto [it, fresh] = taken.emplace(char(std::tolower(e.label[amp + 1])), e.label);
                if (!fresh) out.errors.push_back("mnemonic of \"" + e.label + "\" is taken by \"" + it->second + "\"");
            }
            if (e.kind == MenuEntry::Kind::Submenu) self(self, e.children, depth + 1);
        }
    };
    walk(walk, parsed.entries, 0);
    return out;
}

TEST_F(ShippedResources, MenuOffersEveryCommandOnceInTheUsualMenus) {
    MenuText menu = readMenu(text("menu.txt"));
    for (const std::string& error : menu.errors) ADD_FAILURE() << error;

    std::vector<std::string> titles;
    for (std::string label : menu.topLevel) {
        label.erase(std::remove(label.begin(), label.end(), '&'), label.end());
        titles.push_back(label);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"File", "Edit", "Insert", "Frame", "View", "Help"}));

    std::map<int, int> count;
    for (const MenuItem& item : menu.items) ++count[item.id];
    const std::set<int> commands = {101, 102, 103, 104, 105, 106, 107, 108, 109, 151, 152, 153, 154, 199,
                                    201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 213, 214,
                                    220, 221, 301, 302, 303, 304, 305, 306, 901, 999};
    for (int id : commands) EXPECT_EQ(count[id], 1) << "command " << id;
    for (const auto& [id, n] : count) EXPECT_TRUE(commands.count(id)) << "unknown command " << id;
}

TEST_F(ShippedResources, MenuShortcutsMatchTheWindowKeys) {
    // The main window handles these keys itself; the menu must show the same.
    std::map<int, std::string> shortcut;
    for (const MenuItem& item : readMenu(text("menu.txt")).items) {
        size_t tab = item.label.find('\t');
        if (tab != std::string::npos) shortcut[item.id] = item.label.substr(tab + 1);
    }
    EXPECT_EQ(shortcut[201], "Ctrl+Z");
    EXPECT_EQ(shortcut[202], "Ctrl+R");
    EXPECT_EQ(shortcut[203], "Ctrl+X");
    EXPECT_EQ(shortcut[204], "Ctrl+C");
    EXPECT_EQ(shortcut[205], "Ctrl+V");
    EXPECT_EQ(shortcut[206], "Del");
    EXPECT_EQ(shortcut[220], "Ctrl+A");
    EXPECT_EQ(shortcut[221], "Esc");
    EXPECT_EQ(shortcut[306], "Ctrl+0");
    std::set<std::string> distinct;
    for (const auto& [id, keys] : shortcut) EXPECT_TRUE(distinct.insert(keys).second) << keys << " used twice";
}

}  // namespace
}  // namespace tavlin
