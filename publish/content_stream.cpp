#include "publish/content_stream.h"

namespace tavlin {

bool ContentStream::putStr8(std::string_view text) {
    if (text.size() > 0xFF) return false;
    putU8(int64_t(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return true;
}

bool ContentStream::putStr16(std::string_view text) {
    if (text.size() > 0xFFFF) return false;
    putU16(int64_t(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return true;
}

bool ContentStreamReader::take(size_t n) {
    if (!ok_ || data_.size() - at_ < n) {
        ok_ = false;
        return false;
    }
    return true;
}

uint32_t ContentStreamReader::u8() {
    if (!take(1)) return 0;
    return data_[at_++];
}

uint32_t ContentStreamReader::u16() {
    if (!take(2)) return 0;
    uint32_t v = loadBig16(data_.data() + at_);
    at_ += 2;
    return v;
}

uint32_t ContentStreamReader::u32() {
    if (!take(4)) return 0;
    uint32_t v = loadBig32(data_.data() + at_);
    at_ += 4;
    return v;
}

std::string ContentStreamReader::str8() {
    size_t n = u8();
    if (!take(n)) return {};
    std::string s(reinterpret_cast<const char*>(data_.data() + at_), n);
    at_ += n;
    return s;
}

std::string ContentStreamReader::str16() {
    size_t n = u16();
    if (!take(n)) return {};
    std::string s(reinterpret_cast<const char*>(data_.data() + at_), n);
    at_ += n;
    return s;
}

bool ContentStreamReader::expect(uint64_t records, uint64_t bytesEach) {
    if (!ok_) return false;
    if (records * bytesEach > data_.size() - at_) ok_ = false;
    return ok_;
}

}  // namespace tavlin
