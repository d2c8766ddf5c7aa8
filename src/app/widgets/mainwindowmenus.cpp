// The main window's menu bar and the list's pop-up menu.
#include "app/widgets/mainwindow.h"

#include "base/widgets/rowlist.h"
#include "export/widgets/interchangeexport.h"

#include "base/platform/openfailure.h"
#include "base/platform/platform.h"
#include "base/platform/prompter.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QToolButton>
#include <QMenuBar>

namespace {

QAction *entry(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

void Form2::buildMenus()
{
    buildFilesMenu();
    buildOtherMenus();
    buildListMenu();
}

void Form2::buildFilesMenu()
{
    QMenu *files = menuBar()->addMenu(QStringLiteral("&Files"));
    files->setObjectName(QStringLiteral("mnuFiles"));
    connect(entry(files, "mnuFilesLoadODL", QStringLiteral("&Load ODL File")), &QAction::triggered,
            m_library, &LibraryCommands::loadLibrary);
    files->addSeparator()->setObjectName(QStringLiteral("mnuFilesDash1"));
    QMenu *exports = files->addMenu(QStringLiteral("&Export"));
    exports->setObjectName(QStringLiteral("mnuFilesExport"));
    connect(entry(exports, "mnuFilesExportAccess", QStringLiteral("&Access Database")), &QAction::triggered,
            m_library, &LibraryCommands::exportDatabase);
    connect(entry(exports, "mnuFilesExportCDCovers", QStringLiteral("&CD Covers (HTML)")), &QAction::triggered,
            m_library, &LibraryCommands::exportCovers);
    m_libraryAction = entry(exports, "mnuFilesExportODL", QStringLiteral("&Library (ODL)"));
    connect(m_libraryAction, &QAction::triggered, m_library, &LibraryCommands::createLibrary);
    connect(entry(exports, "mnuFilesExportText", QStringLiteral("&Text")), &QAction::triggered, this,
            [this] { runJob(StatusJob::ExportText); });
    exports->addSeparator()->setObjectName(QStringLiteral("mnuFilesExportDash"));
    connect(entry(exports, "mnuFilesExportm3u", QStringLiteral("&m3u (tunepost Compatible)")), &QAction::triggered,
            m_library, &LibraryCommands::exportTunepost);
    exports->addSeparator()->setObjectName(QStringLiteral("mnuFilesExportDash2"));
    for (const InterchangeExport::MenuEntry &item : InterchangeExport::menuEntries()) {
        connect(entry(exports, item.objectName, item.caption), &QAction::triggered, this, [this, kind = item.kind] {
            InterchangeExport::start(this, m_work, m_prompter, kind, {*m_catalogue, *m_shown, *m_markBin});
        });
    }
    m_saveAction = entry(files, "Save", QStringLiteral("&Save"));
    m_saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(m_saveAction, &QAction::triggered, this, [this] { runJob(StatusJob::Save); });
    QAction *close = entry(files, "mnuFilesClose", QStringLiteral("&Close"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(close, &QAction::triggered, this, &QWidget::close);
}

void Form2::buildOtherMenus()
{
    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    entry(options, "mnuOptionsSettings", QStringLiteral("&Settings"))->setEnabled(false); // never used
    connect(entry(options, "mnuOptionsResetWindow", QStringLiteral("&Reset Window")), &QAction::triggered, this,
            &Form2::resetWindow);
    connect(entry(options, "mnuOptionsMedia", QStringLiteral("&Media...")), &QAction::triggered, m_media,
            &MediaCommands::openMediaWindow);
    connect(m_ui.mediaButton, &QToolButton::clicked, m_media, &MediaCommands::openMediaWindow);
    connect(entry(options, "mnuOptionsDuplicates", QStringLiteral("&Duplicates...")), &QAction::triggered, m_media,
            &MediaCommands::openDuplicatesWindow);
    connect(entry(options, "mnuOptionsStatistics", QStringLiteral("S&tatistics...")), &QAction::triggered, this,
            [this] { m_media->openStatistics(*m_shown); });

    QMenu *marked = menuBar()->addMenu(QStringLiteral("&Marked"));
    marked->setObjectName(QStringLiteral("mnuMarkedCopyToTemp"));
    m_playlistAction = entry(marked, "mnuMarkedLaunchAsPlaylist", QStringLiteral("Launch as &Playlist"));
    connect(m_playlistAction, &QAction::triggered, m_browse, &BrowseCommands::launchPlaylist);
    marked->addSeparator()->setObjectName(QStringLiteral("mnuMarkedDash"));
    connect(entry(marked, "mnuMarkedClear", QStringLiteral("&Clear")), &QAction::triggered,
            m_browse, &BrowseCommands::clearMarkBin);

    QMenu *about = menuBar()->addMenu(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(entry(about, "mnuAboutWebpage", QStringLiteral("Ondro &Web Homepage")), &QAction::triggered, this,
            [this] {
                const QString address = QStringLiteral("https://ondro.example.org/");
                if (const QString unopened = OpenFailure::message(address, m_platform.shellOpen(address));
                    !unopened.isEmpty())
                    m_prompter.message(unopened, Prompter::Icon::Information);
            });
    connect(entry(about, "mnuAboutAboutOndro", QStringLiteral("&About Ondro")), &QAction::triggered, this,
            &Form2::showAbout);
}

void Form2::buildListMenu()
{
    // The list's pop-up menu; not part of the menu bar.
    m_listMenu = new QMenu(QStringLiteral("&Hidden"), this);
    m_listMenu->setObjectName(QStringLiteral("mnuHidden"));
    entry(m_listMenu, "mnuHiddenEmail", QStringLiteral("&Email"))->setEnabled(false); // never used
    m_listMenu->addSeparator();
    QAction *remove = entry(m_listMenu, "mnuhiddenRemove", QStringLiteral("&Remove"));
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_ui.catalogueView->addAction(remove); // Delete works in the list without the menu
    connect(remove, &QAction::triggered, m_browse, &BrowseCommands::removeSelectedEntries);
    m_listMenu->addSeparator();
    connect(entry(m_listMenu, "mnuHiddenImageCover", QStringLiteral("&Image Cover")), &QAction::triggered,
            m_browse, &BrowseCommands::attachCover);
    connect(entry(m_listMenu, "mnuHiddenMark", QStringLiteral("&Add to Mark Bin")), &QAction::triggered,
            m_browse, &BrowseCommands::addToMarkBin);
    m_listMenu->addSeparator();
    m_media->addMediumMenu(m_listMenu, [this] {
        const std::optional<qsizetype> row = m_ui.selectedRow();
        return row ? m_catalogue->rows().field(*row, FieldSource) : QString();
    });

    // The mark bin's own pop-up menu; Delete in the bin does the same.
    auto *binMenu = new QMenu(QStringLiteral("&Bin"), this);
    binMenu->setObjectName(QStringLiteral("mnuBin"));
    QAction *unmark = entry(binMenu, "mnuBinRemove", QStringLiteral("&Remove from Mark Bin"));
    unmark->setShortcut(QKeySequence(Qt::Key_Delete));
    unmark->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_ui.markBinView->addAction(unmark);
    connect(unmark, &QAction::triggered, m_browse, &BrowseCommands::removeFromMarkBin);
    connect(m_ui.markBinView, &QWidget::customContextMenuRequested, binMenu,
            [this, binMenu](const QPoint &at) { binMenu->popup(m_ui.markBinView->viewport()->mapToGlobal(at)); });
}
