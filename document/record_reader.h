#pragma once
// Line records of project files and clipboard texts: ".KEYWORD value\n".
// The reader is shared by the document reader and by every object's and
// event's own read; it reads raw bytes (a CR before the LF stays in the value).

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace tavlin {

class MediaResource;
enum class MediaKind : int32_t;

class RecordReader {
public:
    // The text must outlive the reader.
    explicit RecordReader(std::string_view text) : text_(text) {}

    // Reads the next complete record. Lines that do not start with "." are
    // skipped; a line without its line feed is incomplete. False at the end of
    // the input (the record in hand is then unchanged).
    bool next();

    // The text after the "." up to the first space.
    const std::string& keyword() const { return keyword_; }
    // Everything after the first space (empty when the line has none).
    const std::string& value() const { return value_; }
    // Keyword comparisons: the first character only, or the whole keyword.
    bool startsWith(char c) const { return !keyword_.empty() && keyword_[0] == c; }
    bool is(std::string_view word) const { return keyword_ == word; }

    // Number scans of the value, like "%d", "%d %d", ... : the numbers found
    // from the start, stopping at the first that does not parse.
    int32_t scanInts(int32_t* out, int32_t count) const;
    // The value's leading integer, 0 when there is none (like atoi).
    int32_t intValue() const;

    // Turns a stored media name into a loaded resource. The project reader
    // sets it (missing media ask the user); when unset the document loads the
    // file directly without asking.
    std::function<MediaResource*(MediaKind, const std::string&)> resolveMedia;

private:
    std::string_view text_;
    size_t pos_ = 0;
    std::string keyword_;
    std::string value_;
};

// Record writing helpers: ".keyword value\n".
void writeRecord(std::string& out, std::string_view keyword, std::string_view value);
void writeRecord(std::string& out, std::string_view keyword, std::initializer_list<int64_t> numbers);

}  // namespace tavlin
