#include "media/mediasession.h"

#include "base/codepage.h"
#include "base/platform/platform.h"
#include "catalogue/rowstore.h"



MediaSession::MediaSession(QString registerPath, Platform &platform, QObject *parent)
    : QObject(parent), m_path(std::move(registerPath)), m_platform(platform)
{
}

QString MediaSession::load()
{
    const MediaRegister::ReadResult read = m_media.read(m_path);
    if (read.usable())
        return {};
    m_refusal = MediaRegister::problemMessage(m_path, read);
    return m_refusal + QStringLiteral(" Ondro will not save over it while it runs.");
}

void MediaSession::refresh(const RowStore &rows)
{
    m_volumes = m_platform.mountedVolumes();
    m_states.update(m_media, m_volumes, MediumSamples::of(m_media, rows));
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

QString MediaSession::save()
{
    const SaveResult saved = m_media.save(m_path);
    return saved ? QString() : saveFailureMessage(m_path, saved);
}
