#include "core/recovery_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "base/safe_write.h"

namespace tavlin {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "tavlin recovery 1\n";
constexpr std::string_view kSuffix = ".recovery";
constexpr std::string_view kDamagedSuffix = ".damaged";
constexpr size_t kMaxLabel = 60;
// As large as a project file may be, and its header.
constexpr uintmax_t kMaxRecoveryBytes = (uintmax_t(512) << 20) + 4096;

int64_t systemMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// "<session>.<label>.recovery": the session is everything before the first
// full stop (session ids hold none).
std::string sessionOf(const std::string& fileName) {
    size_t dot = fileName.find('.');
    return dot == std::string::npos ? std::string() : fileName.substr(0, dot);
}

// Takes one "key value" line off the front of `rest`.
bool headerLine(std::string_view& rest, std::string_view key, std::string_view& value) {
    size_t end = rest.find('\n');
    if (end == std::string_view::npos) return false;
    std::string_view line = rest.substr(0, end);
    if (line.size() < key.size() + 1 || line.substr(0, key.size()) != key || line[key.size()] != ' ') return false;
    value = line.substr(key.size() + 1);
    rest.remove_prefix(end + 1);
    return true;
}

}  // namespace

std::string defaultRecoveryFolder() {
    std::string state;
    if (const char* s = std::getenv("XDG_STATE_HOME"); s && *s == '/') state = s;
    if (state.empty()) {
        const char* home = std::getenv("HOME");
        state = joinPath(joinPath(home && *home ? home : "/tmp", ".local"), "state");
    }
    return joinPath(joinPath(state, "tavlin"), "recovery");
}

std::string recoveryLabel(const std::string& projectPath) {
    std::string name = projectPath.empty() ? std::string() : fileNameOf(projectPath);
    std::string label;
    for (char c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.';
        label += plain ? c : '_';
        if (label.size() >= kMaxLabel) break;
    }
    // A name of only full stops would read as a hidden or parent folder.
    if (label.find_first_not_of('.') == std::string::npos) return "untitled";
    return label;
}

std::string formatRecoveryFile(const std::string& projectPath, int64_t savedAt, std::string_view text) {
    std::string out(kMagic);
    out += "path " + projectPath + "\n";
    out += "time " + std::to_string(savedAt) + "\n\n";
    out += text;
    return out;
}

Result<RecoveredWork> parseRecoveryFile(std::string_view bytes) {
    if (bytes.substr(0, kMagic.size()) != kMagic)
        return Result<RecoveredWork>::failure(Failure::Damaged, "not a recovery file");
    std::string_view rest = bytes.substr(kMagic.size());
    std::string_view path, time;
    if (!headerLine(rest, "path", path) || !headerLine(rest, "time", time) || rest.substr(0, 1) != "\n")
        return Result<RecoveredWork>::failure(Failure::Damaged, "the header is cut off or wrong");
    RecoveredWork work;
    auto [end, ec] = std::from_chars(time.data(), time.data() + time.size(), work.savedAt);
    if (ec != std::errc() || end != time.data() + time.size() || work.savedAt < 0)
        return Result<RecoveredWork>::failure(Failure::Damaged, "the time is not a number");
    work.projectPath = std::string(path);
    work.text = std::string(rest.substr(1));
    if (work.text.empty()) return Result<RecoveredWork>::failure(Failure::Damaged, "no project text");
    return work;
}

RecoveryStore::RecoveryStore(std::string folder, Clock clock)
    : folder_(std::move(folder)), clock_(clock ? std::move(clock) : Clock(systemMillis)) {}

RecoveryStore::~RecoveryStore() {
    releaseClaims();
    forget();
    if (lockFd_ >= 0) {
        // Removed while still locked, so no other studio can take it meanwhile.
        std::error_code ec;
        fs::remove(lockPath(session_), ec);
        ::close(lockFd_);
    }
}

std::string RecoveryStore::lockPath(const std::string& session) const { return joinPath(folder_, session + ".lock"); }

int RecoveryStore::tryLock(const std::string& session) const {
    int fd = ::open(lockPath(session).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    // A lock on a file that another studio removed meanwhile guards nothing:
    // the name must still lead to the file that is locked.
    struct stat held {
    }, named{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
        ::stat(lockPath(session).c_str(), &named) != 0 || held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
        ::close(fd);
        return -1;
    }
    return fd;
}

Status RecoveryStore::open() {
    if (lockFd_ >= 0) return Status();
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (!isDirectory(folder_)) return Status(Failure::CannotWrite, "cannot make the folder " + folder_);
    // Keep other users out of unsaved work.
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::replace, ec);
    // The process id makes the name unique among running studios; the time
    // and a counter keep a reused id (or a second store in this process)
    // from meeting an old name.
    static std::atomic<int> counter{0};
    for (int attempt = 0; attempt < 100 && lockFd_ < 0; ++attempt) {
        std::string id =
            std::to_string(::getpid()) + "-" + std::to_string(systemMillis()) + "-" + std::to_string(counter++);
        if (fileExists(lockPath(id))) continue;
        lockFd_ = tryLock(id);
        if (lockFd_ >= 0) session_ = id;
    }
    if (lockFd_ < 0) return Status(Failure::CannotWrite, "cannot lock a file in " + folder_);
    std::string pid = std::to_string(::getpid()) + "\n";
    if (::write(lockFd_, pid.data(), pid.size()) < 0) {
        // The process id in the file is only for people looking; the lock is what counts.
    }
    return Status();
}

