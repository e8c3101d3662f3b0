#pragma once
// Controls inside a Window: native ones (Qt widgets placed at the control's
// rectangle in the client area) and custom ones drawn into the parent's back
// buffer (image button, slider). Coordinates handed to the On... operations
// are relative to the control's top-left corner.

#include <cstdint>
#include <memory>
#include <string>

#include "media/image.h"

class QWidget;

namespace tavlin {

class Canvas;
class Window;

// Cursor ids a control asks for (ui/cursors.h).
constexpr int32_t kArrowCursor = 8;
constexpr int32_t kHorizontalSliderCursor = 12;
constexpr int32_t kVerticalSliderCursor = 13;

class Control {
public:
    // Registers itself in the parent's control list (when a parent is given).
    Control(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Overridable operations, in table order.
    virtual void Move(int32_t x, int32_t y);
    virtual void Resize(int32_t w, int32_t h);
    virtual void SetRect(int32_t x, int32_t y, int32_t w, int32_t h);
    virtual void Enable(bool flag);
    virtual bool IsEnabled() const;
    virtual void Show(bool flag);
    virtual bool IsVisible() const;
    // Paints into the parent's back buffer at the control's rectangle.
    virtual void Draw();
    virtual void Paint(Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h) = 0;
    // Draw, then refresh the parent over the control's rectangle.
    virtual void Redraw();
    virtual QWidget* NativeHandle() const;
    // The bool results say whether the control handled the event.
    virtual bool OnKey(int32_t code) = 0;
    virtual bool OnMouseMove(int32_t x, int32_t y) = 0;
    virtual bool OnPress(int32_t x, int32_t y) = 0;
    virtual bool OnRelease(int32_t x, int32_t y, Control* control) = 0;
    virtual void OnEnter(int32_t x, int32_t y) = 0;
    virtual void OnLeave(int32_t x, int32_t y) = 0;
    virtual int32_t Cursor() const = 0;
    virtual bool OnWheel(int32_t steps);

    Window* parent() const { return parent_; }
    int32_t x() const { return x_; }
    int32_t y() const { return y_; }
    int32_t width() const { return w_; }
    int32_t height() const { return h_; }
    int32_t id() const { return id_; }
    bool contains(int32_t px, int32_t py) const { return px >= x_ && py >= y_ && px < x_ + w_ && py < y_ + h_; }
    // True when the parent's focused control is this one.
    bool hasFocus() const;

protected:
    // Called by the parent when its platform window goes away.
    virtual void detachNative() {}

private:
    friend class Window;
    Window* parent_ = nullptr;
    int32_t x_ = 0, y_ = 0, w_ = 0, h_ = 0;
    int32_t id_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
};

// The shared middle of the native controls: the Qt widget follows the
// rectangle, the enabled and the visible flag; Qt paints it.
class NativeControl : public Control {
public:
    NativeControl(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id);
    ~NativeControl() override;

