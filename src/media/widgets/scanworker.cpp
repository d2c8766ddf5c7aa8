#include "media/widgets/scanworker.h"

#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <climits>

namespace {

// The future's progress only goes up, so one value carries both phases:
// while walking (range 0..0) it is the number of files found; once the
// import has started, the range is 0..2 x total and the value is total
// plus the files imported.
int progressOf(qsizetype value)
{
    return int(std::min<qsizetype>(value, INT_MAX / 2));
}

} // namespace

ScanWorker::ScanWorker(QObject *parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcherBase::progressRangeChanged, this, &ScanWorker::progressRangeChanged);
    connect(&m_watcher, &QFutureWatcherBase::progressValueChanged, this, &ScanWorker::progressValueChanged);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &ScanWorker::futureFinished);
}

ScanWorker::~ScanWorker()
{
    m_stop = true;
    m_watcher.disconnect(this);
    m_future.waitForFinished();
}

void ScanWorker::start(const QString &root, const QString &source)
{
    if (m_running)
        return;
    m_stop = false;
    m_running = true;
    m_total = -1;
    m_future = QtConcurrent::run([root, source, stop = &m_stop](QPromise<ScanOutcome> &promise) {
        ScanCallbacks callbacks;
        callbacks.folderEntered = [&](const QString &, qsizetype found) {
            promise.setProgressValue(progressOf(found));
        };
        callbacks.importStarted = [&](qsizetype total) {
            promise.setProgressRange(0, 2 * progressOf(total));
            promise.setProgressValue(progressOf(total));
        };
        callbacks.fileImported = [&](qsizetype i, qsizetype total) {
            promise.setProgressValue(progressOf(total) + progressOf(i));
        };
        promise.addResult(scanMedia(root, source, callbacks, stop));
    });
    m_watcher.setFuture(m_future);
}

void ScanWorker::progressRangeChanged(int, int maximum)
{
    if (maximum > 0) {
        m_total = maximum / 2;
        Q_EMIT importing(0, m_total);
    }
}

void ScanWorker::progressValueChanged(int value)
{
    if (m_total < 0)
        Q_EMIT walking(value);
    else if (value >= m_total)
        Q_EMIT importing(value - m_total, m_total);
}

void ScanWorker::futureFinished()
{
    m_running = false;
    Q_EMIT finished();
}

ScanOutcome ScanWorker::takeOutcome()
{
    if (m_running || !m_future.isValid() || m_future.resultCount() == 0)
        return {};
    ScanOutcome outcome = m_future.takeResult();
    m_future = QFuture<ScanOutcome>();
    return outcome;
}
