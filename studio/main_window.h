#pragma once
// The studio's main window: the stage of the open document with scroll bars
// and zoom, the menu commands and the document's life cycle (new, open, save,
// save as, the save question before it goes away).

#include <cstdint>
#include <memory>
#include <string>

#include "editor/editor_tools.h"
#include "render/stage_renderer.h"
#include "document/interfaces.h"
#include "ui/window.h"

namespace tavlin {

class Autosave;
class Document;
class Menu;
class RecoveryStore;
struct RecoveredWork;
class InfoWindows;
class Slider;
class TimelineWindow;
class ToolboxWindow;

// What a path handed to MainWindow::Open is, judged by its name.
enum class OpenKind : int32_t { Project, Content, Qmb, Video, Image, Sound };
// "tavlin.txt" is always published content, never a frame list to import;
// other names go to the first media list that claims them, else by their last
// letter ("b" a QMB file, "t" content), else they are projects.
OpenKind classifyOpenPath(const std::string& path);

// The save dialog's answer made into the name to save under: a name whose
// extension is not ".tvl" (in any case) gets ".tvl" appended.
std::string withProjectExtension(const std::string& chosen);

// Menu command ids.
enum MainCommand : int32_t {
    kCmdNew = 101,
    kCmdOpen = 102,
    kCmdSave = 103,
    kCmdSaveAs = 104,
    kCmdPublish = 105,
    kCmdPublishSettings = 106,
    kCmdOpenWebFolder = 107,
    kCmdRecent = 108,
    kCmdAlbum = 109,
    kCmdImportVideo = 151,
    kCmdImportImage = 152,
    kCmdAddPath = 153,
    kCmdImportSound = 154,
    kCmdClose = 199,
    kCmdUndo = 201,
    kCmdRedo = 202,
    kCmdCut = 203,
    kCmdCopy = 204,
    kCmdPaste = 205,
    kCmdDelete = 206,
    kCmdDimension = 207,
    kCmdSkipInOut = 208,
    kCmdFrameDiff = 209,  // 209..213: the frame-code commands in menu order
    kCmdFrameUnfix = 213,
    kCmdSkipAll = 214,
    kCmdSelectAll = 220,
    kCmdSelectNone = 221,
    kCmdZoomIn = 301,
    kCmdZoomOut = 302,
    kCmdTimeline = 303,
    kCmdInfo = 304,
    kCmdToolbox = 305,
    kCmdZoomActual = 306,
    kCmdHelp = 901,
    kCmdAbout = 999,
};

// Zoom factors outside these bounds are refused (the stage would overflow or
// vanish).
constexpr double kMinZoom = 1.0 / 32;
constexpr double kMaxZoom = 32.0;

class MainWindow : public Window, public EditorView, public DocumentView {
public:
    // A main window with a client area of w x h at (x, y) on the screen and no
    // document yet.
    MainWindow(int32_t x, int32_t y, int32_t w, int32_t h);
    ~MainWindow() override;

    // Opens a project, or hands a content, QMB or media file to its importer;
    // (dropX, dropY) is where a dropped file landed, (-1, -1) for none. 1 done, 0 not.
    int32_t Open(const std::string& path, int32_t dropX, int32_t dropY);
    // 1 saved, 0 failed (nothing shown; the caller reports), -1 when a new
    // document's save dialog was cancelled.
    int32_t Save();
    // 1 saved, 0 failed, -1 cancelled.
    int32_t SaveAs();
    // 1 when the document may go (and has gone), 0 when the user kept it or
    // saving it failed.
    int32_t CloseDocument();
    // Runs a menu command when it can act now (greyed commands do nothing).
    void Command(int32_t id);
    // False for every command while a modal window runs.
    bool CanRun(int32_t id) const;
    // Whether the command could act were no modal window running.
    bool Available(int32_t id) const;
    // Greys the menu items of the commands that cannot act now.
    void UpdateCommands();
    void SetZoom(double factor);
    void Layout();
    void Redraw();
    void UpdateTitle();

    // A new empty document in edit mode replaces whatever is open (no question).
    void NewDocument();
    // Takes the document, points it at this window and sizes the window to it.
    void AttachDocument(std::unique_ptr<Document> doc);
    // The menu bar read from "menu.txt" (may be null: the window runs without).
    void InstallMenu(std::unique_ptr<Menu> menu);
    Menu* menu() const { return menu_.get(); }
    // The idle step of the main loop: play mode's timers and the tool box's hint.
    void Idle();
    // Shows the tool box, making it on first use directly left of this window
    // (tops aligned). Null when it cannot be made (a picture is missing).
    ToolboxWindow* ShowToolbox();
    ToolboxWindow* toolbox() const { return toolbox_.get(); }
    // Shows the timeline window, making it on first use below this window.
    TimelineWindow* ShowTimeline();
    TimelineWindow* timeline() const { return timeline_.get(); }
    InfoWindows* infoWindows() const { return info_.get(); }
    // Puts the tool box directly left of this window, tops aligned; the
    // window moves right when the screen has no room for the box.
    void placeToolbox();
    // Puts the timeline directly below this window, left edges aligned.
    void placeTimeline();
    // Replaces the document (after asking to save it) with one converted from
    // the file at `path`, named after it with ".tvl", in edit mode.
    int32_t adoptConverted(std::unique_ptr<Document> loaded, const std::string& path);
    // Media imports come with their own commands; until then they refuse.
    virtual int32_t ImportMedia(OpenKind kind, const std::string& path, int32_t dropX, int32_t dropY);
    // A published content file rebuilt as a new document named after it with ".tvl".
    int32_t OpenContent(const std::string& path);
    // An old drag-video project (".qmb" with its video and ".qme" events).
    int32_t OpenSideFormat(const std::string& path);

