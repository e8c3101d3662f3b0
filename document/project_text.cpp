#include "document/project_text.h"

#include <charconv>
#include <limits>
#include <string>

#include "base/numbers.h"

namespace tavlin {

namespace {

// Keywords and values behave as C texts: a zero byte ends them.
std::string_view cutAtZero(std::string_view s) {
    size_t z = s.find('\0');
    return z == std::string_view::npos ? s : s.substr(0, z);
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::string formatInt(int64_t value) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

void ProjectWriter::begin(std::string_view keyword) {
    out_ += '.';
    out_ += keyword;
}

void ProjectWriter::record(std::string_view keyword, std::string_view value) {
    begin(keyword);
    out_ += ' ';
    out_ += value;
    out_ += '\n';
}

void ProjectWriter::numbers(std::string_view keyword, std::initializer_list<int32_t> values) {
    begin(keyword);
    out_ += ' ';
    bool first = true;
    for (int32_t v : values) {
        if (!first) out_ += ' ';
        out_ += formatInt(v);
        first = false;
    }
    out_ += '\n';
}

void ProjectWriter::numbersEachSpaced(std::string_view keyword, std::initializer_list<int32_t> values) {
    begin(keyword);
    out_ += ' ';
    for (int32_t v : values) {
        out_ += formatInt(v);
        out_ += ' ';
    }
    out_ += '\n';
}

void ProjectWriter::endMarker() { out_ += "..\n"; }

bool ProjectReader::next() {
    while (pos_ < text_.size()) {
        size_t lf = text_.find('\n', pos_);
        if (lf == std::string_view::npos) {
            pos_ = text_.size();
            return false;
        }
        std::string_view line = text_.substr(pos_, lf - pos_);
        pos_ = lf + 1;
        if (line.empty() || line[0] != '.') continue;
        size_t space = line.find(' ');
        if (space == std::string_view::npos) {
            keyword_ = cutAtZero(line.substr(1));
            value_ = std::string_view();
        } else {
            keyword_ = cutAtZero(line.substr(1, space - 1));
            value_ = cutAtZero(line.substr(space + 1));
        }
        return true;
    }
    return false;
}

void Scanner::skipSpace() {
    while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
}

bool Scanner::integer(int32_t& out) {
    size_t end = 0;
    auto v = parseLeadingInt(text_.substr(pos_), &end);
    if (!v) return false;
    out = saturateToInt32(*v);
    pos_ += end;
    return true;
}

bool Scanner::real(double& out) {
    size_t start = pos_;
    skipSpace();
    size_t p = pos_;
    if (p < text_.size() && text_[p] == '+') ++p;
    // from_chars does not depend on the process locale, unlike strtod.
    const char* first = text_.data() + p;
    const char* last = text_.data() + text_.size();
    double v = 0;
    auto res = std::from_chars(first, last, v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Beyond what a double holds: saturate; callers bound the value anyway.
        bool negative = *first == '-';
        out = negative ? -std::numeric_limits<double>::max() : std::numeric_limits<double>::max();
        pos_ = size_t(res.ptr - text_.data());
        return true;
    }
    if (res.ec != std::errc()) {
        pos_ = start;
        return false;
    }
    out = v;
    pos_ = size_t(res.ptr - text_.data());
    return true;
}

int32_t valueInt(std::string_view value) {
    int32_t v = 0;
    Scanner s(value);
    return s.integer(v) ? v : 0;
}

int scanInts(std::string_view value, int32_t* out, int count) {
    Scanner s(value);
    int n = 0;
    while (n < count && s.integer(out[n])) ++n;
    return n;
}

}  // namespace tavlin
