#pragma once

#include "media/mediascan.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <optional>

class QThread;

// Runs one media scan on its own thread and reports its progress to the
// object's thread with queued signals, at most a few times a second so a
// large medium does not flood the window. The outcome is collected with
// takeOutcome() after finished().
class ScanWorker : public QObject
{
    Q_OBJECT
public:
    explicit ScanWorker(QObject *parent = nullptr);
    ~ScanWorker() override; // stops a running scan and waits for it

    void start(const QString &root, const QString &source);
    bool isRunning() const { return m_thread != nullptr; }
    // Asks the scan to stop at its next check; finished() still follows.
    void requestStop() { m_stop = true; }
    bool stopRequested() const { return m_stop; }
    // Blocks until a running scan has ended; finished() is then not sent.
    void wait();
    // The outcome of the scan that finished last.
    ScanOutcome takeOutcome();

    // Shortest time between two progress reports.
    static constexpr int ReportIntervalMs = 40;

Q_SIGNALS:
    void walking(qsizetype found);
    void importing(qsizetype imported, qsizetype total);
    void finished();

private:
    void threadFinished();

    QThread *m_thread = nullptr;
    quint64 m_run = 0; // tells a late end report of an earlier run from the current one
    std::atomic_bool m_stop{false};
    std::optional<ScanOutcome> m_outcome; // written by the scan thread, read after it ended
};
