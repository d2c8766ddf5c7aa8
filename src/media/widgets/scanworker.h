#pragma once

#include "media/mediascan.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <atomic>

// Runs one media scan through QtConcurrent and reports its progress to
// the object's thread through a QFutureWatcher, at most a few times a
// second so a large medium does not flood the window (the future's own
// progress reports are paced that way). The outcome is collected with
// takeOutcome() after finished().
class ScanWorker : public QObject
{
    Q_OBJECT
public:
    explicit ScanWorker(QObject *parent = nullptr);
    ~ScanWorker() override; // stops a running scan and waits for it

    void start(const QString &root, const QString &source);
    bool isRunning() const { return m_running; }
    // Asks the scan to stop at its next check; finished() still follows.
    void requestStop() { m_stop = true; }
    bool stopRequested() const { return m_stop; }
    // The outcome of the scan that finished last.
    ScanOutcome takeOutcome();

Q_SIGNALS:
    void walking(qsizetype found);
    void importing(qsizetype imported, qsizetype total);
    void finished();

private:
    void progressRangeChanged(int minimum, int maximum);
    void progressValueChanged(int value);
    void futureFinished();

    QFutureWatcher<ScanOutcome> m_watcher;
    QFuture<ScanOutcome> m_future;
    bool m_running = false;
    qsizetype m_total = -1; // files to import; -1 while walking
    std::atomic_bool m_stop{false};
};
