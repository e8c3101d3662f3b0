#include "base/line_reader.h"

namespace tavlin {

namespace {

std::string_view cutAtZero(std::string_view s) {
    size_t z = s.find('\0');
    return z == std::string_view::npos ? s : s.substr(0, z);
}

}  // namespace

bool LineReader::nextPiece(std::string_view& piece, bool& ended) {
    if (pos_ >= text_.size()) return false;
    size_t end = pos_;
    ended = false;
    while (end < text_.size() && end - pos_ < limit_) {
        if (text_[end++] == '\n') {
            ended = true;
            break;
        }
    }
    piece = text_.substr(pos_, end - pos_ - (ended ? 1 : 0));
    pos_ = end;
    std::string_view kept = cutAtZero(piece);
    if (kept.size() != piece.size()) ended = false;
    piece = kept;
    return true;
}

bool LineReader::nextLine(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t lf = text_.find('\n', pos_);
    size_t end = lf == std::string_view::npos ? text_.size() : lf;
    line = text_.substr(pos_, end - pos_);
    pos_ = lf == std::string_view::npos ? text_.size() : lf + 1;
    cut_ = line.size() > limit_;
    if (cut_) line = line.substr(0, limit_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = cutAtZero(line);
    return true;
}

}  // namespace tavlin
