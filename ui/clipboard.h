#pragma once
// The system clipboard: plain text and pictures.

#include <memory>
#include <optional>
#include <string>

#include "media/image.h"

namespace tavlin {

// A copy of the clipboard's text, or nothing when it holds none.
std::optional<std::string> ClipboardGetText();
// Replaces the clipboard content by the text.
bool ClipboardSetText(const std::string& text);
// A copy of the clipboard's picture (opaque), or null. A picture larger than
// the program holds is not copied; `tooLarge` (when given) says so.
std::unique_ptr<Image> ClipboardGetImage(bool* tooLarge = nullptr);
bool ClipboardSetImage(const Image& image);

}  // namespace tavlin
