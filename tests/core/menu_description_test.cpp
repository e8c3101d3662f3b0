#include <gtest/gtest.h>

#include "core/menu_description.h"

namespace tavlin {
namespace {

MenuEntry item(int32_t id, std::string label, int32_t flags = 0) {
    MenuEntry e;
    e.id = id;
    e.label = std::move(label);
    e.flags = flags;
    return e;
}

MenuEntry separator() {
    MenuEntry e;
    e.kind = MenuEntry::Kind::Separator;
    return e;
}

MenuEntry submenu(std::string label, std::vector<MenuEntry> children) {
    MenuEntry e;
    e.kind = MenuEntry::Kind::Submenu;
    e.label = std::move(label);
    e.children = std::move(children);
    return e;
}

TEST(MenuDescription, EveryRecordKind) {
    const std::string text =
        "menu of the program\n"
        ".{ &File\n"
        ".I 101\t&New\tCtrl+N\n"
        ".I 102   &Open...\r\n"
        ".-\n"
        ".{ Recent\n"
        ".D 108 (none)\n"
        ".}\n"
        ".C 305 Tool box\n"
        ".}\n"
        ".{x&Help\n"
        ".I 999 &About\n"
        ".}\n";
    MenuDescription d = ParseMenuDescription(text);
    EXPECT_FALSE(d.cutShort);
    std::vector<MenuEntry> want = {
        submenu("&File", {item(101, "&New\tCtrl+N"), item(102, "&Open..."), separator(),
                          submenu("Recent", {item(108, "(none)", kMenuItemDisabled)}),
                          item(305, "Tool box", kMenuItemChecked)}),
        submenu("&Help", {item(999, "&About")}),
    };
    EXPECT_EQ(d.entries, want);
}

TEST(MenuDescription, ItemIdsStartAtTheFourthCharacter) {
    const std::string text =
        ".I101 Lost digit\n"   // "01" is the id
        ".Ix5 Any separator\n"
        ".I 7\n"               // no label
        ".I abc no digit\n"
        ".I1x no digit at the fourth\n"
        ".I\n"
        ".C 12 \t  spaced\tinner tab  \n"
        ".I 99999999999 Huge\n"
        ".Q 1 unknown kind\n"
        "  .I 3 indented\n"
        ".I 4 cut\rafter the CR\n";
    MenuDescription d = ParseMenuDescription(text);
    std::vector<MenuEntry> want = {
        item(1, "Lost digit"),
        item(5, "Any separator"),
        item(7, ""),
        item(12, "spaced\tinner tab  ", kMenuItemChecked),
        item(INT32_MAX, "Huge"),
        item(4, "cut"),
    };
    EXPECT_EQ(d.entries, want);
}

TEST(MenuDescription, UnbalancedBrackets) {
    // A stray "}" at the top is ignored; submenus left open end with the text.
    MenuDescription d = ParseMenuDescription(".}\n.}\n.I 1 A\n.{ S\n.{ T\n.I 2 B");
    std::vector<MenuEntry> want = {
        item(1, "A"),
        submenu("S", {submenu("T", {item(2, "B")})}),
    };
    EXPECT_EQ(d.entries, want);

    // Only brackets and separators: no command anywhere. A bracket line
    // without its label character gives an empty label.
    MenuDescription b = ParseMenuDescription(".{\n.-\n.{ X\n.}\n.}\n.-\n");
    EXPECT_EQ(b.entries, (std::vector<MenuEntry>{submenu("", {separator(), submenu("X", {})}), separator()}));

    // Deep nesting does not disturb the entries already read.
    std::string deep;
    const int levels = int(kMenuDepthLimit);
    for (int i = 0; i < levels; ++i) deep += ".{ L\n.I " + std::to_string(i) + " i\n";
    MenuDescription n = ParseMenuDescription(deep);
    const MenuEntry* e = &n.entries.at(0);
    for (int i = 0; i < levels - 1; ++i) {
        ASSERT_EQ(e->children.size(), 2u);
        EXPECT_EQ(e->children[0].id, i);
        e = &e->children[1];
    }
}

TEST(MenuDescription, LineLimit) {
    std::string fits(1023 - 5, 'x');  // ".I 1 " and this: exactly 1023
    std::string over(1024 - 5, 'y');
    MenuDescription d = ParseMenuDescription(".I 1 " + fits + "\n" + ".{ S\n.I 2 " + over + "\n.I 3 after\n");
    EXPECT_TRUE(d.cutShort);
    ASSERT_EQ(d.entries.size(), 2u);
    EXPECT_EQ(d.entries[0].label, fits);
    EXPECT_EQ(d.entries[1], submenu("S", {}));

    // The limit applies to the last line too, with or without its line feed.
    EXPECT_TRUE(ParseMenuDescription(std::string(2000, '.')).cutShort);
    EXPECT_FALSE(ParseMenuDescription(".I 1 " + std::string(1018, 'z')).cutShort);
}

TEST(MenuDescription, NestingDeeperThanTheLimitEndsTheReading) {
    // Exactly at the limit: read whole, items at the bottom included.
    std::string ok;
    for (size_t i = 0; i < kMenuDepthLimit; ++i) ok += ".{ L\n";
    ok += ".I 7 bottom\n";
    MenuDescription d = ParseMenuDescription(ok + ".}\n.I 8 after\n");
    EXPECT_FALSE(d.tooDeep);
    const MenuEntry* e = &d.entries[0];
    for (size_t depth = 1; depth < kMenuDepthLimit; ++depth) e = &e->children[0];
    EXPECT_EQ(e->children, std::vector<MenuEntry>{item(7, "bottom")});
    EXPECT_EQ(e->children.size(), 1u);

    // One level more, and a hostile 100000: the file is broken; what came
    // before the damage stays, nothing after it is read.
    for (size_t levels : {kMenuDepthLimit + 1, size_t(100000)}) {
        std::string deep = ".I 1 first\n";
        for (size_t i = 0; i < levels; ++i) deep += ".{ L\n";
        deep += ".I 2 lost\n";
        for (size_t i = 0; i < levels; ++i) deep += ".}\n";
        deep += ".I 3 lost too\n";
        MenuDescription broken = ParseMenuDescription(deep);
        EXPECT_TRUE(broken.tooDeep);
        ASSERT_EQ(broken.entries.size(), 2u);
        EXPECT_EQ(broken.entries[0], item(1, "first"));
        size_t depth = 0;
        for (const MenuEntry* m = &broken.entries[1]; !m->children.empty(); m = &m->children[0]) ++depth;
        EXPECT_EQ(depth + 1, kMenuDepthLimit);
    }
}

TEST(MenuDescription, ZeroBytesAndNoise) {
    using namespace std::string_literals;
    MenuDescription d = ParseMenuDescription(".I 1 ab\0cd\n.I 2 ef\n"s);
    EXPECT_EQ(d.entries, (std::vector<MenuEntry>{item(1, "ab"), item(2, "ef")}));

    std::string noise;
    uint32_t seed = 777;
    const char pick[] = ".{}-IDC 0123456789\t\n\r&x";
    for (int i = 0; i < 50000; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise.push_back(pick[(seed >> 16) % (sizeof(pick) - 1)]);
    }
    ParseMenuDescription(noise);
    EXPECT_TRUE(ParseMenuDescription("").entries.empty());
}

}  // namespace
}  // namespace tavlin
