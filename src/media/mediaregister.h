#pragma once

#include "base/atomicsave.h"
#include "base/filestamp.h"
#include "base/jsonfile.h"
#include "base/platform/volumes.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <map>

class RowStore;

// The last verification of a medium (media/verify): when it ended and
// what it found among the medium's files.
struct MediumVerification
{
    QDateTime when; // UTC; invalid: the medium was never verified
    qint64 files = 0;
    qint64 ok = 0;
    qint64 unreadable = 0;
    qint64 changed = 0;
    qint64 damaged = 0;
    qint64 missing = 0;

    bool operator==(const MediumVerification &) const = default;
};

// What Ondro knows about one medium (one source ID of the catalogue): the
// volume it was scanned from and what the scan found. Kept in media.json
// beside the list file.
struct MediaRecord
{
    QString source;
    QString label;     // volume label, may be empty
    QString uuid;      // file system UUID, may be empty
    QString fstype;    // file system type, when known
    qint64 capacity = 0; // bytes, 0 when unknown
    QString root;      // the folder scanned, absolute, at scan time
    QString mountRoot; // the mount point that held root then
    QDateTime scanned; // UTC
    qint64 files = 0;
    qint64 bytes = 0;
    qint64 seconds = 0;
    QString codepage = QStringLiteral("auto");
    QString tags = QStringLiteral("id3v1"); // which tag the fields come from first (media/tagreading.h)
    QString note;
    MediumVerification verified;
    QJsonObject unknown; // keys this version does not know, written back as read

    bool operator==(const MediaRecord &) const = default;
};

// The one order of source IDs, by code point (as their UTF-8 bytes sort):
// the register's records, every lookup in it and every list of media use
// it. QString's own < compares UTF-16 units, which puts U+E000-U+FFFF
// after the characters above U+FFFF.
struct SourceOrder
{
    bool operator()(QStringView a, QStringView b) const;
};

// The register: one record per source ID, in SourceOrder. A missing file
// is an empty register; a file that cannot be read or is damaged is
// reported and must not be saved over.
class MediaRegister
{
public:
    using State = JsonFile::State;
    using ReadResult = JsonFile::ReadResult;

    static constexpr qint64 MaxFileBytes = qint64(64) << 20;
    static QString fileIn(const QString &dataDir) { return dataDir + QStringLiteral("/media.json"); }

    ReadResult read(const QString &path);
    SaveResult save(const QString &path) const;

    // The document as written; parse() takes one, false when it is damaged
    // (the register is then left empty).
    QByteArray toJson() const;
    bool parse(const QByteArray &json, QString *reason = nullptr);

    const QList<MediaRecord> &records() const { return m_records; }
    bool operator==(const MediaRegister &) const = default;
    // This register with the records of other that it lacks: what is
    // written before a list file whose entries may still name media a
    // rename or remove took out, so that no entry is ever saved without
    // its medium; the register itself is written after the list file.
    MediaRegister withRecordsOf(const MediaRegister &other) const;
    const MediaRecord *find(const QString &source) const;
    MediaRecord *find(const QString &source);
    // The record of source, made empty (with its source) when there is none.
    MediaRecord &recordFor(const QString &source);
    // Drops the record of source; false when there is none.
    bool remove(const QString &source);
    bool isEmpty() const { return m_records.isEmpty(); }

    // Removes the records of media without own entries (hasEntries false)
    // unless the user gave them a note or a code page; true when any went.
    bool dropUnused(const std::function<bool(const QString &)> &hasEntries);
    // The record whose root, as the medium is mounted now (currentRoot),
    // is root, or whose ID differs from source only in case or surrounding
    // blanks; never source's own. Null when a scan of root as source adds
    // no medium twice.
    const MediaRecord *sameMedium(const QString &source, const QString &root,
                                  const std::function<QString(const MediaRecord &)> &currentRoot) const;

    // A record as it is written in the file.
    static QJsonObject objectOf(const MediaRecord &record);

    // "The media register /x/media.json could not be read (reason)."
    static QString problemMessage(const QString &path, const ReadResult &result);

private:
    QList<MediaRecord> m_records; // in SourceOrder
};

// The figures shown for a medium, always worked out from its own entries
// (never from the register, which keeps only what the entries cannot
// tell): the entries, the size of their files on disk now (files that
// cannot be found add nothing) and their playing time.
struct MediumTotals
{
    enum Measure { EntriesOnly, WithBytes };
    qint64 files = 0;
    qint64 bytes = 0;   // from the entries' facts, else from the files found
    qint64 seconds = 0; // the entries' playing times, where known, rounded
    qint64 tenths = 0;  // the same in tenths of a second, as summed

    // Counts one entry by its facts and its stored path.
    void add(QByteArrayView facts, QByteArrayView path, Measure measure = WithBytes);
};
// Of the own entries of source in rows (a library's are no medium's).
MediumTotals mediumTotals(const RowStore &rows, const QString &source,
                          MediumTotals::Measure measure = MediumTotals::WithBytes);
// The same for every source with own entries in rows, in SourceOrder.
using TotalsBySource = std::map<QString, MediumTotals, SourceOrder>;
TotalsBySource mediaTotals(const RowStore &rows);
// The sources of the own entries of rows, as UTF-8.
QSet<QByteArray> ownSources(const RowStore &rows);

// Notes a scan of root on the record: the volume that holds root now (its
// label, UUID, file system and size, and its mount point), the time, and
// the medium's totals after it.
void noteScan(MediaRecord &record, const QString &root, const QList<MountedVolume> &volumes, const QDateTime &when,
              const MediumTotals &totals);

