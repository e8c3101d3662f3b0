#pragma once
// How densely video frames are written: a skip for the whole document, or
// fixed marks between the in and out points, and what each choice would
// write.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tavlin {

class Document;

// The skips the frame-skip windows offer, in list order.
constexpr std::array<int32_t, 29> kSkipValues = {0,  1,  2,  3,  4,  5,  6,  7,  8,   9,   10,  15,  20,  25, 30,
                                                 35, 40, 45, 50, 60, 70, 80, 90, 100, 150, 200, 300, 400, 500};

// The document's frame skip := skip; recomputes; the count of frames written.
int32_t applySkipAll(Document& doc, int32_t skip);
// Between in and out: every frame fixed as not written, every (skip + 1)-th
// from the in point fixed as a difference frame, the in frame fixed as a key
// frame; recomputes and returns the count. In and out are taken in order and
// cut to the timeline.
int32_t applySkipInOut(Document& doc, int32_t skip);
// Removes the user's fixed mark from every frame between in and out.
int32_t clearInOutMarks(Document& doc);
// The count each skip value would give, the frame flags and the skip left as
// they were.
std::vector<int32_t> skipCounts(Document& doc, bool wholeDocument);
// "%d  [%d]": a list entry of the skip windows.
std::string skipEntry(int32_t skip, int32_t count);

}  // namespace tavlin
