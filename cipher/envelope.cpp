#include "cipher/envelope.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>

#include "base/byte_order.h"

namespace tavlin {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kLengthBytes = 4;

}  // namespace

Result<Bytes> openEnvelope(std::span<const uint8_t> data, const DesKey& key) {
    DesCipher des;
    des.setKey(key);
    Bytes plain = des.cipherBuffer(data, CipherDirection::Decrypt);
    if (plain.size() < kLengthBytes + key.size()) {
        return Result<Bytes>::failure(Failure::KeyMismatch, "too short to hold an enciphered envelope");
    }
    // Signed, and compared in 64 bits, so a length near 2^31 cannot wrap past the check.
    const int32_t stored = int32_t(loadBig32(plain.data()));
    if (stored < 0 || int64_t(stored) + int64_t(kLengthBytes + key.size()) > int64_t(plain.size())) {
        return Result<Bytes>::failure(
            Failure::LengthMismatch,
            "stored length " + std::to_string(stored) + " does not fit the " + std::to_string(data.size()) +
                " bytes read (wrong key or damaged data)");
    }
    const size_t length = size_t(stored);
    if (!std::equal(key.begin(), key.end(), plain.begin() + kLengthBytes + length)) {
        return Result<Bytes>::failure(Failure::KeyMismatch, "wrong key or damaged data");
    }
    plain.erase(plain.begin(), plain.begin() + kLengthBytes);
    plain.resize(length);
    return Result<Bytes>::success(std::move(plain));
}

Result<Bytes> sealEnvelope(std::span<const uint8_t> payload, const DesKey& key) {
    if (payload.size() > size_t(std::numeric_limits<int32_t>::max())) {
        return Result<Bytes>::failure(Failure::LengthMismatch, "payload too long for an envelope");
    }
    const auto length = uint32_t(payload.size());
    Bytes plain;
    plain.reserve(kLengthBytes + payload.size() + key.size() + 8);
    appendBig32(plain, length);
    plain.insert(plain.end(), payload.begin(), payload.end());
    plain.insert(plain.end(), key.begin(), key.end());
    DesCipher des;
    des.setKey(key);
    return Result<Bytes>::success(des.cipherBuffer(plain, CipherDirection::Encrypt));
}

Result<Bytes> readEnciphered(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return Result<Bytes>::failure(Failure::CannotRead, "cannot read " + path + ": not a file");
    }
    const auto size = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) return Result<Bytes>::failure(Failure::CannotRead, "cannot open " + path);
    Bytes data(size);
    if (!in.read(reinterpret_cast<char*>(data.data()), std::streamsize(size))) {
        return Result<Bytes>::failure(Failure::CannotRead, "cannot read " + path);
    }
    auto opened = openEnvelope(data, kSideFormatKey);
    if (!opened) {
        return Result<Bytes>::failure(opened.failure(), path + ": " + opened.reason());
    }
    return opened;
}

}  // namespace tavlin
