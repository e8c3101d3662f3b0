#include "media/video/block_index_coder.h"

#include <algorithm>

namespace tavlin {

namespace {

int bitsFor(uint32_t maxValue) {
    int b = 0;
    while (b < 32 && (uint64_t(1) << b) <= maxValue) ++b;
    return b;
}

}  // namespace

void BlockIndexCoder::Encoder::putBits(uint64_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
        if (fill_ == 0) bytes_.push_back(0);
        if (value >> i & 1) bytes_.back() |= uint8_t(0x80 >> fill_);
        fill_ = (fill_ + 1) & 7;
    }
}

std::vector<uint8_t> BlockIndexCoder::Encoder::take(bool last) {
    std::vector<uint8_t> out;
    if (last || fill_ == 0) {
        out.swap(bytes_);
        fill_ = 0;
    } else {
        // The byte being filled stays.
        const uint8_t partial = bytes_.back();
        bytes_.pop_back();
        out.swap(bytes_);
        bytes_.push_back(partial);
    }
    return out;
}

bool BlockIndexCoder::Encoder::start(std::span<const uint64_t> counts) {
    bytes_.clear();
    fill_ = 0;
    codes_.clear();
    if (counts.size() > kLimit) return false;
    uint64_t total = 0;
    uint32_t M = 0;
    for (uint32_t v = 0; v < counts.size(); ++v) {
        if (!counts[v]) continue;
        total += counts[v];
        M = v;
    }
    if (total == 0 || total >= (uint64_t(1) << 31)) return false;
    // Nodes 0..M are the values; inner nodes are numbered from M + 1.
    std::vector<uint64_t> count(size_t(2) * M + 2, 0);
    std::copy(counts.begin(), counts.begin() + M + 1, count.begin());
    std::vector<int32_t> left(count.size(), -1), right(count.size(), -1);

    // A 1-based binary min-heap keyed by count, built and sifted exactly this
    // way so that equal counts pair up the same way in every build.
    std::vector<uint32_t> heap(1, 0);
    for (uint32_t v = 0; v <= M; ++v)
        if (count[v]) heap.push_back(v);
    size_t size = heap.size() - 1;
    auto siftDown = [&](size_t i) {
        for (;;) {
            size_t child = 2 * i;
            if (child > size) return;
            if (child + 1 <= size && count[heap[child + 1]] < count[heap[child]]) ++child;
            if (count[heap[i]] <= count[heap[child]]) return;
            std::swap(heap[i], heap[child]);
            i = child;
        }
    };
    for (size_t i = size / 2; i >= 1; --i) siftDown(i);
    uint32_t next = M + 1;
    uint32_t root = heap[1];
    while (size > 1) {
        const uint32_t a = heap[1];
        heap[1] = heap[size--];
        siftDown(1);
        const uint32_t b = heap[1];
        const uint32_t node = next++;
        count[node] = count[a] + count[b];
        left[node] = int32_t(a);
        right[node] = int32_t(b);
        heap[1] = node;
        siftDown(1);
        root = node;
    }

    putBits(total, 31);
    putBits(M, 16);
    const int b = bitsFor(M);
    // Pre-order walk with an explicit stack; paths are gathered on the way.
    codes_.assign(size_t(M) + 1, Code{});
    std::vector<std::pair<uint32_t, Code>> stack{{root, Code{}}};
    while (!stack.empty()) {
        auto [node, code] = stack.back();
        stack.pop_back();
        if (node <= M) {
            putBits(0, 1);
            putBits(node, b);
            codes_[node] = code;
        } else {
            putBits(1, 1);
            stack.push_back({uint32_t(right[node]), Code{code.bits << 1 | 1, code.length + 1}});
            stack.push_back({uint32_t(left[node]), Code{code.bits << 1, code.length + 1}});
        }
    }
    return true;
}

std::optional<std::vector<uint8_t>> BlockIndexCoder::encode(std::span<const uint32_t> values) {
    if (values.empty()) return std::vector<uint8_t>{};
    std::vector<uint64_t> counts;
    for (uint32_t v : values) {
        if (v >= kLimit) return std::nullopt;
        if (v >= counts.size()) counts.resize(size_t(v) + 1, 0);
        ++counts[v];
    }
    Encoder encoder;
    if (!encoder.start(counts)) return std::nullopt;
    for (uint32_t v : values) encoder.put(v);
    return encoder.take(true);
}

std::optional<uint32_t> BlockIndexCoder::Reader::bits(int n) {
    if (bitPos_ + size_t(n) > bytes_.size() * 8) return std::nullopt;
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bitPos_) v = v << 1 | (bytes_[bitPos_ >> 3] >> (7 - (bitPos_ & 7)) & 1);
    return v;
}

bool BlockIndexCoder::Reader::start(std::span<const uint8_t> bytes, std::string* why) {
    auto fail = [why](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    bytes_ = bytes;
    bitPos_ = 0;
    taken_ = 0;
    left_.clear();
    right_.clear();
    auto count = bits(31);
    auto M = bits(16);
    if (!count || !M) return fail("the block index stream is cut short");
    count_ = *count;
    const int b = bitsFor(*M);
    // Inner nodes are numbered M+1 .. 2M, so there may be at most M of them.
    const uint32_t maxInner = *M;
    // Each pending slot is filled by the next node read: (parent, is right).
    struct Slot {
        int32_t parent;
        bool right;
    };
    std::vector<Slot> pending{{-1, false}};
    while (!pending.empty()) {
        const Slot slot = pending.back();
        pending.pop_back();
        auto bit = bits(1);
        if (!bit) return fail("the block index tree is cut short");
        int32_t node;
        if (*bit) {
            if (left_.size() >= maxInner) return fail("the block index tree has too many inner nodes");
            node = int32_t(left_.size());
            left_.push_back(0);
            right_.push_back(0);
            pending.push_back({node, true});
            pending.push_back({node, false});
        } else {
            auto symbol = bits(b);
            if (!symbol) return fail("the block index tree is cut short");
            node = -int32_t(*symbol) - 1;
        }
        if (slot.parent < 0) root_ = node;
        else (slot.right ? right_ : left_)[size_t(slot.parent)] = node;
    }
    // Each integer costs at least one bit unless the tree is a single leaf.
    if (root_ >= 0 && count_ > bytes_.size() * 8 - bitPos_) return fail("the block index stream is cut short");
    return true;
}

std::optional<uint32_t> BlockIndexCoder::Reader::next() {
    if (taken_ >= count_) return std::nullopt;
    int32_t node = root_;
    while (node >= 0) {
        auto bit = bits(1);
        if (!bit) return std::nullopt;
        node = *bit ? right_[size_t(node)] : left_[size_t(node)];
    }
    ++taken_;
    return uint32_t(-(node + 1));
}

std::optional<std::vector<uint32_t>> BlockIndexCoder::decode(std::span<const uint8_t> bytes, uint32_t maxCount) {
    Reader reader;
    if (!reader.start(bytes) || reader.count() > maxCount) return std::nullopt;
    std::vector<uint32_t> values;
    values.reserve(reader.count());
    while (reader.remaining() > 0) {
        auto v = reader.next();
        if (!v) return std::nullopt;
        values.push_back(*v);
    }
    return values;
}

}  // namespace tavlin
