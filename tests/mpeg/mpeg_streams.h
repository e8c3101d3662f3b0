#pragma once
// MPEG streams made for the tests through FFmpeg's encoders and muxers, the
// same streams decoded straight through by FFmpeg as the reference, and an
// index worked out from the raw bytes without the program's stream reader.

#include <cstdint>
#include <string>
#include <vector>

#include "media/image.h"

namespace tavlin::test {

enum class MpegContainer { Elementary, Program, Transport };

struct MpegSpec {
    bool mpeg2 = true;
    MpegContainer container = MpegContainer::Program;
    int32_t width = 96, height = 64, frames = 30, rate = 25;
    int gop = 15, bFrames = 2;
    bool closedGops = true;
    std::string timecode;  // "hh:mm:ss:ff" in the group headers
};

// Frames carry their display index (see test_videos.h).
bool makeMpeg(const std::string& path, const MpegSpec& recipe);

// Every frame in display order as FFmpeg's own reader and decoder give them.
std::vector<Image> referenceFrames(const std::string& path);

// The video elementary stream as FFmpeg's demuxer gives it.
std::vector<uint8_t> elementaryBytes(const std::string& path);

struct ScannedIndex {
    int sequences = 0;
    std::vector<int32_t> groupFirst;
    std::vector<std::string> timecodes;
    int32_t max = 0;
};
// Start codes counted byte by byte over an elementary stream.
ScannedIndex scanElementary(const std::vector<uint8_t>& es);

std::vector<uint8_t> fileBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<std::string> fileLines(const std::string& path);

}  // namespace tavlin::test
