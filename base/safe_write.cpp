#include "base/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace tavlin {

namespace {

constexpr int kMaxLinkDepth = 40;
constexpr int kNameAttempts = 100;

std::string folderPart(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string namePart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string errorText(int err) { return err ? std::string(std::strerror(err)) : std::string("write failed"); }

// The reason names no path: callers put the name in front as they show it.
Status cannotWrite(const std::string&, const std::string& why) {
    return Status::failure(Failure::CannotWrite, "cannot be written: " + why);
}

// A name no other writer uses at the same moment: the process, a counter and
// the clock. O_EXCL settles any remaining clash.
std::string temporaryName(const std::string& target, int attempt) {
    static std::atomic<uint64_t> counter{0};
    uint64_t mix = uint64_t(::getpid()) * 0x9E3779B97F4A7C15ull ^ counter.fetch_add(1) * 0xBF58476D1CE4E5B9ull ^
                   uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^ uint64_t(attempt);
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 10; ++i) {
        suffix.push_back(kDigits[mix % 36]);
        mix /= 36;
    }
    std::string folder = folderPart(target);
    return (folder == "/" ? "/" : folder + "/") + "." + namePart(target) + "." + suffix + ".tmp";
}

// Writes straight into a device or pipe; nothing there can be kept.
Status writeDirectly(const std::string& path, const FileFiller& fill) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return cannotWrite(path, errorText(errno));
    bool ok = fill(f);
    ok = std::fflush(f) == 0 && ok;
    int err = std::ferror(f) ? errno : 0;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) return cannotWrite(path, errorText(err ? err : errno));
    return Status::success();
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

bool readAll(const std::string& path, std::string* out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[65536];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// A writable file in a folder where no temporary file may be made: the file
// itself is rewritten. The new content is made completely in memory first,
// so a writer that gives up leaves the file alone; should the disk refuse
// part way, the old content is put back.
Status writeInPlace(const std::string& path, const std::string& target, const FileFiller& fill) {
    char* data = nullptr;
    size_t size = 0;
    std::FILE* mem = ::open_memstream(&data, &size);
    if (!mem) return cannotWrite(path, errorText(errno));
    bool filled = fill(mem);
    filled = std::fflush(mem) == 0 && filled;
    std::fclose(mem);
    std::string bytes(data ? data : "", size);
    std::free(data);
    if (!filled) return cannotWrite(path, "the content could not be written");

    std::string old;
    if (!readAll(target, &old)) return cannotWrite(path, errorText(errno));
    int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return cannotWrite(path, errorText(errno));
    bool ok = writeAll(fd, bytes) && ::ftruncate(fd, off_t(bytes.size())) == 0 && ::fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (!ok) {
        if (writeAll(fd, old)) (void)::ftruncate(fd, off_t(old.size()));
        (void)::fsync(fd);
    }
    if (::close(fd) != 0 && ok) ok = false, err = errno;
    if (!ok) return cannotWrite(path, errorText(err));
    return Status::success();
}

void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string resolveWriteTarget(const std::string& path) {
    std::string p = path;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
        if (n <= 0 || size_t(n) >= target.size()) return std::string();
        target.resize(size_t(n));
        if (target[0] == '/') {
            p = target;
        } else {
            std::string folder = folderPart(p);
            p = (folder == "/" ? "/" : folder + "/") + target;
        }
    }
    return std::string();
}

Status writeFileSafely(const std::string& path, const FileFiller& fill) {
    if (path.empty()) return cannotWrite(path, "no file name");
    const std::string target = resolveWriteTarget(path);
    if (target.empty()) return cannotWrite(path, "too many levels of symbolic links");

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return cannotWrite(path, "is a folder");
    if (exists && !S_ISREG(old.st_mode)) return writeDirectly(target, fill);
    // A file the user may not write is not replaced behind their back.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return cannotWrite(path, errorText(errno));

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
        temp = temporaryName(target, attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? (old.st_mode & 07777) : 0666);
        if (fd < 0 && exists && (errno == EACCES || errno == EPERM)) return writeInPlace(path, target, fill);
        if (fd < 0 && errno != EEXIST) return cannotWrite(path, errorText(errno));
    }
    if (fd < 0) return cannotWrite(path, "no unused temporary name");

    if (exists) {
        // The umask must not narrow or widen what the user chose.
        (void)::fchmod(fd, old.st_mode & 07777);
        if (::fchown(fd, old.st_uid, old.st_gid) == 0) (void)::fchmod(fd, old.st_mode & 07777);
    }
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return cannotWrite(path, errorText(err));
    }
    bool ok = fill(f);
    int err = (!ok && std::ferror(f)) ? errno : 0;
    if (ok && std::fflush(f) != 0) ok = false, err = errno;
    if (ok && std::ferror(f)) ok = false, err = errno;
    // Syncing guards what a crash could take from the user: the file being
    // replaced. A new file has nothing to lose, and publishing writes
    // thousands of them.
    if (ok && exists && ::fsync(::fileno(f)) != 0) ok = false, err = errno;
    if (std::fclose(f) != 0 && ok) ok = false, err = errno;
    if (!ok) {
        ::unlink(temp.c_str());
        return cannotWrite(path, err ? errorText(err) : std::string("the content could not be written"));
    }
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        err = errno;
        ::unlink(temp.c_str());
        return cannotWrite(path, errorText(err));
    }
    if (exists) syncFolder(folderPart(target));
    return Status::success();
}

Status writeFileSafely(const std::string& path, std::string_view bytes) {
    return writeFileSafely(path, [bytes](std::FILE* f) {
        return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    });
}

}  // namespace tavlin
