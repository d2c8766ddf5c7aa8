#include "media/widgets/rescanflow.h"

#include "media/mediascan.h"
#include "media/rescan.h"
#include "store/cataloguemodel.h"
#include "store/tagreading.h"
#include "store/mediasession.h"
#include "store/platform/prompter.h"
#include "store/widgets/longwork.h"

#include <QDir>

// What the walk and the comparison give back to the window's thread.
struct RescanFlow::Found
{
    QString root;
    ScanOutcome outcome;
    RescanDiff diff;
    MediumTotals totals; // of the medium's entries once applied
};

RescanFlow::RescanFlow(CatalogueModel &catalogue, MediaSession &media, Prompter &prompter, QWidget *window)
    : QObject(window), m_catalogue(catalogue), m_media(media), m_prompter(prompter), m_window(window)
{
}

RescanFlow::~RescanFlow()
{
    if (m_work)
        m_work->waitForFinished(); // the work reads the catalogue's rows
}

void RescanFlow::start(const QString &source, const QString &root)
{
    if (isRunning())
        return;
    const MediaRecord *record = m_media.media().find(source);
    const MediumState *state = m_media.states().state(source);
    const QString walk = !root.isEmpty() ? root : state && state->online ? state->currentRoot : QString();
    if (walk.isEmpty()) {
        m_prompter.message(QStringLiteral("%1 is offline: mount it, then rescan it.").arg(source),
                           Prompter::Icon::Warning);
        Q_EMIT finished(false);
        return;
    }
    QString refusal;
    const TagReading reading = m_media.reading(source, &refusal);
    if (!refusal.isEmpty()) {
        m_prompter.message(QStringLiteral("%1 cannot be rescanned: the media register gives it an %2.")
                               .arg(source, refusal),
                           Prompter::Icon::Warning);
        Q_EMIT finished(false);
        return;
    }
    const QString scannedFrom = record && !record->root.isEmpty() ? record->root : walk;
    const RowStore &rows = m_catalogue.rows(); // unchanged while the window is busy
    LongWork::Shown shown{QStringLiteral("Rescanning %1...").arg(source), StopOffer::Offered, {}};
    m_work = LongWork::start(
        m_window, shown,
        [&rows, source, walk, scannedFrom, reading](WorkProgress &progress) {
            Found found;
            found.root = walk;
            found.outcome = scanMedia(walk, source, {}, &progress, 0, reading);
            if (found.outcome.stopped)
                return found;
            found.diff = diffRescan(rows, source, scannedFrom, found.outcome.rows, walk, found.outcome.failedFolders,
                                    found.outcome.skipped);
            // The files walked (their sizes and times from their facts), and
            // the entries not seen, which stay.
            found.totals = mediumTotals(found.outcome.rows, source);
            found.totals.files += qsizetype(found.diff.notSeen.size());
            return found;
        },
        [this, source](Found found) { ended(source, std::move(found)); });
}

void RescanFlow::ended(const QString &source, Found found)
{
    m_work.clear(); // ended: the window may start another
    if (found.outcome.stopped) {
        Q_EMIT finished(false); // asked for by the user: nothing to tell
        return;
    }
    if (found.outcome.failedFolders.contains(found.root)) {
        m_prompter.message(QStringLiteral("%1 could not be read, so nothing was changed.")
                               .arg(QDir::toNativeSeparators(found.root)),
                           Prompter::Icon::Critical);
        Q_EMIT finished(false);
        return;
    }
    bool applied = false;
    if (!found.diff.changesCatalogue(m_catalogue.rows(), found.outcome.rows)) {
        m_prompter.message(rescanSummary(source, found.diff), Prompter::Icon::Information);
    } else if (m_prompter.message(rescanQuestion(source, found.diff), Prompter::Icon::None,
                                  Prompter::Buttons::YesNo) == Prompter::Answer::Yes) {
        applyRescan(m_catalogue, found.diff, found.outcome.rows);
        applied = true;
    } else {
        Q_EMIT finished(false);
        return;
    }
    if (const QString failure = m_media.noteScan(source, found.root, found.totals); !failure.isEmpty())
        m_prompter.message(failure, Prompter::Icon::Critical);
    m_media.refresh(m_catalogue.rows());
    Q_EMIT finished(applied);
}
