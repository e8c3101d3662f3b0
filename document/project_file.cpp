#include "document/project_file.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/video_object.h"
#include "document/media_resource.h"
#include "document/project_text.h"
#include "media/media_registry.h"
#include "base/paths.h"
#include "base/safe_write.h"
#include "core/prompts.h"

namespace tavlin {

namespace {

// Larger files are not projects anyone made; refusing them early keeps a
// stray multi-gigabyte file from being read into memory.
constexpr uintmax_t kMaxProjectFileBytes = uintmax_t(512) << 20;
// The folder list only helps while it is short; the oldest folders drop out.
constexpr size_t kMaxMediaFolders = 64;
// A question answered with "b_open_another" again and again still ends.
constexpr int kMaxMediaQuestions = 50;
// Stage positions and sizes beyond this are damage, not layout: the stage is
// at most 2048 pixels wide, and keeping coordinates this small keeps every
// sum and doubling in the drawing code inside 32 bits.
constexpr int32_t kMaxCoordinate = 1000000;
// Frame numbers stored in objects and events stay within the longest
// timeline either way, for the same reason.
constexpr int32_t kMaxFrame = kMaxLength;
// Line widths and grab distances are published as bytes; far wider lines only
// make every drawing of the stage crawl.
constexpr int32_t kMaxLineWidth = 255;

std::vector<std::string>& folderList() {
    static std::vector<std::string> folders;
    return folders;
}

void rememberFolder(const std::string& folder) {
    if (folder.empty()) return;
    auto& list = folderList();
    auto it = std::find(list.begin(), list.end(), folder);
    if (it != list.end()) list.erase(it);
    list.insert(list.begin(), folder);
    if (list.size() > kMaxMediaFolders) list.resize(kMaxMediaFolders);
}

// "e_cant_open" holds one "%s" for the file; the name is put in as text, never
// used as a format.
std::string cantOpenText(const std::string& file) {
    std::string text = documentString("e_cant_open");
    size_t at = text.find("%s");
    if (at == std::string::npos) return text + " " + file;
    return text.substr(0, at) + file + text.substr(at + 2);
}

const std::string& filterFor(MediaKind kind) {
    switch (kind) {
    case MediaKind::Video: return videoFilter();
    case MediaKind::Image: return imageFilter();
    case MediaKind::Sound: break;
    }
    return audioFilter();
}

// Reloads a kept resource when its file changed since it was loaded. A failed
// reload keeps the name, so the project still names the file when saved.
MediaResource* refreshed(MediaResource* r) {
    std::string name = r->name;
    int64_t now = fileModificationTime(name);
    if (now != r->modificationTime) {
        r->release();
        if (r->load(name)) {
            r->modificationTime = now;
        } else {
            r->name = name;
            r->modificationTime = now;
        }
    }
    return r;
}

// Loads a located file (or finds it already loaded under that path).
MediaResource* loadLocated(Document& doc, MediaKind kind, const std::string& path) {
    if (MediaResource* kept = doc.findResource(kind, path)) return refreshed(kept);
    std::unique_ptr<MediaResource> r = createResource(kind);
    if (!r || !r->load(path)) return nullptr;
    r->modificationTime = fileModificationTime(path);
    MediaResource* raw = r.get();
    doc.resources(kind).push_back(std::move(r));
    return raw;
}

}  // namespace

bool writeProject(const Document& doc, std::string& out) {
    ProjectWriter w;
    w.record("V", "3");
    w.numbers("D", {doc.stageWidth, doc.stageHeight});
    w.numbers("L", {doc.length});
    w.numbers("SF", {doc.frameSkip});
    bool ok = true;
    for (auto it = doc.objects.rbegin(); ok && it != doc.objects.rend(); ++it) {
        w.numbers("O", {(*it)->kind()});
        ok = (*it)->write(w);
    }
    for (auto it = doc.events.begin(); ok && it != doc.events.end(); ++it) {
        w.numbers("E", {(*it)->kind()});
        ok = (*it)->write(w);
    }
    if (ok) {
        int32_t n = std::min<int64_t>(doc.length, int64_t(doc.frameFlags.size()));
        for (int32_t i = 0; i < n; ++i) {
            uint8_t f = doc.frameFlags[size_t(i)];
            if (f & kFixedMark) w.numbers("FFS", {i, int32_t(f)});
        }
        w.endMarker();
    }
    out += w.text();
    return ok;
}

std::string writeProject(const Document& doc) {
    std::string out;
    writeProject(doc, out);
    return out;
}

namespace {

template <class T>
bool clampValue(T& v, int64_t lo, int64_t hi) {
    int64_t c = std::clamp<int64_t>(v, lo, hi);
    if (c == v) return false;
    v = T(c);
    return true;
}
bool clampCoordinate(int32_t& v) { return clampValue(v, -kMaxCoordinate, kMaxCoordinate); }
bool clampFrame(int32_t& v) { return clampValue(v, -kMaxFrame, kMaxFrame); }

}  // namespace

bool clampToLimits(MediaObject& o) {
    bool changed = false;
    for (int32_t* v : {&o.left, &o.top, &o.width, &o.height}) changed |= clampCoordinate(*v);
    for (FrameRange& r : o.ranges) {
        changed |= clampFrame(r.first);
        changed |= clampFrame(r.last);
    }
    visitObject(
        o,
        [&](DragPath& path) {
            for (int32_t& w : path.stateWidths) changed |= clampValue(w, 0, kMaxLineWidth);
            changed |= clampValue(path.grabLimit, 0, kMaxLineWidth);
            for (PathPoint& p : path.path.points()) {
                changed |= clampCoordinate(p.x);
                changed |= clampCoordinate(p.y);
                changed |= clampFrame(p.frame);
            }
        },
        [](const MediaObject&) {});
    return changed;
}

bool clampToLimits(Event& e) {
    bool changed = clampFrame(e.first);
    changed |= clampFrame(e.last);
    visitEvent(
        e,
        [&](JumpEvent& jump) {
            for (int32_t& t : jump.targets) changed |= clampFrame(t);
        },
        [](const Event&) {});
    return changed;
}

bool withinLimits(const MediaObject& o) {
    // Checked on a copy of the numbers through the same rules.
    std::string text;
    ProjectWriter w;
    if (!o.write(w)) return false;
    Document scratch(1, 1);
    std::unique_ptr<MediaObject> copy = MediaObject::create(scratch, o.kind());
    ProjectReader in(w.text());
    if (!copy || !in.next()) return false;
    copy->read(in);
    return !clampToLimits(*copy);
}

bool withinLimits(const Event& e) {
    std::unique_ptr<Event> copy = Event::create(e.kind(), e.first, e.last);
    if (!copy) return false;
    visitEvent(
        *copy, [&](JumpEvent& jump) { jump.targets.assign(e.targetFrames().begin(), e.targetFrames().end()); },
        [](const Event&) {});
    return !clampToLimits(*copy);
}

namespace {

// The line (counted from 1) of the record the reader holds.
int32_t lineOfRecord(std::string_view text, const ProjectReader& in) {
    size_t end = std::min(in.offset(), text.size());
    int32_t lines = int32_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(end), '\n'));
    return std::max(lines, 1);
}

