#pragma once
// JPEG writing for patch pictures. A patch sets unrelated 8x8 blocks side by
// side, so colour shared across 2x2 blocks (the library's default sampling)
// would bleed one block's colour into its neighbours; patches keep colour at
// full resolution instead. Any JPEG reader reads them.

#include <string>

#include "media/image.h"

namespace tavlin {

// Writes the picture's red, green and blue at the quality (1..100), baseline.
bool writeMosaicJpeg(const std::string& path, const Image& image, int quality);

}  // namespace tavlin
