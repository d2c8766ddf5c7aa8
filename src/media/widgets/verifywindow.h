#pragma once

#include "media/verifyrun.h"

#include <QDialog>

class QTreeWidget;

// The results of a verification of one medium: its summary, then one row
// per file (status, path, what was found), the problems first, each in
// the walk's order. A row is shown in the main list (its entry selected)
// on a double click, Enter or "Show in List"; the window asks the main
// window by its signal, as the Duplicates window does.
class VerifyWindow : public QDialog
{
    Q_OBJECT

public:
    VerifyWindow(const Verify::Outcome &outcome, QWidget *parent = nullptr);

Q_SIGNALS:
    // The catalogue's row (as verified) to select in the main list.
    void selectRequested(qsizetype row);

private:
    void showSelected();

    QTreeWidget *m_list = nullptr;
};
