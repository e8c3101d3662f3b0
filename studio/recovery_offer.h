#pragma once
// The start-up question about work left by studios that ended without
// saving it: restore it, keep it for later, or discard it.

namespace tavlin {

class MainWindow;

// Asks about every recovery file of a studio no longer running, newest
// first, and reports the files that could not be read (kept as ".damaged").
void offerRecoveredWork(MainWindow& main);

}  // namespace tavlin
