#include "app/registersave.h"

namespace RegisterSave {

namespace {

std::function<SaveResult()> writerOf(const std::optional<MediaRegister> &media, const QString &path)
{
    if (!media)
        return {};
    return [media = *media, path] { return media.save(path); };
}

} // namespace

MediaSession::Writes addTo(StatusJobContext &context, const MediaSession &media)
{
    MediaSession::Writes writes = media.toSave(context.catalogue.rows());
    context.registerPath = media.path();
    context.registerBefore = writerOf(writes.before, media.path());
    context.registerAfter = writerOf(writes.after, media.path());
    return writes;
}

} // namespace RegisterSave
