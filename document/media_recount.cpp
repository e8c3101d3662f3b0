#include "document/media_recount.h"

#include <algorithm>
#include <vector>

#include "document/document.h"
#include "document/event.h"

namespace tavlin {

MediaRecount recountMedia(Document& doc) {
    const MediaKind kinds[] = {MediaKind::Video, MediaKind::Image, MediaKind::Sound};
    for (MediaKind kind : kinds) {
        for (auto& r : doc.resources(kind)) {
            r->useCount = 0;
            r->enabledUseCount = 0;
        }
    }
    std::vector<MediaResource*> used;
    for (const auto& o : doc.objects) {
        used.clear();
        o->collectMedia(used);
        for (MediaResource* r : used) {
            if (!r) continue;
            ++r->useCount;
            if (o->enabled) ++r->enabledUseCount;
        }
    }
    for (const auto& e : doc.events) {
        if (e->kind() != kSoundEvent) continue;
        SoundResource* s = static_cast<const SoundEvent&>(*e).sound;
        if (!s) continue;
        ++s->useCount;
        if (doc.kindSwitch[kSoundEvent]) ++s->enabledUseCount;
    }
    MediaRecount result;
    for (MediaKind kind : kinds) {
        auto& list = doc.resources(kind);
        size_t before = list.size();
        std::erase_if(list, [](const auto& r) { return r->useCount == 0; });
        auto firstUnpublished =
            std::stable_partition(list.begin(), list.end(), [](const auto& r) { return r->enabledUseCount > 0; });
        size_t k = size_t(kind);
        result.dropped[k] = int32_t(before - list.size());
        result.published[k] = int32_t(firstUnpublished - list.begin());
    }
    return result;
}

}  // namespace tavlin
