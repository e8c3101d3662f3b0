#pragma once
// The studio's commands that bring media into the open document: the video
// command's question (open a file, record, still pictures, cancel), the
// picture and sound commands, and paste.

#include <cstdint>

namespace tavlin {

class MainWindow;

// Answers of the video command's question, in the order of its buttons.
enum VideoSourceAnswer : int32_t { kVideoOpen = 0, kVideoCapture = 1, kVideoStills = 2, kVideoCancel = 3 };

bool videoCommand(MainWindow& window);
bool imageCommand(MainWindow& window);
bool soundCommand(MainWindow& window);
// A picture on the clipboard becomes an image object; else text of stage
// objects is pasted; else nothing happens.
void pasteCommand(MainWindow& window);

}  // namespace tavlin
