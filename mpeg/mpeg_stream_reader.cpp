#include "mpeg/mpeg_stream_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace tavlin {

namespace {

constexpr size_t kWindow = 1 << 20;
// How far the container is searched for its video before giving up.
constexpr int64_t kVideoSearchLimit = 64 << 20;

bool isVideoStreamId(int id) { return id >= 0xE0 && id <= 0xEF; }

}  // namespace

size_t pesHeaderLength(const uint8_t* p, size_t available) {
    if (available < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1) return 0;
    size_t i = 6;
    if ((p[6] & 0xC0) == 0x80) {
        // MPEG-2 header: flags, then a length of the optional fields.
        i = 9 + size_t(p[8]);
        return i <= available ? i : 0;
    }
    // MPEG-1 header: stuffing, buffer size, time stamps.
    for (int stuffing = 0; i < available && p[i] == 0xFF; ++i)
        if (++stuffing > 16) return 0;
    if (i < available && (p[i] & 0xC0) == 0x40) i += 2;
    if (i >= available) return 0;
    if ((p[i] & 0xF0) == 0x20) i += 5;
    else if ((p[i] & 0xF0) == 0x30) i += 10;
    else if (p[i] == 0x0F) i += 1;
    else return 0;
    return i <= available ? i : 0;
}

MpegStreamReader::~MpegStreamReader() { close(); }

void MpegStreamReader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    windowSize_ = 0;
}

size_t MpegStreamReader::fill(int64_t pos, size_t n) {
    if (pos < 0 || pos >= size_) return 0;
    n = size_t(std::min<int64_t>(int64_t(n), size_ - pos));
    if (pos >= windowStart_ && pos + int64_t(n) <= windowStart_ + int64_t(windowSize_)) return n;
    if (window_.size() < std::max(kWindow, n)) window_.resize(std::max(kWindow, n));
    windowStart_ = pos;
    windowSize_ = 0;
    const size_t want = size_t(std::min<int64_t>(int64_t(window_.size()), size_ - pos));
    while (windowSize_ < want) {
        ssize_t got = ::pread(fd_, window_.data() + windowSize_, want - windowSize_, pos + int64_t(windowSize_));
        if (got <= 0) break;
        windowSize_ += size_t(got);
    }
    return std::min(n, windowSize_);
}

bool MpegStreamReader::open(const std::string& path) {
    close();
    error_.clear();
    pos_ = 0;
    nextPacket_ = -1;
    pid_ = -1;
    videoId_ = -1;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = "Input file " + path + " not found";
        close();
        return false;
    }
    size_ = st.st_size;
    const size_t n = fill(0, 4096);
    const uint8_t* p = at(0);

    // Transport: a sync byte repeating every packet near the start.
    for (size_t s = 0; s < size_t(kPacketSize) && s < n; ++s) {
        if (p[s] != 0x47) continue;
        if (s + kPacketSize < n && p[s + kPacketSize] == 0x47 && (s + 2 * kPacketSize >= n || p[s + 2 * kPacketSize] == 0x47)) {
            kind_ = MpegStreamKind::Transport;
            if (!findTransportVideo()) {
                error_ = "No video in the transport stream";
                close();
                return false;
            }
            return true;
        }
    }
    // Program: the first start code is a pack header.
    size_t z = 0;
    while (z < n && p[z] == 0) ++z;
    if (z >= 2 && z + 1 < n && p[z] == 1 && p[z + 1] == 0xBA) {
        kind_ = MpegStreamKind::Program;
        if (!findProgramVideo()) {
            error_ = "No video in the program stream";
            close();
            return false;
        }
        return true;
    }
    kind_ = MpegStreamKind::Elementary;
    return true;
}

void MpegStreamReader::seek(int64_t offset) {
    pos_ = std::clamp<int64_t>(offset, 0, size_);
    nextPacket_ = -1;
}

bool MpegStreamReader::next(MpegChunk& chunk) {
    if (fd_ < 0) return false;
    switch (kind_) {
    case MpegStreamKind::Elementary: return nextElementary(chunk);
    case MpegStreamKind::Program: return nextProgram(chunk);
    case MpegStreamKind::Transport: return nextTransport(chunk);
    }
    return false;
}

bool MpegStreamReader::nextElementary(MpegChunk& chunk) {
    const size_t n = fill(pos_, kElementaryBlock);
    if (n == 0) return false;
    chunk = {at(pos_), n, pos_};
    pos_ += int64_t(n);
    return true;
}

// ---- program streams

bool MpegStreamReader::findProgramVideo() {
    // Walk the packets from the start; the first video stream id is ours.
    videoId_ = 0x100;  // accept any video id while looking
    MpegChunk c;
    int64_t start = 0;
    while (start < kVideoSearchLimit && nextProgram(c)) {
        start = c.offset;
        if (videoId_ != 0x100) break;
    }
    pos_ = 0;
    if (videoId_ == 0x100) videoId_ = -1;
    return videoId_ >= 0;
}

