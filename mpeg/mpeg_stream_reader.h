#pragma once
// Reads the video elementary stream out of an MPEG file: a bare elementary
// stream, a program (system) stream, or a transport stream. Each piece it
// hands out comes from one read of the file, and carries the file offset at
// which that read started (the transport packet, the PES packet, or the
// fixed-size block of an elementary stream): the index records these offsets,
// and reading resumes from them.

#include <cstdint>
#include <string>
#include <vector>

namespace tavlin {

enum class MpegStreamKind { Elementary, Program, Transport };

struct MpegChunk {
    const uint8_t* data = nullptr;
    size_t size = 0;
    int64_t offset = 0;  // where the read that holds these bytes started
};

class MpegStreamReader {
public:
    MpegStreamReader() = default;
    ~MpegStreamReader();
    MpegStreamReader(const MpegStreamReader&) = delete;
    MpegStreamReader& operator=(const MpegStreamReader&) = delete;

    // Opens the file and finds its kind and its video stream. False (with
    // error()) when it cannot be read or a container holds no video.
    bool open(const std::string& path);
    void close();
    const std::string& error() const { return error_; }

    MpegStreamKind kind() const { return kind_; }
    // The packet identifier of the video in a transport stream.
    int pid() const { return pid_; }
    int64_t fileSize() const { return size_; }

    // The next piece of video elementary stream; false at the end.
    bool next(MpegChunk& chunk);
    // Goes on from a file offset; the next read finds the container's next
    // unit at or after it, so an offset that lies only costs a search.
    void seek(int64_t offset);

    static constexpr size_t kElementaryBlock = 16384;
    static constexpr int kPacketSize = 188;

private:
    // Makes [pos, pos + n) readable in the window; the bytes available from
    // pos (fewer than n near the end of the file).
    size_t fill(int64_t pos, size_t n);
    const uint8_t* at(int64_t pos) const { return window_.data() + (pos - windowStart_); }
    bool nextElementary(MpegChunk& chunk);
    bool nextProgram(MpegChunk& chunk);
    bool nextTransport(MpegChunk& chunk);
    // Payload of a transport packet at pos (empty when it has none).
    bool transportPayload(int64_t pos, const uint8_t*& payload, size_t& size, int& pid, bool& unitStart);
    bool transportSyncAt(int64_t pos);
    bool findTransportVideo();
    bool findProgramVideo();

    int fd_ = -1;
    int64_t size_ = 0;
    int64_t pos_ = 0;
    int64_t nextPacket_ = -1;  // where the packet after the last good one starts
    MpegStreamKind kind_ = MpegStreamKind::Elementary;
    int pid_ = -1;
    int videoId_ = -1;  // stream id of the video PES packets in a program stream
    std::vector<uint8_t> window_;
    int64_t windowStart_ = 0;
    size_t windowSize_ = 0;
    std::string error_;
};

// Where the PES header at p (p[0..2] = 00 00 01) ends, given the bytes
// available; 0 when it is malformed. Shared with the index's tests.
size_t pesHeaderLength(const uint8_t* p, size_t available);

}  // namespace tavlin
