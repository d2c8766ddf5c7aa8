#include "media/widgets/scanworker.h"

#include "base/widgets/longwork.h"

#include <utility>

ScanWorker::ScanWorker(QObject *parent) : QObject(parent) {}

ScanWorker::~ScanWorker()
{
    m_progress->requestStop();
    if (m_work)
        m_work->waitForFinished();
}

void ScanWorker::start(const QString &root, const QString &source, const TagReading &reading)
{
    if (isRunning())
        return;
    // A new progress for each scan: the last one's stop flag stays with it.
    m_progress = std::make_shared<WorkProgress>();
    m_shownDone = m_shownTotal = -1;
    m_outcome = {};
    // While walking, total is 0 and done counts the files found; once the
    // import has started, done counts the files imported of total.
    LongWork::Shown shown;
    shown.tick = [this](const WorkProgress &progress) { tick(progress); };
    m_work = LongWork::start(
        this, shown,
        [root, source, reading](WorkProgress &progress) { return scanMedia(root, source, {}, &progress, 0, reading); },
        [this](ScanOutcome outcome) {
            tick(*m_progress);
            m_outcome = std::move(outcome);
            m_work.clear();
            Q_EMIT finished();
        },
        m_progress);
}

void ScanWorker::tick(const WorkProgress &progress)
{
    const qint64 total = progress.total.load(std::memory_order_acquire);
    const qint64 done = progress.done.load(std::memory_order_relaxed);
    if (done == m_shownDone && total == m_shownTotal)
        return;
    // The import's first report comes before the last files found are told.
    if (total > 0 && m_shownTotal <= 0 && done > 0)
        Q_EMIT importing(0, total);
    m_shownDone = done;
    m_shownTotal = total;
    if (total > 0)
        Q_EMIT importing(done, total);
    else
        Q_EMIT walking(done);
}

ScanOutcome ScanWorker::takeOutcome()
{
    if (isRunning())
        return {};
    return std::exchange(m_outcome, {});
}
