// The one write policy: a file is replaced whole or not at all.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "base/paths.h"
#include "base/safe_write.h"
#include "support/full_disk.h"
#include "support/ordinary_user.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

TEST(SafeWrite, HoldsThePolicy) {
    test::expectWritePolicy([](const std::string& path, int version) {
        return writeFileSafely(path, version == 1 ? std::string("old") : std::string(20000, 'n')).ok();
    });
}

TEST(SafeWrite, AFailingWriterLeavesTheTargetAlone) {
    test::ScratchDir dir;
    const std::string target = dir.write("t.txt", "before");
    Status st = writeFileSafely(target, [](std::FILE* f) {
        std::fputs("half of it", f);
        return false;  // the library gave up part way
    });
    EXPECT_FALSE(st);
    EXPECT_EQ(st.failure(), Failure::CannotWrite);
    EXPECT_EQ(test::readAll(target), "before");
    EXPECT_EQ(test::folderListing(dir.path()), "t.txt\n");
}

TEST(SafeWrite, OddTargets) {
    test::ScratchDir dir;
    // A folder is not replaced.
    std::filesystem::create_directory(dir.file("sub"));
    Status st = writeFileSafely(dir.file("sub"), "x");
    EXPECT_FALSE(st);
    EXPECT_NE(st.reason().find("folder"), std::string::npos);
    EXPECT_TRUE(isDirectory(dir.file("sub")));
    // A missing folder fails with the system's reason.
    EXPECT_NE(writeFileSafely(dir.file("no/such.txt"), "x").reason().find("No such file"), std::string::npos);
    // A dangling link gets its target created, and stays a link.
    std::filesystem::create_symlink("made.txt", dir.file("dangling"));
    ASSERT_TRUE(writeFileSafely(dir.file("dangling"), "made"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("dangling")));
    EXPECT_EQ(test::readAll(dir.file("made.txt")), "made");
    // Links in a circle are refused.
    std::filesystem::create_symlink("loop2", dir.file("loop1"));
    std::filesystem::create_symlink("loop1", dir.file("loop2"));
    EXPECT_FALSE(writeFileSafely(dir.file("loop1"), "x"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("loop1")));
    // A device is written in place and never removed.
    EXPECT_TRUE(writeFileSafely("/dev/null", "discarded"));
    if (fileExists("/dev/full")) {
        EXPECT_FALSE(writeFileSafely("/dev/full", std::string(10000, 'x')));
        EXPECT_TRUE(fileExists("/dev/full"));
    }
    // A file without write permission is not replaced behind the user's back
    // (root may write anything, as with any other program).
    const std::string locked = dir.write("locked.txt", "mine");
    ::chmod(locked.c_str(), 0444);
    Status lockedWrite = writeFileSafely(locked, "theirs");
    if (::geteuid() != 0) {
        EXPECT_FALSE(lockedWrite);
        EXPECT_EQ(test::readAll(locked), "mine");
    }
}

TEST(SafeWrite, AWritableFileInAFolderThatIsNotIsRewrittenInPlace) {
    test::ScratchDir dir;
    std::filesystem::create_directory(dir.file("shut"));
    const std::string file = dir.write("shut/kept.txt", std::string(5000, 'o'));
    ::chmod(file.c_str(), 0620);
    test::AsOrdinaryUser user(dir.path());
    if (!user.ok()) GTEST_SKIP() << "cannot act as an ordinary user";
    ::chmod(dir.file("shut").c_str(), 0555);
    struct stat before {};
    ::stat(file.c_str(), &before);

    // A writer that gives up leaves the old content whole.
    Status st = writeFileSafely(file, [](std::FILE* f) {
        std::fputs("half", f);
        return false;
    });
    EXPECT_FALSE(st);
    EXPECT_EQ(test::readAll(file), std::string(5000, 'o'));
    // Shorter content replaces all of the longer one; the file stays the same
    // file with the same rights, and nothing is left beside it.
    ASSERT_TRUE(writeFileSafely(file, "new"));
    EXPECT_EQ(test::readAll(file), "new");
    struct stat after {};
    ::stat(file.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0620u);
    EXPECT_EQ(test::folderListing(dir.file("shut")), "kept.txt\n");
    // A new file cannot be made there, and a file the user may not write is
    // not written.
    EXPECT_FALSE(writeFileSafely(dir.file("shut/new.txt"), "x"));
    ::chmod(file.c_str(), 0444);
    EXPECT_FALSE(writeFileSafely(file, "again"));
    EXPECT_EQ(test::readAll(file), "new");
    ::chmod(dir.file("shut").c_str(), 0755);
}

TEST(SafeWrite, ConcurrentWritersNeverMix) {
    test::ScratchDir dir;
    const std::string target = dir.file("shared.txt");
    std::vector<std::thread> writers;
    std::atomic<int> failures{0};
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&, w] {
            const std::string content(5000 + w, char('a' + w));
            for (int i = 0; i < 50; ++i)
                if (!writeFileSafely(target, content)) ++failures;
        });
    }
    std::thread reader([&] {
        for (int i = 0; i < 200; ++i) {
            std::string seen = test::readAll(target);
            if (seen.empty()) continue;  // not written yet
            // Always one writer's whole content.
            ASSERT_EQ(seen.size(), size_t(5000 + (seen[0] - 'a')));
            ASSERT_EQ(seen.find_first_not_of(seen[0]), std::string::npos);
        }
    });
    for (auto& t : writers) t.join();
    reader.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(test::folderListing(dir.path()), "shared.txt\n");
}

}  // namespace
}  // namespace tavlin
