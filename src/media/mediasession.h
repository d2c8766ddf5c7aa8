#pragma once

#include "media/folderprobe.h"
#include "media/mediaregister.h"
#include "media/mediastate.h"
#include "media/tagreading.h"

#include <QObject>
#include <optional>

class Platform;
class RowStore;

// The media register as one run of the desktop program holds it: read at
// start (one that cannot be read is never saved over in this run), the
// online state of each medium worked out from the volumes mounted now, and
// the changes a scan or the user makes, kept with the catalogue's unsaved
// changes: the catalogue's Save writes them (toSave, then saved), closing
// without saving drops them.
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
    // The media without a UUID are checked off the window's thread, waited
    // for RefreshWait at most; one not checked by then is unknown, or keeps
    // what its last check found, until its check ends.
    void refresh(const RowStore &rows);
    static constexpr std::chrono::milliseconds RefreshWait{25};
    // Checks the next PollBatch media without a UUID again, without
    // waiting; changed() follows when a state changes.
    void poll();
    static constexpr qsizetype PollBatch = 2;
    // Checks source again as refresh() does (when it has no UUID).
    void checkNow(const QString &source);
    // How a folder is checked (tests: one that hangs).
    void setFolderStat(FolderProbe::Stat stat) { m_probe->setStat(std::move(stat)); }

    // Notes a scan or rescan of source under root, to be saved with the
    // catalogue; the message to show when the register could not be read
    // at start (the change is then never saved), else empty.
    QString noteScan(const QString &source, const QString &root, const MediumTotals &totals);
    QString setNote(const QString &source, const QString &note);
    // Keeps what a verification of source found (media/verifyrun), with
    // the same message.
    QString noteVerification(const QString &source, const MediumVerification &verified);
    // Keeps the record of from under the ID to, or drops the record of
    // source, and saves, with the same message (the entries are changed by
    // whoever holds the rows: media/mediaedits); refresh() follows.
    QString renameMedium(const QString &from, const QString &to);
    QString removeMedium(const QString &source);
    // Sets how the ID3v1 text of source is decoded (a name of
    // CodePage::names()) with the same message.
    QString setCodepage(const QString &source, const QString &codepage);
    // The code page of source: "auto" when the register has no record.
    QString codepage(const QString &source) const;
    // Sets which tag the fields of source come from first (a name of
    // TagPreferences::names()) with the same message.
    QString setTags(const QString &source, const QString &tags);
    // The tag preference of source: "id3v1" when the register has no record.
    QString tags(const QString &source) const;
    // How the scans of source read its tags; refusal as tagReadingOf's.
    TagReading reading(const QString &source, QString *refusal) const;

    // True when the register has changes the list file's Save has to write.
    bool hasChanges() const { return m_pending; }
    // Whether Save may write the register (it could be read at start).
    bool mayBeSaved() const { return m_refusal.isEmpty(); }
    // What Save writes of the register beside rows: before the list file,
    // the register with its changes (when there are any); after it, the
    // register without the media that have no own entries left (unless the
    // user set their note or code page), when there are such. A kill
    // between the writes leaves no entry without its medium.
    struct Writes
    {
        std::optional<MediaRegister> before;
        std::optional<MediaRegister> after;
    };
    Writes toSave(const RowStore &rows) const;
    // After Save made every write of writes: the register is the last one
    // written, with nothing pending.
    void saved(const Writes &writes);

Q_SIGNALS:
    void changed();

private:
    QString setField(const QString &source, QString MediaRecord::*field, const QString &value, const char *what);
    QString save();
    QList<FolderProbe::Target> folderTargets() const;
    void updateStates(bool announce);

    const QString m_path;
    Platform &m_platform;
    MediaRegister m_media;
    MediaRegister m_onDisk; // as last read or saved: what the list file on disk may still name
    MediaStates m_states;
    QList<MountedVolume> m_volumes;
    MediumSamples m_samples;
    FolderProbe *m_probe = nullptr;
    qsizetype m_nextPolled = 0;
    QString m_refusal; // why the register must not be saved over, if so
    bool m_pending = false; // changes not yet written
};
