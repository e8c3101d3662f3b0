#include "ziparchive/zip_writer.h"

#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <memory>
#include <set>

namespace tavlin {

namespace {

struct ProgressState {
    const ZipProgress* progress = nullptr;
    bool stopped = false;
};

void onProgress(zip_t*, double share, void* ud) {
    auto* state = static_cast<ProgressState*>(ud);
    if (!state->stopped && state->progress && *state->progress && !(*state->progress)(share)) state->stopped = true;
}

int onCancel(zip_t*, void* ud) { return static_cast<ProgressState*>(ud)->stopped ? 1 : 0; }

ZipResult failure(std::string why) { return ZipResult{false, std::move(why)}; }

std::string libzipError(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// Opens the finished archive again with consistency checks and counts its
// entries: what the viewer and an unzip tool will see.
ZipResult checkArchive(const std::string& path, zip_int64_t expected) {
    int code = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!za) return failure("the archive written cannot be read back (" + libzipError(code) + ")");
    zip_int64_t n = zip_get_num_entries(za, 0);
    zip_discard(za);
    if (n != expected)
        return failure("the archive written holds " + std::to_string(n) + " entries instead of " +
                       std::to_string(expected));
    return ZipResult{true, {}};
}

}  // namespace

std::string zipTemporaryPath(const std::string& zipPath) { return zipPath + ".part~"; }

ZipResult writeZipArchive(const std::string& zipPath, const std::vector<ZipItem>& items, const ZipProgress& progress) {
    // libzip removes an archive without entries instead of writing it.
    if (items.empty()) return failure("nothing to pack");
    const std::string tmp = zipTemporaryPath(zipPath);
    std::remove(tmp.c_str());
    int code = 0;
    zip_t* za = zip_open(tmp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za) return failure("cannot create the archive (" + libzipError(code) + ")");
    auto abandon = [&](std::string why) {
        zip_discard(za);
        std::remove(tmp.c_str());
        return failure(std::move(why));
    };

    std::set<std::string> seen;
    zip_int64_t count = 0;
    for (const ZipItem& item : items) {
        if (item.name.empty() || !seen.insert(item.name).second) continue;
        if (item.name.back() == '/') {
            if (zip_dir_add(za, item.name.substr(0, item.name.size() - 1).c_str(), ZIP_FL_ENC_UTF_8) < 0)
                return abandon(item.name + ": " + zip_strerror(za));
            ++count;
            continue;
        }
        // libzip opens the files only while closing the archive, and its
        // message then names no file; a missing one is named here instead.
        if (!item.sourcePath.empty() && ::access(item.sourcePath.c_str(), R_OK) != 0)
            return abandon(item.sourcePath + ": cannot be read");
        // A length of 0 reads the file to its end.
        zip_source_t* src = item.sourcePath.empty()
                                ? zip_source_buffer(za, item.data.data(), item.data.size(), 0)
                                : zip_source_file(za, item.sourcePath.c_str(), 0, 0);
        if (!src) return abandon((item.sourcePath.empty() ? item.name : item.sourcePath) + ": " + zip_strerror(za));
        zip_int64_t index = zip_file_add(za, item.name.c_str(), src, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(src);
            return abandon(item.name + ": " + zip_strerror(za));
        }
        if (zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, kZipDeflateLevel) < 0)
            return abandon(item.name + ": " + zip_strerror(za));
        ++count;
    }

    ProgressState state{&progress, false};
    zip_register_progress_callback_with_state(za, 0.01, onProgress, nullptr, &state);
    zip_register_cancel_callback_with_state(za, onCancel, nullptr, &state);
    if (zip_close(za) < 0) {
        std::string why = state.stopped ? std::string("stopped") : std::string(zip_strerror(za));
        return abandon(why);
    }
    if (state.stopped) {
        std::remove(tmp.c_str());
        return failure("stopped");
    }
    ZipResult checked = checkArchive(tmp, count);
    if (!checked) {
        std::remove(tmp.c_str());
        return checked;
    }
    if (std::rename(tmp.c_str(), zipPath.c_str()) != 0) {
        std::remove(tmp.c_str());
        return failure("cannot put the archive in place");
    }
    return ZipResult{true, {}};
}

}  // namespace tavlin
