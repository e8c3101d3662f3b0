#pragma once
// A folder on a file system that can be filled up, to see what a writer does
// when the disk is full. Where the test may mount (root) it is a small tmpfs
// of its own; elsewhere the folder is ordinary and fill() limits the size of
// files this process may write instead (RLIMIT_FSIZE), which fails writes
// the same way.

#include <functional>
#include <string>

namespace tavlin::test {

class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Whether a real small file system is mounted there.
    bool mounted() const { return mounted_; }

    // Leaves no room for anything larger than a few bytes.
    void fill();
    // Makes room again.
    void empty();

private:
    std::string path_;
    bool mounted_ = false;
    bool limited_ = false;
};

// Holds a writer that replaces a file to the one write policy, with gtest
// expectations. `write(path, version)` writes content version 1 (small) or 2
// (larger than a full disk's last bytes) to `path` and returns success.
// Checked: on a full disk the write fails, the old file stays byte for byte
// and no temporary file is left; through a symbolic link the link stays a
// link and its target gets the new content; 0600 and 0666 files keep their
// permissions whatever the umask.
void expectWritePolicy(const std::function<bool(const std::string& path, int version)>& write);

// The names in a folder, sorted, lock files left out (to see that no
// temporary file was left).
std::string folderListing(const std::string& folder);
// The permission bits of a file.
unsigned permissions(const std::string& path);

}  // namespace tavlin::test
