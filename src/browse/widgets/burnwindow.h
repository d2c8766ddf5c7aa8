#pragma once

#include "browse/burnpreparation.h"

#include <QDialog>
#include <atomic>

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

    // Runs the whole preparation of bin into destination (with its
    // closing separator) and returns when it has ended.
    BurnPreparation::Result run(const RowStore &bin, const QString &destination);

    void requestStop();

protected:
    void reject() override; // closing the window asks to stop

private:
    BurnPreparation::RunOutcome runOffThread(const BurnPreparation::Run &run);
    void showProgress(const BurnPreparation::Progress &progress);

    Prompter &m_prompter;
    std::atomic<bool> m_stop{false};
    bool m_running = false;
    QLabel *m_count = nullptr;
    QLabel *m_name = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_stopButton = nullptr;
};
