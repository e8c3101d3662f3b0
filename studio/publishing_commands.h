#pragma once
// The main window's publishing commands: the publish window (both of its
// menu entries) and the album of published pages.

#include <cstdint>

namespace tavlin {

class MainWindow;

// Runs the command when it is one of these; false for any other id.
bool runPublishingCommand(MainWindow& window, int32_t id);

}  // namespace tavlin
