#include "media/offlinenotice.h"

#include "media/mediaregister.h"

#include <QStringList>

QString insertMediumQuestion(const QString &source, const MediaRecord *record)
{
    QStringList known;
    if (record && !record->label.isEmpty())
        known << QStringLiteral("label \"%1\"").arg(record->label);
    if (record && !record->note.isEmpty())
        known << QStringLiteral("note \"%1\"").arg(record->note);
    const QString details = known.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(known.join(QStringLiteral(", ")));
    return QStringLiteral("%1%2 is not mounted. Insert it and try again?").arg(source, details);
}
