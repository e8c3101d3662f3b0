#pragma once
// A fresh folder under the system's temporary folder, removed afterwards.

#include <string>

namespace tavlin::test {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to a file in the folder and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

std::string readAll(const std::string& path);

// A path in the source tree (CTest passes its root in TAVLIN_TEST_SRC).
std::string sourcePath(const std::string& relative);
// The bytes of a shared test file under tests/fixtures/; a missing one stops
// the test program, since every test that names it would fail obscurely.
std::string fixture(const std::string& relative);

}  // namespace tavlin::test