bool MpegStreamReader::nextProgram(MpegChunk& chunk) {
    for (;;) {
        size_t n = fill(pos_, 16);
        if (n < 4) return false;
        const uint8_t* p = at(pos_);
        if (p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] >= 0xB9) {
            const int id = p[3];
            if (id == 0xB9) {  // end code
                pos_ += 4;
                continue;
            }
            if (id == 0xBA) {
                if (n < 14) return false;
                size_t len = 0;
                if ((p[4] & 0xC0) == 0x40) len = 14 + (p[13] & 7);
                else if ((p[4] & 0xF0) == 0x20) len = 12;
                if (len) {
                    pos_ += int64_t(len);
                    continue;
                }
            } else if (n >= 6) {
                const size_t len = 6 + (size_t(p[4]) << 8 | p[5]);
                const int64_t start = pos_;
                const size_t got = fill(start, len);
                pos_ = start + int64_t(len);
                const bool wanted = videoId_ == 0x100 ? isVideoStreamId(id) : id == videoId_;
                if (!wanted) continue;
                // A packet cut off by the end of the file gives what it holds.
                const size_t header = pesHeaderLength(at(start), got);
                if (header == 0 || header >= got) continue;
                if (videoId_ == 0x100) videoId_ = id;
                chunk = {at(start) + header, got - header, start};
                return true;
            }
        }
        // Not at a packet: search the next start code of a container unit.
        const size_t m = fill(pos_, kWindow);
        if (m < 4) return false;
        const uint8_t* q = at(pos_);
        size_t i = 1;
        for (; i + 3 < m; ++i)
            if (q[i] == 0 && q[i + 1] == 0 && q[i + 2] == 1 && q[i + 3] >= 0xB9) break;
        pos_ += int64_t(i);
        if (i + 3 >= m && pos_ + 4 > size_) return false;
    }
}

// ---- transport streams

bool MpegStreamReader::transportSyncAt(int64_t pos) {
    const size_t n = fill(pos, 2 * kPacketSize + 1);
    if (n < 1 || at(pos)[0] != 0x47) return false;
    return n <= size_t(kPacketSize) || at(pos)[kPacketSize] == 0x47;
}

bool MpegStreamReader::transportPayload(int64_t pos, const uint8_t*& payload, size_t& size, int& pid,
                                        bool& unitStart) {
    if (fill(pos, kPacketSize) < size_t(kPacketSize)) return false;
    const uint8_t* p = at(pos);
    pid = (p[1] & 0x1F) << 8 | p[2];
    unitStart = (p[1] & 0x40) != 0;
    const int control = (p[3] >> 4) & 3;
    size_t start = 4;
    if (control & 2) start += 1 + size_t(p[4]);
    if (!(control & 1) || start >= size_t(kPacketSize) || (p[1] & 0x80)) {
        size = 0;  // no payload, or an error flagged by the sender
        return true;
    }
    payload = p + start;
    size = kPacketSize - start;
    return true;
}

bool MpegStreamReader::findTransportVideo() {
    // The programme tables name the video; without them, the first packet
    // that starts a video PES packet does.
    int pmtPid = -1, pesPid = -1;
    pos_ = 0;
    for (int64_t pos = 0; pos + kPacketSize <= size_ && pos < kVideoSearchLimit;) {
        if (!transportSyncAt(pos)) {
            ++pos;
            continue;
        }
        const uint8_t* d = nullptr;
        size_t n = 0;
        int pid = 0;
        bool start = false;
        transportPayload(pos, d, n, pid, start);
        pos += kPacketSize;
        if (!start || n < 1) continue;
        if (pid == 0 || pid == pmtPid) {
            const size_t pointer = d[0];
            if (1 + pointer + 12 > n) continue;
            const uint8_t* s = d + 1 + pointer;
            const size_t room = n - 1 - pointer;
            const size_t sectionEnd = std::min(room, 3 + (size_t(s[1] & 0x0F) << 8 | s[2]));
            if (sectionEnd < 12) continue;
            if (pid == 0 && s[0] == 0x00) {
                for (size_t i = 8; i + 4 <= sectionEnd - 4; i += 4)
                    if ((s[i] << 8 | s[i + 1]) != 0) {
                        pmtPid = (s[i + 2] & 0x1F) << 8 | s[i + 3];
                        break;
                    }
            } else if (pid == pmtPid && s[0] == 0x02) {
                size_t i = 12 + (size_t(s[10] & 0x0F) << 8 | s[11]);
                for (; i + 5 <= sectionEnd - 4; i += 5 + (size_t(s[i + 3] & 0x0F) << 8 | s[i + 4])) {
                    if (s[i] == 0x01 || s[i] == 0x02) {
                        pid_ = (s[i + 1] & 0x1F) << 8 | s[i + 2];
                        return true;
                    }
                }
                return pesPid >= 0 ? (pid_ = pesPid, true) : false;
            }
        } else if (pesPid < 0 && n >= 4 && d[0] == 0 && d[1] == 0 && d[2] == 1 && isVideoStreamId(d[3])) {
            pesPid = pid;
        }
    }
    if (pesPid >= 0) pid_ = pesPid;
    return pid_ >= 0;
}

bool MpegStreamReader::nextTransport(MpegChunk& chunk) {
    while (pos_ + kPacketSize <= size_) {
        // A packet right after a good one needs only its own sync byte;
        // finding the way back after junk needs two in a row.
        const bool continues = pos_ == nextPacket_ && fill(pos_, 1) == 1 && at(pos_)[0] == 0x47;
        if (!continues && !transportSyncAt(pos_)) {
            ++pos_;  // lost: find the next sync byte that repeats
            continue;
        }
        const uint8_t* d = nullptr;
        size_t n = 0;
        int pid = 0;
        bool start = false;
        const int64_t packet = pos_;
        transportPayload(packet, d, n, pid, start);
        pos_ += kPacketSize;
        nextPacket_ = pos_;
        if (pid != pid_ || n == 0) continue;
        if (start) {
            const size_t header = pesHeaderLength(d, n);
            if (header == 0 || header >= n) continue;
            d += header;
            n -= header;
        }
        chunk = {d, n, packet};
        return true;
    }
    return false;
}

}  // namespace tavlin
