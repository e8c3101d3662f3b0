#include "document/interfaces.h"

#include <chrono>

#include "core/resource_folder.h"

namespace tavlin {

namespace {

const auto kStart = std::chrono::steady_clock::now();

StringLookup& lookup() {
    static StringLookup installed;
    return installed;
}

}  // namespace

int64_t systemClock() {
    auto elapsed = std::chrono::steady_clock::now() - kStart;
    return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() + 1;
}

void installStringLookup(StringLookup lookup_) { lookup() = std::move(lookup_); }

std::string documentString(const std::string& id) {
    if (lookup()) return lookup()(id);
    // Without an opened resource folder (tools, tests) the id stands in.
    if (resources().Path().empty()) return id;
    return resources().String(id);
}

}  // namespace tavlin
