#pragma once
// The open project: a stage of fixed size with its objects, a timeline of
// frames with its events, the media they use, the per-frame publishing codes
// and the undo history. Everything runs on the user-interface thread.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "document/document_defaults.h"
#include "document/event.h"
#include "document/interfaces.h"
#include "document/media_object.h"
#include "document/media_resource.h"

namespace tavlin {

class DragPath;  // document/drag_path.h; pickPath and dragTo live there too
class ProjectReader;  // document/project_text.h
class ProjectWriter;

// Bounds that keep absurd documents from allocating without limit.
constexpr int32_t kMaxLength = 1000000;
// A stage side beyond this would only allocate absurd pictures; projects up
// to it open (a 4K stage included). New documents are offered up to
// kMaxNewStageSide.
constexpr int32_t kMaxStageSide = 16384;
constexpr int32_t kMaxNewStageSide = 2048;

// Frame flag bits: the two low bits are the frame code, bit 2 the user's mark.
enum FrameCode : uint8_t { kNotCoded = 0, kFullFrame = 1, kKeyFrame = 2, kDiffFrame = 3 };
constexpr uint8_t kCodeMask = 3;
constexpr uint8_t kFixedMark = 4;

// Snapshots of the whole document as project-file texts.
struct UndoHistory {
    std::vector<std::string> snapshots;
    int32_t position = 0;
};

class Document {
public:
    // Sizes outside 1..kMaxStageSide take the defaults' stage size; the
    // length and qualities come from the defaults too, and so do new drag
    // paths and events, asked for each. Without a source, the settings.
    Document(int32_t width, int32_t height, DefaultsSource defaults);
    Document(int32_t width, int32_t height);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Closes the info window, destroys every object and event, forgets the
    // running events and zeroes the frame flags. Resources stay.
    void clear();
    // False (and nothing changes) outside 1..kMaxStageSide.
    bool setStageSize(int32_t width, int32_t height);
    // False (and nothing changes) outside 1..kMaxLength.
    bool setLength(int32_t n);
    // Grows the length to cover the first range of every object.
    void extendLength();
    // Runs the events (with a timeline present) and asks for a redraw.
    void setCurrentFrame(int32_t frame);
    // Goes to the nearest coded frame at or before `frame`.
    void seekCodedFrame(int32_t frame);

    // Objects. addObject puts it in front of the first selected object (at the
    // front when nothing is selected) and takes ownership.
    MediaObject* addObject(std::unique_ptr<MediaObject> object);
    void removeObject(MediaObject* object);
    void removeSelected();
    int32_t firstSelectedIndex() const;
    void selectAll(bool selected);
    int32_t selectedCount() const;
    int32_t indexOf(const MediaObject* object) const;
    // Reads object blocks (".O k" and their records) while the record in hand
    // starts with "O", adding each. False on a bad kind, a failed read or the
    // end of the input; the objects read so far stay.
    // Numbers beyond what the program carries are brought into range, and
    // valuesAdjusted is set.
    bool readObjects(ProjectReader& in);
    bool valuesAdjusted = false;
    // The folder of the project file being read: its media are looked for
    // there first.
    std::string projectFolder;

    // Events.
    Event* addEvent(int32_t kind, int32_t first, int32_t last);
    void removeEvent(Event* event);
    Event* findEvent(int32_t kind, int32_t frame) const;
    bool eventOverlaps(int32_t kind, int32_t first, int32_t last) const;
    // addEvent for the commands that create events for buttons and imported
    // sounds: null, with the message "e_ev_overlap", when the range overlaps
    // an event of the kind.
    Event* addEventChecked(int32_t kind, int32_t first, int32_t last);
    void enterFrame();
    void timerStep();
    void applySwitches();
    // play direction x play speed
    int32_t playRate() const { return playDirection * playSpeed; }

    // Frame codes.
    int32_t recomputeFrameCodes();
    void fixFrameCodes(int32_t step, int32_t first, int32_t last, int32_t code);
    uint8_t frameCode(int32_t frame) const;

    void setEditMode(bool edit);
    void purgeResources();
    void setFileName(const std::string& name);

