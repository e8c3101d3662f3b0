#include "core/resource_folder.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "media/media_registry.h"
#include "base/line_reader.h"
#include "base/paths.h"
#include "core/prompts.h"

namespace tavlin {

const char kNullStringResource[] = "(null string resource)";

namespace {

const std::string& nullString() {
    static const std::string s(kNullStringResource);
    return s;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Lines are read in pieces of at most this many characters; the rest of a
// longer line comes as a line of its own.
constexpr int kLinePiece = 2048;

}  // namespace

bool ResourceFolder::Open(const std::string& folderPath) {
    folder_ = folderPath;
    tablePath_ = joinPath(folder_, "res.txt");
    strings_.clear();
    images_.clear();
    return true;
}

std::optional<std::string> ResourceFolder::readFromTable(const std::string& id, bool& tableRead) const {
    tableRead = false;
    // A read error part way counts as a table that could not be read.
    auto bytes = readFileBytes(tablePath_);
    if (!bytes || isDirectory(tablePath_)) return std::nullopt;
    tableRead = true;
    std::optional<std::string> found;
    LineReader lines(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), kLinePiece);
    std::string_view piece;
    bool ended = false;
    while (lines.nextPiece(piece, ended)) {
        size_t len = piece.size();
        while (len > 0 && isBlank(piece[len - 1])) --len;
        if (len == 0) continue;
        size_t keyEnd = 0;
        while (keyEnd < len && !isBlank(piece[keyEnd])) ++keyEnd;
        if (piece.substr(0, keyEnd) != id) continue;
        size_t valueStart = keyEnd;
        while (valueStart < len && isBlank(piece[valueStart])) ++valueStart;
        // Keep reading: the last line with the id wins.
        found = std::string(piece.substr(valueStart, len - valueStart));
    }
    return found;
}

const std::string& ResourceFolder::String(const std::string& id) {
    for (const auto& e : strings_)
        if (e->id == id) return e->value;
    bool tableRead = false;
    auto value = readFromTable(id, tableRead);
    if (!value) {
        if (tableRead) ShowMessage("Cannot read string resource (%s)", id.c_str());
        return nullString();
    }
    strings_.push_back(std::make_unique<StringEntry>(StringEntry{id, std::move(*value)}));
    return strings_.back()->value;
}

std::string ResourceFolder::StringCopy(const std::string& id) { return String(id); }

const tavlin::Image* ResourceFolder::Image(const std::string& name) {
    for (const auto& e : images_)
        if (e.name == name) return e.image.get();
    auto image = readImage(joinPath(folder_, name));
    if (!image) {
        ShowMessage("Cannot read image resource (%s)", name.c_str());
        return nullptr;
    }
    images_.push_back(ImageEntry{name, std::move(image)});
    return images_.back().image.get();
}

std::optional<std::vector<uint8_t>> ResourceFolder::ReadWhole(const std::string& name) const {
    std::string path = joinPath(folder_, name);
    if (isDirectory(path)) return std::nullopt;
    return readFileBytes(path);
}

ResourceFolder& resources() {
    static ResourceFolder instance;
    return instance;
}

}  // namespace tavlin
