#include "document/frame_skip.h"

#include <algorithm>

#include "document/document.h"

namespace tavlin {

namespace {

// In and out as frames of the timeline, first <= last; false when the span
// lies wholly outside it.
bool inOutSpan(const Document& doc, int32_t* first, int32_t* last) {
    int32_t a = std::min(doc.inPoint, doc.outPoint), b = std::max(doc.inPoint, doc.outPoint);
    a = std::max(a, 0);
    b = std::min(b, doc.length - 1);
    if (a > b) return false;
    *first = a;
    *last = b;
    return true;
}

}  // namespace

int32_t applySkipAll(Document& doc, int32_t skip) {
    doc.frameSkip = std::max(skip, 0);
    return doc.recomputeFrameCodes();
}

int32_t applySkipInOut(Document& doc, int32_t skip) {
    int32_t first = 0, last = 0;
    if (inOutSpan(doc, &first, &last)) {
        skip = std::max(skip, 0);
        doc.fixFrameCodes(0, first, last, kNotCoded);
        doc.fixFrameCodes(skip, first, last, kDiffFrame);
        doc.fixFrameCodes(0, first, first, kKeyFrame);
    }
    return doc.recomputeFrameCodes();
}

int32_t clearInOutMarks(Document& doc) {
    int32_t first = 0, last = 0;
    if (inOutSpan(doc, &first, &last)) doc.fixFrameCodes(0, first, last, kFixedMark);
    return doc.recomputeFrameCodes();
}

std::vector<int32_t> skipCounts(Document& doc, bool wholeDocument) {
    const std::vector<uint8_t> flags = doc.frameFlags;
    const int32_t skip = doc.frameSkip;
    std::vector<int32_t> counts;
    counts.reserve(kSkipValues.size());
    for (int32_t value : kSkipValues) {
        counts.push_back(wholeDocument ? applySkipAll(doc, value) : applySkipInOut(doc, value));
        doc.frameFlags = flags;
        doc.frameSkip = skip;
    }
    doc.recomputeFrameCodes();
    return counts;
}

std::string skipEntry(int32_t skip, int32_t count) {
    return std::to_string(skip) + "  [" + std::to_string(count) + "]";
}

}  // namespace tavlin
