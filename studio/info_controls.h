#pragma once
// Control indices of the info windows' dialog descriptions ("infoimage",
// "infovideo", "infodm", "infoplay", "infojump", "infosound", "infolink",
// "infoparam"): the one place the code and the tests name them.

#include <cstdint>

namespace tavlin::info {

// Every stage object window.
enum ObjectControl : int32_t {
    kName = 0,
    kLeft = 1,
    kTop = 2,
    kWidth = 3,
    kHeight = 4,
    kNaturalSize = 5,
    kApplyObject = 6,
    // Image and video windows.
    kMediaBox = 7,
    // Video window.
    kRecord = 8,
    kStillPictures = 9,
    kFrameStep = 10,
};

// The drag path window; s = 0, 1, 2 for the normal, active and pressed state.
enum PathControl : int32_t {
    kStatePicture = 7,         // + s
    kStateWidth = 10,          // + s
    kStateColour = 13,         // + s
    kStatePictureRemove = 16,  // + s
    kThumbList = 19,
    kThumbAdd = 20,
    kThumbRemove = 21,
    kKeepThumb = 22,
    kThumbDirection = 23,
    kArrowAtStart = 24,
    kArrowAtEnd = 25,
    kArrowAutomatic = 26,
    kCurve = 27,
    kGrabDistance = 28,
    kGrabFromThumb = 29,
};

// Every event window.
enum EventControl : int32_t {
    kWait = 0,
    kApplyEvent = 1,
    // Play.
    kInterruptible = 2,
    // Jump.
    kAddTarget = 2,
    kRemoveTarget = 3,
    kTargetList = 4,
    // Sound.
    kSoundBox = 2,
    kRepeat = 3,
    // Link.
    kAddress = 2,
    kWindowName = 3,
    kWindowSuggestions = 4,
    // Param.
    kParamText = 2,
};

}  // namespace tavlin::info
