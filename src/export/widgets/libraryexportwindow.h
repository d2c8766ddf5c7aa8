#pragma once

#include <QDialog>
#include <QPointer>

class QFutureWatcherBase;

class Prompter;
class RowStore;

// The Create Ondrolib dialog: writes the own tracks of the catalogue into
// a new library file, as often as the user likes, until Cancel.
class exODL : public QDialog
{
    Q_OBJECT
public:
    // fileName is the name shown first in the file dialog and is shared
    // with the main window's Load ODL File, so each use starts with the
    // name chosen last in either.
    exODL(const RowStore &catalogue, Prompter &prompter, QString &fileName, QWidget *parent = nullptr);

    static QString fileFilter(); // "ODL Files (*.odl)"

public:
    ~exODL() override; // waits for the writing, which reads the catalogue
    bool isBusy() const { return !m_work.isNull(); }

private:
    void create();

    const RowStore &m_catalogue;
    Prompter &m_prompter;
    QString &m_fileName;
    QPointer<QFutureWatcherBase> m_work;
};
