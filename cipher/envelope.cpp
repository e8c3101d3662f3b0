#include "cipher/envelope.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>

namespace tavlin {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kLengthBytes = 4;

}  // namespace

CipherResult<Bytes> openEnvelope(std::span<const uint8_t> data, const DesKey& key) {
    DesCipher des;
    des.setKey(key);
    Bytes plain = des.cipherBuffer(data, CipherDirection::Decrypt);
    if (plain.size() < kLengthBytes + key.size()) {
        return CipherResult<Bytes>::failure(CipherFailure::KeyMismatch, "too short to hold an enciphered envelope");
    }
    // Signed, and compared in 64 bits, so a length near 2^31 cannot wrap past the check.
    const int32_t stored = int32_t(uint32_t(plain[0]) << 24 | uint32_t(plain[1]) << 16 |
                                   uint32_t(plain[2]) << 8 | uint32_t(plain[3]));
    if (stored < 0 || int64_t(stored) + int64_t(kLengthBytes + key.size()) > int64_t(plain.size())) {
        return CipherResult<Bytes>::failure(
            CipherFailure::LengthMismatch,
            "stored length " + std::to_string(stored) + " does not fit the " + std::to_string(data.size()) +
                " bytes read (wrong key or damaged data)");
    }
    const size_t length = size_t(stored);
    if (!std::equal(key.begin(), key.end(), plain.begin() + kLengthBytes + length)) {
        return CipherResult<Bytes>::failure(CipherFailure::KeyMismatch, "wrong key or damaged data");
    }
    plain.erase(plain.begin(), plain.begin() + kLengthBytes);
    plain.resize(length);
    return CipherResult<Bytes>::success(std::move(plain));
}

CipherResult<Bytes> sealEnvelope(std::span<const uint8_t> payload, const DesKey& key) {
    if (payload.size() > size_t(std::numeric_limits<int32_t>::max())) {
        return CipherResult<Bytes>::failure(CipherFailure::LengthMismatch, "payload too long for an envelope");
    }
    const auto length = uint32_t(payload.size());
    Bytes plain;
    plain.reserve(kLengthBytes + payload.size() + key.size() + 8);
    plain.push_back(uint8_t(length >> 24));
    plain.push_back(uint8_t(length >> 16));
    plain.push_back(uint8_t(length >> 8));
    plain.push_back(uint8_t(length));
    plain.insert(plain.end(), payload.begin(), payload.end());
    plain.insert(plain.end(), key.begin(), key.end());
    DesCipher des;
    des.setKey(key);
    return CipherResult<Bytes>::success(des.cipherBuffer(plain, CipherDirection::Encrypt));
}

CipherResult<Bytes> readEnciphered(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return CipherResult<Bytes>::failure(CipherFailure::CannotRead, "cannot read " + path + ": not a file");
    }
    const auto size = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in) return CipherResult<Bytes>::failure(CipherFailure::CannotRead, "cannot open " + path);
    Bytes data(size);
    if (!in.read(reinterpret_cast<char*>(data.data()), std::streamsize(size))) {
        return CipherResult<Bytes>::failure(CipherFailure::CannotRead, "cannot read " + path);
    }
    auto opened = openEnvelope(data, kSideFormatKey);
    if (!opened) {
        return CipherResult<Bytes>::failure(opened.failure(), path + ": " + opened.reason());
    }
    return opened;
}

}  // namespace tavlin