Status RecoveryStore::write(const std::string& projectPath, std::string_view text) {
    return write(projectPath, text, clock_());
}

Status RecoveryStore::write(const std::string& projectPath, std::string_view text, int64_t savedAt) {
    if (Status opened = open(); !opened) return opened;
    std::string file = joinPath(folder_, session_ + "." + recoveryLabel(projectPath) + std::string(kSuffix));
    Status written = writeFileSafely(file, formatRecoveryFile(projectPath, savedAt, text));
    if (!written) return written;
    if (!current_.empty() && current_ != file) {
        std::error_code ec;
        fs::remove(current_, ec);
    }
    current_ = file;
    return Status();
}

void RecoveryStore::forget() {
    if (current_.empty()) return;
    std::error_code ec;
    fs::remove(current_, ec);
    current_.clear();
}

std::vector<RecoveredWork> RecoveryStore::findOrphans(std::vector<std::string>* damaged) {
    std::vector<RecoveredWork> found;
    if (!open()) return found;
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (endsWith(name, kSuffix) && it->is_regular_file(ec)) files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    for (const std::string& name : files) {
        std::string session = sessionOf(name);
        if (session.empty() || session == session_) continue;
        bool claimed =
            std::any_of(claims_.begin(), claims_.end(), [&](const Claim& c) { return c.session == session; });
        if (!claimed) {
            int fd = tryLock(session);
            if (fd < 0) continue;  // that studio is running
            claims_.push_back({session, fd});
        }
        std::string file = joinPath(folder_, name);
        std::error_code sizeError;
        std::optional<std::vector<uint8_t>> bytes;
        if (fs::file_size(file, sizeError) <= kMaxRecoveryBytes && !sizeError) bytes = readFileBytes(file);
        Result<RecoveredWork> work =
            bytes ? parseRecoveryFile(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))
                  : Result<RecoveredWork>::failure(Failure::CannotRead, "cannot read " + file);
        if (!work) {
            std::string kept = markDamaged(file);
            if (damaged) damaged->push_back(kept);
            continue;
        }
        work.value().file = file;
        found.push_back(work.take());
    }
    removeStaleLocks(files);
    std::stable_sort(found.begin(), found.end(),
                     [](const RecoveredWork& a, const RecoveredWork& b) { return a.savedAt > b.savedAt; });
    return found;
}

void RecoveryStore::removeStaleLocks(const std::vector<std::string>& recoveryFiles) {
    // Studios that died with nothing unsaved leave only their lock.
    std::error_code ec;
    std::vector<std::string> sessions;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (endsWith(name, ".lock")) sessions.push_back(name.substr(0, name.size() - 5));
    }
    for (const std::string& session : sessions) {
        if (session == session_ || session.find('.') != std::string::npos) continue;
        bool hasFiles = std::any_of(recoveryFiles.begin(), recoveryFiles.end(),
                                    [&](const std::string& f) { return sessionOf(f) == session; });
        bool claimed =
            std::any_of(claims_.begin(), claims_.end(), [&](const Claim& c) { return c.session == session; });
        if (hasFiles || claimed) continue;
        int fd = tryLock(session);
        if (fd < 0) continue;
        fs::remove(lockPath(session), ec);
        ::close(fd);
    }
}

std::string RecoveryStore::markDamaged(const std::string& file) {
    std::string target = file + std::string(kDamagedSuffix);
    // An older damaged copy of the same name is not overwritten.
    for (int n = 2; fileExists(target) && n < 1000; ++n)
        target = file + "-" + std::to_string(n) + std::string(kDamagedSuffix);
    std::error_code ec;
    fs::rename(file, target, ec);
    return ec ? file : target;
}

void RecoveryStore::discard(const std::string& file) {
    // Only files of sessions this studio claimed: another running studio's
    // file is never removed.
    std::string session = sessionOf(fileNameOf(file));
    bool claimed = std::any_of(claims_.begin(), claims_.end(), [&](const Claim& c) { return c.session == session; });
    if (!claimed || fs::path(file).parent_path() != fs::path(folder_)) return;
    std::error_code ec;
    fs::remove(file, ec);
}

void RecoveryStore::releaseClaims() {
    for (const Claim& claim : claims_) {
        bool filesLeft = false;
        std::error_code ec;
        for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (endsWith(name, kSuffix) && sessionOf(name) == claim.session) filesLeft = true;
        }
        if (!filesLeft) fs::remove(lockPath(claim.session), ec);
        ::close(claim.fd);
    }
    claims_.clear();
}

}  // namespace tavlin
