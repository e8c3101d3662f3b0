#pragma once
// Builds a document from the files of an older drag-video project: the main
// file "name.qmb" (enciphered drag paths), the video "name.avi" or
// "name.mpg" beside it, and the event file "name.qme".

#include <string>

#include "base/result.h"

namespace tavlin {

class Document;

// Fills `doc` with a video object, the drag paths of the main file and the
// events, pictures and image objects of the event file. On failure the
// objects made so far stay in the document; the reason says what failed.
Status importSideFormat(const std::string& mainPath, Document& doc);

}  // namespace tavlin
