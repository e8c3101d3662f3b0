#include "base/file_filter.h"

namespace tavlin {

std::vector<std::string> splitFilter(const std::string& list) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (at < list.size()) {
        size_t end = list.find('\0', at);
        if (end == std::string::npos) end = list.size();
        if (end == at) break;  // the empty text ends the list
        parts.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

std::string filterList(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        // An empty text ends the list: a pair with an empty half (a format
        // list without formats) is left out rather than pairing off the rest
        // by one.
        if (parts.size() % 2 == 0 && (parts[i].empty() || parts[i ^ 1].empty())) continue;
        out += parts[i];
        out += '\0';
    }
    out += '\0';
    return out;
}

std::string filterList(std::initializer_list<std::string> parts) { return filterList(std::vector<std::string>(parts)); }

std::string joinFilters(const std::string& a, const std::string& b) {
    std::vector<std::string> parts = splitFilter(a);
    for (std::string& p : splitFilter(b)) parts.push_back(std::move(p));
    return filterList(parts);
}

std::vector<std::pair<std::string, std::string>> filterPairs(const std::string& list) {
    std::vector<std::string> parts = splitFilter(list);
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
    return out;
}

}  // namespace tavlin
