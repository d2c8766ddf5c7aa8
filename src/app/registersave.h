#pragma once

#include "export/statusjobs.h"
#include "media/mediasession.h"

// The media register saved with the catalogue: one Save writes both.
namespace RegisterSave {

// Gives context's Save the register's writes that media has waiting for
// the rows of context's catalogue, and returns them for media.saved()
// once the job says every one was made.
MediaSession::Writes addTo(StatusJobContext &context, const MediaSession &media);

} // namespace RegisterSave
