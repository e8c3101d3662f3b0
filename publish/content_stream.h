#pragma once
// The big-endian byte stream of the content file, composed and taken apart.
// The writer refuses a text longer than its length prefix can say, so a
// stream never carries a length that disagrees with its bytes; the reader
// never reads past the end and stays failed after the first short read.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_order.h"

namespace tavlin {

class ContentStream {
public:
    // Numbers are truncated to the width of the field.
    void putU8(int64_t v) { bytes_.push_back(uint8_t(v)); }
    void putU16(int64_t v) { appendBig16(bytes_, uint32_t(v)); }
    void putU32(int64_t v) { appendBig32(bytes_, uint32_t(v)); }
    // False, writing nothing, for a text of more than 255 (str8) or 65535
    // (str16) bytes. An absent text is the empty one.
    bool putStr8(std::string_view text);
    bool putStr16(std::string_view text);

    void reserve(size_t n) { bytes_.reserve(n); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }
    size_t size() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};

class ContentStreamReader {
public:
    explicit ContentStreamReader(std::span<const uint8_t> data) : data_(data) {}

    // Each returns 0 (and fails the reader) when the bytes run out.
    uint32_t u8();
    uint32_t u16();
    int32_t s16() { return int16_t(uint16_t(u16())); }
    uint32_t u32();
    int32_t s32() { return int32_t(u32()); }
    std::string str8();
    std::string str16();

    bool ok() const { return ok_; }
    size_t remaining() const { return ok_ ? data_.size() - at_ : 0; }
    size_t offset() const { return at_; }
    // Fails the reader unless `records` records of at least `bytesEach` bytes
    // can still follow: counts are checked against the data before anything
    // is made for them.
    bool expect(uint64_t records, uint64_t bytesEach);

private:
    bool take(size_t n);
    std::span<const uint8_t> data_;
    size_t at_ = 0;
    bool ok_ = true;
};

}  // namespace tavlin
