#pragma once
// The document parameters dialog "dimension": the stage width and height and
// the timeline's length, which new documents take over too.

#include <cstdint>
#include <string>

#include "ui/dialog.h"

namespace tavlin {

class Document;
class Settings;

// Stage sides up to 2048 pixels, lengths up to 999999 frames.
struct DocumentSize {
    int32_t width = 0;
    int32_t height = 0;
    int32_t length = 0;
};
// Reads the three entry texts as decimal numbers (anything else counts as 0);
// false when a value is out of range.
bool parseDocumentSize(const std::string& width, const std::string& height, const std::string& length,
                       DocumentSize* out);

class DimensionDialog : public Dialog {
public:
    // Controls: 0 width, 1 height, 2 length, 3 OK, 4 cancel.
    static constexpr int32_t kWidth = 0;
    static constexpr int32_t kHeight = 1;
    static constexpr int32_t kLength = 2;
    static constexpr int32_t kOk = 3;
    static constexpr int32_t kCancel = 4;

    DimensionDialog(Window* owner, Document& doc, Settings& settings);
    // OK applies valid values to the document and the settings and ends with
    // 1; invalid values are refused with "e_invalid_param" and end with 0.
    void OnControl(int32_t id) override;

private:
    std::string entryText(int32_t id) const;
    Document& doc_;
    Settings& settings_;
};

}  // namespace tavlin
