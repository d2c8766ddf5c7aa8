#pragma once

#include "app/cataloguesession.h"
#include "app/widgets/browsecommands.h"
#include "app/widgets/coverdisplay.h"
#include "app/widgets/librarycommands.h"
#include "app/widgets/maincontrols.h"
#include "app/widgets/mediacommands.h"
#include "app/widgets/mainplacement.h"
#include "app/startup.h"
#include "base/filestamp.h"
#include "base/settingsfile.h"
#include "export/statusjobs.h"

#include <QMainWindow>
#include <QPointer>
#include <array>

class CatalogueModel;
class DuplicatesWindow;
class VerifyWindow;
class ListColumns;
class Platform;
class Prompter;
class QAction;
class QFutureWatcherBase;
class QGroupBox;
class QLabel;
class QMenu;
class QToolButton;
class FilterCommands;
class ShownRowsModel;

// The main window: the catalogue list, the mark bin, the cover preview,
// the tool bar and the menus. It holds the catalogue for the whole run.
class Form2 : public QMainWindow
{
    Q_OBJECT
public:
    Form2(Prompter &prompter, Platform &platform, QString argument, QWidget *parent = nullptr);
    ~Form2() override;

    CatalogueModel &catalogue() { return *m_catalogue; }
    CatalogueModel &markBin() { return *m_markBin; }
    StartupMode startupMode() const { return m_plan.mode; }
    // The catalogue is read on another core once the window is first
    // shown; true when its rows are in.
    bool isLoaded() const { return m_session.isLoaded(); }
    // True while work on another core (the start-up load, a sort, a
    // library load or an export) reads or fills the catalogue; the window
    // takes no input meanwhile.
    bool isBusy() const { return !m_work.isNull(); }

    // The settings as they stand now: cover path and column widths.
    Settings currentSettings() const;

public Q_SLOTS:
    void resetWindow();

protected:
    void showEvent(QShowEvent *event) override;
    // Asks to save a catalogue changed since it was loaded or saved.
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void connectCatalogueList();
    void connectCommands(); // the tool buttons and the window's own keys
    void buildMenus();
    void buildFilesMenu();
    void buildOtherMenus();
    void buildListMenu(); // the list's pop-up menu
    void load();
    static QString emptyCatalogueHint();
    // Takes what the start-up load read: the rows, and what to tell about it.
    void finishLoad(CatalogueSession::Loaded loaded);
    void applySettings(const Settings &settings);
    void openCurrentEntry();
    void updateCaption();
    void disableForLibraryViewing();

    StatusJobContext jobContext(const QString &exportsFolder) const;
    void runJob(StatusJob job);
    // The Save job, unless the list file must not be replaced; true when
    // everything was saved.
    bool saveAll();
    CatalogueSession::Write saveJob();
    void scan();
    void rowDoubleClicked();
    void showSelectedDetails(QWidget *parent); // the details window of the selected entry
    // The Duplicates window's requests, taken by the list's own commands.
    void connectDuplicates(DuplicatesWindow *window);
    void connectVerification(VerifyWindow *window);
    void showAbout();
    void nameControls(); // accessible names

    Prompter &m_prompter;
    Platform &m_platform;
    const QString m_argument;
    StartupPlan m_plan;
    bool m_loadStarted = false;
    // The work on another core that reads the catalogue, while it runs.
    QPointer<QFutureWatcherBase> m_work;

    CatalogueModel *m_catalogue = nullptr;
    CatalogueModel *m_markBin = nullptr;
    CatalogueSession m_session;
    Settings m_settings = Settings::defaults();

    MainControls m_ui;
    BrowseCommands *m_browse = nullptr;
    LibraryCommands *m_library = nullptr;
    MediaCommands *m_media = nullptr;
    ShownRowsModel *m_shown = nullptr;
    FilterCommands *m_filter = nullptr;
    MainPlacement m_placement{*this, m_ui, m_settings, m_platform};
    CoverDisplay m_cover{m_ui, *m_catalogue};
    QMenu *m_listMenu = nullptr;
    ListColumns *m_columns = nullptr; // the header's menu of fact columns
    QAction *m_saveAction = nullptr;
    QAction *m_libraryAction = nullptr;
    QAction *m_playlistAction = nullptr;
};
