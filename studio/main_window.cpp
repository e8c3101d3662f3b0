#include "studio/main_window.h"

#include "render/stage_renderer.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "base/file_filter.h"
#include "base/paths.h"
#include "core/autosave.h"
#include "core/key_codes.h"
#include "core/prompts.h"
#include "core/recent_files.h"
#include "core/recovery_store.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/project_file.h"
#include "media/media_registry.h"
#include "publish/content_file.h"
#include "publish/side_format_import.h"
#include "studio/dimension_dialog.h"
#include "studio/info_windows.h"
#include "studio/publishing_commands.h"
#include "studio/recent_files_dialog.h"
#include "studio/skip_window.h"
#include "studio/timeline_window.h"
#include "studio/toolbox_window.h"
#include "ui/audio_output.h"
#include "ui/clipboard.h"
#include "ui/control.h"
#include "ui/cursors.h"
#include "ui/dialog.h"
#include "import/media_import.h"
#include "studio/import_commands.h"
#include "ui/menu.h"
#include "ui/platform.h"

namespace tavlin {

namespace {

constexpr int32_t kBarSize = 20;
constexpr int32_t kHorizontalBarId = 1;
constexpr int32_t kVerticalBarId = 2;
constexpr uint32_t kBackground = 0x808080;
constexpr uint32_t kCornerColour = 0xC0C0C0;
constexpr uint32_t kObjectHandleColour = 0x00FFFF;
constexpr uint32_t kPointHandleColour = 0x0000FF;
constexpr uint32_t kSegmentColour = 0xFF0000;
constexpr uint32_t kHandOverSegmentColour = 0x000000;
constexpr uint32_t kFramePositionColour = 0xFF0000;

std::string str(const char* id) { return resources().StringCopy(id); }

// A resource text with its "%s" filled; the text is data, so it never becomes
// a printf format.
std::string withPath(const std::string& text, const std::string& path) {
    std::string out = text;
    size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, path);
    return out;
}

void showString(const char* id) { ShowMessage("%s", str(id).c_str()); }

// A reader's reason ("cannot be decoded as PNG image", "no such file") as a
// sentence of its own under the message.
std::string reasonSentence(std::string why) {
    while (!why.empty() && why.back() == ' ') why.pop_back();
    while (!why.empty() && why.front() == ' ') why.erase(0, 1);
    if (why.empty()) return why;
    static const char* const verbs[] = {"cannot ", "can't ", "is ", "has ", "does ", "was ", "holds ", "ends "};
    bool verb = false;
    for (const char* v : verbs) verb = verb || why.rfind(v, 0) == 0;
    if (verb)
        why = "The file " + why;
    else
        why[0] = char(std::toupper(static_cast<unsigned char>(why[0])));
    if (why.back() != '.' && why.back() != '!' && why.back() != '?') why += '.';
    return why;
}

void showCantOpen(const std::string& path, const std::string& why) {
    std::string text = withPath(str("e_cant_open"), path);
    std::string sentence = reasonSentence(why);
    if (!sentence.empty()) text += "\n\n" + sentence;
    ShowMessage("%s", text.c_str());
}

// The tool box's hint of each tool, by tool-table entry.
constexpr const char* kToolHints[kToolCount] = {
    "hint_bplaymode",  "hint_beditmode",  "hint_binsvideo", "hint_binsimage", "hint_bdrawplaybtn",
    "hint_bdrawbtn",   "hint_bsetin",     "hint_bsetout",   "hint_bdrawpath", "hint_bdrawoval",
    "hint_bdrawvline", "hint_bdrawhline", "hint_bflippath"};

// Pixels one wheel notch scrolls the stage.
constexpr int32_t kWheelScroll = 40;

// Something Paste can bring: objects copied by the studio, or a picture.
bool clipboardHasPaste() {
    QClipboard* clip = QGuiApplication::clipboard();
    const QMimeData* data = clip ? clip->mimeData() : nullptr;
    if (!data) return false;
    if (data->hasImage()) return true;
    QString text = data->text();
    return text.size() >= 2 && text[1] == 'O';
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The clipboard and the sound output as the document sees them.
struct UiClipboard : Clipboard {
    std::string text() override { return ClipboardGetText().value_or(std::string()); }
    void setText(const std::string& text) override { ClipboardSetText(text); }
    std::unique_ptr<Image> image() override { return ClipboardGetImage(); }
};

struct UiSoundOutput : SoundOutput {
    void play(const Sound& sound, int32_t loops) override { AudioOutput::instance().play(sound, loops > 1); }
    void stop() override { AudioOutput::instance().stop(); }
};

// Stands in for the timeline window until it exists: the document runs its
// events only while a timeline is there, as it always is in the studio.
struct QuietTimeline : TimelineView {
    void refresh() override {}
};

// The about box: its one button (id 0) closes it.
class AboutDialog : public Dialog {
public:
    explicit AboutDialog(Window* owner) : Dialog(owner, "about") {}
    void OnControl(int32_t id) override {
        if (id == 0) EndModal(1);
    }
};

}  // namespace

struct MainWindow::Services {
    UiClipboard clipboard;
    UiSoundOutput sound;
    QuietTimeline timeline;
    std::vector<std::pair<std::string, int32_t>> pictureCursors;
};

OpenKind classifyOpenPath(const std::string& path) {
    if (fileNameOf(path) != "tavlin.txt") {
        if (findVideoFormat(path)) return OpenKind::Video;
        if (findImageFormat(path)) return OpenKind::Image;
        if (findAudioFormat(path)) return OpenKind::Sound;
    }
    char last = path.empty() ? '\0' : path.back();
    if (last == 'b' || last == 'B') return OpenKind::Qmb;
    if (last == 't' || last == 'T') return OpenKind::Content;
    return OpenKind::Project;
}

std::string withProjectExtension(const std::string& chosen) {
    std::string name = fileNameOf(chosen);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && equalsIgnoringCase(name.substr(dot), ".tvl")) return chosen;
    return chosen + ".tvl";
}

