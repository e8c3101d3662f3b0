#pragma once
// Texts typed for events are kept within the length fields of the published
// content, so a publication never fails on them later.

#include <cstddef>
#include <string>
#include <string_view>

namespace tavlin {

// The window name of a link is stored with a one-byte length.
constexpr size_t kLinkTargetLimit = 255;
// Link addresses and param texts are stored with a two-byte length.
constexpr size_t kLongTextLimit = 65535;

// At most `limit` bytes of `text`, cut before a UTF-8 character that would
// not fit whole.
std::string fitText(std::string_view text, size_t limit);

}  // namespace tavlin
