#pragma once

#include "export/statusjobs.h"

#include <QDialog>
#include <QPointer>

class QFutureWatcherBase;

class QGroupBox;
class QProgressBar;

// The small modal window that runs one status job (Save, Print, text
// export) and shows its progress. The job runs on a worker thread while
// the window's own event loop keeps it painted; the progress reaches the
// bar in whole percent steps only.
class StatusForm : public QDialog
{
    Q_OBJECT
public:
    explicit StatusForm(QWidget *owner = nullptr);
    ~StatusForm() override;

    // Shows the window modally over owner, runs the job, closes; returns when done.
    // Failures are reported through prompter. Returns true when the job
    // succeeded; outcome, when given, receives the job's whole result.
    static bool run(StatusJob job, StatusJobContext &context, Prompter &prompter, QWidget *owner,
                    StatusJobResult *outcome = nullptr);

    // Shows this window modally, runs the job and closes the window; the
    // result is left for the caller to report.
    StatusJobResult execute(StatusJob job, StatusJobContext &context);

    // The mode text of the job last started here ("SAVE", ...).
    QString statusJobMode() const { return m_mode; }
    bool isRunning() const { return m_running; }

public Q_SLOTS:
    // The job cannot be stopped halfway: Escape does nothing while it runs.
    void reject() override;

Q_SIGNALS:
    // Emitted from the work's thread; reaches the bar queued.
    void progressStep(int percent);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void startJob();
    void jobFinished(StatusJobResult result);

    QGroupBox *m_frame = nullptr;
    QProgressBar *m_bar = nullptr;
    QPointer<QFutureWatcherBase> m_work;
    StatusJob m_job = StatusJob::Save;
    StatusJobContext *m_context = nullptr;
    StatusJobResult m_result;
    QString m_mode;
    bool m_started = false;
    bool m_running = false;
};
