#include "media/widgets/scanworker.h"

#include <QElapsedTimer>
#include <QThread>

ScanWorker::ScanWorker(QObject *parent)
    : QObject(parent)
{
}

ScanWorker::~ScanWorker()
{
    m_stop = true;
    wait();
}

void ScanWorker::wait()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    ++m_run;
}

void ScanWorker::start(const QString &root, const QString &source)
{
    if (m_thread)
        return;
    m_stop = false;
    m_outcome.reset();
    m_thread = QThread::create([this, root, source] {
        // The timer and the callbacks live on the scan thread only; the
        // signals cross to the window's thread queued.
        QElapsedTimer sinceReport;
        sinceReport.start();
        bool first = true;
        const auto due = [&] {
            if (!first && sinceReport.elapsed() < ReportIntervalMs)
                return false;
            first = false;
            sinceReport.restart();
            return true;
        };
        ScanCallbacks callbacks;
        callbacks.folderEntered = [&](const QString &, qsizetype found) {
            if (due())
                Q_EMIT walking(found);
        };
        callbacks.importStarted = [&](qsizetype total) {
            first = true; // the switch to importing is always shown
            if (due())
                Q_EMIT importing(0, total);
        };
        callbacks.fileImported = [&](qsizetype i, qsizetype total) {
            if (i == total || due())
                Q_EMIT importing(i, total);
        };
        m_outcome = scanMedia(root, source, callbacks, &m_stop);
    });
    connect(m_thread, &QThread::finished, this, [this, run = m_run] {
        if (run == m_run)
            threadFinished();
    });
    m_thread->start();
}

void ScanWorker::threadFinished()
{
    wait();
    Q_EMIT finished();
}

ScanOutcome ScanWorker::takeOutcome()
{
    ScanOutcome outcome = m_outcome ? std::move(*m_outcome) : ScanOutcome{};
    m_outcome.reset();
    return outcome;
}
