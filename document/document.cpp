#include "document/document.h"

#include <algorithm>
#include <limits>

#include "core/prompts.h"
#include "document/drag_path.h"
#include "document/project_file.h"
#include "document/project_text.h"

namespace tavlin {

Document::Document(int32_t width, int32_t height, DefaultsSource source)
    : defaults_(std::move(source)), clock_(systemClock), random_(std::random_device{}()) {
    DocumentDefaults defaults = defaults_();
    if (width < 1 || width > kMaxStageSide) width = defaults.stageWidth;
    if (height < 1 || height > kMaxStageSide) height = defaults.stageHeight;
    stageWidth = width;
    stageHeight = height;
    length = std::clamp(defaults.length, 1, kMaxLength);
    fileName = documentString("newdoc");
    jpegQuality = defaults.jpegQuality;
    diffQuality = defaults.diffQuality;
    frameFlags.assign(size_t(length), 0);
}

Document::Document(int32_t width, int32_t height) : Document(width, height, DocumentDefaults::fromSettings) {}

Document::~Document() {
    clear();
    for (auto* list : {&imageResources, &videoResources, &soundResources})
        for (auto& r : *list) r->release();
}

void Document::clear() {
    if (infoWindow) infoWindow->close();
    // Stopping first silences a repeating sound whose event goes away.
    for (auto& slot : runningEvent) {
        if (Event* e = slot) {
            slot = nullptr;
            e->stop();
        }
    }
    runningEvent.fill(nullptr);
    activeDragPathId_ = 0;
    objects.clear();
    events.clear();
    std::fill(frameFlags.begin(), frameFlags.end(), uint8_t(0));
    codedFrameCount_ = 0;
}

bool Document::setStageSize(int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > kMaxStageSide || height > kMaxStageSide) return false;
    stageWidth = width;
    stageHeight = height;
    return true;
}

bool Document::setLength(int32_t n) {
    if (n < 1 || n > kMaxLength) return false;
    if (n > length) {
        if (frameFlags.size() < size_t(n)) frameFlags.resize(size_t(n), 0);
        // Bytes kept from an earlier, longer timeline start fresh too.
        std::fill(frameFlags.begin() + length, frameFlags.begin() + n, uint8_t(0));
    }
    length = n;
    recomputeFrameCodes();
    if (timeline) timeline->refresh();
    return true;
}

void Document::extendLength() {
    int64_t needed = 0;
    for (const auto& o : objects)
        if (!o->ranges.empty()) needed = std::max(needed, int64_t(o->ranges[0].last) + 1);
    // Beyond the largest timeline the length stays (setLength refuses it).
    if (needed > length && needed <= kMaxLength) setLength(int32_t(needed));
}

void Document::setCurrentFrame(int32_t frame) {
    currentFrame = frame;
    if (timeline && !timeline->draggingFrame()) {
        if (!editMode && !runningEvent[kPlayEvent]) timerStep();
        enterFrame();
    }
    redraw();
}

void Document::seekCodedFrame(int32_t frame) {
    int32_t f = std::clamp(frame, 0, std::max(length - 1, 0));
    while (f > 0 && frameCode(f) == kNotCoded) --f;
    setCurrentFrame(f);
    if (timeline) timeline->frameChanged(f);
}

// Objects ----------------------------------------------------------------------

MediaObject* Document::addObject(std::unique_ptr<MediaObject> object) {
    if (!object) return nullptr;
    object->document = this;
    MediaObject* added = object.get();
    objects.insert(objects.begin() + firstSelectedIndex(), std::move(object));
    extendLength();
    recomputeFrameCodes();
    return added;
}

MediaObject* Document::findObject(ObjectId id) const {
    if (id == 0) return nullptr;
    for (const auto& o : objects)
        if (o->id == id) return o.get();
    return nullptr;
}

DragPath* Document::activeDragPath() const {
    MediaObject* o = findObject(activeDragPathId_);
    return o && o->kind() == kDragPath ? static_cast<DragPath*>(o) : nullptr;
}

void Document::setActiveDragPath(DragPath* path) { activeDragPathId_ = path ? path->id : 0; }

void Document::removeObject(MediaObject* object) {
    int32_t i = indexOf(object);
    if (i < 0) return;
    if (infoWindow) infoWindow->close();
    if (object->id == activeDragPathId_) activeDragPathId_ = 0;
    objects.erase(objects.begin() + i);
    extendLength();
    recomputeFrameCodes();
}

