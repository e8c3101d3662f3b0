#pragma once
// The "imagelist" window: pictures in playing order, made into a frame list
// of full frames that name the picture files where they are.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace tavlin {

class ListBox;

class StillListEditor : public Dialog {
public:
    // Control ids of the "imagelist" description.
    enum : int32_t {
        kAdd = 0,
        kRemove = 1,
        kMoveUp = 2,
        kMoveDown = 3,
        kList = 4,
        kPreview = 5,
        kBrowse = 6,
        kOk = 7,
        kCancel = 8,
        kOutput = 9,
    };

    // Presets the output field with `path` and reads the list there, if any.
    StillListEditor(Window* owner, const std::string& path);

    // Inserts after the selection (at the start without one), selects the
    // last inserted picture and previews it.
    void insertPictures(const std::vector<std::string>& paths);
    // Added like a chosen file; folders and names no image format claims are ignored.
    void addDroppedFile(const std::string& path);
    std::vector<std::string> pictures() const { return pictures_; }
    int32_t selection() const;
    std::string outputPath() const;
    // The file written by OK, empty until then.
    const std::string& written() const { return written_; }

    void OnControl(int32_t id) override;
    void OnDropFile(const std::string& path, int32_t x, int32_t y) override;

private:
    void select(int32_t index);
    void updateButtons();
    void preview();
    void add();
    void remove();
    void move(int32_t by);
    void browse();
    void ok();

    ListBox* list() const;
    std::vector<std::string> pictures_;
    std::string written_;
    int32_t previewX_ = 0, previewY_ = 0, previewW_ = 0, previewH_ = 0;
};

// Runs the editor modally; the output file when confirmed, else nothing.
std::optional<std::string> editStillList(Window* parent, const std::string& path);

}  // namespace tavlin
