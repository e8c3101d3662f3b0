#include "studio/capture_dialog.h"

#include <chrono>

#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "core/key_codes.h"
#include "core/prompts.h"
#include "core/settings.h"
#include "ui/control.h"

namespace tavlin {

namespace {

constexpr int32_t kWidth = 420, kHeight = 300;
// Label and pattern, each ended by a zero, and a zero closing the list.
constexpr char kAviFilter[] = "AVI Movie Files(*.avi)\0*.avi\0";
// How long the window waits for the device before it gives up on a start or stop.
constexpr auto kDeviceWait = std::chrono::seconds(3);

}  // namespace

CaptureDialog::CaptureDialog(Window* owner, const CaptureInput& input, const std::string& path)
    : ModalWindow(owner, 0, 0, kWidth, kHeight, kToolWindow), input_(input) {
    SetTitle("Capture");
    connected_ = capture_.open(input);
    if (Canvas* c = canvas()) {
        c->FillFace(0, 0, kWidth, kHeight);
        c->FillRect(kPreviewX, kPreviewY, kPreviewWidth, kPreviewHeight, 0xFF000000u);
        c->FrameRect(kPreviewX - 1, kPreviewY - 1, kPreviewWidth + 2, kPreviewHeight + 2, 0xFF808080u);
        c->DrawText(220, 122, 60, 20, "Rate", 0xFF000000u);
        c->DrawText(20, 172, 60, 20, "File", 0xFF000000u);
    }
    AdoptControl(new Button(this, 220, 20, 90, 24, kStart, "Start"));
    AdoptControl(new Button(this, 220, 52, 90, 24, kSource, "Source.."));
    AdoptControl(new Button(this, 220, 84, 90, 24, kFormat, "Format..."));
    auto* rate = new Edit(this, 280, 120, 50, 22, kRate);
    AdoptControl(rate);
    auto* file = new Edit(this, 60, 170, 270, 22, kFile);
    AdoptControl(file);
    AdoptControl(new Button(this, 340, 170, 60, 22, kBrowse, "..."));
    file->SetText(path);
    if (!connected_) return;
    rate->SetText(std::to_string(capture_.nativeRate()));
    reader_ = std::thread([this] { readFrames(); });
    if (QWidget* w = client()) {
        timer_ = new QTimer(w);
        QObject::connect(timer_, &QTimer::timeout, [this] { showPreview(); });
        timer_->start(kPreviewInterval);
    }
}

CaptureDialog::~CaptureDialog() { finish(); }

bool CaptureDialog::recording() const { return !recording_.empty(); }

void CaptureDialog::readFrames() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point begun{};
    bool first = true;
    while (!quit_) {
        double seconds = 0;
        {
            std::unique_lock hold(device_);
            const Image* frame = capture_.nextFrame();
            if (!frame) {
                ended_ = true;
                return;
            }
            seconds = capture_.seconds();
            std::lock_guard keep(latestLock_);
            latest_ = *frame;
            fresh_ = true;
        }
        // A source that makes frames faster than time passes (a test
        // pattern) is held to its own clock, as a camera holds itself.
        if (first) begun = Clock::now(), first = false;
        const auto due = begun + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        if (due > Clock::now()) std::this_thread::sleep_until(std::min(due, Clock::now() + std::chrono::milliseconds(200)));
    }
}

void CaptureDialog::finish() {
    if (timer_) timer_->stop();
    quit_ = true;
    if (reader_.joinable()) reader_.join();
    if (recording()) {
        const std::string file = recording_;
        recording_.clear();
        if (capture_.stopRecording()) recorded_ = file;
    }
}

void CaptureDialog::showPreview() {
    {
        std::lock_guard keep(latestLock_);
        if (fresh_ && canvas() && !latest_.empty()) {
            canvas()->DrawImage(kPreviewX, kPreviewY, kPreviewWidth, kPreviewHeight, latest_);
            fresh_ = false;
            ++previewed_;
        }
    }
    RefreshRect(kPreviewX, kPreviewY, kPreviewWidth, kPreviewHeight);
    // An input that has ended records nothing more.
    if (ended_ && recording()) stop();
}

std::string CaptureDialog::fieldText(int32_t id) const {
    auto* edit = dynamic_cast<Edit*>(ControlById(id));
    return edit ? std::string(edit->GetText()) : std::string();
}

void CaptureDialog::setStartLabel(const char* text) {
    if (Control* c = ControlById(kStart))
        if (auto* b = qobject_cast<QPushButton*>(c->NativeHandle())) b->setText(text);
}

void CaptureDialog::browse() {
    if (auto chosen = prompts().saveFile(std::string(kAviFilter, sizeof kAviFilter), fieldText(kFile)))
        if (auto* edit = dynamic_cast<Edit*>(ControlById(kFile))) edit->SetText(*chosen);
}

void CaptureDialog::start() {
    if (!connected_ || recording()) return;
    int32_t rate = 0;
    if (!VideoCapture::rateValid(fieldText(kRate), rate)) {
        ShowMessage("Error: Bad rate.");
        return;
    }
    std::string file = fieldText(kFile);
    if (file.empty()) {
        browse();
        file = fieldText(kFile);
        if (file.empty()) return;
    }
    std::unique_lock hold(device_, std::defer_lock);
    if (!hold.try_lock_for(kDeviceWait)) {
        ShowMessage("Error# %d\n%s", 1, "The capture device does not answer.");
        return;
    }
    std::string why;
    if (!capture_.startRecording(file, rate, &why)) {
        ShowMessage("Error# %d\n%s", 2, why.c_str());
        return;
    }
    recording_ = file;
    recorded_.clear();
    setStartLabel("Stop");
}

void CaptureDialog::stop() {
    if (!recording()) return;
    std::unique_lock hold(device_, std::defer_lock);
    if (!hold.try_lock_for(kDeviceWait)) {
        ShowMessage("Error# %d\n%s", 1, "The capture device does not answer.");
        return;
    }
    const std::string file = recording_;
    recording_.clear();
    setStartLabel("Start");
    if (capture_.stopRecording()) recorded_ = file;
    else ShowMessage("Error# %d\n%s", 3, (file + " could not be completed.").c_str());
}

void CaptureDialog::OnControl(int32_t id) {
    switch (id) {
        case kStart: recording() ? stop() : start(); break;
        case kSource: ShowMessage("Source: %s %s", input_.format.c_str(), input_.device.c_str()); break;
        case kFormat:
            ShowMessage("Format: %d x %d, %d frames per second", capture_.width(), capture_.height(),
                        capture_.nativeRate());
            break;
        case kBrowse: browse(); break;
        default: break;
    }
}

void CaptureDialog::OnKey(int32_t code) {
    if (code == Key::Escape && recording()) stop();
}

void CaptureDialog::OnLeftDown(int32_t, int32_t, int32_t) {
    if (recording()) stop();
}

void CaptureDialog::OnRightDown(int32_t, int32_t, int32_t) {
    if (recording()) stop();
}

void CaptureDialog::OnClose() {
    finish();
    ModalWindow::OnClose();
}

std::optional<std::string> captureVideo(Window* parent, const std::string& path) {
    CaptureInput input;
    input.format = settings().Get("capture_format", input.format);
    input.device = settings().Get("capture_device", input.device);
    CaptureDialog dialog(parent, input, path);
    if (!dialog.connected()) {
        ShowMessage("Error: No driver");
        return std::nullopt;
    }
    dialog.CentreOnScreen();
    dialog.RunModal();
    dialog.OnClose();
    if (dialog.recorded().empty()) return std::nullopt;
    return dialog.recorded();
}

}  // namespace tavlin
