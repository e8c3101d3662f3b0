#pragma once
// The "Capture" window: a live preview of the capture input, a frame-rate
// field, the file to record into, and Start/Stop. The input (FFmpeg format
// and device) comes from the settings "capture_format" and "capture_device",
// a V4L2 camera by default.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "media/image.h"
#include "media/video/video_capture.h"
#include "ui/window.h"

class QTimer;

namespace tavlin {

class Button;

class CaptureDialog : public ModalWindow {
public:
    // Control ids.
    static constexpr int32_t kStart = 0;   // "Start", "Stop" while recording
    static constexpr int32_t kSource = 1;  // "Source.."
    static constexpr int32_t kFormat = 2;  // "Format..."
    static constexpr int32_t kRate = 3;    // frames per second, 1..99
    static constexpr int32_t kFile = 4;    // the AVI file to record into
    static constexpr int32_t kBrowse = 5;  // chooses that file
    // Where the live picture is drawn in the client area.
    static constexpr int32_t kPreviewX = 20, kPreviewY = 20, kPreviewWidth = 160, kPreviewHeight = 120;
    static constexpr int32_t kPreviewInterval = 66;  // milliseconds between preview pictures

    // Connects to the input; check connected() before showing the window.
    CaptureDialog(Window* owner, const CaptureInput& input, const std::string& path);
    ~CaptureDialog() override;

    bool connected() const { return connected_; }
    bool recording() const;
    // The file of the last completed recording; empty when none was made.
    const std::string& recorded() const { return recorded_; }
    // Pictures shown in the preview so far.
    int64_t previewed() const { return previewed_; }

    void OnControl(int32_t id) override;
    // Escape ends a recording, as does a left or right click in the window.
    void OnKey(int32_t code) override;
    void OnLeftDown(int32_t x, int32_t y, int32_t modifiers) override;
    void OnRightDown(int32_t x, int32_t y, int32_t modifiers) override;
    // Ends a recording that is still running, keeping what it recorded.
    void OnClose() override;

    // Draws the newest frame into the preview (the timer calls it).
    void showPreview();

private:
    void start();
    void stop();
    void browse();
    void readFrames();
    void finish();
    std::string fieldText(int32_t id) const;
    void setStartLabel(const char* text);

    VideoCapture capture_;
    CaptureInput input_;
    bool connected_ = false;
    // The reading thread holds the device while it waits for a frame; the
    // window takes it to start or stop a recording.
    std::timed_mutex device_;
    std::mutex latestLock_;
    Image latest_;
    bool fresh_ = false;
    std::atomic<bool> quit_{false};
    std::atomic<bool> ended_{false};
    std::thread reader_;
    QTimer* timer_ = nullptr;
    std::string recording_;  // the file being recorded, empty when idle
    std::string recorded_;
    int64_t previewed_ = 0;
};

// Shows the capture window for recording into `path` (proposed in its file
// field). The recorded file's path, or nothing when no recording was made.
// Without a capture input "Error: No driver" is shown and nothing comes back.
std::optional<std::string> captureVideo(Window* parent, const std::string& path);

}  // namespace tavlin