MainWindow::MainWindow(int32_t x, int32_t y, int32_t w, int32_t h)
    : Window(nullptr, x, y, w, h, kMainWindow), clientW_(w), clientH_(h), services_(std::make_unique<Services>()) {
    UseRecoveryStore(std::make_unique<RecoveryStore>(defaultRecoveryFolder()));
    hbar_ = new Slider(this, 0, h - kBarSize, w - kBarSize, kBarSize, kHorizontalBarId, true);
    vbar_ = new Slider(this, w - kBarSize, 0, kBarSize, h - kBarSize, kVerticalBarId, false);
    AdoptControl(hbar_);
    AdoptControl(vbar_);
    info_ = std::make_unique<InfoWindows>(*this, *this);
    Layout();
    ShowControls();
    Redraw();
    UpdateTitle();
}

MainWindow::~MainWindow() {
    detachDocument();
    // The store goes last: its end removes this studio's recovery file.
    autosave_.reset();
    recovery_.reset();
}

void MainWindow::UseRecoveryStore(std::unique_ptr<RecoveryStore> store) {
    autosave_.reset();
    recovery_ = std::move(store);
    autosave_ = std::make_unique<Autosave>(*recovery_);
    autosave_->setInterval(settings().GetInt(kAutosaveSetting, std::to_string(kDefaultAutosaveSeconds)));
}

void MainWindow::autosaveStep() {
    if (!doc_) return;
    Autosave::State state;
    state.modified = doc_->canUndo();
    state.gestureInProgress = dragging_ || doc_->busy;
    if (fileNameOf(doc_->fileName).rfind(documentString("newdoc"), 0) != 0) state.projectPath = doc_->fileName;
    autosave_->step(state, [this] { return writeProject(*doc_); });
    if (autosave_->lastError().ok() || toldAutosaveFailed_) return;
    // Once per studio: the user should know, but not every minute.
    toldAutosaveFailed_ = true;
    ShowMessage("%s\n%s", str("e_autosave").c_str(), autosave_->lastError().reason().c_str());
}

int32_t MainWindow::RestoreRecovered(const RecoveredWork& work) {
    if (!work.projectPath.empty()) locateMediaFile(work.projectPath);
    std::unique_ptr<Document> loaded = readProject(work.text);
    if (!loaded) return 0;
    if (!CloseDocument()) return -1;
    if (!work.projectPath.empty()) loaded->setFileName(work.projectPath);
    AttachDocument(std::move(loaded));
    // The history holds the restored state, so the document counts as
    // changed: the save question comes, and Save writes the original path.
    doc_->snapshot();
    setEditMode(*this, true);
    Redraw();
    UpdateTitle();
    // Kept at once under this studio's name, before the old copy goes.
    Status kept = recovery_->write(work.projectPath, work.text);
    if (!kept) ShowMessage("%s\n%s", str("e_autosave").c_str(), kept.reason().c_str());
    return 1;
}

void MainWindow::detachDocument() {
    if (!doc_) return;
    if (info_) info_->close();
    // The document outlives nothing that points back at this window.
    doc_->view = nullptr;
    doc_->infoWindow = nullptr;
    doc_->clipboard = nullptr;
    doc_->audio = nullptr;
    doc_->timeline = nullptr;
    AudioOutput::instance().stop();
    doc_.reset();
}

void MainWindow::InstallMenu(std::unique_ptr<Menu> menu) {
    menu_ = std::move(menu);
    if (!menu_) return;
    SetMenu(menu_.get());
    UpdateCommands();
    // The shortcut shown after the tab works as one too.
    for (QAction* action = nullptr;
         int32_t id : {101, 102, 103, 104, 199, 201, 202, 203, 204, 205, 206, 220, 221, 301, 302, 306, 901}) {
        action = menu_->FindItem(id);
        if (!action) continue;
        QString text = action->text();
        int tab = text.indexOf('\t');
        if (tab < 0) continue;
        QKeySequence key(text.mid(tab + 1));
        if (key.isEmpty()) continue;
        // The keys other programs use for the same command work as well.
        QList<QKeySequence> keys{key};
        if (id == kCmdRedo) keys << QKeySequence("Ctrl+Y") << QKeySequence("Ctrl+Shift+Z");
        if (id == kCmdZoomIn) keys << QKeySequence("Ctrl+=");
        action->setShortcuts(keys);
    }
}

void MainWindow::NewDocument() {
    auto doc = std::make_unique<Document>(0, 0);
    AttachDocument(std::move(doc));
    setEditMode(*this, true);
    Redraw();
    UpdateTitle();
}

