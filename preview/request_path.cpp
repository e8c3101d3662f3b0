#include "preview/request_path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tavlin {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One segment, percent-decoded; nothing when an escape is malformed or the
// result holds a byte no file name of ours should hold.
std::optional<std::string> decodeSegment(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '%') {
            if (i + 2 >= s.size()) return std::nullopt;
            int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            c = char(hi * 16 + lo);
            i += 2;
        }
        // A decoded "/" or "\" would smuggle a separator past the split.
        if (c == '\0' || c == '/' || c == '\\') return std::nullopt;
        out.push_back(c);
    }
    return out;
}

bool isInside(const std::string& root, const std::string& path) {
    if (path.size() <= root.size() || path.compare(0, root.size(), root) != 0) return false;
    return root.back() == '/' || path[root.size()] == '/';
}

}  // namespace

std::optional<std::string> resolveRequestPath(const std::string& canonicalRoot, const std::string& encodedPath) {
    if (canonicalRoot.empty() || encodedPath.empty() || encodedPath[0] != '/') return std::nullopt;
    std::vector<std::string> segments;
    size_t start = 1;
    for (;;) {
        size_t end = encodedPath.find('/', start);
        std::string raw = encodedPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!raw.empty()) {
            std::optional<std::string> seg = decodeSegment(raw);
            if (!seg || *seg == "." || *seg == "..") return std::nullopt;
            segments.push_back(*seg);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (encodedPath.back() == '/') segments.push_back("index.html");

    std::filesystem::path path(canonicalRoot);
    for (const std::string& s : segments) path /= s;
    // The real path, links followed: a link inside the folder may point
    // anywhere, so only where it ends up counts.
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(path, ec);
    if (ec || !isInside(canonicalRoot, real.string())) return std::nullopt;
    if (!std::filesystem::is_regular_file(real, ec) || ec) return std::nullopt;
    return real.string();
}

std::string contentTypeFor(const std::string& fileName) {
    static const struct {
        const char* extension;
        const char* type;
    } kTypes[] = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".json", "application/json"},
        {".txt", "text/plain; charset=utf-8"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".png", "image/png"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".au", "audio/basic"},
        {".wav", "audio/wav"},
        {".jar", "application/java-archive"},
        {".zip", "application/zip"},
    };
    std::string name = fileName;
    size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        std::string ext = name.substr(dot);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        for (const auto& t : kTypes)
            if (ext == t.extension) return t.type;
    }
    return "application/octet-stream";
}

}  // namespace tavlin
