#pragma once

#include "export/exportflow.h"
#include "base/widgets/busystate.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class CatalogueModel;
class Platform;
class Prompter;
class QFutureWatcherBase;
class QWidget;

// The main window's library and export commands: loading and creating
// libraries, the database export, the cover page and the upload-site
// lists. Work that reads or fills the catalogue runs as the window's long
// work: work is the window's one slot for it, so nothing else starts
// meanwhile.
class LibraryCommands : public QObject
{
    Q_OBJECT
public:
    LibraryCommands(CatalogueModel &catalogue, QWidget *window, QPointer<QFutureWatcherBase> &work,
                    std::function<void()> countChanged, Prompter &prompter, Platform &platform);

    void loadLibrary();
    void createLibrary();
    void exportDatabase();
    void exportCovers();
    void exportTunepost();

private:
    void runExport(ExportFlow::Kind kind, const QString &label, StopOffer stop);

    CatalogueModel &m_catalogue;
    QWidget *m_window;
    QPointer<QFutureWatcherBase> &m_work;
    std::function<void()> m_countChanged;
    Prompter &m_prompter;
    Platform &m_platform;
    QString m_libraryFileName; // shared by Load ODL File and Create Ondrolib
};