void MainWindow::AttachDocument(std::unique_ptr<Document> doc) {
    detachDocument();
    doc_ = std::move(doc);
    if (!doc_) {
        Redraw();
        UpdateTitle();
        return;
    }
    doc_->view = this;
    doc_->clipboard = &services_->clipboard;
    doc_->audio = &services_->sound;
    doc_->timeline = timeline_ ? static_cast<TimelineView*>(timeline_.get()) : &services_->timeline;
    doc_->infoWindow = info_.get();
    clientW_ = doc_->stageWidth + 25;
    clientH_ = doc_->stageHeight + 25;
    ResizeClient(clientW_, clientH_);
    // The screen, or the menu's minimum, may have given another size.
    if (QWidget* area = client()) {
        clientW_ = area->width();
        clientH_ = area->height();
    }
    scrollX_ = scrollY_ = 0;
    Layout();
    Redraw();
    doc_->recomputeFrameCodes();
}

void MainWindow::Layout() {
    if (!doc_) return;
    int32_t vw = clientW_ - kBarSize, vh = clientH_ - kBarSize;
    if (vw <= 0 || vh <= 0) return;
    hbar_->SetRect(0, vh, vw, kBarSize);
    vbar_->SetRect(vw, 0, kBarSize, vh);
    auto place = [](Slider* bar, int32_t content, int32_t visible, int32_t& scroll) {
        if (content < visible) {
            // Smaller than the view: centred, nothing to scroll.
            scroll = (content - visible) / 2;
            bar->SetRange(0, 0);
            bar->SetPosition(0);
            bar->SetProportion(1.0);
            bar->Enable(false);
            return;
        }
        scroll = std::clamp(scroll, 0, content - visible);
        bar->SetRange(0, content - visible);
        bar->SetPosition(scroll);
        bar->SetProportion(double(visible) / double(content));
        bar->Enable(true);
    };
    place(hbar_, int32_t(doc_->stageWidth * zoom_), vw, scrollX_);
    place(vbar_, int32_t(doc_->stageHeight * zoom_), vh, scrollY_);
}

void MainWindow::Redraw() {
    Canvas* back = canvas();
    if (!back) return;
    back->FillRect(0, 0, back->width(), back->height(), kBackground);
    if (doc_) {
        Canvas& stage = stage_.render(*doc_);
        int32_t cw = int32_t(doc_->stageWidth * zoom_), ch = int32_t(doc_->stageHeight * zoom_);
        back->StretchCanvas(-scrollX_, -scrollY_, cw, ch, stage, 0, 0, stage.width(), stage.height());
        if (doc_->editMode) drawSelectionMarks();
    }
    updateStatus();
    back->FillRect(clientW_ - kBarSize, clientH_ - kBarSize, kBarSize, kBarSize, kCornerColour);
    ShowControls();
    Refresh();
    if (timeline_ && timeline_->exists()) timeline_->Redraw();
    // Every change to the document ends in a redraw; what the menu offers
    // follows it.
    UpdateCommands();
    // So do the tool box's greyed buttons.
    refreshToolbox();
}

void MainWindow::drawSelectionMarks() {
    Canvas& back = *canvas();
    auto wx = [this](int32_t x) { return int32_t(x * zoom_) - scrollX_; };
    auto wy = [this](int32_t y) { return int32_t(y * zoom_) - scrollY_; };
    auto handle = [&](int32_t x, int32_t y, uint32_t colour) {
        back.FillRect(x - 3, y - 3, 7, 7, colour);
        back.FrameRect(x - 3, y - 3, 7, 7, 0x000000);
    };
    // Handles only for what can be seen at this frame.
    const int32_t frame = doc_->currentFrame;
    for (size_t i = doc_->objects.size(); i-- > 0;) {
        const MediaObject& o = *doc_->objects[i];
        if (!o.selected || !o.visibleAt(frame)) continue;
        if (o.kind() == kDragPath) {
            const auto& path = static_cast<const DragPath&>(o);
            if (!path.statePictures[kStateNormal] && !path.statePictures[kStateHighlighted]) continue;
        }
        for (int32_t corner = 0; corner < 4; ++corner)
            handle(wx(o.left + (corner & 1 ? o.width : 0)), wy(o.top + (corner & 2 ? o.height : 0)),
                   kObjectHandleColour);
    }
    for (const auto& o : doc_->objects) {
        if (!o->selected || o->kind() != kDragPath || !o->visibleAt(frame)) continue;
        const auto& path = static_cast<const DragPath&>(*o).path;
        const auto& points = path.points();
        if (points.size() > 1) {
            for (size_t k = 1; k < points.size(); ++k) {
                uint32_t colour = points[k].handOver() ? kHandOverSegmentColour : kSegmentColour;
                back.Line(wx(points[k - 1].x), wy(points[k - 1].y), wx(points[k].x), wy(points[k].y), colour);
            }
        }
        for (const PathPoint& p : points) handle(wx(p.x), wy(p.y), kPointHandleColour);
        PathShape::Position at;
        if (PolylineShape::instance().positionAt(path, doc_->currentFrame, &at))
            back.FillRect(wx(at.x) - 2, wy(at.y) - 2, 5, 5, kFramePositionColour);
    }
}

