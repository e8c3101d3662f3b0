#pragma once
// Start codes of an MPEG video elementary stream (00 00 01 xx), found across
// the pieces the stream reader hands out, and the fields of the headers the
// index and the decoder read.

#include <cstddef>
#include <cstdint>

namespace tavlin {

namespace startcode {
constexpr uint8_t kPicture = 0x00;
constexpr uint8_t kUserData = 0xB2;
constexpr uint8_t kSequenceHeader = 0xB3;
constexpr uint8_t kExtension = 0xB5;
constexpr uint8_t kGroup = 0xB8;
}  // namespace startcode

// Finds start code prefixes in a stream given piece by piece. The count of
// zero bytes carries over from one piece to the next, so a prefix split
// between two reads is still found.
class StartCodeScanner {
public:
    // The zeros already seen before the first piece (1 after a seek: the
    // read that an index names holds the last zero of the prefix, not
    // necessarily the first).
    explicit StartCodeScanner(int zeros = 0) : zeros_(zeros) {}
    // The index of the code byte of the next start code in data[from, size),
    // or size when there is none; call again from the returned index + 1.
    size_t find(const uint8_t* data, size_t size, size_t from);
    // Forgets the zeros (bytes read as a header's payload do not count).
    void reset() { zeros_ = 0; }

private:
    static constexpr int kCodeNext = -1;  // a whole prefix ended the last piece
    int zeros_;
};

struct SequenceHeader {
    int32_t width = 0, height = 0;
    int rateCode = 0;
    double frameRate = 0;
    bool mpeg2 = false;
};

// The fields after a sequence header code (data starts after 00 00 01 B3),
// completed by a sequence extension that follows within `size` bytes. False
// when the header is cut off or names no size.
bool parseSequenceHeader(const uint8_t* data, size_t size, SequenceHeader& out);

// The frames per second of a frame rate code (0 for a reserved code).
double frameRateOfCode(int code);

}  // namespace tavlin
