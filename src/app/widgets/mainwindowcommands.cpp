// The main window's load, its commands and how its list reacts.
#include "app/widgets/mainwindow.h"

#include "base/widgets/longwork.h"
#include "base/platform/prompter.h"
#include "base/platform/association.h"
#include "base/widgets/rowlist.h"
#include "catalogue/cataloguelistfile.h"
#include "app/widgets/cataloguelistmodel.h"
#include "app/widgets/listcolumns.h"
#include "app/widgets/aboutwindow.h"
#include "app/registersave.h"
#include "media/widgets/detailswindow.h"
#include "media/widgets/scanwindow.h"
#include "base/platform/platform.h"
#include "base/platform/systempaths.h"
#include "export/widgets/statuswindow.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

void Form2::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_loadStarted) {
        m_loadStarted = true;
        load();
    }
}

void Form2::load()
{
    m_placement.placeOnScreen();
    applySettings(CatalogueSession::loadSettings(m_prompter));

    // The catalogue or the library is read on another core, so the window
    // paints at once; the rows come in as one change when it is done.
    m_plan = planStartup(m_argument);
    m_ui.emptyHint->setText(QStringLiteral("Loading the catalogue..."));
    const StartupPlan plan = m_plan;
    const QString listPath = CatalogueListFile::defaultPath();
    m_work = LongWork::start(
        this, QStringLiteral("Loading the catalogue..."),
        [plan, listPath](WorkProgress &progress) { return CatalogueSession::read(plan, listPath, progress); },
        [this](CatalogueSession::Loaded loaded) {
            m_work.clear();
            finishLoad(std::move(loaded));
        });
}

void Form2::applySettings(const Settings &settings)
{
    m_settings = settings;
    m_placement.applyColumnWidths(settings);
    m_columns->restore();
}

void Form2::finishLoad(CatalogueSession::Loaded loaded)
{
    m_ui.emptyHint->setText(emptyCatalogueHint());
    m_session.take(m_plan, std::move(loaded));
    updateCaption();
    if (m_plan.mode == StartupMode::Odl)
        disableForLibraryViewing();
    // In an event of its own: the list's first layout of a large catalogue
    // has just held the window for most of what one event may take.
    QMetaObject::invokeMethod(m_media, &MediaCommands::start, Qt::QueuedConnection);
    Association::checkDefaultReader(m_platform, m_prompter);
}

Settings Form2::currentSettings() const
{
    return m_settings;
}

void Form2::updateCaption()
{
    setWindowTitle(mainCaption(m_catalogue->size()));
}

void Form2::disableForLibraryViewing()
{
    for (const char *name : {"Command2", "Command1", "Command5"})
        findChild<QToolButton *>(QLatin1String(name))->setEnabled(false);
    m_playlistAction->setEnabled(false);
    m_saveAction->setEnabled(false);
    m_libraryAction->setEnabled(false);
    m_media->setLibraryView();
}

StatusJobContext Form2::jobContext(const QString &exportsFolder) const
{
    return {*m_catalogue, currentSettings(), m_platform, SettingsFile::path(), CatalogueListFile::defaultPath(),
            exportsFolder};
}

void Form2::runJob(StatusJob job)
{
    if (job == StatusJob::Save) {
        saveAll();
        return;
    }
    StatusJobContext context = jobContext(SystemPaths::exportsFolder());
    StatusForm::run(job, context, m_prompter, this);
}

CatalogueSession::Write Form2::saveJob()
{
    return [this](bool &catalogueSaved) {
        StatusJobContext context = jobContext(QString());
        const MediaSession::Writes writes = RegisterSave::addTo(context, m_media->session());
        StatusJobResult result;
        const bool ok = StatusForm::run(StatusJob::Save, context, m_prompter, this, &result);
        catalogueSaved = result.catalogueSaved;
        if (result.registerSaved)
            m_media->session().saved(writes);
        return ok;
    };
}

bool Form2::saveAll()
{
    return m_session.save(saveJob());
}

void Form2::closeEvent(QCloseEvent *event)
{
    if (!m_session.mayClose(saveJob())) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && m_loadStarted) {
        m_platform.setMainWindowGeometry(isMaximized() || isFullScreen() ? normalGeometry() : geometry());
        m_platform.setMainWindowMaximized(isMaximized());
        m_columns->remember();
    }
}

void Form2::scan()
{
    Form5 dialog(*m_catalogue, m_prompter, m_platform, this);
    m_media->attach(dialog);
    connect(&dialog, &Form5::entriesAdded, this, &Form2::updateCaption);
    dialog.exec();
}

void Form2::openCurrentEntry()
{
    const QModelIndex current = m_ui.catalogueView->currentIndex();
    if (!current.isValid())
        return;
    if (!m_ui.catalogueView->selectionModel()->isRowSelected(current.row(), {}))
        m_ui.catalogueView->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    rowDoubleClicked();
}

void Form2::rowDoubleClicked()
{
    showSelectedDetails(this);
}

void Form2::showSelectedDetails(QWidget *parent)
{
    m_cover.showSelected();
    const auto row = m_ui.selectedRow();
    if (!row)
        return;
    const QPixmap cover = m_cover.shown();
    Form4 details(m_media->located(m_catalogue->rows().entry(*row)), cover, m_platform, m_prompter, parent,
                  m_catalogue->rows().extensionUtf8(*row));
    const QString source = m_catalogue->rows().field(*row, FieldSource);
    details.setOfflineQuestion([this, source] { return m_media->offlineQuestion(source); });
    // A picture still being read when the window opened follows into it.
    m_cover.setListener([&details](const QPixmap &picture) { details.setCover(picture); });
    details.exec();
    m_cover.setListener({});
}

void Form2::showAbout()
{
    form6 about(m_platform, m_prompter, this);
    about.exec();
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.catalogueView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openCurrentEntry(); // as a double click on it
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