bool readRecords(Document& doc, std::string_view text, ProjectReader& in, ProjectReadNotes& notes) {
    if (!in.next()) return false;
    if (in.keywordFirst() != 'V' || in.value().empty() || in.value()[0] != '3') return false;

    int32_t v[2];
    if (!in.next() || in.keywordFirst() != 'D') return false;
    if (scanInts(in.value(), v, 2) < 2) return false;
    if (!doc.setStageSize(v[0], v[1])) {
        notes.refusal = "its stage is " + formatInt(v[0]) + " x " + formatInt(v[1]) +
                        " pixels; the program opens stages from 1 to " + formatInt(kMaxStageSide) + " pixels a side";
        return false;
    }

    if (!in.next() || in.keywordFirst() != 'L') return false;
    if (scanInts(in.value(), v, 1) < 1) return false;
    if (!doc.setLength(v[0])) {
        notes.refusal = "its timeline is " + formatInt(v[0]) + " frames long; the program opens timelines from 1 to " +
                        formatInt(kMaxLength) + " frames";
        return false;
    }

    if (!in.next()) return false;
    if (in.keywordIs("SF")) {
        int32_t skip = valueInt(in.value());
        // A negative skip would never advance through a range; one beyond the
        // longest timeline means nothing.
        notes.adjusted |= clampValue(skip, 0, kMaxLength);
        doc.frameSkip = skip;
        if (!in.next()) return false;
    }

    doc.valuesAdjusted = false;
    if (!doc.readObjects(in)) return false;
    notes.adjusted |= doc.valuesAdjusted;

    while (in.keywordFirst() == 'E') {
        int32_t kind = valueInt(in.value());
        if (kind < 0 || kind >= kEventKinds) return false;
        Event* e = doc.addEvent(kind, 0, 0);
        if (!e) return false;
        if (!in.next()) return false;
        if (!e->read(in)) return false;
        notes.adjusted |= clampToLimits(*e);
    }

    while (in.keywordIs("FFS")) {
        if (scanInts(in.value(), v, 2) < 2) return false;
        if (v[0] >= 0 && v[0] < doc.length && size_t(v[0]) < doc.frameFlags.size())
            doc.frameFlags[size_t(v[0])] = uint8_t(v[1] & 0xFF);
        if (!in.next()) return false;
    }
    // The reading rules end here with whatever record is in hand; anything
    // but the end marker means lines were left unread.
    if (!in.keywordIs(".")) notes.readUpToLine = std::max(lineOfRecord(text, in) - 1, 1);
    return true;
}

}  // namespace

