#pragma once

#include "app/cataloguesession.h"
#include "app/coverpreview.h"
#include "export/exportflow.h"
#include "store/widgets/busystate.h"
#include "app/startup.h"
#include "browse/findstate.h"
#include "store/filestamp.h"
#include "store/settingsfile.h"
#include "store/statusjobs.h"

#include <QMainWindow>
#include <QPointer>
#include <array>

class CatalogueModel;
class Platform;
class Prompter;
class QAction;
class QFutureWatcherBase;
class QGroupBox;
class QLabel;
class QMenu;
class QToolButton;
class QTreeView;

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

    // Refreshes the cover preview for the selected entry (used after a
    // find selects an entry, and before the details window opens).
    void showSelectedCover();

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
    void buildToolButtons();
    void buildCatalogueList();
    void connectCatalogueList();
    void buildMarkBinAndCover();
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
    void applyLayout();
    void rememberNormalFrame();
    void fillListWidth();
    // The window's lowest height in pixels: the layout's minimum, or the
    // screen's available height when that is lower.
    int minimumOuterHeight() const;
    // The size and place of the last run where they fit the screen, else
    // centred; either way inside the available screen area.
    void placeOnScreen();
    // The sort arrow stays only while the rows around a change keep the order.
    void checkSortOrder(qsizetype first, qsizetype last);
    void openCurrentEntry();
    void updateCaption();
    void disableForLibraryViewing();

    void runJob(StatusJob job);
    // The Save job, unless the list file must not be replaced; true when
    // everything was saved.
    bool saveAll();
    CatalogueSession::Write saveJob();
    void scan();
    void sortByColumn(int column);
    void rowClicked();
    void rowDoubleClicked();
    void showAbout();
    std::optional<qsizetype> selectedRow() const;

    // Libraries and exports (mainwindowlibrary.cpp).
    void loadLibrary();
    void createLibrary();
    void exportDatabase();
    void exportCovers();
    void exportTunepost();
    void runExport(ExportFlow::Kind kind, const QString &label, StopOffer stop);

    // Search, mark bin, playlist, burn and cover commands.
    void find();
    void findAgain();
    void showFindResult(const FindResult &result);
    void mirrorFindState(); // into Label5 (text) and Label4 (position)
    void deselectCurrentEntry();
    void openQuery();
    void addToMarkBin();
    void clearMarkBin();
    void removeSelectedEntries();
    void launchPlaylist();
    void prepareBurn();
    void attachCover();
    // The selected rows of the list, in display order.
    std::vector<qsizetype> selectedRowsInOrder() const;
    void nameControls(); // accessible names
    std::optional<QString> selectedCover() const;
    void previewCover(CoverPreview &preview);

    double dpi() const;
    int px(double twips) const;

    Prompter &m_prompter;
    Platform &m_platform;
    const QString m_argument;
    StartupPlan m_plan;
    bool m_loadStarted = false;
    // The work on another core that reads the catalogue, while it runs.
    QPointer<QFutureWatcherBase> m_work;
    bool m_applyingWidths = false;
    QSize m_normalFrame; // frame and title bar around the normal window, once known

    CatalogueModel *m_catalogue = nullptr;
    CatalogueModel *m_markBin = nullptr;
    CatalogueSession m_session;
    Settings m_settings = Settings::defaults();
    CoverPreview m_rowClickPreview{QStringLiteral("Label2")};
    CoverPreview m_lastShownCover;
    FindState m_find;

    QWidget *m_central = nullptr;
    QGroupBox *m_markBinFrame = nullptr;
    QGroupBox *m_catalogueFrame = nullptr;
    QGroupBox *m_toolFrame = nullptr;
    QTreeView *m_catalogueView = nullptr;
    QTreeView *m_markBinView = nullptr;
    QLabel *m_coverImage = nullptr;
    QLabel *m_coverStrip = nullptr;
    QLabel *m_coverPlaceholder = nullptr; // framed, under the cover picture
    QLabel *m_emptyHint = nullptr;
    QLabel *m_shownCoverLabel = nullptr;
    QLabel *m_findPositionLabel = nullptr;
    QLabel *m_findTextLabel = nullptr;
    std::array<QToolButton *, 7> m_buttons{};
    QMenu *m_listMenu = nullptr;
    QAction *m_saveAction = nullptr;
    QAction *m_libraryAction = nullptr;
    QAction *m_playlistAction = nullptr;
    QString m_libraryFileName; // shared by Load ODL File and Create Ondrolib
};
