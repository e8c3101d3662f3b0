#include "cli/cli_support.h"

#include <cstdio>

#include "base/paths.h"
#include "core/resource_folder.h"

namespace tavlin::cli {

void CliPrompts::showMessage(const std::string& text) { std::fprintf(stderr, "tavlin: %s\n", text.c_str()); }

int CliPrompts::askChoice(const std::string& text, const std::vector<std::string>& labels) {
    std::fprintf(stderr, "tavlin: warning: %s\n", text.c_str());
    return labels.size() >= 2 ? 1 : -1;
}

void openResourceFolder() {
    if (!resources().Path().empty()) return;
    std::string res = joinPath(executableDir(), "res");
    if (isDirectory(res)) resources().Open(res);
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
        } else if (c < 0x80) {
            out += char(c);
            ++i;
        } else {
            size_t n = (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
            bool ok = n > 0 && i + n <= s.size();
            for (size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
            if (ok && n == 3) {
                unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
                ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
            }
            if (ok && n == 4) {
                unsigned char c1 = static_cast<unsigned char>(s[i + 1]);
                ok = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
            }
            if (ok) {
                out.append(s, i, n);
                i += n;
            } else {
                out += "\\ufffd";
                ++i;
            }
        }
    }
    out += '"';
    return out;
}

}  // namespace tavlin::cli
