#pragma once
// The album of published pages ("dmalbum"): the folders published to, the
// selected page's thumbnail, and viewing, opening or editing it again.

#include <cstdint>
#include <functional>
#include <string>

#include "ui/dialog.h"

namespace tavlin {

class Album;

struct ThumbnailRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ThumbnailRect&) const = default;
};
// Where a w x h thumbnail is drawn inside the 90 x 90 square at (10, 10).
ThumbnailRect thumbnailRect(int32_t w, int32_t h);

class AlbumWindow : public Dialog {
public:
    // Controls of "dmalbum".
    static constexpr int32_t kList = 0;
    static constexpr int32_t kView = 1;
    static constexpr int32_t kOpenFolder = 2;
    static constexpr int32_t kEdit = 3;
    static constexpr int32_t kClose = 4;
    static constexpr uint32_t kThumbnailBackground = 0x808080;

    // `open` opens a project or content file in the studio (1 when it did);
    // `shell` opens a URL or folder with the desktop (the default uses the
    // platform's handler).
    AlbumWindow(Window* owner, Album& album, std::function<int32_t(const std::string&)> open,
                std::function<bool(const std::string&)> shell = {});
    void OnControl(int32_t id) override;

private:
    int32_t selection() const;
    bool usable(int32_t index) const;
    void selectionChanged();
    void drawThumbnail(const std::string& folder);

    Album& album_;
    std::function<int32_t(const std::string&)> open_;
    std::function<bool(const std::string&)> shell_;
};

// Runs the album over the main window.
int32_t showAlbum(Window* owner, Album& album, std::function<int32_t(const std::string&)> open);

}  // namespace tavlin