void MainWindow::updateStatus() {
    if (!exists() || !doc_) return;
    std::string line = str("status_frame") + " " + std::to_string(doc_->currentFrame + 1) + " " + str("status_of") +
                       " " + std::to_string(doc_->length);
    line += "    " + str("status_zoom") + " " + std::to_string(std::llround(zoom_ * 100)) + " %";
    line += "    " + str(doc_->editMode ? "status_edit" : "status_play");
    // The mode tools' hints would only repeat the mode.
    for (int32_t i = kEditToolEntry + 1; i < kToolCount; ++i) {
        if (activeTool_ && editorTool(i) == activeTool_) {
            line += "    " + str(kToolHints[i]);
            break;
        }
    }
    SetStatusText(line);
}

bool MainWindow::hasEditableSelection() const {
    if (!doc_ || !doc_->editMode) return false;
    for (const auto& o : doc_->objects)
        if (o->selected && o->visibleAt(doc_->currentFrame)) return true;
    return false;
}

void MainWindow::withEditableSelection(void (*edit)(Document&)) {
    if (!hasEditableSelection()) return;
    std::vector<ObjectId> unseen;
    for (auto& o : doc_->objects) {
        if (o->selected && !o->visibleAt(doc_->currentFrame)) {
            unseen.push_back(o->id);
            o->selected = 0;
        }
    }
    edit(*doc_);
    for (ObjectId id : unseen)
        if (MediaObject* o = doc_->findObject(id)) o->selected = 1;
}

void MainWindow::pasteSelected() {
    std::vector<ObjectId> before;
    for (const auto& o : doc_->objects) before.push_back(o->id);
    pasteCommand(*this);
    bool arrived = false;
    for (auto& o : doc_->objects) {
        bool old = std::find(before.begin(), before.end(), o->id) != before.end();
        if (!old) arrived = true;
    }
    // The user sees what arrived: it alone is selected.
    if (!arrived) return;
    for (auto& o : doc_->objects) o->selected = std::find(before.begin(), before.end(), o->id) == before.end();
}

void MainWindow::UpdateTitle() {
    std::string text = str("title");
    if (doc_) text = doc_->fileName + " - " + text;
    SetTitle(text);
}

void MainWindow::SetTitle(const std::string& text) {
    title_ = text;
    Window::SetTitle(text);
}

void MainWindow::SetZoom(double factor) {
    if (!(factor >= kMinZoom && factor <= kMaxZoom)) return;
    zoom_ = factor >= 1.0 ? std::trunc(factor) : factor;
    Layout();
    ShowControls();
    Redraw();
}

int32_t MainWindow::stageX(int32_t x) const { return int32_t((x + scrollX_) / zoom_); }
int32_t MainWindow::stageY(int32_t y) const { return int32_t((y + scrollY_) / zoom_); }

bool MainWindow::inCorner(int32_t x, int32_t y) const {
    return x >= clientW_ - kBarSize && y >= clientH_ - kBarSize && x < clientW_ && y < clientH_;
}

void MainWindow::OnLeftDown(int32_t x, int32_t y, int32_t modifiers) {
    Window::OnLeftDown(x, y, modifiers);
    dragging_ = true;
    pointerX_ = x;
    pointerY_ = y;
    pointerSeen_ = true;
    if (doc_ && activeTool_) activeTool_->press(*this, stageX(x), stageY(y), modifiers);
}

void MainWindow::OnMouseMove(int32_t x, int32_t y, int32_t modifiers) {
    pointerX_ = x;
    pointerY_ = y;
    pointerSeen_ = true;
    if (inCorner(x, y)) {
        SetCursor(kCursorArrow);
        return;
    }
    if (!doc_ || !activeTool_) return;
    if (dragging_) {
        activeTool_->drag(*this, stageX(x), stageY(y), modifiers);
        return;
    }
    activeTool_->hover(*this, stageX(x), stageY(y));
    // Beyond the stage (and the reach of its edge handles) a press does
    // nothing: the normal arrow says so.
    int32_t reach = 4;
    int32_t left = -scrollX_, top = -scrollY_;
    int32_t right = left + int32_t(doc_->stageWidth * zoom_), bottom = top + int32_t(doc_->stageHeight * zoom_);
    if (x < left - reach || y < top - reach || x >= right + reach || y >= bottom + reach) SetCursor(kCursorArrow);
}

void MainWindow::OnLeftUp(int32_t x, int32_t y, int32_t modifiers) {
    Window::OnLeftUp(x, y, modifiers);
    bool wasDragging = dragging_;
    dragging_ = false;
    // A release without its press (the press opened a dialog, say) is not a gesture.
    if (wasDragging && doc_ && activeTool_) activeTool_->release(*this, stageX(x), stageY(y));
}

void MainWindow::endGesture() {
    if (!dragging_) return;
    dragging_ = false;
    if (doc_ && activeTool_) activeTool_->release(*this, stageX(pointerX_), stageY(pointerY_));
}

void MainWindow::hoverAgain() {
    if (pointerSeen_ && !dragging_ && doc_ && activeTool_)
        activeTool_->hover(*this, stageX(pointerX_), stageY(pointerY_));
}

