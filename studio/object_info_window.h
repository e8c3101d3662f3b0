#pragma once
// The info windows of stage objects: "infoimage", "infovideo" and the drag
// path's "infodm". Name and rectangle are shared; the picture or video box,
// the video's frame step and the drag path's looks, thumbs, arrows, curve
// and grab distance are each kind's own.

#include <cstdint>
#include <map>
#include <string>

#include "document/media_object.h"
#include "studio/info_panel.h"

namespace tavlin {

class DragPath;

class ObjectInfoWindow : public InfoPanel {
public:
    // `kind` is the ObjectKind the window shows.
    ObjectInfoWindow(Window* owner, EditorView& view, int32_t kind);

    // The object shown (null for none); fields are loaded from it.
    void setTarget(MediaObject* object);
    MediaObject* target() const;
    bool hasTarget() const override { return target() != nullptr; }
    void dropTarget() override { targetId_ = 0; }
    int32_t objectKind() const { return kind_; }

    // The grab distances offered, after "none" (0).
    static int32_t GrabDistanceAt(int32_t index);

protected:
    bool storeFields() override;
    void loadFields() override;
    void applyText(int32_t id) override;
    bool isText(int32_t id) const override;
    void onButton(int32_t id) override;
    void onDrop(const std::string& path) override;

private:
    void pathControl(DragPath& path, int32_t id);
    void loadPath(const DragPath& path);
    void replaceMedia(const std::string& dropped);
    // The video window's record and still-picture buttons: the new video
    // replaces the object's.
    void recordVideo();
    void editStills();
    // The label a media button shows while it has no media (the dialog's own).
    std::string emptyLabel(int32_t id) const;
    std::map<int32_t, std::string> emptyLabels_;

    int32_t kind_;
    ObjectId targetId_ = 0;
};

}  // namespace tavlin