bool readProject(Document& doc, std::string_view text, MediaLookup lookup, ProjectReadNotes* notes) {
    ProjectReadNotes own;
    ProjectReadNotes& n = notes ? *notes : own;
    ProjectReader in(text);
    if (lookup == MediaLookup::documentOnly) return readRecords(doc, text, in, n);
    auto saved = std::move(doc.mediaResolver);
    doc.mediaResolver = [&doc](MediaKind kind, const std::string& name) { return resolveMedia(doc, kind, name); };
    bool ok = readRecords(doc, text, in, n);
    doc.mediaResolver = std::move(saved);
    return ok;
}

std::unique_ptr<Document> readProject(std::string_view text, MediaLookup lookup) {
    auto doc = std::make_unique<Document>(0, 0);
    if (!readProject(*doc, text, lookup)) return nullptr;
    return doc;
}

Result<std::unique_ptr<Document>> openProjectFile(const std::string& path) {
    using Opened = Result<std::unique_ptr<Document>>;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return Opened(Failure::CannotRead, "cannot open the file");
    uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return Opened(Failure::CannotRead, "cannot open the file");
    if (size > kMaxProjectFileBytes) return Opened(Failure::TooLarge, "not a project file (too large)");
    auto bytes = readFileBytes(path);
    if (!bytes) return Opened(Failure::CannotRead, "cannot read the file");
    // Media that moved along with the project are found beside it.
    rememberFolder(folderOf(path));
    std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    auto doc = std::make_unique<Document>(0, 0);
    doc->projectFolder = folderOf(path);
    ProjectReadNotes notes;
    if (!readProject(*doc, text, MediaLookup::locateAndAsk, &notes)) {
        if (!notes.refusal.empty()) return Opened(Failure::Damaged, "not opened: " + notes.refusal);
        return Opened(Failure::Damaged, "not a project file or damaged");
    }
    // Said before the user can save over the file.
    if (notes.readUpToLine > 0)
        ShowMessage("%s %d.", documentString("w_read_partly").c_str(), notes.readUpToLine);
    if (notes.adjusted) ShowMessage("%s", documentString("w_values_adjusted").c_str());
    doc->recomputeFrameCodes();
    doc->setFileName(path);
    return Opened(std::move(doc));
}

std::unique_ptr<Document> loadProjectFile(const std::string& path, std::string* error) {
    auto opened = openProjectFile(path);
    if (!opened) {
        if (error) *error = opened.reason();
        return nullptr;
    }
    return opened.take();
}

bool saveProjectFile(const Document& doc, const std::string& path) {
    std::string text;
    // A document that cannot be written completely must not replace the file.
    if (!writeProject(doc, text)) return false;
    return writeFileSafely(path, text).ok();
}

MediaResource* resolveMedia(Document& doc, MediaKind kind, const std::string& name) {
    if (MediaResource* kept = doc.findResource(kind, name)) return refreshed(kept);

    // The project's own folder comes first: the name as stored (relative
    // names are relative to the project), then its last component, also
    // when an older version wrote it with backslashes.
    std::optional<std::string> path;
    if (!doc.projectFolder.empty()) {
        std::string slashed = name;
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        std::string last = fileNameOf(slashed);
        std::vector<std::string> candidates;
        if (!slashed.empty() && slashed[0] != '/') candidates.push_back(joinPath(doc.projectFolder, slashed));
        if (!last.empty()) candidates.push_back(joinPath(doc.projectFolder, last));
        for (const std::string& c : candidates) {
            if (!fileExists(c)) continue;
            if (MediaResource* r = loadLocated(doc, kind, c)) return r;
        }
    }
    if (!path) path = locateMediaFile(name);
    if (path) {
        if (MediaResource* r = loadLocated(doc, kind, *path)) return r;
    }
    std::string shown = path ? *path : name;
    for (int asked = 0; asked < kMaxMediaQuestions; ++asked) {
        int answer = AskChoice(cantOpenText(shown), {documentString("b_open_another"), documentString("b_ignore")});
        if (answer != 0) return nullptr;
        std::optional<std::string> chosen = prompts().openFile(filterFor(kind), name);
        if (!chosen || chosen->empty()) return nullptr;
        std::optional<std::string> located = locateMediaFile(*chosen);
        shown = located ? *located : *chosen;
        if (located) {
            if (MediaResource* r = loadLocated(doc, kind, *located)) return r;
        }
    }
    return nullptr;
}

std::optional<std::string> locateMediaFile(const std::string& name) {
    if (name.empty()) return std::nullopt;
    rememberFolder(folderOf(name));
    if (fileExists(name)) return name;
    std::string last = fileNameOf(name);
    if (last.empty()) return std::nullopt;
    for (const std::string& folder : folderList()) {
        std::string joined = joinPath(folder, last);
        if (fileExists(joined)) return joined;
    }
    return std::nullopt;
}

const std::vector<std::string>& mediaFolders() { return folderList(); }

void clearMediaFolders() { folderList().clear(); }

}  // namespace tavlin
