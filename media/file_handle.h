#pragma once
// A C file that closes itself, for readers that leave on any early return.

#include <cstdio>

namespace tavlin {

struct FileHandle {
    std::FILE* f;
    explicit FileHandle(std::FILE* file) : f(file) {}
    ~FileHandle() {
        if (f) std::fclose(f);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
};

}  // namespace tavlin
