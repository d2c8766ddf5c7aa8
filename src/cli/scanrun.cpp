#include "cli/scanrun.h"

#include "cli/clioutput.h"
#include "base/codepage.h"
#include "base/platform/volumes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace ScanRun {

namespace {

// One status line on a terminal's standard error, rewritten in place at
// most ten times a second. Does nothing when standard error is a file or a
// pipe, so logs of cron jobs stay clean.
class ScanProgress
{
public:
    ScanProgress() : m_enabled(isatty(fileno(stderr)) == 1) { m_clock.start(); }

    void show(const QString &text, bool force = false)
    {
        if (!m_enabled || (!force && m_shown && m_clock.elapsed() < 100))
            return;
        m_clock.restart();
        m_shown = true;
        const QByteArray line = "\r" + text.toUtf8() + "\x1b[K";
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
    }

    void finish()
    {
        if (m_enabled && m_shown) {
            std::fputs("\r\x1b[K", stderr);
            std::fflush(stderr);
        }
    }

private:
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

} // namespace

QString scanRoot(const CliContext &context, const QString &argument)
{
    if (!context.keptWhole(argument))
        return {};
    const QFileInfo info(argument);
    const QString shown = QDir::toNativeSeparators(argument);
    if (!info.exists()) {
        CliIo::error(QStringLiteral("cannot scan %1: no such folder").arg(shown));
        return {};
    }
    if (!info.isDir()) {
        CliIo::error(QStringLiteral("cannot scan %1: it is not a folder").arg(shown));
        return {};
    }
    if (!info.isReadable() || !info.isExecutable()) {
        CliIo::error(QStringLiteral("cannot scan %1: the folder cannot be read").arg(shown));
        return {};
    }
    // Stored paths are full paths, as the desktop scan stores them.
    return QDir::cleanPath(info.absoluteFilePath());
}

ScanOutcome scanShowingProgress(const QString &root, const QString &source, const TagReading &reading)
{
    ScanProgress shown;
    // While walking the total is 0 and done the files found; then done is
    // the files imported of the total. No text is formatted per file when
    // nothing shows it, and at most every 64th file when a terminal does
    // (it is redrawn every 100 ms).
    const bool progressShown = isatty(fileno(stderr)) == 1;
    WorkProgress progress;
    progress.onStep = [&](qint64 i, qint64 total) {
        if (total == 0)
            shown.show(QStringLiteral("Walking: %1 files found").arg(i));
        else if (i == 0)
            shown.show(QStringLiteral("Importing: 0 of %1").arg(total), true);
        else if (progressShown && (i % 64 == 0 || i == total))
            shown.show(QStringLiteral("Importing: %1 of %2").arg(i).arg(total), i == total);
    };
    ScanOutcome outcome = scanMedia(root, source, {}, &progress, 0, reading);
    shown.finish();
    for (const QString &folder : std::as_const(outcome.failedFolders))
        CliIo::error(QStringLiteral("cannot read the folder %1; it was skipped").arg(QDir::toNativeSeparators(folder)));
    for (const SkippedFile &file : std::as_const(outcome.skipped))
        CliIo::error(QStringLiteral("%1 was skipped: %2").arg(QDir::toNativeSeparators(file.path), file.reason));
    return outcome;
}

std::optional<TagReading> readingOf(const MediaRegister &media, const QString &source)
{
    QString refusal;
    const TagReading reading = tagReadingOf(media.find(source), &refusal);
    if (refusal.isEmpty())
        return reading;
    refuseReading(media, source, refusal);
    return std::nullopt;
}

void refuseReading(const MediaRegister &media, const QString &source, const QString &refusal)
{
    const MediaRecord *record = media.find(source);
    const QString option = record && !CodePage::isKnown(record->codepage) ? QStringLiteral("--codepage NAME")
                                                                          : QStringLiteral("--tags id3v1|id3v2");
    CliIo::error(QStringLiteral("cannot scan %1: the media register gives it an %2; `ondro-cli media set %1 "
                                "%3` sets one")
                     .arg(source, refusal, option));
}

bool readRegister(const CliContext &context, MediaRegister &media)
{
    const QString path = MediaRegister::fileIn(context.dataDir);
    const MediaRegister::ReadResult read = media.read(path);
    if (read.usable())
        return true;
    CliIo::error(MediaRegister::problemMessage(path, read));
    return false;
}

bool saveScanNoted(const CliContext &context, MediaRegister &media, const QString &source, const QString &root,
                   const MediumTotals &totals, const QString &what)
{
    MediaRecord &record = media.recordFor(source);
    noteScan(record, root, Volumes::mounted(), QDateTime::currentDateTimeUtc(), totals);
    const QString path = MediaRegister::fileIn(context.dataDir);
    const SaveResult saved = media.save(path);
    if (saved)
        return true;
    CliIo::error(QStringLiteral("The media register %1 could not be saved (%2), so the %3 of %4 was not saved "
                                "either; the catalogue is as it was.")
                     .arg(QDir::toNativeSeparators(path), saved.error, what, source));
    return false;
}

void restoreRegister(const CliContext &context, const std::optional<MediaRegister> &before)
{
    const QString path = MediaRegister::fileIn(context.dataDir);
    if (before ? !before->save(path) : !QFile::remove(path))
        CliIo::error(QStringLiteral("The media register %1 could not be put back as it was; it notes a scan the "
                                    "catalogue does not hold, which the next save of the desktop drops.")
                         .arg(QDir::toNativeSeparators(path)));
}

} // namespace ScanRun
