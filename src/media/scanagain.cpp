#include "media/scanagain.h"

#include "media/mediaregister.h"
#include "media/mediastate.h"

std::optional<ScanAgain> ScanAgain::of(const RowStore &rows, const MediaRegister &media, const MediaStates &states,
                                       const QString &source, const QString &root)
{
    const qint64 entries = mediumTotals(rows, source, MediumTotals::EntriesOnly).files;
    if (entries > 0) {
        return ScanAgain{source,
                         {QStringLiteral("%1 already has %2 entries. Rescan it instead (update its entries) or add "
                                         "the files again?")
                              .arg(source)
                              .arg(entries),
                          {QStringLiteral("&Rescan"), QStringLiteral("&Add")}}};
    }
    const MediaRecord *other = sameMedium(media, states, source, root);
    if (!other)
        return std::nullopt;
    return ScanAgain{other->source,
                     {QStringLiteral("This folder was scanned as %1. Rescan %1 instead, or add it as %2?")
                          .arg(other->source, source),
                      {QStringLiteral("&Rescan %1").arg(other->source), QStringLiteral("&Add")}}};
}
