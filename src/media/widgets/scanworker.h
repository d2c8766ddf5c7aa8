#pragma once

#include "media/mediascan.h"
#include "base/workprogress.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QFutureWatcherBase;

// Runs one media scan as long work (see LongWork) and tells its progress
// to the object's thread a few times a second, so a large medium does not
// flood the window. The outcome is collected with takeOutcome() after
// finished().
class ScanWorker : public QObject
{
    Q_OBJECT
public:
    explicit ScanWorker(QObject *parent = nullptr);
    ~ScanWorker() override; // stops a running scan and waits for it

    // Scans root for source, its tags read as reading says.
    void start(const QString &root, const QString &source, const TagReading &reading = {});
    bool isRunning() const { return !m_work.isNull(); }
    // Asks the scan to stop at its next check; finished() still follows.
    void requestStop() { m_progress->requestStop(); }
    bool stopRequested() const { return m_progress->stopped(); }
    // The outcome of the scan that finished last.
    ScanOutcome takeOutcome();

Q_SIGNALS:
    void walking(qsizetype found);
    void importing(qsizetype imported, qsizetype total);
    void finished();

private:
    void tick(const WorkProgress &progress);

    QPointer<QFutureWatcherBase> m_work;
    std::shared_ptr<WorkProgress> m_progress = std::make_shared<WorkProgress>();
    ScanOutcome m_outcome;
    qint64 m_shownDone = -1; // what was last told, so a tick without news says nothing
    qint64 m_shownTotal = -1;
};
