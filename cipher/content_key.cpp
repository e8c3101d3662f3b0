#include "cipher/content_key.h"

#include <cstdio>

#include "cipher/viewer_constants.h"

namespace tavlin {

DesKey contentKey() {
    // Built when needed rather than stored as text, so the key does not sit
    // in the binary as one string.
    const int number = viewer::kContentKeyFirst * 10000 + viewer::kContentKeySecond;
    char text[16];
    std::snprintf(text, sizeof text, "%08d", number);
    DesKey key{};
    for (int i = 0; i < 8; ++i) key[i] = uint8_t(text[i]);
    return key;
}

}  // namespace tavlin
