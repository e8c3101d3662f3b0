// Frame skipping over the whole document and between the in and out points,
// checked against a plain recount of the codes the rules give, and the texts
// kept within what the published content can carry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/document.h"
#include "document/frame_skip.h"
#include "document/text_limits.h"

namespace tavlin {
namespace {

// The codes the in-to-out rule gives, written out frame by frame.
std::vector<uint8_t> expectedInOut(int32_t length, int32_t in, int32_t out, int32_t skip) {
    std::vector<uint8_t> codes(size_t(length), 0);
    for (int32_t f = in; f <= out; ++f) {
        int32_t offset = f - in;
        codes[size_t(f)] = uint8_t(kFixedMark | (offset == 0 ? kKeyFrame : offset % (skip + 1) == 0 ? kDiffFrame : 0));
    }
    return codes;
}

int32_t written(const std::vector<uint8_t>& flags) {
    int32_t n = 0;
    for (uint8_t b : flags) n += (b & kCodeMask) != 0;
    return n;
}

TEST(FrameSkip, InOutFixesTheCodesFrameByFrameForEveryOfferedValue) {
    Document doc(64, 48);
    ASSERT_TRUE(doc.setLength(120));
    doc.inPoint = 17;
    doc.outPoint = 80;
    for (int32_t skip : kSkipValues) {
        std::fill(doc.frameFlags.begin(), doc.frameFlags.end(), uint8_t(0));
        int32_t count = applySkipInOut(doc, skip);
        std::vector<uint8_t> want = expectedInOut(120, 17, 80, skip);
        ASSERT_EQ(std::vector<uint8_t>(doc.frameFlags.begin(), doc.frameFlags.begin() + 120), want) << "skip " << skip;
        EXPECT_EQ(count, written(want)) << "skip " << skip;
        EXPECT_EQ(doc.codedFrameCount(), count);
    }
    // Skip 0: every frame a difference frame but the in frame, a key frame.
    applySkipInOut(doc, 0);
    EXPECT_EQ(doc.frameCode(17), kKeyFrame);
    for (int32_t f = 18; f <= 80; ++f) ASSERT_EQ(doc.frameCode(f), kDiffFrame) << f;
    EXPECT_EQ(doc.frameCode(16), kNotCoded);
    EXPECT_EQ(doc.frameCode(81), kNotCoded);

    // The marks between in and out come off; the ones outside stay.
    doc.fixFrameCodes(0, 100, 100, kFullFrame);
    EXPECT_EQ(clearInOutMarks(doc), 1);
    for (int32_t f = 17; f <= 80; ++f) ASSERT_EQ(doc.frameFlags[size_t(f)] & kFixedMark, 0) << f;
    EXPECT_EQ(doc.frameFlags[100], kFixedMark | kFullFrame);
}

TEST(FrameSkip, HostileInAndOutPointsStayInsideTheTimeline) {
    Document doc(64, 48);
    ASSERT_TRUE(doc.setLength(50));
    // Out before in, out past the end, in below 0: taken in order and cut.
    doc.inPoint = 70;
    doc.outPoint = -9;
    EXPECT_EQ(applySkipInOut(doc, 4), 10);  // 0, 5, ... 45
    EXPECT_EQ(doc.frameCode(0), kKeyFrame);
    EXPECT_EQ(doc.frameCode(45), kDiffFrame);
    doc.inPoint = 60;
    doc.outPoint = 90;  // wholly past the end: nothing to fix
    std::fill(doc.frameFlags.begin(), doc.frameFlags.end(), uint8_t(0));
    EXPECT_EQ(applySkipInOut(doc, 0), 0);
}

TEST(FrameSkip, CountsForTheListLeaveTheDocumentAsItWas) {
    Document doc(64, 48);
    ASSERT_TRUE(doc.setLength(1000));
    doc.addEvent(kPlayEvent, 100, 299);
    doc.frameSkip = 3;
    doc.recomputeFrameCodes();
    doc.fixFrameCodes(0, 500, 500, kFullFrame);
    doc.recomputeFrameCodes();
    const std::vector<uint8_t> flags = doc.frameFlags;

    std::vector<int32_t> all = skipCounts(doc, true);
    EXPECT_EQ(doc.frameFlags, flags);
    EXPECT_EQ(doc.frameSkip, 3);
    ASSERT_EQ(all.size(), kSkipValues.size());
    // Frames 100..299 every (skip + 1)-th, the last one too, and the fixed 500.
    for (size_t i = 0; i < kSkipValues.size(); ++i) {
        int32_t s = kSkipValues[i] + 1, n = (199 + s) / s;
        if (199 % s != 0) ++n;
        EXPECT_EQ(all[i], n + 1) << "skip " << kSkipValues[i];
    }
    doc.inPoint = 0;
    doc.outPoint = 999;
    std::vector<int32_t> inOut = skipCounts(doc, false);
    EXPECT_EQ(doc.frameFlags, flags);
    EXPECT_EQ(inOut[0], 1000);
    EXPECT_EQ(inOut.back(), 2);  // the in frame and the 501st after it; the rest fixed as not written
    EXPECT_EQ(skipEntry(15, 42), "15  [42]");
}

TEST(TextLimits, LongTextsAreCutWithoutSplittingACharacter) {
    EXPECT_EQ(fitText("_blank", kLinkTargetLimit), "_blank");
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "\xC3\xA9";  // é, two bytes
    std::string kept = fitText(wide, kLinkTargetLimit);
    EXPECT_EQ(kept.size(), 254u);
    EXPECT_EQ(kept, wide.substr(0, 254));
    std::string three;
    for (int i = 0; i < 30000; ++i) three += "\xE3\x81\x82";  // あ, three bytes
    EXPECT_EQ(fitText(three, kLongTextLimit).size(), 65535u);
    EXPECT_EQ(fitText(three + "x", kLongTextLimit).size(), 65535u);
    EXPECT_EQ(fitText(std::string(70000, 'a'), kLongTextLimit).size(), 65535u);
}

}  // namespace
}  // namespace tavlin
