#pragma once
// The dialog description language of "dialog.txt", read into plain records.
// No windows here: the builder (dialog.h) turns the records into controls.
//
// A record is a line ".<letter> fields"; other lines are comments. A dialog
// runs from its ".D name width height title" line to a line starting ".." or
// the end of the text. Fields that fail to scan keep the values of the
// previous record, because every record scans into the same targets.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// One control, label or picture record inside a dialog.
struct DialogRecord {
    // 'E' entry, 'B' button, 'C' check box, 'M' drop-down list, 'T' list box,
    // 'I' image button, 'L' label, 'P' picture, 'S' slider.
    char letter = 0;
    int32_t id = 0;  // not scanned by 'L' and 'P' (kept from earlier records)
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    // Caption ('B', 'C'), image base name ('I'), text ('L') or image name ('P').
    std::string text;
    // How many of the record's own fields were scanned; the rest are carried
    // over from earlier records.
    int scanned = 0;

    bool operator==(const DialogRecord&) const = default;
};

struct DialogDescription {
    bool found = false;  // a ".D" line with the requested name was seen
    int32_t width = 0;
    int32_t height = 0;
    std::string title;
    // Fields of the ".D" line after the name that were scanned (0..3): width,
    // height, title.
    int headerScanned = 0;
    std::vector<DialogRecord> records;
};

// Longest line kept; the rest of a longer line is dropped rather than read as
// a line of its own.
constexpr size_t kDialogLineLimit = 1023;

// The dialog called `name` (exact, case-sensitive) from a description text.
// Never fails: a name that is not there gives found == false.
DialogDescription ParseDialogDescription(std::istream& in, const std::string& name);
DialogDescription ParseDialogDescription(const std::string& text, const std::string& name);
// Reads the description file at `path`; nothing when it cannot be opened.
std::optional<DialogDescription> LoadDialogDescription(const std::string& path, const std::string& name);

}  // namespace tavlin
