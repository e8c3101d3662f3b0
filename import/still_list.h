#pragma once
// Lists of still pictures played as a video: a plain frame list of full
// frames that name the picture files where they are.
//
//   W H n n            the first picture's size reduced to at most 720 wide
//   N 0 /path/one.png  one line per picture, in playing order
//   -                  closing line
//
// When no factor up to 9 brings the width to 720 or less (a first picture
// 6489 pixels wide or more), both sides are divided by 9, so the frame keeps
// the picture's proportions.

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace tavlin {

struct StillListSize {
    int32_t width = 0;
    int32_t height = 0;
};

// The frame size for a first picture of w x h.
StillListSize stillListSize(int32_t w, int32_t h);

// The whole text of a list of these pictures with that frame size.
std::string stillListText(const std::vector<std::string>& pictures, StillListSize size);

// Writes the list for `pictures` (at least one) to `path`, reading only the
// first picture for the size. CannotWrite when the file cannot be made;
// CannotRead when the first picture cannot be read, in which case only the
// closing line is written (the frame list then fails to open and the import
// asks for another file).
Status writeStillList(const std::string& path, const std::vector<std::string>& pictures);

// The pictures of an existing list, in order: every line after the first
// that is "N", a number and a path. The path is the rest of the line, so
// names with spaces come back whole.
std::vector<std::string> readStillList(const std::string& path);

}  // namespace tavlin