    void Move(int32_t x, int32_t y) override;
    void Resize(int32_t w, int32_t h) override;
    void SetRect(int32_t x, int32_t y, int32_t w, int32_t h) override;
    void Enable(bool flag) override;
    void Show(bool flag) override;
    void Paint(Canvas&, int32_t, int32_t, int32_t, int32_t) override {}
    void Redraw() override {}
    QWidget* NativeHandle() const override;
    bool OnKey(int32_t) override { return false; }
    bool OnMouseMove(int32_t, int32_t) override { return true; }
    bool OnPress(int32_t, int32_t) override { return true; }
    bool OnRelease(int32_t, int32_t, Control*) override { return true; }
    void OnEnter(int32_t, int32_t) override {}
    void OnLeave(int32_t, int32_t) override {}
    int32_t Cursor() const override { return kArrowCursor; }

protected:
    // Takes the widget made by the subclass (parented to the client area),
    // places it and applies the default UI font; null reports `failure`.
    void attach(QWidget* widget, const char* failure);
    // Passes a notification code of the widget to the parent's routing.
    void notify(int32_t code);
    void detachNative() override;

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

// List box with a vertical scroll bar; user selection changes notify code 1.
class ListBox : public NativeControl {
public:
    ListBox(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id);
    void AddString(const std::string& text);
    void InsertString(int32_t index, const std::string& text);
    void DeleteString(int32_t index);
    void Clear();
    // Index or -1.
    int32_t GetSelection() const;
    void SetSelection(int32_t index);
    int32_t Count() const;
    // A buffer shared by every list box, replaced on the next GetString; ""
    // for an index out of range.
    const char* GetString(int32_t index) const;
};

// Drop-down list without an edit field; user selection notifies code 1.
class ComboBox : public NativeControl {
public:
    ComboBox(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id);
    void AddString(const std::string& text);
    int32_t GetSelection() const;
    void SetSelection(int32_t index);
    int32_t Count() const;
    // A buffer shared by every combo box, replaced on the next GetString.
    const char* GetString(int32_t index) const;
};

// Check box with caption; clicks notify code 0.
class CheckButton : public NativeControl {
public:
    CheckButton(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id, const std::string& label);
    bool IsChecked() const;
    void SetChecked(bool flag);
};

// Push button with caption; clicks notify code 0.
class Button : public NativeControl {
public:
    Button(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id, const std::string& label);
    std::string label() const;
};

// One-line entry; text changes notify code 0x400.
class Edit : public NativeControl {
public:
    Edit(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id);
    void SetText(const std::string& text);
    // A buffer shared by every entry, replaced on the next GetText.
    const char* GetText() const;
};

// A button drawn from pictures: normal, pressed, rollover, disabled.
class ImageButton : public Control {
public:
    // Ownership bits of SetImages: the button deletes the pictures so marked.
    enum : int32_t { kOwnNormal = 1, kOwnPressed = 2, kOwnRollover = 4, kOwnDisabled = 8 };

    ImageButton(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id);
    ~ImageButton() override;
    // Pictures may be null; they are borrowed unless marked in `owned`.
    void SetImages(const Image* normal, const Image* pressed, const Image* rollover, const Image* disabled,
                   int32_t owned = 0);

    void Paint(Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h) override;
    bool OnKey(int32_t code) override;
    bool OnMouseMove(int32_t x, int32_t y) override;
    bool OnPress(int32_t x, int32_t y) override;
    bool OnRelease(int32_t x, int32_t y, Control* control) override;
    void OnEnter(int32_t x, int32_t y) override;
    void OnLeave(int32_t x, int32_t y) override;
    int32_t Cursor() const override { return kArrowCursor; }

private:
    void freeOwned();
    const Image* normal_ = nullptr;
    const Image* pressed_ = nullptr;
    const Image* rollover_ = nullptr;
    const Image* disabled_ = nullptr;
    int32_t owned_ = 0;
    // What lay under the button in the parent's back buffer before it was first drawn.
    std::unique_ptr<Image> background_;
};

// A scroll bar drawn by the program, horizontal or vertical.
class Slider : public Control {
public:
    Slider(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id, bool horizontal);

    bool horizontal() const { return horizontal_; }
    int32_t minimum() const { return minimum_; }
    int32_t maximum() const { return maximum_; }
    int32_t position() const { return position_; }
    double proportion() const { return proportion_; }
    // True while the user is dragging or wheeling; false after a final change.
    bool tracking() const { return tracking_; }
    // Setters do not notify the parent; the position is kept inside the range.
    void SetRange(int32_t minimum, int32_t maximum);
    void SetPosition(int32_t position);
    void SetProportion(double proportion);

    void Paint(Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h) override;
    bool OnKey(int32_t code) override;
    bool OnMouseMove(int32_t x, int32_t y) override;
    bool OnPress(int32_t x, int32_t y) override;
    bool OnRelease(int32_t x, int32_t y, Control* control) override;
    void OnEnter(int32_t x, int32_t y) override;
    void OnLeave(int32_t x, int32_t y) override;
    int32_t Cursor() const override { return horizontal_ ? kHorizontalSliderCursor : kVerticalSliderCursor; }
    bool OnWheel(int32_t steps) override;

private:
    int32_t length() const;
    void changed(bool tracking);
    bool horizontal_ = true;
    int32_t minimum_ = 0;
    int32_t maximum_ = 100;
    int32_t position_ = 0;
    double proportion_ = 0.2;
    bool tracking_ = false;
};

}  // namespace tavlin
