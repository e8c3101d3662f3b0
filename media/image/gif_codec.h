#pragma once
// The program's own GIF encoder and decoder. The encoder reduces a 32-bit
// picture to at most 256 colours and writes one LZW-compressed image; the
// decoder reads the first image of a GIF87a or GIF89a file.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "media/image.h"

namespace tavlin::gif {

// The colour table of an encoded picture. Entries past `count` are 0
// (transparent black), as are any unused slots.
struct Palette {
    uint32_t entries[256] = {};
    int count = 0;
    bool exact = false;  // every pixel value is an entry (else popularity)
};

// Builds the palette in pixel order; a 257th distinct value switches to the
// popularity palette over 4096 colour bins.
Palette buildPalette(const Image& image);

// The first entry whose alpha is 0, or -1 when every entry is opaque.
int firstTransparentEntry(const Palette& palette);

// Maps every pixel to a palette index: opaque pixels to their own entry or
// else the nearest opaque entry (sum of channel differences), transparent
// pixels to the first transparent entry (255 when there is none).
std::vector<uint8_t> mapToPalette(const Image& image, const Palette& palette);

// LZW-compresses indices of `minCodeSize` bits into GIF sub-blocks, ending
// with the zero-length block terminator.
void compress(const uint8_t* indices, size_t count, int minCodeSize, std::vector<uint8_t>& out);

// The whole GIF file of a picture. Empty for a picture with no pixels.
std::vector<uint8_t> encode(const Image& image);
// Writes the file; false when it cannot be created or written.
bool write(const Image& image, const char* path);

// Decodes the first image; nothing when the data is not a GIF, is damaged
// before the image data starts, or declares a picture that is too large.
// Image data that ends early leaves the remaining pixels white.
std::unique_ptr<Image> decode(const uint8_t* data, size_t size);
std::unique_ptr<Image> read(const char* path);

}  // namespace tavlin::gif
