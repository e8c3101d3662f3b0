#pragma once
// Writes ZIP archives (deflate, level 6) through libzip. An archive is built
// under a temporary name beside its target, read back to check it, and only
// then renamed into place, so a failed or stopped write never leaves a
// truncated archive under the final name and an older archive stays as it was.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavlin {

struct ZipItem {
    // The entry name inside the archive; a name ending in "/" is a folder.
    std::string name;
    // The file whose bytes are packed; when empty, `data` is packed instead.
    std::string sourcePath;
    std::string data;
};

struct ZipResult {
    bool ok = false;
    std::string reason;  // why it failed: the file at fault and libzip's word
    explicit operator bool() const { return ok; }
};

// Called as the archive is written with the share done (0 to 1); returning
// false stops the write, which then fails and leaves nothing behind.
using ZipProgress = std::function<bool(double)>;

// The compression level every archive uses.
constexpr int32_t kZipDeflateLevel = 6;

// Packs the items in the order given (a name given twice is packed once).
ZipResult writeZipArchive(const std::string& zipPath, const std::vector<ZipItem>& items,
                          const ZipProgress& progress = {});

// The temporary name an archive is built under.
std::string zipTemporaryPath(const std::string& zipPath);

}  // namespace tavlin
