#include "support/scratch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavlin::test {

ScratchDir::ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavlin-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::write(const std::string& name, const std::string& bytes) const {
    std::string p = file(name);
    std::ofstream out(p, std::ios::binary);
    out << bytes;
    return p;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string sourcePath(const std::string& relative) {
    const char* src = std::getenv("TAVLIN_TEST_SRC");
    std::string root = src && *src ? src : TAVLIN_SOURCE_ROOT;
    return root + "/" + relative;
}

std::string fixture(const std::string& relative) {
    std::string path = sourcePath("tests/fixtures/" + relative);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "missing test fixture %s\n", path.c_str());
        std::abort();
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace tavlin::test
