// The main window's load, its commands and how its list reacts.
#include "app/widgets/mainwindow.h"

#include "store/widgets/longwork.h"
#include "store/platform/prompter.h"
#include "store/platform/association.h"
#include "store/cataloguelistfile.h"
#include "app/widgets/cataloguelistmodel.h"
#include "app/widgets/aboutwindow.h"
#include "app/widgets/desktopwindows.h"
#include "store/widgets/listlook.h"
#include "media/widgets/detailswindow.h"
#include "media/widgets/scanwindow.h"
#include "store/platform/platform.h"
#include "store/platform/systempaths.h"
#include "store/widgets/statuswindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QToolButton>
#include <QTreeView>
#include <cmath>

#include "app/mainlayout.h"

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
    placeOnScreen();
    applySettings(CatalogueSession::loadSettings(m_prompter));

    // The catalogue or the library is read on another core, so the window
    // paints at once; the rows come in as one change when it is done.
    m_plan = planStartup(m_argument);
    m_emptyHint->setText(QStringLiteral("Loading the catalogue..."));
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

void Form2::finishLoad(CatalogueSession::Loaded loaded)
{
    m_emptyHint->setText(emptyCatalogueHint());
    m_session.take(m_plan, std::move(loaded));
    updateCaption();
    if (m_plan.mode == StartupMode::Odl)
        disableForLibraryViewing();
    Association::checkDefaultReader(m_platform, m_prompter);
}

void Form2::applySettings(const Settings &settings)
{
    m_settings = settings;
    m_applyingWidths = true;
    QHeaderView *header = m_catalogueView->header();
    // A width far beyond the screen (a settings file with a huge number)
    // would overflow the pixel count and hide its column: clamp it.
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int widest = screen ? std::max(screen->availableGeometry().width(), 1) : 4096;
    for (int column = 0; column < Settings::ColumnCount; ++column) {
        const double wanted = double(settings.widths[size_t(column)]) * dpi() / 1440.0;
        const int width = std::isnan(wanted) ? 0 : wanted >= widest ? widest : int(std::lround(wanted));
        header->setSectionHidden(column, width <= 0);
        if (width > 0)
            header->resizeSection(column, width);
    }
    m_applyingWidths = false;
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
}

void Form2::runJob(StatusJob job)
{
    if (job == StatusJob::Save) {
        saveAll();
        return;
    }
    StatusJobContext context{*m_catalogue,
                             currentSettings(),
                             m_platform,
                             SettingsFile::path(),
                             CatalogueListFile::defaultPath(),
                             job == StatusJob::Save ? QString() : SystemPaths::exportsFolder()};
    StatusForm::run(job, context, m_prompter, this);
}

CatalogueSession::Write Form2::saveJob()
{
    return [this](bool &catalogueSaved) {
        StatusJobContext context{*m_catalogue, currentSettings(), m_platform, SettingsFile::path(),
                                 CatalogueListFile::defaultPath(), QString()};
        StatusJobResult result;
        const bool ok = StatusForm::run(StatusJob::Save, context, m_prompter, this, &result);
        catalogueSaved = result.catalogueSaved;
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
    if (event->isAccepted() && m_loadStarted)
        m_platform.setMainWindowGeometry(isMaximized() || isFullScreen() ? normalGeometry() : geometry());
}

void Form2::placeOnScreen()
{
    const QRect area = DesktopWindows::availableArea(this);
    // A place that no longer fits (another screen, a lower resolution) is
    // dropped rather than squeezed.
    // The title bar counts: a place that would put it off the screen (as a
    // larger scale makes of an old place) is dropped too.
    const QMargins frame = DesktopWindows::frameMargins(this);
    const QRect remembered = m_platform.mainWindowGeometry();
    if (remembered.isValid() && area.contains(remembered.marginsAdded(frame))) {
        setGeometry(remembered);
        return;
    }
    DesktopWindows::fitInside(this);
    const QRect outer = geometry().marginsAdded(DesktopWindows::frameMargins(this));
    if (area.isValid())
        move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}

void Form2::scan()
{
    Form5 dialog(*m_catalogue, m_prompter, m_platform, this);
    connect(&dialog, &Form5::entriesAdded, this, &Form2::updateCaption);
    dialog.exec();
}

void Form2::sortByColumn(int column)
{
    // The order is worked out on another core while the window paints;
    // the rows move in one change. Nothing may change the rows meanwhile,
    // which the busy state sees to by taking no input.
    if (isBusy() || column < 0 || column >= TrackFieldCount)
        return;
    m_work = LongWork::finish(this, QStringLiteral("Sorting..."), m_catalogue->sortOrderAsync(column),
                              std::make_shared<WorkProgress>(), [this, column](const std::vector<qsizetype> &order) {
                                  m_work.clear();
                                  if (order.empty() || m_catalogue->applySortOrder(order))
                                      ListLook::showSortArrow(m_catalogueView->header(), column);
                              });
}

void Form2::checkSortOrder(qsizetype first, qsizetype last)
{
    const int column = ListLook::sortArrowColumn(m_catalogueView->header());
    if (column < 0 || column >= TrackFieldCount)
        return;
    std::vector<qsizetype> around;
    for (qsizetype row = std::max<qsizetype>(0, first - 1); row <= std::min(m_catalogue->size() - 1, last + 1); ++row)
        around.push_back(row);
    if (stableSortOrder(m_catalogue->rows(), column, around) != around)
        ListLook::showSortArrow(m_catalogueView->header(), -1);
}

std::optional<qsizetype> Form2::selectedRow() const
{
    const QItemSelectionModel *selection = m_catalogueView->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), {}))
        return current.row();
    // The first selected row without listing them all: Ctrl+A on a large
    // catalogue selects a million rows.
    for (const QItemSelectionRange &range : selection->selection())
        if (selection->isRowSelected(range.top(), range.parent()))
            return range.top();
    const QModelIndexList rows = selection->selectedRows();
    if (!rows.isEmpty())
        return rows.first().row();
    return std::nullopt;
}

std::optional<QString> Form2::selectedCover() const
{
    if (const auto row = selectedRow())
        return m_catalogue->field(*row, FieldCoverImage);
    return std::nullopt;
}

void Form2::previewCover(CoverPreview &preview)
{
    preview.update(
        selectedCover(),
        [this](const QString &path) {
            const QPixmap picture(path);
            if (picture.isNull())
                return false;
            m_coverImage->setPixmap(picture);
            return true;
        },
        [this](bool visible) {
            m_coverImage->setVisible(visible);
            m_coverStrip->setVisible(visible);
        });
}

void Form2::rowClicked()
{
    previewCover(m_rowClickPreview);
    m_shownCoverLabel->setText(m_rowClickPreview.remembered());
}

void Form2::showSelectedCover()
{
    previewCover(m_lastShownCover);
}

void Form2::openCurrentEntry()
{
    const QModelIndex current = m_catalogueView->currentIndex();
    if (!current.isValid())
        return;
    if (!m_catalogueView->selectionModel()->isRowSelected(current.row(), {}))
        m_catalogueView->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    rowDoubleClicked();
}

void Form2::rowDoubleClicked()
{
    showSelectedCover();
    const auto row = selectedRow();
    if (!row)
        return;
    const QPixmap cover = m_coverImage->isVisible() ? m_coverImage->pixmap() : QPixmap();
    Form4 details(m_catalogue->rows().entry(*row), cover, m_platform, m_prompter, this);
    details.exec();
}

void Form2::showAbout()
{
    form6 about(m_platform, m_prompter, this);
    about.exec();
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_catalogueView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openCurrentEntry(); // as a double click on it
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