void MainWindow::OnKey(int32_t code) {
    switch (code) {
    case Key::Backspace:
    case Key::Delete: Command(kCmdDelete); return;
    case Key::ctrl('Z'): Command((RoutedKeyModifiers() & 1) ? kCmdRedo : kCmdUndo); return;
    case Key::ctrl('R'):
    case Key::ctrl('Y'): Command(kCmdRedo); return;
    case Key::ctrl('A'): Command(kCmdSelectAll); return;
    case Key::Escape: Command(kCmdSelectNone); return;
    // Control with a digit or sign arrives as the character: the zoom keys.
    case '=':
    case '+':
        if (RoutedKeyModifiers() & kModifierControl) Command(kCmdZoomIn);
        return;
    case '-':
        if (RoutedKeyModifiers() & kModifierControl) Command(kCmdZoomOut);
        return;
    case '0':
        if (RoutedKeyModifiers() & kModifierControl) Command(kCmdZoomActual);
        return;
    case Key::ctrl('X'): Command(kCmdCut); return;
    case Key::ctrl('C'): Command(kCmdCopy); return;
    case Key::ctrl('V'): Command(kCmdPaste); return;
    case Key::Left: moveSelection(-1, 0); return;
    case Key::Right: moveSelection(1, 0); return;
    case Key::Up: moveSelection(0, -1); return;
    case Key::Down: moveSelection(0, 1); return;
    default: return;  // a stray "q" must not end the program
    }
}

void MainWindow::moveSelection(int32_t dx, int32_t dy) {
    if (!hasEditableSelection()) return;
    // Kept in the history, so the move counts as a change to save and can be undone.
    doc_->snapshot();
    for (size_t i = doc_->objects.size(); i-- > 0;) {
        MediaObject& o = *doc_->objects[i];
        if (o.selected && o.visibleAt(doc_->currentFrame)) o.moveTo(o.left + dx, o.top + dy);
    }
    Redraw();
}

void MainWindow::OnSize(int32_t w, int32_t h) {
    clientW_ = w;
    clientH_ = h;
    Layout();
    ShowControls();
    Redraw();
}

void MainWindow::OnClose() { Command(kCmdClose); }

void MainWindow::OnControl(int32_t id) {
    if (id == kHorizontalBarId)
        scrollX_ = hbar_->position();
    else if (id == kVerticalBarId)
        scrollY_ = vbar_->position();
    else
        return;
    Redraw();
}

void MainWindow::OnWheel(int32_t steps, int32_t x, int32_t y) {
    // Over the stage the wheel scrolls up and down, or sideways when only
    // that is possible.
    if (!ControlAt(x, y)) {
        if (vbar_->IsEnabled() && vbar_->OnWheel(steps)) return;
        if (hbar_->IsEnabled() && hbar_->OnWheel(steps)) return;
        return;
    }
    Window::OnWheel(steps, x, y);
}

void MainWindow::OnWheelModified(int32_t steps, int32_t x, int32_t y, int32_t modifiers) {
    if (ControlAt(x, y) || !doc_) {
        Window::OnWheelModified(steps, x, y, modifiers);
        return;
    }
    if (modifiers & kModifierControl) {
        Command(steps > 0 ? kCmdZoomIn : kCmdZoomOut);
        return;
    }
    // Sideways with Shift, or when only that is possible.
    bool sideways = (modifiers & kModifierShift) || !vbar_->IsEnabled();
    Slider* bar = sideways ? hbar_ : vbar_;
    if (!bar->IsEnabled()) return;
    int32_t& scroll = sideways ? scrollX_ : scrollY_;
    scroll -= steps * kWheelScroll;
    Layout();
    Redraw();
}

void MainWindow::OnDropFile(const std::string& path, int32_t x, int32_t y) {
    if (isDirectory(path)) return;
    Open(path, x, y);
}

int32_t MainWindow::makeCursor(const Image& picture, int32_t hotX, int32_t hotY) {
    return CursorFromImage(picture, hotX, hotY);
}

void MainWindow::showCursor(const std::string& picture) {
    for (const auto& [name, id] : services_->pictureCursors) {
        if (name == picture) {
            SetCursor(id);
            return;
        }
    }
    const Image* image = resources().Image(picture);
    if (!image) return;
    int32_t id = CursorFromImage(*image, 0, 0);
    services_->pictureCursors.emplace_back(picture, id);
    SetCursor(id);
}

int32_t MainWindow::ImportMedia(OpenKind kind, const std::string& path, int32_t dropX, int32_t dropY) {
    if (!doc_) NewDocument();
    // A drop point is in the window; the object is centred on the stage point under it.
    int32_t x = dropX < 0 || dropY < 0 ? -1 : stageX(dropX);
    int32_t y = dropX < 0 || dropY < 0 ? -1 : stageY(dropY);
    bool done = false;
    if (kind == OpenKind::Image)
        done = importImage(*doc_, path, x, y);
    else if (kind == OpenKind::Video)
        done = importVideo(*doc_, path, x, y);
    else if (kind == OpenKind::Sound)
        done = importSound(*doc_, path);
    else
        ShowMessage("%s", withPath(str("e_cant_open"), path).c_str());
    return done ? 1 : 0;
}

