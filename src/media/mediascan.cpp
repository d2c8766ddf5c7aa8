#include "media/mediascan.h"

#include "media/mediawalk.h"
#include "media/rawtrack.h"
#include "media/trackfeed.h"
#include "base/codepage.h"
#include "catalogue/entrypath.h"
#include "catalogue/extensionline.h"
#include "base/safefileread.h"

#include <QFile>
#include <QStorageInfo>

#include <algorithm>
#include <vector>

namespace {

// Files found and not yet added as rows, at most: how far the readers may
// run ahead of the rows while the walk waits on the medium (tracks of a
// few hundred bytes each once their tags are parsed).
constexpr qsizetype Window = 2048;
// Files read at once on media that are not optical: reads wait on the
// device, so this many keep a disk's or a memory stick's queue filled on
// any number of cores, without more threads than a warm scan can use.
constexpr int DeviceReaders = 8;

SkippedFile::Kind skippedKind(SafeFileRead::Status status)
{
    switch (status) {
    case SafeFileRead::Status::Missing:
        return SkippedFile::Missing;
    case SafeFileRead::Status::Failed:
        return SkippedFile::Unreadable;
    default:
        return SkippedFile::NotPlainFile;
    }
}

// The import of the files a walk finds into the outcome's rows, in walk
// order, while the walk goes on.
class Import
{
public:
    Import(const QString &source, const ScanCallbacks &callbacks, WorkProgress *progress,
           ScanOutcome &outcome, int readers, const TagReading &reading, const SafeFileRead::ReadSystemCalls *calls)
        : m_callbacks(callbacks), m_progress(progress), m_outcome(outcome), m_sourceUtf8(source.toUtf8()),
          m_feed(readers, progress, reading, calls), m_names(reading.codepage)
    {
    }

    // The walk listed names in folder: they go to the readers, and what
    // is read by now becomes rows.
    void filesListed(const QByteArray &folder, int folderFd, QByteArrayList &names, bool coverImage);
    // After the walk: the other files become rows, and every file is told.
    void finish();
    // A stopped scan adds nothing: the catalogue stays as it was.
    void stopped();

private:
    void addRow(const TrackFeed::Track &track);
    // The stored name of a file whose name is not UTF-8: decoded in the
    // medium's code page (Windows-1252 under "auto"), its bytes on the line.
    void decodeName(const TrackFeed::Track &track);
    // Tells the files imported since the last call; false once stopped.
    bool tellImported();

    const ScanCallbacks &m_callbacks;
    WorkProgress *m_progress;
    ScanOutcome &m_outcome;
    const QByteArray m_sourceUtf8;
    TrackFeed m_feed;
    std::vector<TrackFeed::Track> m_tracks; // taken from the feed, reused
    QList<SkippedFile> m_readSkipped; // after the walk's own
    qsizetype m_found = 0;
    qsizetype m_imported = 0; // files taken from the feed, rows or skipped
    qsizetype m_told = 0;
    CodePageDecoder m_names; // of names that are not UTF-8, on the thread that adds rows
    QByteArray m_path; // of the file being added, reused
    QByteArray m_extension; // of a file whose name is not UTF-8
};

void Import::filesListed(const QByteArray &folder, int folderFd, QByteArrayList &names, bool coverImage)
{
    m_found += names.size();
    workStep(m_progress, m_found, 0);
    if (m_callbacks.filesFound)
        m_callbacks.filesFound(m_found);
    m_feed.add(folder, folderFd, std::move(names), coverImage);
    do {
        m_feed.take(m_tracks, m_feed.pending() > Window);
        for (const TrackFeed::Track &track : m_tracks)
            addRow(track);
    } while (!m_tracks.empty() && !workStopped(m_progress) && m_feed.pending() > Window);
}

void Import::finish()
{
    m_feed.finish();
    workStep(m_progress, 0, m_found);
    m_outcome.rows.reserve(m_found);
    while (tellImported() && m_feed.take(m_tracks, true))
        for (const TrackFeed::Track &track : m_tracks)
            addRow(track);
    if (!m_outcome.stopped)
        m_outcome.skipped.append(std::move(m_readSkipped));
}

bool Import::tellImported()
{
    for (;; ++m_told) {
        if (workStopped(m_progress)) {
            stopped();
            return false;
        }
        if (m_told == m_imported)
            return true;
        workStep(m_progress, m_told + 1, m_found);
    }
}

void Import::addRow(const TrackFeed::Track &track)
{
    ++m_imported;
    const RawTrack &raw = track.raw;
    m_path.truncate(0);
    m_path.append(track.folder);
    if (!track.folder.endsWith('/'))
        m_path.append('/');
    m_extension.truncate(0);
    if (track.name.isValidUtf8())
        m_path.append(track.name);
    else
        decodeName(track);
    if (isImported(raw)) {
        m_outcome.rows.appendUtf8({m_path, m_sourceUtf8, raw.tags.artist, raw.tags.track, raw.tags.album,
                                   raw.tags.year, raw.tags.genre, QByteArrayView(), raw.audioheader},
                                  EntryOrigin::Own, m_extension.isEmpty() ? raw.extension : m_extension);
    } else {
        m_readSkipped.append({QFile::decodeName(m_path), raw.problem, skippedKind(raw.status),
                              m_extension.isEmpty() ? QByteArray() : track.name});
    }
}

void Import::decodeName(const TrackFeed::Track &track)
{
    m_path.append(m_names.decode(track.name).toUtf8());
    ExtensionLine::Facts facts = ExtensionLine::parse(track.raw.extension);
    facts.set(EntryPath::RawNameKey, track.name);
    m_extension = ExtensionLine::format(facts);
}

void Import::stopped()
{
    m_outcome.rows.clear();
    m_outcome.stopped = true;
}

} // namespace

