#include "export/widgets/statuswindow.h"


#include <QCloseEvent>
#include <QGroupBox>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include "base/widgets/longwork.h"

StatusForm::StatusForm(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("StatusForm"));
    setWindowTitle(QStringLiteral("Ondro"));
    setModal(true);

    m_frame = new QGroupBox(QStringLiteral(" Progress "), this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_bar = new QProgressBar(m_frame);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);

    auto *frameLayout = new QVBoxLayout(m_frame);
    frameLayout->addWidget(m_bar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_frame);
    setFixedSize(360, 96);

    connect(this, &StatusForm::progressStep, m_bar, &QProgressBar::setValue, Qt::QueuedConnection);
}

StatusForm::~StatusForm()
{
    if (m_work)
        m_work->waitForFinished();
}

bool StatusForm::run(StatusJob job, StatusJobContext &context, Prompter &prompter, QWidget *owner,
                     StatusJobResult *outcome)
{
    StatusJobResult result;
    {
        StatusForm form(owner);
        result = form.execute(job, context);
    }
    // The window is gone before any message shows or a document opens.
    StatusJobs::report(result, context.platform, prompter);
    if (outcome)
        *outcome = result;
    return result.ok;
}

StatusJobResult StatusForm::execute(StatusJob job, StatusJobContext &context)
{
    m_job = job;
    m_mode = statusJobModeText(job);
    m_context = &context;
    m_result = {};
    m_started = false;
    m_bar->setValue(0);
    setCursor(Qt::WaitCursor);
    exec();
    unsetCursor();
    m_context = nullptr;
    return m_result;
}

void StatusForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Start once the window is on screen, so it paints before work begins.
    if (m_context && !m_started)
        QTimer::singleShot(0, this, &StatusForm::startJob);
}

void StatusForm::startJob()
{
    if (m_started || !m_context)
        return;
    m_started = true;
    m_running = true;
    m_bar->setValue(0);
    m_bar->repaint();
    const StatusJob job = m_job;
    const StatusJobContext *context = m_context;
    // The window is its own progress window: its bar shows every whole
    // percent step of the job, queued from the work's thread.
    auto progress = std::make_shared<WorkProgress>();
    progress->onStep = [this, steps = std::make_shared<StatusJobs::WholePercentSteps>()](qint64 i, qint64 n) {
        if (steps->next(progressPercent(i, n)))
            Q_EMIT progressStep(steps->value());
    };
    m_work = LongWork::start(
        this, LongWork::Shown{},
        [job, context](WorkProgress &progress) { return StatusJobs::run(job, *context, &progress); },
        [this](StatusJobResult result) { jobFinished(std::move(result)); }, progress);
}

void StatusForm::jobFinished(StatusJobResult result)
{
    m_result = std::move(result);
    m_running = false;
    QDialog::accept();
}

void StatusForm::reject()
{
    // While a job is hosted the window closes only when the job is over.
    if (m_context)
        return;
    QDialog::reject();
}

void StatusForm::closeEvent(QCloseEvent *event)
{
    if (m_context) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
