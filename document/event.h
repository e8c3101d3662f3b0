#pragma once
// Timeline events. Each covers a frame range; entering the range makes it the
// running event of its kind, and after its wait it fires.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/interfaces.h"
#include "document/media_object.h"

namespace tavlin {

class Document;
class ProjectReader;  // document/project_text.h
class ProjectWriter;
class SoundResource;

enum EventKind : int32_t { kPlayEvent = 0, kJumpEvent = 1, kSoundEvent = 2, kLinkEvent = 3, kParamEvent = 4 };
constexpr int32_t kEventKinds = 5;

class PlayEvent;
class JumpEvent;
class SoundEvent;
class LinkEvent;
class ParamEvent;

// What wants to treat each kind of event in its own way.
class EventVisitor {
public:
    virtual ~EventVisitor() = default;
    virtual void visit(PlayEvent& event) = 0;
    virtual void visit(JumpEvent& event) = 0;
    virtual void visit(SoundEvent& event) = 0;
    virtual void visit(LinkEvent& event) = 0;
    virtual void visit(ParamEvent& event) = 0;
};

class Event {
public:
    // Document::addEvent gives it the document's default wait.
    Event(int32_t first, int32_t last);
    virtual ~Event() = default;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // The virtual operations, in this order for every kind.
    virtual void fire() = 0;
    // Leaves the running state (what that means depends on the kind).
    virtual void stop() = 0;
    // due = now + wait.
    virtual void arm();
    // Fires when armed and due; true when it fired.
    virtual bool tick();
    virtual int32_t kind() const = 0;
    virtual void accept(EventVisitor& visitor) = 0;
    // The frames the event may send the document to (a jump's targets).
    virtual std::span<const int32_t> targetFrames() const { return {}; }
    // Reads records from the one after ".E k" on (the base: ".ER", ".ET");
    // returns with the first record that is not its own in hand. False on a
    // malformed record or at the end of the input.
    virtual bool read(ProjectReader& in);
    // Appends the event's records (the base: ".ER", ".ET").
    virtual bool write(ProjectWriter& out) const;

    bool covers(int32_t frame) const { return first <= frame && frame <= last; }

    // A new event of a stored kind 0..4, or null.
    static std::unique_ptr<Event> create(int32_t kind, int32_t first, int32_t last);

    int32_t first;
    int32_t last;
    int32_t wait = 100;    // milliseconds
    int64_t due = 0;       // clock time at which it fires; 0 = not armed
    Document* document = nullptr;

protected:
    // Reads the kind's own records after the common ones; `readOwn` returns
    // 1 when it consumed the record in hand, 0 when the record is not its own,
    // -1 on a malformed record.
    bool readLoop(ProjectReader& in);
    virtual int32_t readOwn(ProjectReader& in);
};

class PlayEvent : public Event {
public:
    using Event::Event;
    void fire() override;
    void stop() override;
    void arm() override;
    bool tick() override;
    int32_t kind() const override { return kPlayEvent; }
    void accept(EventVisitor& visitor) override { visitor.visit(*this); }
    bool write(ProjectWriter& out) const override;

    int32_t interruptible = 0;  // 1: the viewer may drag while it plays

protected:
    int32_t readOwn(ProjectReader& in) override;
};

class JumpEvent : public Event {
public:
    using Event::Event;
    void fire() override;
    void stop() override {}
    int32_t kind() const override { return kJumpEvent; }
    void accept(EventVisitor& visitor) override { visitor.visit(*this); }
    std::span<const int32_t> targetFrames() const override { return targets; }
    bool write(ProjectWriter& out) const override;

    std::vector<int32_t> targets;

protected:
    int32_t readOwn(ProjectReader& in) override;
};

class SoundEvent : public Event {
public:
    using Event::Event;
    void fire() override;
    void stop() override;
    int32_t kind() const override { return kSoundEvent; }
    void accept(EventVisitor& visitor) override { visitor.visit(*this); }
    bool write(ProjectWriter& out) const override;

    SoundResource* sound = nullptr;
    // The sound's name as stored, kept while the sound cannot be found.
    std::string storedName;
    int32_t repeat = 0;

protected:
    int32_t readOwn(ProjectReader& in) override;
};

class LinkEvent : public Event {
public:
    using Event::Event;
    // Links only open in the published content.
    void fire() override {}
    void stop() override {}
    int32_t kind() const override { return kLinkEvent; }
    void accept(EventVisitor& visitor) override { visitor.visit(*this); }
    bool write(ProjectWriter& out) const override;

    std::string target;   // window name
    std::string address;

protected:
    int32_t readOwn(ProjectReader& in) override;
};

class ParamEvent : public Event {
public:
    using Event::Event;
    // Applies "$play_dir=" and "$play_speed=" tokens; the rest is for the viewer.
    void fire() override;
    void stop() override {}
    // Fires at the next timer step.
    void arm() override;
    int32_t kind() const override { return kParamEvent; }
    void accept(EventVisitor& visitor) override { visitor.visit(*this); }
    bool write(ProjectWriter& out) const override;

    std::string text;

protected:
    int32_t readOwn(ProjectReader& in) override;
};

// Calls whichever of the functions takes the event's own kind (see
// visitObject).
template <class... F>
void visitEvent(Event& event, F&&... functions) {
    struct Adapter final : EventVisitor {
        explicit Adapter(Overloaded<std::decay_t<F>...> f) : f(std::move(f)) {}
        void visit(PlayEvent& e) override { f(e); }
        void visit(JumpEvent& e) override { f(e); }
        void visit(SoundEvent& e) override { f(e); }
        void visit(LinkEvent& e) override { f(e); }
        void visit(ParamEvent& e) override { f(e); }
        Overloaded<std::decay_t<F>...> f;
    } adapter{Overloaded<std::decay_t<F>...>{std::forward<F>(functions)...}};
    event.accept(adapter);
}

}  // namespace tavlin
