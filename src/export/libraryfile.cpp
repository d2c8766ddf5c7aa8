#include "export/libraryfile.h"

#include "export/descriptorvfs.h"
#include "export/librarydatabase.h"
#include "base/safefileread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace LibraryFile {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool onlyBlanks(QByteArrayView value)
{
    for (char c : value) {
        if (c != ' ')
            return false;
    }
    return true;
}

// The fields a record is read from, in the order they are read; the cover
// image is never taken from a library.
constexpr std::array<int, 8> ReadOrder = {FieldFilename, FieldSource, FieldArtist, FieldTrack,
                                          FieldAlbum,    FieldYear,   FieldGenre,  FieldAudioHeader};

// rename() that fails with EEXIST instead of replacing a file; where the
// file system cannot do that, a hard link (which never replaces) and an
// unlink of the temporary name.
int renameNoReplace(const char *from, const char *to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (::link(from, to) != 0)
        return -1;
    ::unlink(from);
    return 0;
}

// Adds the entries of source in one transaction. stopped tells a stop of
// the source from a failure of the database.
bool fill(LibraryDatabase &db, const EntryStream &source, Content content, bool &stopped)
{
    if (!db.beginWrite())
        return false;
    LibraryDatabase::RecordValues values;
    bool failed = false;
    const bool complete = source([&](const EntryView &entry) {
        if (content == Content::Library && entry.origin == EntryOrigin::Library)
            return true;
        for (int f = 0; f < TrackFieldCount; ++f) {
            const QByteArrayView value = entry.fields[size_t(f)];
            if (f == FieldFilename)
                values[size_t(f)] = value; // always written
            else if ((f == FieldCoverImage && content == Content::Library) || onlyBlanks(value))
                values[size_t(f)] = std::nullopt;
            else
                values[size_t(f)] = value;
        }
        failed = !db.addRecord(values);
        return !failed;
    });
    stopped = !complete && !failed;
    return complete && db.commit();
}

} // namespace

QString databaseExportFileName()
{
    return QStringLiteral("ondro2000.mdb");
}

QString withLibraryExtension(const QString &name)
{
    if (name.isEmpty() || name.endsWith(QLatin1String(".odl"), Qt::CaseInsensitive))
        return name;
    return name + QStringLiteral(".odl");
}

SaveResult createEmpty(const QString &path)
{
    return write(path, RowStore(), Content::Library);
}

bool targetTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

SaveResult write(const QString &path, const EntryStream &source, Content content, const SaveSystemCalls &calls)
{
    if (targetTaken(path))
        return {false, QStringLiteral("a file of that name exists")};
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir())
        return {false, QStringLiteral("the folder %1 does not exist").arg(shown(folder))};

    // The save opens the temporary file and the database is written into
    // it through that descriptor, with the save's calls; SQLite reads back
    // pages it wrote, so the file is opened for reading too. The rename
    // never replaces a file that appeared meanwhile.
    DescriptorVfs::Target target;
    target.calls = &calls;
    SaveSystemCalls onto = calls;
    onto.open = [&](const char *name, int flags, int mode) {
        flags = (flags & ~O_ACCMODE) | O_RDWR;
        target.fd = calls.open ? calls.open(name, flags, mode) : ::open(name, flags, mode);
        target.name = name;
        return target.fd;
    };
    if (!onto.rename)
        onto.rename = renameNoReplace;
    QString reason;
    SaveResult saved = saveAtomically(
        path,
        [&](QIODevice &) {
            LibraryDatabase db;
            bool stopped = false;
            const bool written = db.create(target) && fill(db, source, content, stopped);
            if (!written && !stopped)
                reason = target.error != 0 ? SafeFileRead::systemReason(target.error) : db.error();
            return written;
        },
        onto);
    if (!saved && !reason.isEmpty())
        saved.error = reason; // instead of "writing was stopped"
    return saved;
}

SaveResult write(const QString &path, const RowStore &rows, Content content, WorkProgress *progress,
                 const SaveSystemCalls &calls)
{
    return write(path, streamOf(rows, progress), content, calls);
}

bool load(const QString &path, RowStore &rows, QString *reason, std::optional<LibraryDatabase::ReadLimits> limits)
{
    return visit(
        path, [&rows](const Fields &fields) { rows.appendUtf8(fields, EntryOrigin::Library); }, reason, limits);
}

bool visit(const QString &path, const std::function<void(const Fields &fields)> &take, QString *reason,
           std::optional<LibraryDatabase::ReadLimits> limits)
{
    LibraryDatabase db;
    const auto failed = [&] {
        if (reason)
            *reason = db.error();
        return false;
    };
    if (!db.openReadOnly(path, limits) || !db.openRecordset())
        return failed();
    for (;;) {
        switch (db.next()) {
        case LibraryDatabase::Step::End: {
            // Changes another program left in a write-ahead log are not in
            // the file itself; reading them would write beside it.
            QString wal;
            if (!LibraryDatabase::changesBeside(path, &wal))
                return true;
            if (reason)
                *reason = QStringLiteral("changes kept in %1 beside it were not read").arg(wal);
            return false;
        }
        case LibraryDatabase::Step::Failed: return failed();
        case LibraryDatabase::Step::Record: break;
        }
        Fields fields;
        for (int f : ReadOrder) {
            if (!db.hasField(f)) {
                take(fields); // the fields read so far
                if (reason)
                    *reason = QStringLiteral("its table has no field %1").arg(TrackRecord::fieldNames()[size_t(f)]);
                return false;
            }
            fields[size_t(f)] = db.value(f);
            if (fields[size_t(f)].size() > LibraryDatabase::MaxValueBytes) {
                // No catalogue field is that long; the record keeps the
                // fields before it, as with a missing field.
                fields[size_t(f)] = {};
                take(fields);
                if (reason)
                    *reason = QStringLiteral("its field %1 holds a value longer than %2 MiB")
                                  .arg(TrackRecord::fieldNames()[size_t(f)])
                                  .arg(LibraryDatabase::MaxValueBytes >> 20);
                return false;
            }
        }
        take(fields);
    }
}

QString existsMessage(const QString &path, Content content)
{
    return shown(path) + (content == Content::Library
                              ? QStringLiteral(" already exists. Please rename or delete before trying to create again.")
                              : QStringLiteral(" already exists. Please rename or delete before trying to export again."));
}

QString doneMessage(const QString &path, Content content)
{
    return shown(path) + (content == Content::Library ? QStringLiteral(" was created.") : QStringLiteral(" was exported."));
}

QString failureMessage(const QString &path, Content content, const QString &reason)
{
    return (content == Content::Library ? QStringLiteral("The library %1 could not be created: %2. No file was left behind.")
                                        : QStringLiteral("The database %1 could not be exported: %2. No file was left behind."))
        .arg(shown(path), reason);
}

QString loadedMessage()
{
    return QStringLiteral("Library loaded");
}

QString loadProblemMessage()
{
    return QStringLiteral("There was a problem loading the library. Some records may not be shown.");
}

} // namespace LibraryFile
