#pragma once
// Archives read back by an independent implementation: Info-ZIP's unzip.

#include <cstdio>
#include <string>
#include <vector>

namespace tavlin::test {

inline std::string runOutput(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    int rc = ::pclose(p);
    if (status) *status = rc;
    return out;
}

inline bool haveUnzip() { return !runOutput("command -v unzip").empty(); }

// Entry names in archive order.
inline std::vector<std::string> zipNames(const std::string& zip) {
    std::vector<std::string> names;
    std::string out = runOutput("unzip -Z1 '" + zip + "' 2>/dev/null");
    size_t start = 0;
    for (size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1)
        names.push_back(out.substr(start, nl - start));
    return names;
}

// unzip's own test of every entry's checksum.
inline bool zipTestsClean(const std::string& zip) {
    int status = -1;
    runOutput("unzip -tqq '" + zip + "' >/dev/null 2>&1", &status);
    return status == 0;
}

inline std::string zipEntry(const std::string& zip, const std::string& name) {
    return runOutput("unzip -p '" + zip + "' '" + name + "' 2>/dev/null");
}

// "Defl:N" for deflated entries at the normal level, per name.
inline std::string zipMethods(const std::string& zip) { return runOutput("unzip -v '" + zip + "' 2>/dev/null"); }

}  // namespace tavlin::test