void Document::removeSelected() {
    snapshot();
    for (size_t i = objects.size(); i-- > 0;)
        if (objects[i]->selected) removeObject(objects[i].get());
}

int32_t Document::firstSelectedIndex() const {
    for (size_t i = 0; i < objects.size(); ++i)
        if (objects[i]->selected) return int32_t(i);
    return 0;
}

void Document::selectAll(bool selected) {
    for (auto& o : objects) o->selected = selected ? 1 : 0;
}

int32_t Document::selectedCount() const {
    int32_t n = 0;
    for (const auto& o : objects)
        if (o->selected) ++n;
    return n;
}

int32_t Document::indexOf(const MediaObject* object) const {
    for (size_t i = 0; i < objects.size(); ++i)
        if (objects[i].get() == object) return int32_t(i);
    return -1;
}

bool Document::readObjects(ProjectReader& in) {
    while (in.keywordFirst() == 'O') {
        std::unique_ptr<MediaObject> object = MediaObject::create(*this, valueInt(in.value()));
        if (!object) return false;
        if (!in.next()) return false;
        // Pasted text is as untrusted as a project file: the same bounds apply.
        if (!object->read(in)) return false;
        if (clampToLimits(*object)) valuesAdjusted = true;
        addObject(std::move(object));
    }
    return true;
}

// Events -----------------------------------------------------------------------

Event* Document::addEvent(int32_t kind, int32_t first, int32_t last) {
    std::unique_ptr<Event> event = Event::create(kind, first, last);
    if (!event) return nullptr;
    event->document = this;
    event->wait = defaults_().eventWait;
    Event* added = event.get();
    events.push_back(std::move(event));
    extendLength();
    return added;
}

void Document::removeEvent(Event* event) {
    auto it = std::find_if(events.begin(), events.end(), [event](const auto& e) { return e.get() == event; });
    if (it == events.end()) return;
    if (infoWindow) infoWindow->close();
    int32_t k = event->kind();
    if (runningEvent[size_t(k)] == event) {
        event->stop();
        runningEvent[size_t(k)] = nullptr;
    }
    events.erase(it);
    extendLength();
}

Event* Document::findEvent(int32_t kind, int32_t frame) const {
    for (const auto& e : events)
        if (e->kind() == kind && e->covers(frame)) return e.get();
    return nullptr;
}

bool Document::eventOverlaps(int32_t kind, int32_t first, int32_t last) const {
    for (const auto& e : events)
        if (e->kind() == kind && e->last >= first && e->first <= last) return true;
    return false;
}

Event* Document::addEventChecked(int32_t kind, int32_t first, int32_t last) {
    if (eventOverlaps(kind, first, last)) {
        ShowMessage("%s", documentString("e_ev_overlap").c_str());
        return nullptr;
    }
    return addEvent(kind, first, last);
}

void Document::enterFrame() {
    int32_t wasBusy = busy;
    busy = 1;
    for (auto& slot : runningEvent) {
        if (Event* e = slot; e && !e->covers(currentFrame)) {
            e->stop();
            slot = nullptr;
        }
    }
    for (size_t i = 0; i < events.size(); ++i) {
        Event* e = events[i].get();
        size_t k = size_t(e->kind());
        if (!e->covers(currentFrame) || !kindSwitch[k] || runningEvent[k] == e) continue;
        if (Event* running = runningEvent[k]) running->stop();
        runningEvent[k] = e;
        e->arm();
    }
    busy = wasBusy;
}

void Document::timerStep() {
    constexpr int32_t kMaxTimerDepth = 16;
    if (busy || timerDepth_ >= kMaxTimerDepth) return;
    struct Depth {
        int32_t& d;
        explicit Depth(int32_t& v) : d(v) { ++d; }
        ~Depth() { --d; }
    } depth(timerDepth_);
    bool fired = false;
    for (size_t k = 0; k < runningEvent.size(); ++k) {
        Event* e = runningEvent[k];
        if (!e) continue;
        // The viewer's drag pauses interruptible playback.
        if (k == kPlayEvent && mouseDown && static_cast<PlayEvent*>(e)->interruptible) continue;
        if (e->tick()) fired = true;
    }
    int64_t t = now();
    if (nextAnimationTime_ != 0 && nextAnimationTime_ > t) {
        if (fired) redraw();
        return;
    }
    bool changed = false;
    for (size_t i = 0; i < objects.size(); ++i)
        if (objects[i]->visibleAt(currentFrame) && objects[i]->animate()) changed = true;
    nextAnimationTime_ = t + 300;
    if (fired || changed) redraw();
}

