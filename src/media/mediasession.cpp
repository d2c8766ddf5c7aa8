#include "media/mediasession.h"

#include "base/codepage.h"
#include "base/platform/platform.h"
#include "media/mediaedits.h"
#include "catalogue/rowstore.h"

MediaSession::MediaSession(QString registerPath, Platform &platform, QObject *parent)
    : QObject(parent), m_path(std::move(registerPath)), m_platform(platform), m_probe(new FolderProbe(this))
{
    connect(m_probe, &FolderProbe::resultsChanged, this, [this] { updateStates(false); });
}

QString MediaSession::load()
{
    const MediaRegister::ReadResult read = m_media.read(m_path);
    m_onDisk = m_media;
    if (read.usable())
        return {};
    m_refusal = MediaRegister::problemMessage(m_path, read);
    return m_refusal + QStringLiteral(" Ondro will not save over it while it runs.");
}

void MediaSession::refresh(const RowStore &rows)
{
    m_volumes = m_platform.mountedVolumes();
    m_samples = MediumSamples::of(m_media, rows);
    m_probe->check(folderTargets(), RefreshWait);
    updateStates(true);
}

QList<FolderProbe::Target> MediaSession::folderTargets() const
{
    QList<FolderProbe::Target> targets;
    for (const MediaRecord &record : m_media.records()) {
        if (record.uuid.isEmpty())
            targets.append({record.source, record.root, m_samples.paths(record.source)});
    }
    return targets;
}

void MediaSession::poll()
{
    const QList<FolderProbe::Target> targets = folderTargets();
    if (targets.isEmpty())
        return;
    QList<FolderProbe::Target> batch;
    for (qsizetype i = 0; i < std::min(PollBatch, targets.size()); ++i)
        batch.append(targets.at((m_nextPolled + i) % targets.size()));
    m_nextPolled = (m_nextPolled + batch.size()) % targets.size();
    m_probe->check(batch, std::chrono::milliseconds(0));
}

void MediaSession::checkNow(const QString &source)
{
    for (const FolderProbe::Target &target : folderTargets()) {
        if (target.source == source) {
            m_probe->check({target}, RefreshWait);
            updateStates(false);
        }
    }
}

// The states as the probe and the volumes give them; changed() follows
// when they changed, or always when announce.
void MediaSession::updateStates(bool announce)
{
    MediaStates next;
    next.update(m_media, m_volumes, m_samples, [this](const QString &source) { return m_probe->online(source); });
    if (!announce && next == m_states)
        return;
    m_states = std::move(next);
    Q_EMIT changed();
}

QString MediaSession::noteScan(const QString &source, const QString &root, const MediumTotals &totals)
{
    if (!m_refusal.isEmpty())
        return m_refusal + QStringLiteral(" What this scan found about the medium was not saved.");
    MediaRecord &record = m_media.recordFor(source);
    ::noteScan(record, root, m_platform.mountedVolumes(), QDateTime::currentDateTimeUtc(), totals);
    return save();
}

// One key of a medium's record set and the register saved, unless the
// register could not be read (what is on disk is then kept).
QString MediaSession::setField(const QString &source, QString MediaRecord::*field, const QString &value,
                               const char *what)
{
    if (!m_refusal.isEmpty())
        return m_refusal + QStringLiteral(" The %1 was not saved.").arg(QLatin1String(what));
    m_media.recordFor(source).*field = value;
    return save();
}

QString MediaSession::setNote(const QString &source, const QString &note)
{
    return setField(source, &MediaRecord::note, note, "note");
}

QString MediaSession::noteVerification(const QString &source, const MediumVerification &verified)
{
    if (!m_refusal.isEmpty())
        return m_refusal + QStringLiteral(" What this verification found about the medium was not saved.");
    m_media.recordFor(source).verified = verified;
    return save();
}

QString MediaSession::renameMedium(const QString &from, const QString &to)
{
    if (!m_refusal.isEmpty())
        return m_refusal + QStringLiteral(" Its record of %1 was not renamed %2.").arg(from, to);
    MediaEdits::renameRecord(m_media, from, to);
    return save();
}

QString MediaSession::removeMedium(const QString &source)
{
    if (!m_refusal.isEmpty())
        return m_refusal + QStringLiteral(" Its record of %1 was not removed.").arg(source);
    if (!m_media.remove(source))
        return {};
    return save();
}

QString MediaSession::setCodepage(const QString &source, const QString &codepage)
{
    return setField(source, &MediaRecord::codepage, codepage, "code page");
}

QString MediaSession::codepage(const QString &source) const
{
    const MediaRecord *record = m_media.find(source);
    return record ? record->codepage : CodePage::autoName();
}

QString MediaSession::setTags(const QString &source, const QString &tags)
{
    return setField(source, &MediaRecord::tags, tags, "tag choice");
}

QString MediaSession::tags(const QString &source) const
{
    const MediaRecord *record = m_media.find(source);
    return record ? record->tags : TagPreferences::defaultName();
}

TagReading MediaSession::reading(const QString &source, QString *refusal) const
{
    return tagReadingOf(m_media.find(source), refusal);
}

// Every change of the register ends here: it waits for the catalogue's
// Save, so the two files always change together.
QString MediaSession::save()
{
    m_pending = true;
    return {};
}

MediaSession::Writes MediaSession::toSave(const RowStore &rows) const
{
    Writes writes;
    if (!mayBeSaved())
        return writes;
    // Gains before the list file, losses after it: a medium renamed or
    // removed stays until the list file no longer names it.
    if (m_pending)
        writes.before = m_media.withRecordsOf(m_onDisk);
    MediaRegister kept = m_media;
    const QSet<QByteArray> sources = ownSources(rows);
    const bool dropped =
        kept.dropUnused([&sources](const QString &source) { return sources.contains(source.toUtf8()); });
    if (dropped || (writes.before && !(*writes.before == kept)))
        writes.after = std::move(kept);
    return writes;
}

void MediaSession::saved(const Writes &writes)
{
    if (writes.after)
        m_media = *writes.after;
    if (writes.after || writes.before)
        m_onDisk = writes.after ? *writes.after : *writes.before;
    m_pending = false;
}
