#include "import/still_list.h"

#include <cstdio>
#include <memory>

#include "base/line_reader.h"
#include "base/paths.h"
#include "base/safe_write.h"
#include "document/project_text.h"
#include "media/media_registry.h"

namespace tavlin {

namespace {

constexpr int32_t kMaxListWidth = 720;
constexpr int32_t kMaxFactor = 9;
constexpr const char* kClosingLine = "-\n";

}  // namespace

StillListSize stillListSize(int32_t w, int32_t h) {
    int32_t f = kMaxFactor;
    for (int32_t k = 1; k <= kMaxFactor; ++k) {
        if (w / k <= kMaxListWidth) {
            f = k;
            break;
        }
    }
    return {w / f, h / f};
}

std::string stillListText(const std::vector<std::string>& pictures, StillListSize size) {
    std::string n = std::to_string(pictures.size());
    std::string out = std::to_string(size.width) + " " + std::to_string(size.height) + " " + n + " " + n + "\n";
    for (size_t i = 0; i < pictures.size(); ++i) out += "N " + std::to_string(i) + " " + pictures[i] + "\n";
    out += kClosingLine;
    return out;
}

Status writeStillList(const std::string& path, const std::vector<std::string>& pictures) {
    if (pictures.empty()) return Status(Failure::CannotRead, "no pictures");
    auto first = readImageWithReason(pictures.front());
    if (!first) {
        Status closing = writeFileSafely(path, kClosingLine);
        if (!closing) return closing;
        return Status(Failure::CannotRead, pictures.front() + ": " + first.reason());
    }
    const Image& image = *first.value();
    return writeFileSafely(path, stillListText(pictures, stillListSize(image.width, image.height)));
}

std::vector<std::string> readStillList(const std::string& path) {
    std::vector<std::string> pictures;
    auto bytes = readFileBytes(path);
    if (!bytes) return pictures;
    std::string text(bytes->begin(), bytes->end());
    size_t pos = text.find('\n');
    while (pos != std::string::npos && pos + 1 < text.size()) {
        size_t start = pos + 1;
        pos = text.find('\n', start);
        std::string line = text.substr(start, pos == std::string::npos ? std::string::npos : pos - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // "N", white space, a number, white space, then the path to the end.
        if (line.size() < 2 || line[0] != 'N' || (line[1] != ' ' && line[1] != '\t')) continue;
        Scanner s(std::string_view(line).substr(1));
        int32_t index = 0;
        if (!s.integer(index)) continue;
        std::string_view rest = s.rest();
        size_t skip = rest.find_first_not_of(" \t");
        if (skip == std::string_view::npos || skip == 0) continue;
        pictures.emplace_back(rest.substr(skip));
    }
    return pictures;
}

}  // namespace tavlin