void Document::applySwitches() {
    for (size_t k = 0; k < runningEvent.size(); ++k) {
        if (kindSwitch[k] || !runningEvent[k]) continue;
        Event* e = runningEvent[k];
        runningEvent[k] = nullptr;
        e->stop();
    }
}

// Frame codes --------------------------------------------------------------------

uint8_t Document::frameCode(int32_t frame) const {
    if (frame < 0 || frame >= length || size_t(frame) >= frameFlags.size()) return kNotCoded;
    return frameFlags[size_t(frame)] & kCodeMask;
}

void Document::markRange(int32_t first, int32_t last) {
    int64_t b = std::min<int64_t>(last, int64_t(length) - 1);
    int64_t a = std::max<int64_t>(first, 0);
    if (a > b) return;
    int64_t step = int64_t(std::max(frameSkip, 0)) + 1;
    for (int64_t f = a; f <= b; f += step) {
        uint8_t& byte = frameFlags[size_t(f)];
        if ((byte & 6) == 0) byte = kDiffFrame;
    }
    uint8_t& head = frameFlags[size_t(a)];
    uint8_t& tail = frameFlags[size_t(b)];
    if (!(head & kFixedMark)) head = kKeyFrame;
    if ((tail & 6) == 0) tail = kDiffFrame;
}

int32_t Document::recomputeFrameCodes() {
    size_t n = std::min(size_t(length), frameFlags.size());
    for (size_t i = 0; i < n; ++i)
        if (!(frameFlags[i] & kFixedMark)) frameFlags[i] = 0;
    for (const auto& o : objects) {
        FrameRange span;
        if (o->enabled && o->pathFrameSpan(&span)) markRange(span.first, span.last);
    }
    for (const auto& e : events) {
        if (!kindSwitch[size_t(e->kind())]) continue;
        if (e->kind() == kPlayEvent) {
            markRange(e->first, e->last);
        } else if (e->kind() == kJumpEvent) {
            for (int32_t t : static_cast<const JumpEvent&>(*e).targets)
                if (t >= 0 && size_t(t) < n && !(frameFlags[size_t(t)] & kFixedMark)) frameFlags[size_t(t)] = kKeyFrame;
        }
    }
    int32_t count = 0;
    for (size_t i = 0; i < n; ++i)
        if (frameFlags[i] & kCodeMask) ++count;
    codedFrameCount_ = count;
    return count;
}

void Document::fixFrameCodes(int32_t step, int32_t first, int32_t last, int32_t code) {
    int64_t a = std::max(first, 0);
    int64_t b = std::min<int64_t>(last, int64_t(length) - 1);
    int64_t stride = int64_t(std::max(step, 0)) + 1;
    for (int64_t f = a; f <= b; f += stride) {
        uint8_t& byte = frameFlags[size_t(f)];
        if (code == kFixedMark)
            byte = uint8_t(byte & ~kFixedMark);
        else
            byte = uint8_t((code & 0xFF) | kFixedMark);
    }
}

// Modes and drawing ---------------------------------------------------------------

void Document::setEditMode(bool edit) {
    editMode = edit ? 1 : 0;
    if (edit) {
        // Nothing plays while editing; a repeating sound would loop on.
        for (auto& slot : runningEvent) {
            if (Event* e = slot) {
                slot = nullptr;
                e->stop();
            }
        }
        return;
    }
    playSpeed = 100;
    playDirection = 1;
    timerStep();
    enterFrame();
}

void Document::redraw() {
    if (view) view->redraw();
}

void Document::setFileName(const std::string& name) {
    fileName = name;
    if (view) view->setTitle(fileName);
}

int64_t Document::now() const { return clock_ ? clock_() : systemClock(); }

// Resources ------------------------------------------------------------------------

std::vector<std::unique_ptr<MediaResource>>& Document::resources(MediaKind kind) {
    switch (kind) {
    case MediaKind::Video: return videoResources;
    case MediaKind::Image: return imageResources;
    case MediaKind::Sound: break;
    }
    return soundResources;
}

MediaResource* Document::findResource(MediaKind kind, const std::string& name) const {
    auto& list = const_cast<Document*>(this)->resources(kind);
    for (auto& r : list)
        if (r->name == name) return r.get();
    return nullptr;
}

