#include "base/paths.h"

#include <filesystem>
#include <cstdio>
#include <system_error>

namespace tavlin {

namespace fs = std::filesystem;

namespace {
std::string& exeDirOverride() {
    static std::string s;
    return s;
}
}  // namespace

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string executableDir() {
    if (!exeDirOverride().empty()) return exeDirOverride();
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return ".";
    std::string dir = folderOf(exe.string());
    return dir.empty() ? "." : dir;
}

void setExecutableDirForTesting(const std::string& dir) { exeDirOverride() = dir; }

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool makeFolders(const std::string& path) {
    if (path.empty()) return true;
    std::error_code ec;
    fs::create_directories(path, ec);
    return isDirectory(path);
}

std::optional<std::vector<uint8_t>> readFileBytes(const std::string& path) {
    if (isDirectory(path)) return std::nullopt;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return std::nullopt;
    return bytes;
}

}  // namespace tavlin
