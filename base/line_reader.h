#pragma once
// Splits text into lines with a length limit, the two ways the program's
// readers have always treated long lines.

#include <cstddef>
#include <string_view>

namespace tavlin {

class LineReader {
public:
    // `limit`: the most characters one piece or line may hold.
    LineReader(std::string_view text, size_t limit) : text_(text), limit_(limit ? limit : 1) {}

    // The next piece as a C reader with a buffer of limit + 1 bytes sees it:
    // at most `limit` characters, the line feed included when it fits, so the
    // rest of a longer line comes as a piece of its own. `piece` excludes the
    // line feed; `ended` tells whether the piece ended with one. A zero byte
    // cuts the piece there (and then it did not end with a line feed). False
    // at the end of the text.
    bool nextPiece(std::string_view& piece, bool& ended);

    // The next whole line, without its line feed and with one CR before it
    // dropped, cut at a zero byte and at `limit` characters; the rest of a
    // longer line is skipped and cut() tells that it was. A last line without
    // a line feed counts. False at the end of the text.
    bool nextLine(std::string_view& line);
    bool cut() const { return cut_; }

    // Bytes consumed so far.
    size_t offset() const { return pos_; }

private:
    std::string_view text_;
    size_t limit_;
    size_t pos_ = 0;
    bool cut_ = false;
};

}  // namespace tavlin
