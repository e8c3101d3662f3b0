#pragma once
// How long work (writing frame lists, indexing MPEG files, publishing) shows
// how far it got and learns that the user wants it stopped, without knowing
// who is watching: the studio's progress window, a line on a terminal, or a
// test. Every function has a do-nothing default.

#include <cstdint>
#include <string>

namespace tavlin {

class Progress {
public:
    virtual ~Progress() = default;
    // A new stretch of work begins under this title.
    virtual void begin(const std::string& title) { (void)title; }
    // `done` of `total` units are finished. False once the user asked to stop;
    // the work then ends as soon as it can, cleaning up what it started.
    virtual bool update(int64_t done, int64_t total) {
        (void)done;
        (void)total;
        return !stopped();
    }
    virtual bool stopped() const { return false; }
    // The work is over (finished, failed or stopped).
    virtual void end() {}
};

// Shows nothing and never stops.
Progress& silentProgress();

}  // namespace tavlin
