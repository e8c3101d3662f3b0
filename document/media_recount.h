#pragma once
// Recount and compaction of the document's three media lists before anything
// is published: files are named after list positions, so the lists must hold
// only used media, the published ones first.

#include <array>
#include <cstdint>

namespace tavlin {

class Document;

struct MediaRecount {
    // Indexed by MediaKind (video, image, sound).
    std::array<int32_t, 3> published{};  // entries with an enabled use, now at positions 0..n-1
    std::array<int32_t, 3> dropped{};    // entries nothing used, destroyed
};

// Counts every use (objects, and sound events) and every enabled use (enabled
// objects, sound events while their kind is switched on), destroys the entries
// with no use and moves the entries with an enabled use to the front, each
// group in its previous order.
MediaRecount recountMedia(Document& doc);

}  // namespace tavlin