int32_t MainWindow::Open(const std::string& given, int32_t dropX, int32_t dropY) {
    // Kept in the title and the recent list, which must not depend on the
    // folder the program was started from.
    std::string path = given;
    std::error_code ec;
    if (!given.empty()) {
        std::filesystem::path full = std::filesystem::absolute(given, ec);
        if (!ec) path = full.lexically_normal().string();
    }
    if (path.empty() || !fileExists(path) || isDirectory(path)) {
        ShowMessage("%s", withPath(str("e_cant_open"), path).c_str());
        return 0;
    }
    // Media named by the file are looked for beside it first.
    locateMediaFile(path);
    OpenKind kind = classifyOpenPath(path);
    switch (kind) {
    case OpenKind::Video:
    case OpenKind::Image: return ImportMedia(kind, path, dropX, dropY);
    case OpenKind::Sound: return ImportMedia(kind, path, -1, -1);
    case OpenKind::Content: return OpenContent(path);
    case OpenKind::Qmb: return OpenSideFormat(path);
    case OpenKind::Project: break;
    }
    if (!CloseDocument()) return 0;
    NewDocument();
    std::string why;
    std::unique_ptr<Document> loaded = loadProjectFile(path, &why);
    if (!loaded) {
        // The empty document stays; say why instead of doing nothing.
        showCantOpen(path, why);
        return 0;
    }
    AttachDocument(std::move(loaded));
    setEditMode(*this, true);
    Redraw();
    UpdateTitle();
    recentFiles().Add(path);
    return 1;
}

int32_t MainWindow::adoptConverted(std::unique_ptr<Document> loaded, const std::string& path) {
    if (!CloseDocument()) return 0;
    loaded->setFileName(std::filesystem::path(path).replace_extension(".tvl").string());
    AttachDocument(std::move(loaded));
    setEditMode(*this, true);
    Redraw();
    UpdateTitle();
    return 1;
}

int32_t MainWindow::OpenContent(const std::string& path) {
    // Read into a document of its own first, so a damaged file leaves the
    // open document as it was.
    auto loaded = std::make_unique<Document>(0, 0);
    ContentResult result = loadContentFile(path, *loaded);
    if (!result) {
        showCantOpen(path, result.reason);
        return 0;
    }
    return adoptConverted(std::move(loaded), path);
}

int32_t MainWindow::OpenSideFormat(const std::string& path) {
    // Imported into a document of its own, as a content file is.
    auto loaded = std::make_unique<Document>(0, 0);
    Status result = importSideFormat(path, *loaded);
    if (!result) {
        showCantOpen(path, result.reason());
        return 0;
    }
    return adoptConverted(std::move(loaded), path);
}

int32_t MainWindow::Save() {
    if (!doc_) return 0;
    if (fileNameOf(doc_->fileName).rfind(documentString("newdoc"), 0) == 0) {
        return SaveAs();
    }
    if (!saveProjectFile(*doc_, doc_->fileName)) return 0;
    doc_->clearHistory();
    autosave_->forget();
    recentFiles().Add(doc_->fileName);
    return 1;
}

int32_t MainWindow::SaveAs() {
    if (!doc_) return 0;
    std::optional<std::string> chosen =
        prompts().saveFile(filterList({"TAVLIN Project file (*.tvl)", "*.tvl"}), doc_->fileName);
    if (!chosen || chosen->empty()) return -1;
    std::string path = withProjectExtension(*chosen);
    if (fileExists(path) && AskChoice(str("overwrite_file?"), {str("b_overwrite"), str("b_cancel")}) != 0)
        return -1;
    if (!saveProjectFile(*doc_, path)) return 0;
    doc_->setFileName(path);
    UpdateTitle();
    doc_->clearHistory();
    autosave_->forget();
    recentFiles().Add(path);
    return 1;
}

int32_t MainWindow::CloseDocument() {
    if (!doc_) return 1;
    if (doc_->canUndo()) {
        int answer = AskChoice(str("save_doc?"), {str("b_save"), str("b_dont_save"), str("b_cancel")});
        if (answer == 0) {
            int32_t saved = Save();
            if (saved != 1) {
                // Keep the document, and say why nothing happened.
                if (saved == 0) showString("e_save_file");
                return 0;
            }
        } else if (answer != 1) {
            return 0;
        }
    }
    detachDocument();
    // Saved, or given up by the user: nothing is left to recover.
    autosave_->forget();
    return 1;
}

void MainWindow::Idle() {
    if (doc_ && !doc_->editMode) doc_->timerStep();
    if (toolbox_ && toolbox_->exists()) toolbox_->Idle();
    autosaveStep();
}

ToolboxWindow* MainWindow::ShowToolbox() {
    if (!exists()) return nullptr;
    bool fresh = !toolbox_ || !toolbox_->exists();
    if (fresh) {
        toolbox_ = ToolboxWindow::Create(this, *this, 0, 0);
        if (!toolbox_) return nullptr;
    }
    if (fresh) placeToolbox();
    toolbox_->Show(true);
    // The frame's real width is known once the window is up, and the
    // window manager's frames a moment later.
    if (fresh) {
        placeToolbox();
        QPointer<QWidget> frame(widget());
        QTimer::singleShot(150, widget(), [frame] {
            if (auto* main = dynamic_cast<MainWindow*>(FromWidget(frame.data()))) main->placeToolbox();
        });
    }
    toolbox_->Redraw();
    return toolbox_.get();
}

TimelineWindow* MainWindow::ShowTimeline() {
    if (!exists()) return nullptr;
    bool fresh = !timeline_ || !timeline_->exists();
    if (fresh) {
        timeline_ = std::make_unique<TimelineWindow>(this, *this, info_.get(), 0, 0, 640, 300);
        if (doc_) doc_->timeline = timeline_.get();
        placeTimeline();
    }
    timeline_->Show(true);
    // Placed again once the window manager has framed both windows and the
    // tool box has pushed this one aside, so that it never covers the status bar.
    if (fresh) {
        QPointer<QWidget> frame(widget());
        QTimer::singleShot(200, widget(), [frame] {
            if (auto* main = dynamic_cast<MainWindow*>(FromWidget(frame.data()))) main->placeTimeline();
        });
    }
    timeline_->Redraw();
    return timeline_.get();
}