    // Recovery copies of unsaved work, written from the idle step.
    RecoveryStore& recovery() const { return *recovery_; }
    Autosave& autosave() const { return *autosave_; }
    // Replaces the store (tests pass one with their own folder and clock).
    void UseRecoveryStore(std::unique_ptr<RecoveryStore> store);
    // Opens recovered work as a modified document bearing its original path
    // and keeps it as this studio's own recovery copy at once. 1 done, 0 the
    // text could not be read, -1 the open document was kept (the user
    // cancelled its save question).
    int32_t RestoreRecovered(const RecoveredWork& work);

    // State the tests look at.
    Document* doc() const { return doc_.get(); }
    int32_t scrollX() const { return scrollX_; }
    int32_t scrollY() const { return scrollY_; }
    double zoomFactor() const { return zoom_; }
    int32_t clientWidth() const { return clientW_; }
    int32_t clientHeight() const { return clientH_; }
    Slider* horizontalBar() const { return hbar_; }
    Slider* verticalBar() const { return vbar_; }
    std::string title() const { return title_; }

    // Window operations.
    void OnKey(int32_t code) override;
    void OnLeftDown(int32_t x, int32_t y, int32_t modifiers) override;
    void OnLeftUp(int32_t x, int32_t y, int32_t modifiers) override;
    void OnMouseMove(int32_t x, int32_t y, int32_t modifiers) override;
    void OnSize(int32_t w, int32_t h) override;
    void OnClose() override;
    void OnControl(int32_t id) override;
    void OnMenu(int32_t id) override { Command(id); }
    void OnDropFile(const std::string& path, int32_t x, int32_t y) override;
    void OnWheel(int32_t steps, int32_t x, int32_t y) override;
    // Shift scrolls sideways, Control zooms.
    void OnWheelModified(int32_t steps, int32_t x, int32_t y, int32_t modifiers) override;
    void SetTitle(const std::string& text) override;

    // EditorView.
    Document* document() override { return doc_.get(); }
    double zoom() const override { return zoom_; }
    void setCursor(int32_t id) override { SetCursor(id); }
    int32_t makeCursor(const Image& picture, int32_t hotX, int32_t hotY) override;
    Tool* activeTool() const override { return activeTool_; }
    void setActiveTool(Tool* tool) override { activeTool_ = tool; }
    // Also DocumentView's.
    void redraw() override { Redraw(); }
    void openInfoWindow(MediaObject& object) override;
    void refreshInfoWindow() override;
    void closeInfoWindow() override;
    void refreshTimeline() override;
    void refreshToolbox() override;

    // DocumentView.
    void setTitle(const std::string&) override { UpdateTitle(); }
    // Shows a cursor picture from the resource folder over the stage.
    void showCursor(const std::string& picture);

    // Stage pixel under a client pixel.
    int32_t stageX(int32_t x) const;
    int32_t stageY(int32_t y) const;

private:
    struct CommandEntry {
        int32_t id;
        bool (*enabled)(const MainWindow&);  // null: not available in this version
        void (*run)(MainWindow&);
    };
    static const std::vector<CommandEntry>& Commands();
    static const CommandEntry* FindCommand(int32_t id);

    void openWebFolder();
    void drawSelectionMarks();
    // Frame, zoom, mode and the tool's hint in the status bar.
    void updateStatus();
    // Editing commands act on what the user sees: selected objects visible at
    // the current frame, in edit mode. Runs `edit` with only those selected;
    // the others keep their selection.
    bool hasEditableSelection() const;
    void withEditableSelection(void (*edit)(Document&));
    // Selects what a paste brought.
    void pasteSelected();
    void moveSelection(int32_t dx, int32_t dy);
    void detachDocument();
    void openFromDialog();
    void showDimensionDialog();
    void showAbout();
    void openHelp();
    bool inCorner(int32_t x, int32_t y) const;
    // Releases a mouse gesture in progress where the pointer last was.
    void endGesture();
    // The tool looks again at what lies under the resting pointer, after the
    // objects were replaced.
    void hoverAgain();
    void autosaveStep();

    std::unique_ptr<Document> doc_;
    StageRenderer stage_;
    std::unique_ptr<Menu> menu_;
    std::unique_ptr<ToolboxWindow> toolbox_;
    std::unique_ptr<TimelineWindow> timeline_;
    std::unique_ptr<InfoWindows> info_;
    Tool* activeTool_ = nullptr;
    int32_t scrollX_ = 0;
    int32_t scrollY_ = 0;
    double zoom_ = 1.0;
    Slider* hbar_ = nullptr;  // owned: deleted with the window
    Slider* vbar_ = nullptr;
    int32_t clientW_ = 0;
    int32_t clientH_ = 0;
    bool dragging_ = false;
    int32_t pointerX_ = 0;  // client position of the pointer's last press or move
    int32_t pointerY_ = 0;
    bool pointerSeen_ = false;
    std::string title_;
    struct Services;
    std::unique_ptr<Services> services_;
    std::unique_ptr<RecoveryStore> recovery_;
    std::unique_ptr<Autosave> autosave_;
    bool toldAutosaveFailed_ = false;
};


}  // namespace tavlin
