#include "browse/widgets/burnwindow.h"

#include "base/widgets/longwork.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

BurnProgress::BurnProgress(Prompter &prompter, QWidget *parent) : QDialog(parent), m_prompter(prompter)
{
    setObjectName(QStringLiteral("BurnProgress"));
    setWindowTitle(QStringLiteral("Prepare for Audio Burn"));
    setModal(true);
    setMinimumWidth(420);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("Label1"));
    m_count->setAccessibleName(QStringLiteral("Files copied"));
    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("Label2"));
    m_name->setAccessibleName(QStringLiteral("File being copied"));
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_stopButton = new QPushButton(QStringLiteral("&Stop"), this);
    m_stopButton->setObjectName(QStringLiteral("Command1"));
    m_stopButton->setAccessibleName(QStringLiteral("Stop"));
    m_stopButton->setToolTip(QStringLiteral("Stop after the file being copied"));
    connect(m_stopButton, &QPushButton::clicked, this, &BurnProgress::requestStop);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_count);
    layout->addWidget(m_name);
    layout->addWidget(m_bar);
    layout->addWidget(m_stopButton, 0, Qt::AlignRight);
}

void BurnProgress::requestStop()
{
    m_progress->requestStop();
    m_stopButton->setEnabled(false);
    m_count->setText(QStringLiteral("Stopping after this file..."));
}

void BurnProgress::reject()
{
    if (m_running)
        requestStop();
    else
        QDialog::reject();
}

void BurnProgress::showProgress(const BurnPreparation::Progress &progress)
{
    if (!m_progress->stopped())
        m_count->setText(QStringLiteral("Copying file %1 of %2").arg(progress.number).arg(progress.total));
    m_name->setText(progress.name);
    m_bar->setValue(progress.total > 0 ? int(100 * (progress.number - 1) / progress.total) : 0);
}

BurnProgress::~BurnProgress()
{
    m_progress->requestStop();
    if (m_work)
        m_work->waitForFinished();
}

void BurnProgress::start(const RowStore &bin, const QString &destination)
{
    m_running = true;
    m_sequence.emplace(bin, destination, m_prompter);
    show();
    runNext();
}

void BurnProgress::runNext()
{
    const std::optional<BurnPreparation::Run> run = m_sequence->next();
    if (!run) {
        m_running = false;
        hide();
        Q_EMIT finished(m_sequence->result());
        return;
    }
    if (m_progress->stopped()) {
        m_sequence->ran({BurnPreparation::RunOutcome::Stopped, run->first, {}});
        runNext();
        return;
    }
    m_stopButton->setEnabled(true);
    // Set while no run is going: each file is shown as its copy begins.
    m_progress->onStep = [this, run = *run](qint64 number, qint64) {
        const BurnPreparation::Progress p = BurnPreparation::progressOf(run, number);
        QMetaObject::invokeMethod(this, [this, p] { showProgress(p); }, Qt::QueuedConnection);
    };
    m_work = LongWork::start(
        this, LongWork::Shown{},
        [run = *run](WorkProgress &progress) { return BurnPreparation::runCopies(run, progress); },
        [this](const BurnPreparation::RunOutcome &outcome) {
            m_work.clear();
            m_stopButton->setEnabled(false); // the questions come next
            m_sequence->ran(outcome);
            runNext();
        },
        m_progress);
}
