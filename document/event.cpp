#include "document/event.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "base/numbers.h"
#include "document/document.h"
#include "document/media_object.h"
#include "document/media_resource.h"
#include "document/project_text.h"

namespace tavlin {

namespace {

// Due times are never 0, which means "not armed".
int64_t dueAt(int64_t t) { return std::max<int64_t>(t, 1); }

}  // namespace

Event::Event(int32_t f, int32_t l) : first(f), last(l) {}

void Event::arm() {
    if (!document) return;
    due = dueAt(document->now() + wait);
}

bool Event::tick() {
    if (!document || due < 1 || document->now() < due) return false;
    due = 0;
    fire();
    return true;
}

int32_t Event::readOwn(ProjectReader&) { return 0; }

bool Event::readLoop(ProjectReader& in) {
    for (;;) {
        int32_t r = 1;
        if (in.keywordIs("ER")) {
            int32_t v[2];
            if (scanInts(in.value(), v, 2) < 2) return false;
            first = v[0];
            last = v[1];
        } else if (in.keywordIs("ET")) {
            wait = valueInt(in.value());
        } else {
            r = readOwn(in);
        }
        if (r < 0) return false;
        if (r == 0) return true;
        if (!in.next()) return false;
    }
}

bool Event::read(ProjectReader& in) { return readLoop(in); }

bool Event::write(ProjectWriter& out) const {
    out.numbers("ER", {first, last});
    out.numbers("ET", {wait});
    return true;
}

std::unique_ptr<Event> Event::create(int32_t kind, int32_t first, int32_t last) {
    switch (kind) {
    case kPlayEvent: return std::make_unique<PlayEvent>(first, last);
    case kJumpEvent: return std::make_unique<JumpEvent>(first, last);
    case kSoundEvent: return std::make_unique<SoundEvent>(first, last);
    case kLinkEvent: return std::make_unique<LinkEvent>(first, last);
    case kParamEvent: return std::make_unique<ParamEvent>(first, last);
    default: return nullptr;
    }
}

// Play -----------------------------------------------------------------------

void PlayEvent::arm() {
    if (!document) return;
    if (document->currentFrame == last) {
        stop();
        return;
    }
    int64_t r = int64_t(document->playDirection) * document->playSpeed;
    if (r == 0) {
        due = 0;
        return;
    }
    due = dueAt(document->now() + int64_t(wait) * 100 / std::llabs(r));
}

bool PlayEvent::tick() {
    if (!document || due < 1 || document->now() < due) return false;
    arm();
    fire();
    return true;
}

void PlayEvent::fire() {
    if (!document) return;
    Document& doc = *document;
    int64_t r = int64_t(doc.playDirection) * doc.playSpeed;
    int64_t f = doc.currentFrame;
    if (r >= 1) ++f;
    else if (r < 0) --f;
    int64_t g = std::max<int64_t>(f, 0);
    // A stretch reaching past the timeline stops at its last frame.
    if (g >= first && g <= last && g < doc.length)
        doc.setCurrentFrame(int32_t(g));
    else
        stop();
    if (!interruptible) doc.setActiveDragPath(nullptr);
}

void PlayEvent::stop() {
    due = 0;
    if (document && document->runningEvent[kPlayEvent] == this) document->runningEvent[kPlayEvent] = nullptr;
}

int32_t PlayEvent::readOwn(ProjectReader& in) {
    if (!in.keywordIs("EI")) return 0;
    interruptible = valueInt(in.value());
    return 1;
}

bool PlayEvent::write(ProjectWriter& out) const {
    Event::write(out);
    out.numbers("EI", {interruptible});
    return true;
}

// Jump -----------------------------------------------------------------------

void JumpEvent::fire() {
    if (!document) return;
    Document& doc = *document;
    if (Event* play = doc.runningEvent[kPlayEvent]) play->stop();
    if (targets.empty()) return;
    int32_t target = targets[doc.nextRandom() % targets.size()];
    // A target beyond the timeline has no frame to show; go to the nearest one.
    target = std::clamp(target, 0, std::max(doc.length - 1, 0));
    doc.setCurrentFrame(target);
}

int32_t JumpEvent::readOwn(ProjectReader& in) {
    if (!in.keywordIs("EF")) return 0;
    targets.push_back(valueInt(in.value()));
    return 1;
}

bool JumpEvent::write(ProjectWriter& out) const {
    Event::write(out);
    for (int32_t t : targets) out.numbers("EF", {t});
    return true;
}

// Sound ----------------------------------------------------------------------

void SoundEvent::fire() {
    if (!document || !document->audio || !sound || !sound->sound) return;
    document->audio->play(*sound->sound, repeat ? 65535 : 1);
}

void SoundEvent::stop() {
    // A sound without repeat plays to its end.
    if (repeat && document && document->audio) document->audio->stop();
}

int32_t SoundEvent::readOwn(ProjectReader& in) {
    if (in.keywordIs("ESR")) {
        repeat = valueInt(in.value());
        return 1;
    }
    if (!in.keywordIs("EU")) return 0;
    std::string file(in.value());
    storedName = file;
    if (!file.empty() && document)
        if (auto* r = dynamic_cast<SoundResource*>(document->resolveMedia(MediaKind::Sound, file))) sound = r;
    return 1;
}

bool SoundEvent::write(ProjectWriter& out) const {
    Event::write(out);
    out.numbers("ESR", {repeat});
    out.record("EU", sound && !sound->name.empty() ? sound->name : storedName);
    return true;
}

// Link -----------------------------------------------------------------------

int32_t LinkEvent::readOwn(ProjectReader& in) {
    if (in.keywordIs("ETG")) {
        target = std::string(in.value());
        return 1;
    }
    if (in.keywordIs("EU")) {
        address = std::string(in.value());
        return 1;
    }
    return 0;
}

bool LinkEvent::write(ProjectWriter& out) const {
    Event::write(out);
    out.record("ETG", target);
    out.record("EU", address);
    return true;
}

// Param ----------------------------------------------------------------------

void ParamEvent::arm() {
    if (!document) return;
    due = dueAt(document->now());
}

void ParamEvent::fire() {
    if (!document) return;
    static constexpr std::string_view kDir = "$play_dir=";
    static constexpr std::string_view kSpeed = "$play_speed=";
    std::string_view rest = text;
    while (true) {
        size_t semi = rest.find(';');
        std::string_view token = rest.substr(0, semi);
        if (token.substr(0, kDir.size()) == kDir) {
            document->playDirection = valueInt(token.substr(kDir.size()));
            document->timerStep();
        } else if (token.substr(0, kSpeed.size()) == kSpeed) {
            document->playSpeed = valueInt(token.substr(kSpeed.size()));
            document->timerStep();
        }
        if (semi == std::string_view::npos) break;
        rest = rest.substr(semi + 1);
    }
}

int32_t ParamEvent::readOwn(ProjectReader& in) {
    if (!in.keywordIs("EP")) return 0;
    text = std::string(in.value());
    return 1;
}

bool ParamEvent::write(ProjectWriter& out) const {
    Event::write(out);
    out.record("EP", text);
    return true;
}

}  // namespace tavlin
