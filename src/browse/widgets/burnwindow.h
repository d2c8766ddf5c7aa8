#pragma once

#include "browse/burnpreparation.h"

#include <QDialog>
#include <QPointer>
#include <memory>
#include <optional>

class QFutureWatcherBase;

class QLabel;
class QProgressBar;
class QPushButton;

// The progress of Prepare: the copies of each source run on another
// thread while this window shows which file is being copied (n of N and
// its name) and keeps the program responsive; "&Stop" ends the copying
// after the current file. The questions between sources are asked here,
// on the window's thread, through the prompter.
class BurnProgress : public QDialog
{
    Q_OBJECT
public:
    BurnProgress(Prompter &prompter, QWidget *parent = nullptr);
    ~BurnProgress() override; // stops the copying and waits for the file being copied

    // Shows the window and starts the preparation of bin into destination
    // (with its closing separator); finished() tells when it has ended.
    // bin must stay as it is until then.
    void start(const RowStore &bin, const QString &destination);

    void requestStop();

Q_SIGNALS:
    void finished(const BurnPreparation::Result &result);

protected:
    void reject() override; // closing the window asks to stop

private:
    void runNext();
    void showProgress(const BurnPreparation::Progress &progress);

    Prompter &m_prompter;
    // Its stop holds for every run that follows.
    std::shared_ptr<WorkProgress> m_progress = std::make_shared<WorkProgress>();
    bool m_running = false;
    std::optional<BurnPreparation::Sequence> m_sequence;
    QPointer<QFutureWatcherBase> m_work;
    QLabel *m_count = nullptr;
    QLabel *m_name = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_stopButton = nullptr;
};
