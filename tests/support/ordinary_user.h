#pragma once
// Acting as an ordinary user: root may write anything, so tests of what a
// user may not write, run as root, act as "nobody" while this lives.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace tavlin::test {

// Hands `folder` and what is in it to the user first.
class AsOrdinaryUser {
public:
    explicit AsOrdinaryUser(const std::string& folder) {
        if (::geteuid() != 0) {
            ok_ = true;
            return;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) return;
        if (::chown(folder.c_str(), kNobody, kNobody) != 0) return;
        if (::setegid(kNobody) != 0) return;
        if (::seteuid(kNobody) != 0) {
            (void)::setegid(0);
            return;
        }
        dropped_ = ok_ = true;
    }
    ~AsOrdinaryUser() {
        if (!dropped_) return;
        (void)::seteuid(0);
        (void)::setegid(0);
    }
    bool ok() const { return ok_; }

private:
    static constexpr uid_t kNobody = 65534;
    bool ok_ = false;
    bool dropped_ = false;
};

}  // namespace tavlin::test
