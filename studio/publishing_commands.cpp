#include "studio/publishing_commands.h"

#include "core/settings.h"
#include "publish/album.h"
#include "studio/album_window.h"
#include "studio/main_window.h"
#include "studio/publish_window.h"

namespace tavlin {

bool runPublishingCommand(MainWindow& window, int32_t id) {
    switch (id) {
    case kCmdPublish:
    case kCmdPublishSettings: {
        if (!window.doc()) return true;
        PublishWindow publish(&window, window.doc(), settings(), &album());
        publish.DoModal();
        publish.Destroy();
        // Publishing drops unused media from the document's lists.
        window.Redraw();
        return true;
    }
    case kCmdAlbum:
        showAlbum(&window, album(), [&window](const std::string& path) { return window.Open(path, -1, -1); });
        return true;
    default: return false;
    }
}

}  // namespace tavlin