void MainWindow::placeTimeline() {
    if (!timeline_ || !timeline_->exists()) return;
    int32_t mx = 0, my = 0, mh = 0;
    GetRect(&mx, &my, nullptr, &mh);
    timeline_->Move(mx, my + mh);
}

void MainWindow::openInfoWindow(MediaObject& object) {
    if (info_) info_->showObject(object);
    if (timeline_ && timeline_->exists()) timeline_->Redraw();
}

void MainWindow::refreshInfoWindow() {
    if (info_) info_->refresh();
}

void MainWindow::closeInfoWindow() {
    if (info_) info_->hide();
}

void MainWindow::refreshTimeline() {
    if (timeline_ && timeline_->exists()) timeline_->Redraw();
}

void MainWindow::placeToolbox() {
    if (!toolbox_ || !toolbox_->exists()) return;
    int32_t mx = 0, my = 0, tw = 0;
    GetRect(&mx, &my, nullptr, nullptr);
    toolbox_->GetRect(nullptr, nullptr, &tw, nullptr);
    // No room left of the window on the screen: the window moves over,
    // rather than the tool box covering its menu.
    QScreen* screen = widget() ? widget()->screen() : nullptr;
    int32_t left = screen ? screen->availableGeometry().left() : 0;
    if (mx - tw < left) {
        Move(left + tw, my);
        GetRect(&mx, &my, nullptr, nullptr);
    }
    toolbox_->Move(mx - tw, my);
}

void MainWindow::refreshToolbox() {
    if (toolbox_ && toolbox_->exists()) toolbox_->Redraw();
}

void MainWindow::openFromDialog() {
    std::string filter = filterList({"TAVLIN files (*.tvl, tavlin.txt)", "*.tvl;tavlin.txt",
                                     "TAVLIN Content (tavlin.txt)", "tavlin.txt", "QMB files", "*.qmb"});
    filter = joinFilters(joinFilters(joinFilters(filter, videoFilter()), imageFilter()), audioFilter());
    std::optional<std::string> path = prompts().openFile(filter, doc_ ? doc_->fileName : std::string());
    if (path && !path->empty()) Open(*path, -1, -1);
}

void MainWindow::showDimensionDialog() {
    if (!doc_) return;
    DimensionDialog dialog(this, *doc_, settings());
    if (dialog.DoModal() == 1) {
        Layout();
        ShowControls();
        Redraw();
    }
    dialog.Destroy();
}

void MainWindow::showAbout() {
    AboutDialog dialog(this);
    dialog.DoModal();
    dialog.Destroy();
}

void MainWindow::openHelp() {
    std::string page = joinPath(joinPath(executableDir(), "doc"), "index.html");
    if (!fileExists(page)) {
        ShowMessage("%s", withPath(str("e_cant_open"), page).c_str());
        return;
    }
    // Without a browser nothing would show: say so.
    if (!OpenWithShell("file://" + page)) showString("e_no_browser");
}

