#include "document/document_defaults.h"

#include <algorithm>
#include <limits>
#include <string>

#include "base/numbers.h"
#include "core/settings.h"
#include "document/document.h"

namespace tavlin {

namespace {

// A setting as a number inside lo..hi, else the fallback.
int32_t settingIn(const char* key, const char* def, int32_t lo, int32_t hi, int32_t fallback) {
    long v = settings().GetInt(key, def);
    return v < lo || v > hi ? fallback : int32_t(v);
}

int32_t settingInt(const std::string& key, const std::string& def) {
    return saturateToInt32(settings().GetInt(key, def));
}

// Colours are stored as hexadecimal text; what does not parse keeps the default.
int32_t settingHex(const std::string& key, int32_t def) {
    auto v = parseLeadingHex(settings().Get(key, ""));
    return v ? static_cast<int32_t>(*v) : def;
}

}  // namespace

DocumentDefaults DocumentDefaults::fromSettings() {
    DocumentDefaults d;
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
    d.stageWidth = settingIn("def_width", "320", 1, kMaxNewStageSide, 320);
    d.stageHeight = settingIn("def_height", "240", 1, kMaxNewStageSide, 240);
    d.length = settingIn("def_length", "100", 1, kMaxLength, 100);
    d.jpegQuality = settingIn("jpeg_quality", "75", kMin, kMax, 75);
    d.diffQuality = settingIn("diff_quality", "75", kMin, kMax, 75);
    d.eventWait = settingInt("def_wtime", "100");

    DragPathDefaults& p = d.dragPath;
    for (int32_t s = 0; s < kDragPathStateCount; ++s) {
        std::string digit = std::to_string(s);
        p.colours[size_t(s)] = settingHex("dmcolor" + digit, p.colours[size_t(s)]);
        // Widths and the grab distance stay within what a project file and
        // the content file carry, so every new path reads back as made.
        p.widths[size_t(s)] = std::clamp(settingInt("dmlinew" + digit, std::to_string(p.widths[size_t(s)])), 0, 255);
    }
    p.arrowMode = settingInt("dmarrow", "3");
    p.curveFlag = settingInt("dmbezier", "0");
    p.grabLimit = std::clamp(settingInt("dmdist", "0"), 0, 255);
    p.grabFromThumb = settingInt("dmfromthumb", "0");
    p.keepThumb = settingInt("dmkeep", "0");
    p.thumbDirection = settingInt("dmthumbdir", "0");
    return d;
}

}  // namespace tavlin
