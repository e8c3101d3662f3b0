// Every picture and sound writer replaces a file only once the new one is
// complete: a full disk, a symbolic link or a private file never cost the
// user what they had.

#include <gtest/gtest.h>

#include "media/audio/au_format.h"
#include "media/image/image_formats.h"
#include "media/picture_helpers.h"
#include "support/full_disk.h"

namespace tavlin {
namespace {

// Version 1 is a tiny picture, version 2 one whose file cannot fit.
Image versionOf(int version) { return version == 1 ? test::photoLike(2, 2) : test::photoLike(96, 96, 3); }

TEST(WritersKeepFiles, Png) {
    PngFormat fmt;
    test::expectWritePolicy([&](const std::string& path, int v) { return fmt.write(path, versionOf(v)); });
}

TEST(WritersKeepFiles, Jpeg) {
    JpegFormat fmt;
    test::expectWritePolicy([&](const std::string& path, int v) { return fmt.write(path, versionOf(v)); });
}

TEST(WritersKeepFiles, Gif) {
    GifFormat fmt;
    test::expectWritePolicy([&](const std::string& path, int v) { return fmt.write(path, versionOf(v)); });
}

TEST(WritersKeepFiles, SunAudio) {
    AuFormat fmt;
    test::expectWritePolicy([&](const std::string& path, int v) {
        Sound s;
        s.data.assign(v == 1 ? 8 : 40000, uint8_t(v * 17));
        return fmt.write(path, s);
    });
}

TEST(WritersKeepFiles, FailuresSayWhy) {
    test::FullDisk disk;
    PngFormat png;
    const std::string target = disk.file("a.png");
    ASSERT_TRUE(png.write(target, versionOf(1)));
    disk.fill();
    Status st = png.writeWithReason(target, versionOf(2));
    disk.empty();
    EXPECT_EQ(st.failure(), Failure::CannotWrite);
    if (disk.mounted()) {
        EXPECT_NE(st.reason().find("No space left on device"), std::string::npos) << st.reason();
    }
    EXPECT_EQ(png.writeWithReason(disk.file("none/x.png"), versionOf(1)).failure(), Failure::CannotWrite);
    EXPECT_NE(png.writeWithReason(disk.path(), versionOf(1)).reason().find("folder"), std::string::npos);
}

}  // namespace
}  // namespace tavlin
