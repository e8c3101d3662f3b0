#pragma once
// The program's window: one Qt widget whose client area shows a back buffer
// that the program draws itself, a list of controls (native Qt widgets or
// controls drawn into the back buffer) and a table of overridable event
// operations fed by the routing in window.cpp.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "canvas/canvas.h"

class QWidget;
class QMenuBar;

namespace tavlin {

class Control;
// The loaded menu lives in ui/menu.h. SetMenu calls
//     QMenuBar* Menu::build(QWidget* parent)
// which makes a menu bar (parented to `parent`) whose command actions carry
// their command id as an int in QAction::data(); the window turns a triggered
// action with such data into OnMenu(id). The menu keeps its own pointers to the
// actions for enabling and checking them.
class Menu;

// Kinds of window (see the constructor).
enum WindowKind : int32_t {
    kMainWindow = 0,     // no owner: main window; with owner: framed child inside it
    kToolWindow = 1,     // small caption, fixed border; any other unknown kind acts like it
    kPopupWindow = 2,    // no frame (the splash)
    kPopupWindow2 = 3,   // same as 2
    kSizingToolWindow = 4,  // owned tool window with a sizing border
};

class WindowWidget;
class ClientWidget;

// The modifiers of the key being routed (bit 0 Shift, bit 1 Control): key
// codes carry Control but not Shift.
int32_t RoutedKeyModifiers();

class Window {
public:
    // A hidden window with a client area of w x h. With an owner, tool windows
    // (kinds 1, 4, ...) are positioned in the owner's client coordinates; the
    // others in screen coordinates. Windows without owner join the top-level
    // list; when that list empties the main loop ends.
    Window(Window* owner, int32_t x, int32_t y, int32_t w, int32_t h, int32_t kind);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Overridable operations, in table order.
    virtual void DrawCanvasStretched(int32_t x, int32_t y, int32_t w, int32_t h, const Canvas& canvas, int32_t sx,
                                     int32_t sy, int32_t sw, int32_t sh);
    virtual void DrawCanvas(int32_t x, int32_t y, const Canvas& canvas);
    // Fills the back buffer with 0x808080.
    virtual void Clear();
    // Message box titled "Message" owned by this window; text cut at 511 characters.
    virtual void Message(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual void RefreshRect(int32_t x, int32_t y, int32_t w, int32_t h);
    virtual void Refresh();
    virtual void SetTitle(const std::string& text);
    // Default: 113 ("q") ends the main loop, but only in a window without an
    // owner; owned windows (and every modal window) ignore it, so that a key
    // typed into a dialog never ends the program without its save question.
    virtual void OnKey(int32_t code);
    // Modifiers: bit 0 Shift, bit 1 Control.
    virtual void OnLeftDown(int32_t x, int32_t y, int32_t modifiers);
    virtual void OnLeftUp(int32_t x, int32_t y, int32_t modifiers);
    virtual void OnMouseMove(int32_t x, int32_t y, int32_t modifiers);
    virtual void OnRightDown(int32_t x, int32_t y, int32_t modifiers);
    virtual void OnRightUp(int32_t x, int32_t y, int32_t modifiers);
    virtual void OnSize(int32_t w, int32_t h);
    // Window: Destroy(). ModalWindow: enable the owner, destroy, EndModal(-1).
    virtual void OnClose();
    virtual void OnControl(int32_t id);
    virtual void OnMenu(int32_t id);
    // (x, y) is the drop point in client coordinates, (-1, -1) when unknown.
    virtual void OnDropFile(const std::string& path, int32_t x, int32_t y);
    // Offers the steps to the control under (x, y), then to every visible,
    // enabled control in order, until one takes them.
    virtual void OnWheel(int32_t steps, int32_t x, int32_t y);
    // The wheel with the modifiers held (bit 0 Shift, bit 1 Control); by
    // default the modifiers are ignored and OnWheel takes the steps.
    virtual void OnWheelModified(int32_t steps, int32_t x, int32_t y, int32_t modifiers);

    // Showing also brings the window to the front.
    void Show(bool flag);
    void Move(int32_t x, int32_t y);
    // Sizes the window so that its client area is w x h.
    void ResizeClient(int32_t w, int32_t h);
    void MoveResize(int32_t x, int32_t y, int32_t w, int32_t h);
    // Screen rectangle of the whole window, frame included.
    void GetRect(int32_t* x, int32_t* y, int32_t* w, int32_t* h) const;
    // A disabled window takes no input in its client area or menu and refuses
    // close requests; the windows it owns stay usable.
    void Enable(bool flag);
    bool IsEnabled() const { return enabled_; }
    // Centred on the available area of the screen that holds the owner (or the
    // first top-level window), so that a dialog comes up where the user looks.
    void CentreOnScreen();
    // Moves the window so that all of it, its title bar above all, lies in
    // the screen's available area; a sizable window that is larger shrinks.
    void KeepOnScreen();
    // A line of text in a status bar under the client area; the bar appears
    // with the first text and takes no part of the client size.
    void SetStatusText(const std::string& text);
    std::string statusText() const;
    // Cursor by id (ui/cursors.h); an unknown id hides the cursor.
    void SetCursor(int32_t id);
    // Null removes the menu bar. The menu stays owned by the caller.
    void SetMenu(Menu* menu);
    Control* ControlById(int32_t id) const;
    // First visible, enabled control containing the point.
    Control* ControlAt(int32_t x, int32_t y) const;
    void SetFocusControl(Control* control);
    // Draws every visible control into the back buffer.
    void ShowControls();
    // Destroys the platform window (the object stays); harmless when repeated.
    void Destroy();

    // Back-buffer pixels per unit for a device pixel ratio (1 up to 4).
    static int32_t ScaleForRatio(double ratio);
    // The back buffer (client size, or larger after the window shrank), with
    // as many pixels per unit as the screen has (Canvas::scale()).
    Canvas* canvas() { return canvas_.get(); }
    const Canvas* canvas() const { return canvas_.get(); }
    Window* owner() const { return owner_; }
    int32_t kind() const { return kind_; }
    // False once the platform window has been destroyed.
    bool exists() const;
    // The top-level widget (frame) and the widget of the client area; null
    // once destroyed.
    QWidget* widget() const;
    QWidget* client() const;
    QMenuBar* menuBar() const { return menuBar_; }

    // Controls in creation order (borrowed).
    const std::vector<Control*>& controls() const { return controls_; }
    Control* hoveredControl() const { return hovered_; }
    Control* pressedControl() const { return pressed_; }
    Control* focusedControl() const { return focused_; }
    // The window deletes an adopted control when it is destroyed (dialogs and
    // other owners may instead delete their controls themselves).
    void AdoptControl(Control* control);

    // Tab: moves the focus to the next visible, enabled control after the
    // focused one, wrapping; nothing changes when no other control qualifies.
    void CycleFocus();

    // The Window behind a widget made by this layer (frame or client), or null.
    static Window* FromWidget(const QWidget* widget);

    // Routing entry points used by the widgets (and by tests that want to
    // inject events without a platform round trip).
    void RouteMouseMove(int32_t x, int32_t y, int32_t modifiers);
    // The pointer left the client area (ignored while a control is pressed).
    void RouteLeave();
    void RouteButton(bool left, bool down, int32_t x, int32_t y, int32_t modifiers);
    void RouteKey(int32_t code);
    void RouteResize(int32_t w, int32_t h);
    void RouteDrop(const std::vector<std::string>& paths, int32_t x, int32_t y);
    void RouteWheel(int32_t steps, int32_t x, int32_t y, int32_t modifiers = 0);
    // A native control's notification; codes 0, 1 and 0x400 reach OnControl.
    void RouteNotification(Control* control, int32_t code);

private:
    friend class Control;
    friend class WindowWidget;
    void addControl(Control* control);
    void removeControl(Control* control);
    void widgetGone();
    void detachPlatform();
    bool hoverTrack(int32_t x, int32_t y);
    bool controlPress(int32_t x, int32_t y);
    bool controlRelease(int32_t x, int32_t y);

    Window* owner_ = nullptr;
    int32_t kind_ = 0;
    bool topLevel_ = false;
    WindowWidget* frame_ = nullptr;
    ClientWidget* clientWidget_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    std::unique_ptr<Canvas> canvas_;
    std::vector<Control*> controls_;
    std::vector<std::unique_ptr<Control>> adopted_;
    Control* hovered_ = nullptr;
    Control* pressed_ = nullptr;
    Control* focused_ = nullptr;
    bool enabled_ = true;
};

// A window with a modal loop: RunModal disables the owner, shows the window and
// pumps events until EndModal.
class ModalWindow : public Window {
public:
    using Window::Window;
    ~ModalWindow() override;
    // Enables the owner again (when this window disabled it), destroys the
    // window and ends the loop with -1.
    void OnClose() override;
    // Keys never end the program from here. Escape closes the window (as
    // the close box does: -1); Enter presses the default button.
    void OnKey(int32_t code) override;
    // The button Enter presses: the focused push button of the bottom row,
    // else that row's confirming button (left of the cancelling one in the
    // corner, or the only one). Null when there is none or it is greyed.
    virtual Control* DefaultButton() const;
    // An owner that is already disabled (by an outer modal window) stays
    // disabled afterwards: only what this loop disabled is enabled again.
    int32_t RunModal();
    void EndModal(int32_t result);
    int32_t result() const { return result_; }
    bool running() const { return running_; }

    // The modal window whose loop runs innermost, or null when none runs.
    // Questions raised meanwhile belong to it.
    static ModalWindow* Innermost();
    // How many modal loops run, one inside the other.
    static size_t Running();

private:
    void enableOwnerAgain();
    int32_t result_ = 0;
    bool running_ = false;
    bool disabledOwner_ = false;
};

}  // namespace tavlin
