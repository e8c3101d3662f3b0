#include "core/recent_files.h"

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace tavlin {
namespace {

using List = std::vector<std::string>;

TEST(RecentFilesTest, FirstAddOfARunKeepsTheStoredList) {
    test::ScratchDir dir;
    Settings s;
    s.Load(dir.write("tavlin.rc", "recent0=/p/a.tvl\nrecent1=/p/b.tvl\nrecent2=/p/c.tvl\n"));
    RecentFiles recent(s);
    EXPECT_TRUE(recent.Add("/p/new.tvl"));
    EXPECT_EQ(recent.entries(), (List{"/p/new.tvl", "/p/a.tvl", "/p/b.tvl", "/p/c.tvl"}));
    // Add saves at once.
    EXPECT_EQ(test::readAll(s.path()),
              "recent0=/p/new.tvl\nrecent1=/p/a.tvl\nrecent2=/p/b.tvl\nrecent3=/p/c.tvl\n");
}

TEST(RecentFilesTest, AddingAKnownPathMovesItToTheFront) {
    test::ScratchDir dir;
    Settings s;
    s.Load(dir.file("tavlin.rc"));
    RecentFiles recent(s);
    for (const char* p : {"a", "b", "c"}) recent.Add(p);
    recent.Add("a");
    EXPECT_EQ(recent.entries(), (List{"a", "c", "b"}));
    recent.Add("a");
    EXPECT_EQ(recent.entries(), (List{"a", "c", "b"}));
    recent.Load();
    EXPECT_EQ(recent.entries(), (List{"a", "c", "b"}));
}

TEST(RecentFilesTest, OnlyHistlenEntriesAreStoredAndLoaded) {
    test::ScratchDir dir;
    Settings s;
    s.Load(dir.write("tavlin.rc", "histlen=5\n"));
    RecentFiles recent(s);
    for (const char* p : {"1", "2", "3", "4", "5"}) recent.Add(p);
    s.Set("histlen", "3");
    recent.Add("6");
    // Memory keeps all six; the file gets three more, and the stale recent3
    // and recent4 of the earlier saves stay.
    EXPECT_EQ(recent.entries().size(), 6u);
    EXPECT_EQ(test::readAll(s.path()), "histlen=3\nrecent0=6\nrecent1=5\nrecent2=4\nrecent3=2\nrecent4=1\n");

    Settings again;
    again.Load(s.path());
    RecentFiles loaded(again);
    loaded.Load();
    EXPECT_EQ(loaded.entries(), (List{"6", "5", "4"}));

    // Loading stops at the first gap.
    again.Load(dir.write("tavlin.rc", "recent0=x\nrecent2=z\n"));
    loaded.Load();
    EXPECT_EQ(loaded.entries(), (List{"x"}));
    // A histlen that is not a number stores and loads nothing.
    again.Set("histlen", "many");
    loaded.Load();
    EXPECT_TRUE(loaded.entries().empty());
}

TEST(RecentFilesTest, AddReportsAFailedSave) {
    test::ScratchDir dir;
    Settings s;
    s.Load(dir.file("gone/tavlin.rc"));
    RecentFiles recent(s);
    EXPECT_FALSE(recent.Add("/p/a.tvl"));
    EXPECT_EQ(recent.entries(), (List{"/p/a.tvl"}));
    EXPECT_EQ(s.Get("recent0"), "/p/a.tvl");
}

}  // namespace
}  // namespace tavlin
