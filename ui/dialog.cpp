#include "ui/dialog.h"

#include <algorithm>
#include <new>

#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "ui/control.h"
#include "core/dialog_description.h"

namespace tavlin {

namespace {

int32_t clampSide(int32_t v) { return std::clamp(v, 0, kDialogMaxSide); }

void showString(const char* id) { ShowMessage("%s", resources().String(id).c_str()); }

// Makes the control of a record, adopted by the dialog; "e_gen_window" when
// it cannot be allocated.
template <typename T, typename... Args>
T* makeControl(Window* dialog, Args&&... args) {
    T* control = new (std::nothrow) T(dialog, std::forward<Args>(args)...);
    if (!control) {
        showString("e_gen_window");
        return nullptr;
    }
    dialog->AdoptControl(control);
    return control;
}

void buildRecord(Window* dialog, const DialogRecord& r) {
    const int32_t w = clampSide(r.w);
    const int32_t h = clampSide(r.h);
    switch (r.letter) {
    case 'E':
        makeControl<Edit>(dialog, r.x, r.y, w, h, r.id);
        break;
    case 'B':
        makeControl<Button>(dialog, r.x, r.y, w, h, r.id, r.text);
        break;
    case 'C':
        makeControl<CheckButton>(dialog, r.x, r.y, w, h, r.id, r.text);
        break;
    case 'M':
        makeControl<ComboBox>(dialog, r.x, r.y, w, h, r.id);
        break;
    case 'T':
        makeControl<ListBox>(dialog, r.x, r.y, w, h, r.id);
        break;
    case 'S':
        makeControl<Slider>(dialog, r.x, r.y, w, h, r.id, w > h);
        break;
    case 'I': {
        const Image* normal = resources().Image(r.text + "n.png");
        if (!normal) {
            ShowMessage("No image data for ImageButton (%s)", r.text.c_str());
            return;
        }
        const int32_t bw = w ? w : clampSide(normal->width);
        const int32_t bh = h ? h : clampSide(normal->height);
        // The other three may be missing; the lookup has said so already.
        const Image* pressed = resources().Image(r.text + "p.png");
        const Image* rollover = resources().Image(r.text + "r.png");
        const Image* disabled = resources().Image(r.text + "d.png");
        if (ImageButton* b = makeControl<ImageButton>(dialog, r.x, r.y, bw, bh, r.id))
            b->SetImages(normal, pressed, rollover, disabled);
        break;
    }
    case 'L':
        if (Canvas* c = dialog->canvas()) c->DrawText(r.x, r.y, w, h, r.text, 0x000000);
        break;
    case 'P': {
        const Image* image = resources().Image(r.text);
        if (!image) {
            ShowMessage("No image data for Image (%s)", r.text.c_str());
            return;
        }
        const int32_t pw = w ? w : clampSide(image->width);
        const int32_t ph = h ? h : clampSide(image->height);
        if (Canvas* c = dialog->canvas()) c->DrawImage(r.x, r.y, pw, ph, *image);
        break;
    }
    default:
        break;
    }
}

}  // namespace

int BuildDialog(Window* dialog, const std::string& name, const char* fileName) {
    if (!dialog || resources().Path().empty()) return 0;
    const std::string path = joinPath(resources().Path(), fileName ? fileName : "dialog.txt");
    std::optional<DialogDescription> d = LoadDialogDescription(path, name);
    if (!d) return 0;
    if (!d->found) return 1;

    // A header without its size keeps the window's size.
    if (d->headerScanned >= 2)
        dialog->ResizeClient(std::clamp(d->width, 1, kDialogMaxSide), std::clamp(d->height, 1, kDialogMaxSide));
    dialog->SetTitle(d->title);
    if (Canvas* c = dialog->canvas()) {
        c->FillFace(0, 0, c->width(), c->height());
        c->SelectFont(DefaultFont());
    }

    for (const DialogRecord& r : d->records) buildRecord(dialog, r);
    // Drawn controls take their background from the finished back buffer.
    dialog->ShowControls();
    return 1;
}

Dialog::Dialog(Window* owner, const std::string& name) : ModalWindow(owner, 0, 0, 10, 10, kToolWindow) {
    if (!BuildDialog(this, name, nullptr)) showString("e_no_dialog");
    if (Control* first = ControlById(0)) SetFocusControl(first);
}

int32_t Dialog::DoModal() {
    CentreOnScreen();
    return RunModal();
}

}  // namespace tavlin
