#include "studio/import_commands.h"

#include <optional>
#include <string>

#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "document/document.h"
#include "import/media_import.h"
#include "media/media_registry.h"
#include "studio/capture_dialog.h"
#include "studio/main_window.h"
#include "studio/picture_chooser.h"
#include "studio/still_list_editor.h"
#include "ui/clipboard.h"

namespace tavlin {

namespace {

// Button labels are read once and kept for the rest of the run.
const std::vector<std::string>& videoAnswers() {
    static const std::vector<std::string> labels = {
        resources().StringCopy("b_open"), resources().StringCopy("b_capture"), resources().StringCopy("b_simg"),
        resources().StringCopy("b_cancel")};
    return labels;
}

}  // namespace

bool videoCommand(MainWindow& window) {
    Document* doc = window.doc();
    if (!doc) return false;
    int answer = AskChoice(resources().StringCopy("select_video"), videoAnswers());
    if (answer < kVideoOpen || answer >= kVideoCancel) return false;
    std::string folder = tmpDir();
    std::optional<std::string> file;
    if (answer == kVideoOpen) {
        file = prompts().openFile(videoFilter(), std::string());
    } else if (answer == kVideoCapture) {
        if (std::optional<std::string> target = uniqueNameOrTell(folder, "nv", ".avi"))
            file = captureVideo(&window, *target);
    } else {
        if (std::optional<std::string> target = uniqueNameOrTell(folder, "vn", ".txt"))
            file = editStillList(&window, *target);
    }
    if (!file || file->empty()) return false;
    settings().Set("tmp_dir", folderOf(*file));
    // The document may have been replaced while a window was open.
    doc = window.doc();
    return doc && importVideo(*doc, *file, -1, -1);
}

bool imageCommand(MainWindow& window) {
    if (!window.doc()) return false;
    std::optional<std::vector<std::string>> chosen = choosePictures(&window, std::string(), false);
    if (!chosen || chosen->empty() || !window.doc()) return false;
    return importImage(*window.doc(), chosen->front(), -1, -1);
}

bool soundCommand(MainWindow& window) {
    if (!window.doc()) return false;
    std::optional<std::string> file = prompts().openFile(audioFilter(), std::string());
    if (!file || file->empty() || !window.doc()) return false;
    return importSound(*window.doc(), *file);
}

void pasteCommand(MainWindow& window) {
    Document* doc = window.doc();
    if (!doc) return;
    bool tooLarge = false;
    if (std::unique_ptr<Image> picture = ClipboardGetImage(&tooLarge)) {
        pasteImage(*doc, *picture, tmpDir());
        return;
    }
    if (tooLarge) {
        ShowMessage("%s", resources().StringCopy("e_gen_image").c_str());
        return;
    }
    pasteObjects(*doc, ClipboardGetText().value_or(std::string()));
}

}  // namespace tavlin
