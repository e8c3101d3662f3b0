#pragma once
// What a new document, a new drag path and a new event start with. A
// document asks its source each time it makes one, since the user may change
// them meanwhile (the event window stores the wait it was given). The studio
// and the command-line tool read them from the user's settings (fromSettings).

#include <array>
#include <cstdint>
#include <functional>

namespace tavlin {

constexpr int32_t kDragPathStateCount = 3;

struct DragPathDefaults {
    std::array<int32_t, kDragPathStateCount> colours{0xFF8080, 0xFF0000, 0x000000};
    std::array<int32_t, kDragPathStateCount> widths{1, 1, 0};
    int32_t arrowMode = 3;
    int32_t curveFlag = 0;
    int32_t grabLimit = 0;
    int32_t grabFromThumb = 0;
    int32_t keepThumb = 0;
    int32_t thumbDirection = 0;
};

struct DocumentDefaults {
    int32_t stageWidth = 320;
    int32_t stageHeight = 240;
    int32_t length = 100;
    int32_t jpegQuality = 75;
    int32_t diffQuality = 75;
    int32_t eventWait = 100;  // milliseconds
    DragPathDefaults dragPath;

    // The settings "def_width", "def_height", "def_length", "jpeg_quality",
    // "diff_quality", "def_wtime" and the "dm..." keys of new drag paths,
    // each brought within what a project file can carry back.
    static DocumentDefaults fromSettings();
};

using DefaultsSource = std::function<DocumentDefaults()>;

}  // namespace tavlin