MediaResource* Document::loadResource(MediaKind kind, const std::string& path) {
    if (path.empty()) return nullptr;
    if (MediaResource* found = findResource(kind, path)) return found;
    std::unique_ptr<MediaResource> r = createResource(kind);
    if (!r || !r->load(path)) return nullptr;
    r->modificationTime = fileModificationTime(path);
    MediaResource* added = r.get();
    resources(kind).push_back(std::move(r));
    return added;
}

MediaResource* Document::resolveMedia(MediaKind kind, const std::string& storedName) {
    if (mediaResolver) return mediaResolver(kind, storedName);
    return loadResource(kind, storedName);
}

void Document::purgeResources() {
    for (auto* list : {&imageResources, &videoResources, &soundResources}) {
        for (auto& r : *list) {
            r->useCount = 0;
            r->enabledUseCount = 0;
        }
    }
    std::vector<MediaResource*> used;
    for (const auto& o : objects) {
        used.clear();
        o->collectMedia(used);
        for (MediaResource* r : used) {
            ++r->useCount;
            if (o->enabled) ++r->enabledUseCount;
        }
    }
    for (const auto& e : events) {
        if (e->kind() != kSoundEvent) continue;
        SoundResource* s = static_cast<const SoundEvent&>(*e).sound;
        if (!s) continue;
        ++s->useCount;
        if (kindSwitch[kSoundEvent]) ++s->enabledUseCount;
    }
    for (auto* list : {&imageResources, &videoResources, &soundResources}) {
        std::erase_if(*list, [](const auto& r) { return r->useCount == 0; });
        // Publishing takes media in this order: the enabled ones first.
        std::stable_partition(list->begin(), list->end(), [](const auto& r) { return r->enabledUseCount > 0; });
    }
}

// Clipboard --------------------------------------------------------------------------

void Document::copySelected() {
    ProjectWriter out;
    for (size_t i = objects.size(); i-- > 0;) {
        const MediaObject& o = *objects[i];
        if (!o.selected) continue;
        out.numbers("O", {o.kind()});
        o.write(out);
    }
    out.endMarker();
    if (clipboard) clipboard->setText(out.text());
}

void Document::cutSelected() {
    copySelected();
    removeSelected();
    redraw();
}

void Document::paste() {
    if (!clipboard) return;
    // Pictures arrive through the image import command.
    std::string text = clipboard->text();
    if (text.size() < 2 || text[1] != 'O') return;
    snapshot();
    ProjectReader in(text);
    if (in.next()) {
        auto previous = std::move(mediaResolver);
        mediaResolver = [this](MediaKind kind, const std::string& name) { return tavlin::resolveMedia(*this, kind, name); };
        readObjects(in);
        mediaResolver = std::move(previous);
    }
    redraw();
}

// Undo history ----------------------------------------------------------------------

void Document::snapshot() {
    std::string text = writeProject(*this);
    auto& s = history.snapshots;
    if (size_t(history.position) < s.size())
        s[size_t(history.position)] = std::move(text);
    else
        s.push_back(std::move(text));
    ++history.position;
}

bool Document::restoreSnapshot(int32_t index) {
    if (index < 0 || size_t(index) >= history.snapshots.size()) return false;
    // The text is read while clear() and the reader change the document, so
    // read from a copy that the history cannot replace meanwhile.
    std::string text = history.snapshots[size_t(index)];
    // Read it once into a scratch document first: a snapshot the reader
    // refuses must not empty this one half way.
    {
        Document scratch(stageWidth, stageHeight);
        scratch.mediaResolver = [](MediaKind, const std::string&) -> MediaResource* { return nullptr; };
        if (!readProject(scratch, text, MediaLookup::documentOnly)) {
            ShowMessage("%s", documentString("e_undo_read").c_str());
            return false;
        }
    }
    clear();
    readProject(*this, text, MediaLookup::documentOnly);
    recomputeFrameCodes();
    redraw();
    return true;
}

void Document::undo() {
    if (history.position <= 0) return;
    int32_t before = history.position;
    snapshot();
    if (!restoreSnapshot(before - 1)) {
        // Leave the history as it was: the snapshot just taken is the present.
        history.position = before;
        return;
    }
    history.position = before - 1;
}

void Document::redo() {
    if (history.position >= int32_t(history.snapshots.size()) - 1) return;
    if (restoreSnapshot(history.position + 1)) ++history.position;
}

void Document::clearHistory() {
    history.snapshots.clear();
    history.position = 0;
}

}  // namespace tavlin