// Every menu command: what it does and when it can act. A command without a
// handler belongs to a window that is not there yet; it stays greyed.
const std::vector<MainWindow::CommandEntry>& MainWindow::Commands() {
    using W = MainWindow;
    auto always = [](const W&) { return true; };
    auto withDocument = [](const W& w) { return w.doc_ != nullptr; };
    auto withSelection = [](const W& w) { return w.hasEditableSelection(); };
    static const std::vector<CommandEntry> table = {
        {kCmdNew, always,
         [](W& w) {
             if (w.CloseDocument()) w.NewDocument();
         }},
        {kCmdOpen, always, [](W& w) { w.openFromDialog(); }},
        {kCmdSave, withDocument,
         [](W& w) {
             if (w.Save() == 0) showString("e_save_file");
         }},
        {kCmdSaveAs, withDocument,
         [](W& w) {
             if (w.SaveAs() == 0) showString("e_save_file");
         }},
        {kCmdPublish, withDocument, [](W& w) { runPublishingCommand(w, kCmdPublish); }},
        {kCmdPublishSettings, withDocument, [](W& w) { runPublishingCommand(w, kCmdPublishSettings); }},
        {kCmdOpenWebFolder, [](const W&) { return isDirectory(settings().Get("last_web_dir")); },
         [](W& w) { w.openWebFolder(); }},
        {kCmdRecent, always, [](W& w) { showRecentFilesDialog(w, recentFiles()); }},
        {kCmdAlbum, always, [](W& w) { runPublishingCommand(w, kCmdAlbum); }},
        {kCmdImportVideo, withDocument, [](W& w) { videoCommand(w); }},
        {kCmdImportImage, withDocument, [](W& w) { imageCommand(w); }},
        {kCmdAddPath, withDocument, [](W& w) { addDefaultPath(w); }},
        {kCmdImportSound, withDocument, [](W& w) { soundCommand(w); }},
        {kCmdClose, always,
         [](W& w) {
             if (w.CloseDocument()) w.Destroy();
         }},
        {kCmdUndo, [](const W& w) { return w.doc_ && w.doc_->canUndo(); }, [](W& w) { w.doc_->undo(); }},
        {kCmdRedo, [](const W& w) { return w.doc_ && w.doc_->canRedo(); }, [](W& w) { w.doc_->redo(); }},
        {kCmdCut, withSelection, [](W& w) { w.withEditableSelection([](Document& d) { d.cutSelected(); }); }},
        {kCmdCopy, withSelection, [](W& w) { w.withEditableSelection([](Document& d) { d.copySelected(); }); }},
        {kCmdPaste, [](const W& w) { return w.doc_ && clipboardHasPaste(); }, [](W& w) { w.pasteSelected(); }},
        {kCmdDelete, withSelection, [](W& w) { w.withEditableSelection([](Document& d) { d.removeSelected(); }); }},
        {kCmdSelectAll,
         [](const W& w) {
             if (!w.doc_ || !w.doc_->editMode) return false;
             for (const auto& o : w.doc_->objects)
                 if (o->visibleAt(w.doc_->currentFrame)) return true;
             return false;
         },
         [](W& w) {
             // What can be seen at this frame, and only that.
             for (auto& o : w.doc_->objects) o->selected = o->visibleAt(w.doc_->currentFrame);
         }},
        {kCmdSelectNone, [](const W& w) { return w.doc_ && w.doc_->selectedCount() > 0; },
         [](W& w) { w.doc_->selectAll(false); }},
        {kCmdDimension, withDocument, [](W& w) { w.showDimensionDialog(); }},
        {kCmdSkipInOut, [](const W& w) { return w.doc_ && w.doc_->length > 0; },
         [](W& w) { runSkipWindow(&w, w.doc_.get(), false); }},
        {kCmdFrameDiff, withDocument, [](W& w) { setCurrentFrameCode(w, kFrameCodeCommandCodes[0]); }},
        {kCmdFrameDiff + 1, withDocument, [](W& w) { setCurrentFrameCode(w, kFrameCodeCommandCodes[1]); }},
        {kCmdFrameDiff + 2, withDocument, [](W& w) { setCurrentFrameCode(w, kFrameCodeCommandCodes[2]); }},
        {kCmdFrameDiff + 3, withDocument, [](W& w) { setCurrentFrameCode(w, kFrameCodeCommandCodes[3]); }},
        {kCmdFrameUnfix, withDocument, [](W& w) { setCurrentFrameCode(w, kFrameCodeCommandCodes[4]); }},
        {kCmdSkipAll, [](const W& w) { return w.doc_ && w.doc_->length > 0; },
         [](W& w) { runSkipWindow(&w, w.doc_.get(), true); }},
        {kCmdZoomIn, [](const W& w) { return w.zoom_ * 2 <= kMaxZoom; }, [](W& w) { w.SetZoom(w.zoom_ * 2); }},
        {kCmdZoomOut, [](const W& w) { return w.zoom_ * 0.5 >= kMinZoom; }, [](W& w) { w.SetZoom(w.zoom_ * 0.5); }},
        {kCmdZoomActual, [](const W& w) { return w.zoom_ != 1.0; }, [](W& w) { w.SetZoom(1.0); }},
        {kCmdTimeline, always, [](W& w) { w.ShowTimeline(); }},
        {kCmdInfo, withSelection,
         [](W& w) { w.openInfoWindow(*w.doc_->objects[size_t(w.doc_->firstSelectedIndex())]); }},
        {kCmdToolbox, always, [](W& w) { w.ShowToolbox(); }},
        {kCmdHelp, always, [](W& w) { w.openHelp(); }},
        {kCmdAbout, always, [](W& w) { w.showAbout(); }},
    };
    return table;
}

const MainWindow::CommandEntry* MainWindow::FindCommand(int32_t id) {
    for (const CommandEntry& entry : Commands())
        if (entry.id == id) return &entry;
    return nullptr;
}

bool MainWindow::Available(int32_t id) const {
    const CommandEntry* entry = FindCommand(id);
    return entry && entry->run && entry->enabled && entry->enabled(*this);
}

bool MainWindow::CanRun(int32_t id) const {
    // While a dialog or question runs, whoever opened it is still on the
    // stack holding the document: no command may replace or close it then
    // (the close box, keys forwarded by the tool box, a menu shortcut).
    if (ModalWindow::Innermost()) return false;
    return Available(id);
}

void MainWindow::UpdateCommands() {
    if (!menu_ || !exists()) return;
    // The menu bar is disabled as a whole while a modal window runs; the
    // items keep the state they have without it.
    for (const CommandEntry& entry : Commands()) menu_->Enable(entry.id, Available(entry.id));
}

void MainWindow::Command(int32_t id) {
    // A command typed while the button is still down (an undo, say) may
    // replace the objects the tool holds; the tool would otherwise go on with
    // whatever object happens to come back at the same address.
    endGesture();
    if (!CanRun(id)) return;
    FindCommand(id)->run(*this);
    if (!exists()) return;
    // An undo may bring back another stage size.
    Layout();
    Redraw();
    hoverAgain();
}

void MainWindow::openWebFolder() {
    std::string folder = settings().Get("last_web_dir");
    if (folder.empty()) return;
    if (!isDirectory(folder) || !OpenWithShell(folder))
        ShowMessage("%s", withPath(str("e_cant_open"), folder).c_str());
}

}  // namespace tavlin
