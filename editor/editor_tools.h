#pragma once
// What the stage's mouse input works through: the view the tools see, the
// abstract tool, the process-wide tool table indexed like the tool box
// buttons, the mode switch and the editing commands of the tool box and the
// main window.

#include <cstdint>

#include "core/cursor_ids.h"

namespace tavlin {

class Document;
class MediaObject;
class Tool;
struct Image;

// Mouse modifier bits.
constexpr int32_t kModifierShift = 1;
constexpr int32_t kModifierControl = 2;

// The editor view as the tools see it: the main window implements it, tests
// fake it.
class EditorView {
public:
    virtual ~EditorView() = default;
    // The open document, or null (the tools then do nothing).
    virtual Document* document() = 0;
    // Stage pixel to screen pixel.
    virtual double zoom() const = 0;
    // A cursor of the built-in table (or one makeCursor returned).
    virtual void setCursor(int32_t id) = 0;
    // Makes a cursor from a picture and returns its id.
    virtual int32_t makeCursor(const Image& picture, int32_t hotX, int32_t hotY) = 0;
    virtual Tool* activeTool() const = 0;
    virtual void setActiveTool(Tool* tool) = 0;
    virtual void redraw() = 0;
    // Shows the information window of that object (the one of its kind).
    virtual void openInfoWindow(MediaObject& object) = 0;
    // The shown object changed: the information window reads it again.
    virtual void refreshInfoWindow() = 0;
    virtual void closeInfoWindow() = 0;
    virtual void refreshTimeline() = 0;
    virtual void refreshToolbox() = 0;
};

// Mouse input in stage pixels; modifiers are kModifierShift | kModifierControl.
class Tool {
public:
    virtual ~Tool() = default;
    virtual void press(EditorView& view, int32_t x, int32_t y, int32_t modifiers) = 0;
    virtual void hover(EditorView& view, int32_t x, int32_t y) = 0;
    virtual void drag(EditorView& view, int32_t x, int32_t y, int32_t modifiers) = 0;
    virtual void release(EditorView& view, int32_t x, int32_t y) = 0;
};

// How near (in stage pixels) the pointer must come to a handle, a point or a
// segment at that zoom: about 3.5 screen pixels, at least 1. 0 for a zoom of
// 0 or below, where the tools do nothing.
int32_t editingTolerance(double zoom);

// The tool box buttons; the tool table has one entry per button.
enum ToolboxButton : int32_t {
    kPlayModeButton = 0,
    kEditModeButton = 1,
    kInsertVideoButton = 2,
    kInsertImageButton = 3,
    kDrawPlayButtonButton = 4,
    kDrawJumpButtonButton = 5,
    kSetInButton = 6,
    kSetOutButton = 7,
    kDrawPathButton = 8,
    kDrawOvalButton = 9,
    kDrawVerticalLineButton = 10,
    kDrawHorizontalLineButton = 11,
    kFlipPathButton = 12,
};
constexpr int32_t kToolCount = 13;
constexpr int32_t kPlayToolEntry = kPlayModeButton;
constexpr int32_t kEditToolEntry = kEditModeButton;
// The tool of a table entry; null for the empty entries and outside 0..12.
// The tools are made on first use and live until the program ends.
Tool* editorTool(int32_t index);

// Stores the mode on the document (entering play mode starts playing at the
// current frame), makes entry 1 (edit) or 0 (play) the active tool, refreshes
// the tool box and redraws.
void setEditMode(EditorView& view, bool edit);

// Tool box buttons 0..12 except the two imports (2 video, 3 image), which
// belong to the media import commands: false for those and for unknown
// buttons, true when done. The tool box refreshes itself afterwards.
bool toolboxCommand(EditorView& view, int32_t button);

// Adds a two-point drag path across the middle of the stage running from the
// in point to the out point, selects it and shows its information window.
void addDefaultPath(EditorView& view);

// Reverses the positions of every selected drag path's points while their
// frames stay, so the path runs the other way.
void flipSelectedPaths(EditorView& view);

// The five frame-code commands in menu order: difference, key, none, full
// and removing the fixed mark.
constexpr int32_t kFrameCodeCommandCodes[5] = {3, 2, 0, 1, 4};
// Fixes the current frame's code (0..3) or removes its fixed mark (4), then
// recomputes the codes and refreshes the timeline.
void setCurrentFrameCode(EditorView& view, int32_t code);

}  // namespace tavlin
