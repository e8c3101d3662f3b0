#include "mpeg/start_codes.h"

#include <cstring>

namespace tavlin {

size_t StartCodeScanner::find(const uint8_t* data, size_t size, size_t from) {
    if (from >= size) return size;
    if (zeros_ == kCodeNext) {
        // The previous piece ended with a whole prefix.
        zeros_ = 0;
        return from;
    }
    size_t i = from;
    // The first two bytes may complete a prefix begun in the previous piece.
    for (; i < size && i < from + 2; ++i) {
        if (data[i] == 0) {
            ++zeros_;
        } else if (data[i] == 1 && zeros_ >= 2) {
            zeros_ = 0;
            if (i + 1 < size) return i + 1;
            zeros_ = kCodeNext;
            return size;
        } else {
            zeros_ = 0;
        }
    }
    if (i >= size) return size;
    while (i < size) {
        const void* hit = std::memchr(data + i, 1, size - i);
        if (!hit) break;
        const size_t j = size_t(static_cast<const uint8_t*>(hit) - data);
        i = j + 1;
        if (data[j - 1] == 0 && data[j - 2] == 0) {
            zeros_ = 0;
            if (i < size) return i;
            zeros_ = kCodeNext;
            return size;
        }
    }
    // Zeros at the end of this piece count for the next one.
    int z = 0;
    while (z < 2 && data[size - 1 - size_t(z)] == 0) ++z;
    zeros_ = z;
    return size;
}

double frameRateOfCode(int code) {
    static const double rates[] = {0, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
    return code > 0 && code < 9 ? rates[code] : 0;
}

bool parseSequenceHeader(const uint8_t* d, size_t size, SequenceHeader& out) {
    if (size < 8) return false;
    out.width = int32_t(d[0]) << 4 | d[1] >> 4;
    out.height = int32_t(d[1] & 0x0F) << 8 | d[2];
    out.rateCode = d[3] & 0x0F;
    out.frameRate = frameRateOfCode(out.rateCode);
    out.mpeg2 = false;
    if (out.width == 0 || out.height == 0) return false;
    // Quantiser matrices may follow; then, in MPEG-2, the sequence extension.
    size_t i = 7;
    bool intra = d[7] & 0x02;
    if (intra) i += 64;
    if (i >= size) return true;
    const bool nonIntra = intra ? (d[i] & 0x01) : (d[7] & 0x01);
    i += 1;
    if (nonIntra) i += 64;
    for (; i + 10 <= size; ++i) {
        if (d[i] != 0 || d[i + 1] != 0 || d[i + 2] != 1) continue;
        if (d[i + 3] != startcode::kExtension || (d[i + 4] >> 4) != 1) break;
        const uint8_t* e = d + i + 4;  // 4-bit id, then the fields
        out.mpeg2 = true;
        out.width |= ((e[1] & 0x01) << 1 | e[2] >> 7) << 12;
        out.height |= ((e[2] >> 5) & 3) << 12;
        const int n = (e[5] >> 5) & 3, dd = e[5] & 0x1F;
        out.frameRate = out.frameRate * (n + 1) / (dd + 1);
        break;
    }
    return true;
}

}  // namespace tavlin
