#pragma once
// The picture chooser: one folder as a grid of thumbnails, five a row, its
// sub-folders first; single or multiple selection; "OK" on a folder opens it.
// Thumbnails are decoded lazily, only for the cells in view, one at a time
// between rounds of input, scaled while they load and kept in a cache, so a
// folder of thousands of large photographs opens at once and stays usable.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QPointer>
#include <QTimer>

#include "media/image.h"
#include "ui/window.h"

namespace tavlin {

class Button;
class Slider;

struct PictureEntry {
    std::string name;  // as listed in the folder
    bool selected = false;
    std::shared_ptr<const Image> thumbnail;  // at most 80 x 60; shared with the cache
    int32_t width = 1;                       // of the full picture; 1 x 1 for folders and unreadable files
    int32_t height = 1;
    bool folder = false;
    bool looked = false;  // its thumbnail was decoded (or found unreadable)
};

// The thumbnail size for a picture of w x h: 80 wide, or 60 high when 80
// wide would make it taller than that.
void thumbnailSize(int32_t w, int32_t h, int32_t* tw, int32_t* th);

// Reads a picture reduced to its thumbnail, and its full size. JPEG files are
// decoded at a reduced scale; other formats through the media registry.
// Null when it cannot be read.
std::unique_ptr<Image> readThumbnail(const std::string& path, int32_t* width, int32_t* height);

// Forgets every kept thumbnail (benchmarks measure a cold start with it).
void clearThumbnailCache();

class PictureChooser : public ModalWindow {
public:
    static constexpr int32_t kSliderId = 1, kFolderButtonId = 3, kOkId = 4, kCancelId = 5;
    static constexpr int32_t kGridX = 0, kGridY = 35, kCell = 100, kColumns = 5, kRows = 4;

    PictureChooser(Window* parent, bool multiple);
    ~PictureChooser() override;

    void showFolder(const std::string& path);
    const std::string& folder() const { return folder_; }
    const std::vector<PictureEntry>& entries() const { return entries_; }
    // The entry under a client point of the grid, or -1.
    int32_t entryAt(int32_t x, int32_t y) const;
    // Full paths of the selected files, sorted.
    std::vector<std::string> selectedPaths() const;
    // Thumbnails of the cells in view still to be decoded.
    int32_t pendingThumbnails() const;
    // Decodes the next thumbnail in view; false when none is left (the idle
    // timer calls it, a test or a benchmark may too).
    bool loadNextThumbnail();
    Slider* slider() const { return slider_; }

    void OnLeftDown(int32_t x, int32_t y, int32_t modifiers) override;
    void OnMouseMove(int32_t x, int32_t y, int32_t modifiers) override;
    void OnWheel(int32_t steps, int32_t x, int32_t y) override;
    void OnKey(int32_t code) override;
    void OnControl(int32_t id) override;
    void OnDropFile(const std::string& path, int32_t x, int32_t y) override;

private:
    void drawGrid();
    void drawCell(int32_t index);
    void drawFolderBox();
    void scheduleThumbnails();
    int32_t firstVisible() const;
    void ok();

    bool multiple_;
    std::string folder_;
    std::vector<PictureEntry> entries_;
    Slider* slider_ = nullptr;
    // Owned by the client widget, which may outlive this window object.
    QPointer<QTimer> timer_;
};

// Runs the chooser modally from `startFolder` (the current folder when empty).
// The chosen files as full paths in ascending byte order, or nothing.
std::optional<std::vector<std::string>> choosePictures(Window* parent, const std::string& startFolder, bool multiple);

}  // namespace tavlin
