#pragma once

#include <QDialog>
#include <QPointer>

class QFutureWatcherBase;

class Platform;
class Prompter;
class QListWidget;
class QPushButton;
class RowStore;

// The upload-site export dialog: writes the own tracks into the numbered
// lists on the desktop and lists each file as it is begun.
class frmtunepost : public QDialog
{
    Q_OBJECT
public:
    frmtunepost(const RowStore &catalogue, Prompter &prompter, Platform &platform, QWidget *parent = nullptr);

    static QString serviceAddress(); // the upload service's home page
    static QString helpText();

public:
    ~frmtunepost() override; // waits for the writing, which reads the catalogue
    bool isBusy() const { return !m_work.isNull(); }

private:
    void exportLists();
    void setButtonsEnabled(bool enabled);

    const RowStore &m_catalogue;
    Prompter &m_prompter;
    Platform &m_platform;
    QListWidget *m_list = nullptr;
    QList<QPushButton *> m_buttons;
    QPointer<QFutureWatcherBase> m_work;
};
