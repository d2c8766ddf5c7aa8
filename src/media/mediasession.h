#pragma once

#include "media/mediaregister.h"
#include "media/mediastate.h"
#include "media/tagreading.h"

#include <QObject>

class Platform;
class RowStore;

// The media register as one run of the desktop program holds it: read at
// start (one that cannot be read is never saved over in this run), the
// online state of each medium worked out from the volumes mounted now, and
// the changes a scan or the user makes, each saved at once.
class MediaSession : public QObject
{
    Q_OBJECT

public:
    MediaSession(QString registerPath, Platform &platform, QObject *parent = nullptr);

    // Reads the register; empty, or what to tell the user when it could
    // not be read.
    QString load();
    const MediaRegister &media() const { return m_media; }
    const MediaStates &states() const { return m_states; }
    const QString &path() const { return m_path; }

    // Works the online states out again from the volumes mounted now (rows
    // give a few paths of each medium without a UUID); changed() follows.
    void refresh(const RowStore &rows);

    // Notes a scan or rescan of source under root and saves; the message
    // to show when the register could not be read at start or saved now,
    // else empty.
    QString noteScan(const QString &source, const QString &root, const MediumTotals &totals);
    QString setNote(const QString &source, const QString &note);
    // Sets how the ID3v1 text of source is decoded (a name of
    // CodePage::names()) and saves, with the same message.
    QString setCodepage(const QString &source, const QString &codepage);
    // The code page of source: "auto" when the register has no record.
    QString codepage(const QString &source) const;
    // Sets which tag the fields of source come from first (a name of
    // TagPreferences::names()) and saves, with the same message.
    QString setTags(const QString &source, const QString &tags);
    // The tag preference of source: "id3v1" when the register has no record.
    QString tags(const QString &source) const;
    // How the scans of source read its tags; refusal as tagReadingOf's.
    TagReading reading(const QString &source, QString *refusal) const;

Q_SIGNALS:
    void changed();

private:
    QString setField(const QString &source, QString MediaRecord::*field, const QString &value, const char *what);
    QString save();

    const QString m_path;
    Platform &m_platform;
    MediaRegister m_media;
    MediaStates m_states;
    QList<MountedVolume> m_volumes;
    QString m_refusal; // why the register must not be saved over, if so
};
