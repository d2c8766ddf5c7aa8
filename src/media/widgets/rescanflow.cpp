#include "media/widgets/rescanflow.h"

#include "media/rescanservice.h"
#include "catalogue/cataloguemodel.h"
#include "media/mediasession.h"
#include "base/platform/prompter.h"
#include "base/widgets/longwork.h"

#include <QDir>

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
    m_outcome.clear();
    m_changed.reset();
    const RescanService::Planned planned =
        RescanService::plan(m_media.media(), m_media.states().state(source), source, root);
    if (planned.refusal != RescanService::Refusal::None) {
        const QString text = planned.refusal == RescanService::Refusal::UnknownReading
                                 ? QStringLiteral("%1 cannot be rescanned: the media register gives it an %2.")
                                       .arg(source, planned.reason)
                                 : QStringLiteral("%1 is offline: mount it, then rescan it.").arg(source);
        m_outcome = text;
        m_prompter.message(text, Prompter::Icon::Warning);
        Q_EMIT finished(false);
        return;
    }
    const RowStore &rows = m_catalogue.rows(); // unchanged while the window is busy
    LongWork::Shown shown{QStringLiteral("Rescanning %1...").arg(source), StopOffer::Offered, {}};
    m_work = LongWork::start(
        m_window, shown,
        [&rows, plan = planned.plan](WorkProgress &progress) {
            return RescanService::find(rows, plan, [&progress](const QString &root, const QString &source,
                                                                const TagReading &reading) {
                return scanMedia(root, source, {}, &progress, 0, reading);
            });
        },
        [this, plan = planned.plan](RescanService::Found found) { ended(plan, std::move(found)); });
}

void RescanFlow::ended(const RescanService::Plan &plan, RescanService::Found found)
{
    m_work.clear(); // ended: the window may start another
    if (found.outcome.stopped) {
        Q_EMIT finished(false); // asked for by the user: nothing to tell
        return;
    }
    if (found.unread) {
        m_outcome = QStringLiteral("%1 could not be read, so nothing was changed.")
                        .arg(QDir::toNativeSeparators(plan.walk));
        m_prompter.message(m_outcome, Prompter::Icon::Critical);
        Q_EMIT finished(false);
        return;
    }
    bool applied = false;
    m_outcome = rescanDone(plan.source, found.diff);
    if (!found.changes) {
        m_prompter.message(rescanSummary(plan.source, found.diff), Prompter::Icon::Information);
        m_changed = 0;
    } else if (m_prompter.message(rescanQuestion(plan.source, found.diff), Prompter::Icon::None,
                                  Prompter::Buttons::YesNo) == Prompter::Answer::Yes) {
        m_catalogue.apply(RescanService::edits(m_catalogue.rows(), found));
        applied = true;
        m_changed = found.diff.count(RescanDiff::Kind::Changed);
    } else {
        m_outcome = QStringLiteral("Rescan %1: the changes were not applied.").arg(plan.source);
        Q_EMIT finished(false);
        return;
    }
    if (const QString failure = m_media.noteScan(plan.source, plan.walk, found.totals); !failure.isEmpty())
        m_prompter.message(failure, Prompter::Icon::Critical);
    m_media.refresh(m_catalogue.rows());
    Q_EMIT finished(applied);
}
