#pragma once

#include "browse/statistics.h"
#include "catalogue/trackrecord.h"

#include <QObject>
#include <functional>

class CatalogueListModel;
class DuplicatesWindow;
class VerifyWindow;
class Form5;
class MediaSession;
class MountWatch;
class Platform;
class QMenu;
class QTimer;
class Prompter;
class QWidget;
class RowStore;
class ShownRowsModel;

// The main window's media: the register read after the start-up load, the
// online state kept true as volumes come and go (offline entries greyed in
// the list), the Media window, and the paths of entries as they are now
// for everything that opens a track.
class MediaCommands : public QObject
{
    Q_OBJECT

public:
    // countChanged: after a rescan in the Media window changed the entries.
    MediaCommands(CatalogueListModel &catalogue, QWidget *window, Prompter &prompter, Platform &platform,
                  std::function<void()> countChanged);

    MediaSession &session() { return *m_session; }

    // After the start-up load: reads the register (telling the user when it
    // cannot be read), works out which media are online and starts watching
    // the mounts, and, while the program is active, the folders.
    static constexpr int PollMilliseconds = 600;
    void start();
    void openMediaWindow();
    // A library is being viewed: its media are shown, never managed.
    void setLibraryView();
    // Finds the duplicates as long work, then shows them (telling
    // duplicatesWindowOpened, for the main window to take its requests).
    void openDuplicatesWindow();
    // The statistics of the rows the list shows (all, or the filter's), or
    // of one medium's entries, counted as long work over window.
    void openStatistics(const ShownRowsModel &shown);
    void openMediumStatistics(const QString &source, QWidget *window);
    // The Medium submenu of the list's pop-up menu: Rename, Relocate...
    // and Remove for the medium source() names (the selected entry's).
    void addMediumMenu(QMenu *listMenu, std::function<QString()> source);
    // Gives a scan window the register to note scans in.
    void attach(Form5 &scanWindow);

    // The entry, or the rows, with each path where its medium is mounted now.
    CatalogueEntry located(CatalogueEntry entry) const;
    QString located(const QString &path, const QString &source) const;
    // The question to insert the medium of source when it is not mounted
    // (its label and note from the register, checked again now); empty
    // when it is mounted, or its state is not known.
    QString offlineQuestion(const QString &source) const;

Q_SIGNALS:
    void duplicatesWindowOpened(DuplicatesWindow *window);
    void verifyWindowOpened(VerifyWindow *window);

private:
    void statesChanged();
    void showStatistics(Statistics::Report report, const QString &subtitle, QWidget *parent);

    CatalogueListModel &m_catalogue;
    QWidget *m_window;
    Prompter &m_prompter;
    MediaSession *m_session = nullptr;
    MountWatch *m_mounts = nullptr;
    QTimer *m_poll = nullptr; // checks the folders again while the program is active
    std::function<void()> m_countChanged;
    bool m_libraryView = false;
    QMenu *m_mediumMenu = nullptr; // the list's pop-up submenu, shut in the library view
};
