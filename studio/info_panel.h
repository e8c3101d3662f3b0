#pragma once
// What every info window shares: a tool window built from its dialog
// description, numbers read with the leading-number rule, typed texts applied
// to the document as they change (one undo snapshot per stretch of typing),
// and the choice of a media file for a media box.

#include <cstdint>
#include <set>
#include <string>

#include "ui/window.h"

namespace tavlin {

class Document;
class MediaResource;
class EditorView;
enum class MediaKind : int32_t;

class InfoPanel : public Window {
public:
    // A hidden tool window of the main window built from `dialog`.
    InfoPanel(Window* owner, EditorView& view, const std::string& dialog);
    ~InfoPanel() override;

    const std::string& dialogName() const { return dialog_; }
    // Whether the window edits something now.
    virtual bool hasTarget() const = 0;
    // Keeps what was typed since the fields were loaded (fields left alone
    // may be stale and are not written back), then shows the values as kept,
    // clamped numbers included.
    void store();
    // Reads every field into the target: what Apply does.
    void storeAll();
    // Shows the target's values in the fields.
    void load();
    // Forgets the target without touching it (it may be going away).
    virtual void dropTarget() = 0;

    void OnControl(int32_t id) override;
    // Closing keeps what was typed and only hides the window.
    void OnClose() override;
    void OnDropFile(const std::string& path, int32_t x, int32_t y) override;

protected:
    // The kind's own parts of store, load and the controls. storeFields
    // returns whether anything changed.
    virtual bool storeFields() = 0;
    virtual void loadFields() = 0;
    // A text control changed: apply that field alone.
    virtual void applyText(int32_t id) = 0;
    virtual bool isText(int32_t id) const = 0;
    virtual void onButton(int32_t id) = 0;
    virtual void onDrop(const std::string&) {}

    Document* document() const;
    // Takes an undo snapshot unless one was taken for the typing in progress.
    void beginTyping();
    // A snapshot for a change made by a button or a list.
    void beginChange();
    void changed();  // redraws the stage and the timeline

    std::string text(int32_t id) const;
    int32_t number(int32_t id) const;
    void setText(int32_t id, const std::string& value);
    void setNumber(int32_t id, int32_t value) { setText(id, std::to_string(value)); }
    bool checked(int32_t id) const;
    void setChecked(int32_t id, bool on);
    void setLabel(int32_t id, const std::string& label);

    // Lets the author pick a file of `kind` (or takes `dropped`) and finds or
    // loads it as a resource of the document; asks "e_cant_open" with "open
    // another" / "ignore" when it does not load. Null when nothing was chosen.
    // Pictures are picked with the picture chooser started in the folder
    // `start`, other media with the file dialog preset with `start`.
    MediaResource* chooseMedia(MediaKind kind, const std::string& start, const std::string& dropped);

    EditorView& view_;

private:
    std::string dialog_;
    bool loading_ = false;
    bool typing_ = false;
    std::set<int32_t> typed_;  // text controls changed since the last load
};

// The file name of a path without its folder ("" for none).
std::string baseName(const std::string& path);

}  // namespace tavlin
