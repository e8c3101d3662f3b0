#include "document/text_limits.h"

namespace tavlin {

std::string fitText(std::string_view text, size_t limit) {
    if (text.size() <= limit) return std::string(text);
    size_t end = limit;
    // Back up over continuation bytes so that no character is cut in half.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

}  // namespace tavlin
