#include "support/full_disk.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace tavlin::test {

namespace {
constexpr const char* kFillerName = ".filler";
}

FullDisk::FullDisk() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavlin-disk-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    mounted_ = ::mount("tavlin-test", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0777") == 0;
}

FullDisk::~FullDisk() {
    empty();
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void FullDisk::fill() {
    if (mounted_) {
        std::FILE* f = std::fopen(file(kFillerName).c_str(), "wb");
        if (!f) throw std::runtime_error("cannot create the filler");
        std::vector<char> block(4096, 'F');
        // Whole blocks until the disk refuses, then single bytes for the rest.
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
        }
        std::clearerr(f);
        std::setvbuf(f, nullptr, _IONBF, 0);
        while (std::fwrite("F", 1, 1, f) == 1) {
        }
        std::fclose(f);
        return;
    }
    // No mount: any file this process writes stops at 64 bytes.
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim {};
    ::getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &lim);
    limited_ = true;
}

void FullDisk::empty() {
    if (mounted_) std::remove(file(kFillerName).c_str());
    if (limited_) {
        struct rlimit lim {};
        ::getrlimit(RLIMIT_FSIZE, &lim);
        lim.rlim_cur = lim.rlim_max;
        ::setrlimit(RLIMIT_FSIZE, &lim);
        std::signal(SIGXFSZ, SIG_DFL);
        limited_ = false;
    }
}

std::string folderListing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::string name = e.path().filename().string();
        // The settings' lock file stays beside them on purpose.
        if (name != kFillerName && e.path().extension() != ".lock") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += n + "\n";
    return out;
}

unsigned permissions(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

namespace {
std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
}  // namespace

void expectWritePolicy(const std::function<bool(const std::string& path, int version)>& write) {
    {
        FullDisk disk;
        const std::string target = disk.file("keep.dat");
        ASSERT_TRUE(write(target, 1));
        const std::string old = bytesOf(target);
        const std::string listing = folderListing(disk.path());
        disk.fill();
        const bool wrote = write(target, 2);
        disk.empty();
        EXPECT_FALSE(wrote) << "a write on a full disk reported success";
        EXPECT_EQ(bytesOf(target), old) << "the old file changed";
        EXPECT_EQ(folderListing(disk.path()), listing) << "a temporary file was left";
        // Room again: the same write goes through.
        ASSERT_TRUE(write(target, 2));
        EXPECT_NE(bytesOf(target), old);
    }
    {
        FullDisk disk;
        // What version 2 looks like when written to a plain new file.
        ASSERT_TRUE(write(disk.file("plain.dat"), 2));
        const std::string expected = bytesOf(disk.file("plain.dat"));
        std::filesystem::create_directory(disk.file("real"));
        ASSERT_TRUE(write(disk.file("real/target.dat"), 1));
        std::filesystem::create_symlink("real/target.dat", disk.file("link.dat"));
        ASSERT_TRUE(write(disk.file("link.dat"), 2));
        EXPECT_TRUE(std::filesystem::is_symlink(disk.file("link.dat"))) << "the link was replaced";
        EXPECT_EQ(std::filesystem::read_symlink(disk.file("link.dat")).string(), "real/target.dat");
        EXPECT_EQ(bytesOf(disk.file("real/target.dat")), expected);
        EXPECT_EQ(folderListing(disk.file("real")), "target.dat\n");

        mode_t oldMask = ::umask(022);
        for (unsigned mode : {0600u, 0666u, 0640u}) {
            const std::string file = disk.file("mode" + std::to_string(mode) + ".dat");
            ASSERT_TRUE(write(file, 1));
            ::chmod(file.c_str(), mode);
            ASSERT_TRUE(write(file, 2));
            EXPECT_EQ(permissions(file), mode) << std::oct << mode;
        }
        ::umask(oldMask);
    }
}

}  // namespace tavlin::test
