#pragma once
// The index of an MPEG video: a text file beside it ("clip.mpg.index") that
// lists the offsets of its sequence headers and groups of pictures, so that
// a frame far into the stream is reached without decoding everything before
// it. Built once by scanning the stream for start codes.

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "media/progress.h"
#include "mpeg/mpeg_stream_reader.h"

namespace tavlin {

struct MpegGroup {
    int32_t first = 0;             // pictures before it
    int64_t offset = 0;            // read offset of the piece holding its start code
    int64_t sequenceOffset = -1;   // of the last sequence header before it (-1: none)
    int hours = 0, minutes = 0, seconds = 0, pictures = 0;
    // Earlier groups (sequence headers) that share its offset: which start
    // code within that read is its own.
    int sameOffset = 0, sequenceSameOffset = 0;
};

struct MpegIndex {
    std::string source;
    bool hasKind = false;
    MpegStreamKind kind = MpegStreamKind::Elementary;
    int pid = -1;
    std::vector<int64_t> sequences;
    std::vector<MpegGroup> groups;
    int32_t max = 0;

    // The group whose first picture number is the greatest not above n; -1
    // when there is none.
    int groupOf(int32_t n) const;
};

constexpr char kMpegIndexTitle[] = "Creating MPEG index ...";

// "%s.index" of the video.
std::string mpegIndexPath(const std::string& videoPath);
// The folders an index goes to when it cannot be written beside its video:
// "tmp" beside the program, then the user's cache.
std::vector<std::string> mpegIndexFallbackFolders();

// Reads an index file. Lines whose first word is not TS, MAX, S or G are
// passed over; an index that cannot be true of a file of `fileSize` bytes
// (offsets past its end, groups out of order, a negative count) is refused.
Result<MpegIndex> readMpegIndex(const std::string& indexPath, int64_t fileSize);

// NoVideo: the scan found no sequence header, so nothing was written.
enum class IndexBuild { Built, Stopped, CouldNotStart, NoVideo };

// Scans the video and writes its index at indexPath under the progress
// titled "Creating MPEG index ...". A stopped build deletes what it wrote.
IndexBuild buildMpegIndex(const std::string& videoPath, const std::string& indexPath, Progress& progress,
                          std::string* why = nullptr);

// The index to use for a video: an existing one beside it or in a fallback
// folder (one there only when it names this video), otherwise one built
// beside it, or in the fallback folders when that cannot be written. With
// `rebuild` an existing index is replaced. The path of the index, or why
// there is none (Failure::None for a build the user stopped).
Result<std::string> findOrBuildMpegIndex(const std::string& videoPath, Progress& progress, bool rebuild = false);

}  // namespace tavlin
