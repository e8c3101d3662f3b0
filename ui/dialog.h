#pragma once
// Dialogs laid out by a description in "dialog.txt" of the resource folder
// (see dialog_description.h). The builder creates the controls with the ids
// of their records; labels and pictures are painted once into the back buffer.

#include <cstdint>
#include <string>

#include "ui/window.h"

namespace tavlin {

// Largest client width or height, and control width or height, a description
// may ask for; larger values are cut so that a bad line cannot ask for an
// absurd back buffer.
constexpr int32_t kDialogMaxSide = 4096;

// Builds the dialog called `name` from `fileName` ("dialog.txt" when null) in
// the resource folder into `dialog`. 0 when the resource folder is not set or
// the file cannot be opened; a name that is not in the file gives 1 and
// builds nothing. The controls made are adopted by the window.
int BuildDialog(Window* dialog, const std::string& name, const char* fileName = nullptr);

class Dialog : public ModalWindow {
public:
    // An owned tool window built from the description `name`; the control
    // with id 0, if any, gets the focus. A missing description shows
    // "e_no_dialog" and leaves an empty 10 x 10 window.
    Dialog(Window* owner, const std::string& name);

    // Centres the dialog on the screen and runs it modally (the owner is
    // disabled meanwhile); the result given to EndModal, -1 when closed.
    int32_t DoModal();
};

}  // namespace tavlin
