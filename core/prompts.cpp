#include "core/prompts.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tavlin {

namespace {
Prompts* g_prompts = nullptr;
}

void Prompts::showMessage(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

int Prompts::askChoice(const std::string& text, const std::vector<std::string>&) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return -1;
}

void installPrompts(Prompts* p) { g_prompts = p; }

Prompts& prompts() {
    static StderrPrompts fallback;
    return g_prompts ? *g_prompts : fallback;
}

void ShowMessage(const char* format, ...) {
    // Room for the format plus 1023 bytes; a longer result is cut.
    std::vector<char> buf(std::strlen(format) + 1024);
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf.data(), buf.size(), format, ap);
    va_end(ap);
    prompts().showMessage(buf.data());
}

int AskChoice(const std::string& text, const std::vector<std::string>& labels) {
    if (labels.empty()) return 0;
    if (labels.size() > 10) {
        std::vector<std::string> first(labels.begin(), labels.begin() + 10);
        return prompts().askChoice(text, first);
    }
    return prompts().askChoice(text, labels);
}

}  // namespace tavlin
