#pragma once

#include "browse/querymatcher.h"
#include "media/mediaregister.h"
#include "media/mediastate.h"

#include <vector>

namespace Query {

// What the query knows of each registered medium: its label, note, scan
// and last verification time and whether it is online now (unknown when no state was worked out
// for it, or its check has not ended).
inline std::vector<Medium> mediaOf(const MediaRegister &registered, const MediaStates &states)
{
    std::vector<Medium> media;
    for (const MediaRecord &record : registered.records()) {
        const MediumState *state = states.state(record.source);
        media.push_back({record.source, record.label, record.note,
                         state && !state->unknown ? std::optional(state->online) : std::nullopt,
                         record.scanned.isValid() ? std::optional(record.scanned.toSecsSinceEpoch()) : std::nullopt,
                         record.verified.when.isValid() ? std::optional(record.verified.when.toSecsSinceEpoch())
                                                        : std::nullopt});
    }
    return media;
}

} // namespace Query
