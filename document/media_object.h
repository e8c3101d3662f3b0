#pragma once
// Stage objects: the common base of video objects, image objects and drag
// paths. Every object belongs to one document, which owns it.

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "document/interfaces.h"

namespace tavlin {

class Document;
class DragPath;
class MediaObject;
class ImageObject;
class VideoObject;
class MediaResource;
class ProjectReader;  // document/project_text.h
class ProjectWriter;
struct Image;
enum class MediaKind : int32_t;

// An inclusive frame range.
struct FrameRange {
    int32_t first = 0;
    int32_t last = 0;
    bool operator==(const FrameRange&) const = default;
};

struct Size {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Size&) const = default;
};

// Results of hitTest.
enum HitCode : int32_t {
    kHitNone = 0,
    kHitTopLeft = 1,
    kHitTopRight = 2,
    kHitBottomLeft = 3,
    kHitBottomRight = 4,
    kHitMove = 5,
    kHitPathPoint = 6,    // drag paths only; index = the point
    kHitPathSegment = 7,  // drag paths only; index = the segment's end point
};

// Names an object for as long as its document lives; never reused, so an id
// kept across an undo (which rebuilds every object) finds nothing instead of
// whatever object happens to sit at a freed address. 0 names no object.
using ObjectId = uint64_t;

// Object kinds as stored in files.
enum ObjectKind : int32_t { kVideoObject = 0, kImageObject = 1, kDragPath = 2 };

// What wants to treat each kind of stage object in its own way.
class ObjectVisitor {
public:
    virtual ~ObjectVisitor() = default;
    virtual void visit(VideoObject& object) = 0;
    virtual void visit(ImageObject& object) = 0;
    virtual void visit(DragPath& object) = 0;
};

// Calls whichever of the functions takes the object's own kind; give one per
// kind, or one taking `const MediaObject&` for the kinds that need nothing.
// (Not `auto&`: a generic function would beat one taking `const Kind&`.)
template <class... F>
void visitObject(MediaObject& object, F&&... functions);

class MediaObject {
public:
    explicit MediaObject(Document& document);
    virtual ~MediaObject();
    MediaObject(const MediaObject&) = delete;
    MediaObject& operator=(const MediaObject&) = delete;

    // The virtual operations, in this order for every kind.
    // Advances an animation (thumb pictures); true when something changed.
    virtual bool animate();
    virtual bool isAnimatedAt(int32_t frame) const;
    virtual void moveTo(int32_t x, int32_t y);
    virtual void resize(int32_t w, int32_t h);
    // moveTo, then resize.
    virtual void setRect(int32_t x, int32_t y, int32_t w, int32_t h);
    // A HitCode; `index` (may be null) receives the point or segment of the
    // drag path results.
    virtual int32_t hitTest(int32_t x, int32_t y, int32_t tolerance, int32_t* index) const;
    // The size of the object's media, 0 x 0 without any.
    virtual Size mediaSize() const = 0;
    virtual int32_t kind() const = 0;
    // Hands the object to the visitor's function for its kind (drawing and
    // other views of the model use this instead of asking for the kind).
    virtual void accept(ObjectVisitor& visitor) = 0;
    // File name of the object's icon picture in the resource folder.
    virtual std::string icon() const = 0;
    // Reads records from the one after ".O k" on, common (".OP", ".OR",
    // ".ON", ".OE", ".OL") and the kind's own (readOwn) in any order; returns
    // with the first record that belongs to neither in hand. False on a
    // malformed record or at the end of the input.
    virtual bool read(ProjectReader& in);
    // Appends the object's records (the base: the common ones).
    virtual bool write(ProjectWriter& out) const;

    // Helpers the document needs beyond the operations above.
    // Every resource the object refers to, once per reference (purging
    // counts them): a video, a picture, drag path state pictures and thumbs.
    virtual void collectMedia(std::vector<MediaResource*>& out) const;
    // A drag path with at least one point: the frames of its first and last
    // point (the frames its drag needs coded). False for every other object.
    virtual bool pathFrameSpan(FrameRange* span) const;

    // Visible at f when f lies in one of the ranges.
    bool visibleAt(int32_t frame) const;
    // Names the object base + the smallest n >= 0 that no object of the
    // document uses yet.
    void uniqueName(const std::string& base);
    // Drops inverted ranges, clamps negative ends to 0 and merges ranges that
    // overlap or touch, keeping the list order.
    void normalizeRanges();

    // A new object of a stored kind (0 video, 1 image, 2 drag path), or null.
    // Every kind is constructed as Kind(Document&) with its initial values.
    static std::unique_ptr<MediaObject> create(Document& document, int32_t kind);

    Document* document;
    const ObjectId id;
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<FrameRange> ranges;
    std::string name;
    bool selected = false;
    bool enabled = true;
    bool locked = false;

protected:
    // Handles one record of the kind's own in the read loop: 1 consumed (the
    // loop reads the next), 0 not its own (the read ends with it in hand), 2
    // consumed and the block ended with the next record already in hand,
    // -1 malformed. The base knows no records of its own.
    virtual int32_t readOwn(ProjectReader& in);
};

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};

template <class... F>
void visitObject(MediaObject& object, F&&... functions) {
    struct Adapter final : ObjectVisitor {
        explicit Adapter(Overloaded<std::decay_t<F>...> f) : f(std::move(f)) {}
        void visit(VideoObject& o) override { f(o); }
        void visit(ImageObject& o) override { f(o); }
        void visit(DragPath& o) override { f(o); }
        Overloaded<std::decay_t<F>...> f;
    } adapter{Overloaded<std::decay_t<F>...>{std::forward<F>(functions)...}};
    object.accept(adapter);
}

}  // namespace tavlin