    // Media resources.
    std::vector<std::unique_ptr<MediaResource>>& resources(MediaKind kind);
    // The resource of that exact name, or null.
    MediaResource* findResource(MediaKind kind, const std::string& name) const;
    // Finds the resource, or loads the file and keeps it; null when it does
    // not load (nothing is asked).
    MediaResource* loadResource(MediaKind kind, const std::string& path);
    // Turns a stored media name into a resource while objects and events read
    // their records: through mediaResolver when set, else loadResource.
    MediaResource* resolveMedia(MediaKind kind, const std::string& storedName);

    // Clipboard of stage objects, as project-file object records.
    void copySelected();
    void cutSelected();
    void paste();

    // Undo history.
    void snapshot();
    // The object of that id, or null once it is gone.
    MediaObject* findObject(ObjectId id) const;
    ObjectId newObjectId() { return ++lastObjectId_; }
    // The drag path the viewer drags or points at in play mode, if it still exists.
    DragPath* activeDragPath() const;
    void setActiveDragPath(DragPath* path);

    bool canUndo() const { return history.position > 0; }
    bool canRedo() const { return history.position < int32_t(history.snapshots.size()) - 1; }
    void undo();
    void redo();
    void clearHistory();

    // What a drag path or event made now starts with.
    DocumentDefaults defaults() const { return defaults_(); }

    // Clock and chance.
    int64_t now() const;
    void setClock(Clock clock) { clock_ = std::move(clock); }
    void seedRandom(uint32_t seed) { random_.seed(seed); }
    uint32_t nextRandom() { return uint32_t(random_()); }

    void redraw();

    int32_t codedFrameCount() const { return codedFrameCount_; }

    // --- The collaborators the studio plugs in (none in the command-line tool).
    DocumentView* view = nullptr;
    InfoWindow* infoWindow = nullptr;
    TimelineView* timeline = nullptr;
    Clipboard* clipboard = nullptr;
    SoundOutput* audio = nullptr;
    // Set by the project file reader: finds moved media and asks the user
    // about missing ones.
    std::function<MediaResource*(MediaKind, const std::string&)> mediaResolver;

    // --- What the project file stores.
    int32_t stageWidth;
    int32_t stageHeight;
    int32_t length;
    int32_t frameSkip = 0;
    std::vector<std::unique_ptr<MediaObject>> objects;
    std::vector<std::unique_ptr<Event>> events;
    // Per frame: the frame code and the user's fixed mark (FrameCode bits).
    std::vector<uint8_t> frameFlags;

    // --- The media the objects and events use.
    std::vector<std::unique_ptr<MediaResource>> imageResources;
    std::vector<std::unique_ptr<MediaResource>> videoResources;
    std::vector<std::unique_ptr<MediaResource>> soundResources;

    // --- Playing: the current frame, the events running and the switches.
    int32_t currentFrame = 0;
    std::array<Event*, kEventKinds> runningEvent{};
    std::array<int32_t, kEventKinds> kindSwitch{1, 1, 1, 1, 1};
    int32_t playSpeed = 100;
    int32_t playDirection = 1;
    int32_t lastThumbX = 0;

    // --- Editing: the mode, the gesture in progress, the in and out points.
    bool editMode = false;
    bool mouseDown = false;
    bool busy = false;
    bool redrawNeeded = false;
    int32_t inPoint = 0;
    int32_t outPoint = 99;
    UndoHistory history;

    // --- The file and its publishing settings.
    std::string fileName;
    std::string lastPublishFolder;
    int32_t contentFlag = 0;
    int32_t publishDate = 0;
    int32_t jpegQuality;
    int32_t diffQuality;

private:
    DefaultsSource defaults_;
    int32_t codedFrameCount_ = 0;
    // When the next thumb animation step is due (0: at once).
    int64_t nextAnimationTime_ = 0;
    ObjectId lastObjectId_ = 0;
    ObjectId activeDragPathId_ = 0;
    void markRange(int32_t first, int32_t last);
    // Reads snapshot `index` back; when it cannot be read the document stays
    // as it was, the user is told, and false is returned.
    bool restoreSnapshot(int32_t index);

    Clock clock_;
    std::mt19937 random_;
    // Param events run timer steps from inside a timer step; this bounds the
    // nesting when events keep firing each other within one millisecond.
    int32_t timerDepth_ = 0;
};

}  // namespace tavlin
