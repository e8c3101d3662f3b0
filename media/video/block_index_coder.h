#pragma once
// The compact code of the block index stream that closes a frame list: the
// integers (all below 65536) are Huffman-coded with a tree that the stream
// carries in front of them. Bits go most significant first.
//
//   count:31  M:16  tree (pre-order: 1 = inner node, left, right;
//                         0 = leaf + symbol in bits(M))  paths (0 left, 1 right)

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavlin {

class BlockIndexCoder {
public:
    static constexpr uint32_t kLimit = 65536;  // every integer lies below this

    // The coded bytes; empty for no integers; nothing when an integer is out
    // of range or there are too many to count in 31 bits.
    static std::optional<std::vector<uint8_t>> encode(std::span<const uint32_t> values);

    // Codes a stream too long to hold: the tree is built from the count of
    // every value, then the values are put one by one, in order, and the
    // coded bytes taken away as they fill.
    class Encoder {
    public:
        // `counts[v]` is how often v occurs (v < kLimit). False when no value
        // or more than 31 bits of values are counted, or counts is too long.
        bool start(std::span<const uint64_t> counts);
        // `value` must be one counted.
        void put(uint32_t value) { putBits(codes_[value].bits, codes_[value].length); }
        // The whole bytes coded so far; with `last`, the padded final byte too.
        std::vector<uint8_t> take(bool last);

    private:
        void putBits(uint64_t value, int n);
        struct Code {
            uint64_t bits = 0;
            int length = 0;
        };
        std::vector<Code> codes_;
        std::vector<uint8_t> bytes_;
        int fill_ = 0;
    };

    // Reads the integers one at a time, so a stream that claims more than it
    // holds costs nothing before it is found out.
    class Reader {
    public:
        // False (with a reason) when the header or the tree is invalid.
        bool start(std::span<const uint8_t> bytes, std::string* why = nullptr);
        // The next integer; nothing past the count or the data.
        std::optional<uint32_t> next();
        uint32_t count() const { return count_; }
        uint32_t remaining() const { return count_ - taken_; }

    private:
        std::optional<uint32_t> bits(int n);
        std::span<const uint8_t> bytes_;
        size_t bitPos_ = 0;
        uint32_t count_ = 0, taken_ = 0;
        // Children of inner nodes: >= 0 another inner node, < 0 a leaf
        // holding the symbol -(child + 1).
        std::vector<int32_t> left_, right_;
        int32_t root_ = -1;
    };

    // All integers at once, refusing streams that claim more than `maxCount`.
    static std::optional<std::vector<uint32_t>> decode(std::span<const uint8_t> bytes, uint32_t maxCount);
};

}  // namespace tavlin
