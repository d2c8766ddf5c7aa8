// The main window's load, its commands and how its list reacts.
#include "app/widgets/mainwindow.h"

#include "export/libraryfile.h"
#include "export/widgets/backgroundwork.h"
#include "store/platform/prompter.h"
#include "store/platform/association.h"
#include "store/cataloguelistfile.h"
#include "app/widgets/cataloguelistmodel.h"
#include "app/widgets/aboutwindow.h"
#include "app/widgets/desktopwindows.h"
#include "store/widgets/listlook.h"
#include "store/platform/statefile.h"
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
#include <unistd.h>

#include "app/mainlayout.h"

void Form2::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_loadStarted) {
        m_loadStarted = true;
        load();
    }
}

struct Form2::LoadedCatalogue
{
    RowStore rows;
    FileStamp stamp;
    QString problem;     // what to tell about a read that was not whole
    QString refusal;     // why the list file must not be replaced, if so
};

void Form2::load()
{
    placeOnScreen();

    Settings settings = Settings::defaults();
    if (QFileInfo::exists(SettingsFile::path())) {
        SettingsFile::load(SettingsFile::path(), settings);
    } else if (QFileInfo::exists(SettingsFile::oldPath())) {
        m_prompter.message(QStringLiteral("An older Ondro configuration file was detected. Click OK to update."),
                           Prompter::Icon::Information);
        SettingsFile::migrate(SettingsFile::oldPath(), settings);
        if (const SaveResult saved = SettingsFile::save(SettingsFile::path(), settings); !saved)
            m_prompter.message(saveFailureMessage(SettingsFile::path(), saved), Prompter::Icon::Critical);
    }
    applySettings(settings);

    // The catalogue or the library is read on another core, so the window
    // paints at once; the rows come in as one change when it is done.
    m_plan = planStartup(m_argument);
    m_emptyHint->setText(QStringLiteral("Loading the catalogue..."));
    const StartupPlan plan = m_plan;
    auto progress = std::make_shared<BackgroundProgress>();
    QFuture<LoadedCatalogue> reading = QtConcurrent::run([plan, progress] {
        LoadedCatalogue loaded;
        if (plan.mode == StartupMode::Normal) {
            const QString listPath = CatalogueListFile::defaultPath();
            // The bytes read so far of the file's size: the progress shown
            // when the file is large or its medium slow.
            progress->total.store(QFileInfo(listPath).size(), std::memory_order_relaxed);
            SafeFileRead::Options counting;
            counting.read = [&done = progress->done](int fd, char *buffer, qint64 size) {
                const qint64 got = ::read(fd, buffer, size_t(size));
                if (got > 0)
                    done.fetch_add(got, std::memory_order_relaxed);
                return got;
            };
            CatalogueListFile::ReadResult read = CatalogueListFile::read(listPath, counting);
            loaded.stamp = read.stamp;
            loaded.problem = CatalogueListFile::readProblemMessage(listPath, read);
            if (!read.mayBeReplaced())
                loaded.refusal = read.reason;
            loaded.rows = std::move(read.rows);
        } else if (!plan.libraryPath.isEmpty()) {
            // At start-up the result is not told: the caption shows what came in.
            LibraryFile::load(plan.libraryPath, loaded.rows);
        }
        return loaded;
    });
    m_work = finishInBackground(this, QStringLiteral("Loading the catalogue..."), std::move(reading), progress,
                                [this](LoadedCatalogue loaded) {
                                    m_work.clear();
                                    finishLoad(std::move(loaded));
                                });
}

void Form2::finishLoad(LoadedCatalogue loaded)
{
    m_emptyHint->setText(emptyCatalogueHint());
    m_listStamp = loaded.stamp;
    m_listRefusal = loaded.refusal;
    m_catalogue->appendRows(std::move(loaded.rows));
    m_savedGeneration = m_catalogue->generation();
    m_loaded = true;

    if (!loaded.problem.isEmpty()) {
        if (m_listRefusal.isEmpty())
            m_prompter.message(loaded.problem, Prompter::Icon::Warning);
        else
            m_prompter.message(loaded.problem + QStringLiteral(" Ondro will not save over it while it runs."),
                               Prompter::Icon::Critical);
    }
    if (m_plan.libraryMissing)
        m_prompter.message(QStringLiteral("You attempted to load an ODL that is not available"),
                           Prompter::Icon::Critical);
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

bool Form2::saveAll()
{
    const QString listPath = CatalogueListFile::defaultPath();
    const QString shown = QDir::toNativeSeparators(listPath);
    if (!m_listRefusal.isEmpty()) {
        m_prompter.message(QStringLiteral("The catalogue %1 could not be read when Ondro started (%2), so Save "
                                          "does not replace it. Nothing was saved.")
                               .arg(shown, m_listRefusal),
                           Prompter::Icon::Critical);
        return false;
    }
    if (FileStamp::replacingLosesChanges(listPath, m_listStamp) &&
        m_prompter.message(QStringLiteral("The catalogue %1 was changed by another program since Ondro loaded or "
                                          "last saved it. Replace it with the %2 entries shown here?")
                               .arg(shown)
                               .arg(m_catalogue->size()),
                           Prompter::Icon::Warning, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
        return false;

    StatusJobContext context{*m_catalogue, currentSettings(), m_platform, SettingsFile::path(), listPath, QString()};
    StatusJobResult result;
    const bool ok = StatusForm::run(StatusJob::Save, context, m_prompter, this, &result);
    if (result.catalogueSaved) {
        m_listStamp = FileStamp::of(listPath);
        m_savedGeneration = m_catalogue->generation();
    }
    return ok;
}

void Form2::closeEvent(QCloseEvent *event)
{
    if (m_plan.mode == StartupMode::Normal && m_catalogue->generation() != m_savedGeneration) {
        switch (m_prompter.message(QStringLiteral("The catalogue has changed since it was last saved. Save the "
                                                  "changes before closing?"),
                                   Prompter::Icon::Warning, Prompter::Buttons::SaveDiscardCancel)) {
        case Prompter::Answer::Save:
            if (saveAll())
                break;
            event->ignore();
            return;
        case Prompter::Answer::Discard:
            break;
        default:
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && m_loadStarted)
        StateFile::setMainWindowGeometry(isMaximized() || isFullScreen() ? normalGeometry() : geometry());
}

void Form2::placeOnScreen()
{
    const QRect area = DesktopWindows::availableArea(this);
    // A place that no longer fits (another screen, a lower resolution) is
    // dropped rather than squeezed.
    // The title bar counts: a place that would put it off the screen (as a
    // larger scale makes of an old place) is dropped too.
    const QMargins frame = DesktopWindows::frameMargins(this);
    const QRect remembered = StateFile::mainWindowGeometry();
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
    Form5 dialog(*m_catalogue, m_prompter, this);
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
    m_work = finishInBackground(this, QStringLiteral("Sorting..."), m_catalogue->sortOrderAsync(column),
                                std::make_shared<BackgroundProgress>(),
                                [this, column](const std::vector<qsizetype> &order) {
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