TrackInfo readTrackInfo(const QString &path, TagPreference prefer)
{
    RawTrack raw = readRawTrack(MediaFile(path), prefer);
    parseRawTags(raw);
    return {raw.tags.toTags(), QString::fromUtf8(raw.audioheader), raw.status, raw.problem};
}

QString leftOutSummary(const ScanOutcome &outcome)
{
    struct Kind
    {
        SkippedFile::Kind kind;
        const char *one;
        const char *many;
    };
    static constexpr Kind Kinds[] = {
        {SkippedFile::NameNotUtf8, "name not valid UTF-8", "names not valid UTF-8"},
        {SkippedFile::NameWithLineBreak, "name with a line break", "names with a line break"},
        {SkippedFile::NotPlainFile, "not a plain file", "not plain files"},
        {SkippedFile::Missing, "missing", "missing"},
        {SkippedFile::Unreadable, "could not be read", "could not be read"}};
    QStringList counts;
    for (const Kind &k : Kinds) {
        const auto n = std::count_if(outcome.skipped.cbegin(), outcome.skipped.cend(),
                                     [&](const SkippedFile &file) { return file.kind == k.kind; });
        if (n > 0)
            counts.append(QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? k.one : k.many)));
    }
    QStringList parts;
    if (!outcome.skipped.isEmpty())
        parts.append(QStringLiteral("%1 skipped (%2)")
                         .arg(outcome.skipped.size())
                         .arg(counts.join(QStringLiteral(", "))));
    if (const qsizetype n = outcome.failedFolders.size(); n > 0)
        parts.append(QStringLiteral("%1 %2 could not be read").arg(n).arg(n == 1 ? QStringLiteral("folder")
                                                                              : QStringLiteral("folders")));
    return parts.join(QStringLiteral(", "));
}

int readersForMedium(const QString &root)
{
    const QStorageInfo medium(root);
    const QByteArray type = medium.fileSystemType().toLower();
    const bool optical = type == "iso9660" || type == "udf" || medium.device().startsWith("/dev/sr");
    return optical ? 1 : DeviceReaders;
}

ScanOutcome scanMedia(const QString &root, const QString &source, const ScanCallbacks &callbacks,
                      WorkProgress *progress, int readers, const TagReading &reading,
                      const SafeFileRead::ReadSystemCalls *calls)
{
    ScanOutcome outcome;
    Import import(source, callbacks, progress, outcome, readers > 0 ? readers : readersForMedium(root), reading, calls);
    WalkCallbacks walkCallbacks;
    walkCallbacks.folderEntered = callbacks.folderEntered;
    walkCallbacks.filesListed = [&import](const QByteArray &folder, int folderFd, QByteArrayList &names,
                                          bool coverImage) {
        import.filesListed(folder, folderFd, names, coverImage);
    };
    ByteWalkResult walk = MediaWalk::walkBytes(root, QStringLiteral("*.MP3"), walkCallbacks, progress);
    outcome.failedFolders = std::move(walk.failedFolders);
    outcome.skipped = std::move(walk.skipped);
    if (walk.stopped)
        import.stopped();
    else
        import.finish();
    return outcome;
}
