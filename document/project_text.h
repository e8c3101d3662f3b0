#pragma once
// The line format of project files: records of the form ".KEYWORD VALUE\n".
// ProjectWriter builds the bytes; ProjectReader splits input into records and
// Scanner reads the numbers inside a value the way the format has always
// accepted them ("%d"-like: leading white space skipped, optional sign).

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tavlin {

class ProjectWriter {
public:
    // ".KEYWORD VALUE\n"; the space is written even when the value is empty.
    void record(std::string_view keyword, std::string_view value);
    // ".KEYWORD n1 n2 ...\n" with single spaces between the numbers.
    void numbers(std::string_view keyword, std::initializer_list<int32_t> values);
    // ".KEYWORD n1 n2 ... \n": every number followed by one space.
    void numbersEachSpaced(std::string_view keyword, std::initializer_list<int32_t> values);
    // The end marker "..\n".
    void endMarker();

    const std::string& text() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    void begin(std::string_view keyword);
    std::string out_;
};

// Decimal with a leading minus sign when negative.
std::string formatInt(int64_t value);

class ProjectReader {
public:
    explicit ProjectReader(std::string_view text) : text_(text) {}

    // Reads the next complete record. Lines that do not start with "." are
    // skipped (empty lines included); a line only counts once its line feed has
    // been read, so input ending without one loses its last line. False at the
    // end of input.
    bool next();

    // The text after the full stop up to the first space of the line.
    std::string_view keyword() const { return keyword_; }
    // Everything after that space up to the line feed (a carriage return before
    // the line feed stays part of it); empty when the line has no space.
    std::string_view value() const { return value_; }
    bool keywordIs(std::string_view word) const { return keyword_ == word; }
    // First character of the keyword, or 0 when it is empty.
    char keywordFirst() const { return keyword_.empty() ? '\0' : keyword_[0]; }
    // Bytes consumed so far.
    size_t offset() const { return pos_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    std::string_view keyword_;
    std::string_view value_;
};

// Reads numbers from a value left to right. Each read skips white space first;
// a failed read leaves the position where it was.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}
    // Optional sign and decimal digits; values beyond 32 bits are clamped.
    bool integer(int32_t& out);
    // A decimal real number (optional sign, fraction and exponent).
    bool real(double& out);
    std::string_view rest() const { return text_.substr(pos_); }

private:
    void skipSpace();
    std::string_view text_;
    size_t pos_ = 0;
};

// The value's integer as atoi reads it: 0 when it does not start with a number.
int32_t valueInt(std::string_view value);
// How many of `count` integers could be read in a row (a "%d %d ..." scan).
int scanInts(std::string_view value, int32_t* out, int count);

}  // namespace tavlin
