#pragma once
// The windows and services the document talks to without knowing them: the
// main window, the information window, the timeline, the clipboard and the
// sound output. The shell implements them; tests fake them. Every pointer the
// document keeps to one of them is non-owning and may be null.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavlin {

class Event;
struct Image;
struct Sound;

// The main window that shows the document.
class DocumentView {
public:
    virtual ~DocumentView() = default;
    // Render the stage again and show it.
    virtual void redraw() = 0;
    // The document's file name changed; the window title follows it.
    virtual void setTitle(const std::string& fileName) = 0;
};

// The object information window (it shows one object or event at a time).
class InfoWindow {
public:
    virtual ~InfoWindow() = default;
    // Closed before objects or events go away so it never shows a dead one.
    virtual void close() = 0;
};

// The timeline window.
class TimelineView {
public:
    virtual ~TimelineView() = default;
    // Lengths, ranges or codes changed: draw everything again.
    virtual void refresh() = 0;
    // The current frame moved (the timeline scrolls to it, moves its marker).
    virtual void frameChanged(int32_t frame) { (void)frame; }
    // True while the user drags the timeline's own frame marker.
    virtual bool draggingFrame() const { return false; }
};

// The system clipboard. Text only here; pictures come with the image import.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual std::string text() = 0;
    virtual void setText(const std::string& text) = 0;
    // A picture on the clipboard, if any.
    virtual std::unique_ptr<Image> image() { return nullptr; }
};

// The sound output: one sound at a time. (Not AudioOutput: that is the UI
// layer's concrete player, and one program cannot have two classes of a name.)
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Stops whatever plays, then plays `sound` `loops` times in a row.
    virtual void play(const Sound& sound, int32_t loops) = 0;
    virtual void stop() = 0;
};

// Milliseconds; the document asks it for "now". Never returns less than 1 so
// that 0 can mean "not armed".
using Clock = std::function<int64_t()>;
// Milliseconds since the program started, plus 1.
int64_t systemClock();

// Looks up a user-visible text by string id (the resource folder installs the
// real one at start-up; until then the id itself is returned).
using StringLookup = std::function<std::string(const std::string& id)>;
void installStringLookup(StringLookup lookup);
std::string documentString(const std::string& id);

}  // namespace tavlin
