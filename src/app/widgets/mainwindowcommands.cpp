// The main window's load, its commands and how its list reacts.
#include "app/widgets/mainwindow.h"

#include "store/platform/prompter.h"
#include "store/cataloguelistfile.h"
#include "app/widgets/cataloguelistmodel.h"
#include "app/widgets/aboutwindow.h"
#include "media/widgets/detailswindow.h"
#include "media/widgets/scanwindow.h"
#include "store/platform/platform.h"
#include "store/platform/systempaths.h"
#include "store/widgets/statuswindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QToolButton>
#include <QTreeView>

#include "app/mainlayout.h"

void Form2::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        load();
    }
}

void Form2::load()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - frameGeometry().width()) / 2,
             area.top() + (area.height() - frameGeometry().height()) / 2);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);

    Settings settings = Settings::defaults();
    if (QFileInfo::exists(SettingsFile::path())) {
        SettingsFile::load(SettingsFile::path(), settings);
    } else if (QFileInfo::exists(SettingsFile::oldPath())) {
        QApplication::restoreOverrideCursor();
        m_prompter.message(QStringLiteral("An older Ondro configuration file was detected. Click OK to update."),
                           Prompter::Icon::Information);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        SettingsFile::migrate(SettingsFile::oldPath(), settings);
        if (const SaveResult saved = SettingsFile::save(SettingsFile::path(), settings); !saved)
            m_prompter.message(saveFailureMessage(SettingsFile::path(), saved), Prompter::Icon::Critical);
    }
    applySettings(settings);

    m_plan = planStartup(m_argument);
    if (m_plan.mode == StartupMode::Normal)
        m_catalogue->appendRows(CatalogueListFile::read(CatalogueListFile::defaultPath()).rows);
    // Loading a named library comes with the library reader.

    QApplication::restoreOverrideCursor();
    if (m_plan.libraryMissing)
        m_prompter.message(QStringLiteral("You attempted to load an ODL that is not available"),
                           Prompter::Icon::Critical);
    updateCaption();
    if (m_plan.mode == StartupMode::Odl)
        disableForLibraryViewing();
}

void Form2::applySettings(const Settings &settings)
{
    m_settings = settings;
    m_applyingWidths = true;
    QHeaderView *header = m_catalogueView->header();
    for (int column = 0; column < Settings::ColumnCount; ++column) {
        const int width = px(settings.widths[size_t(column)]);
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
    StatusJobContext context{*m_catalogue,
                             currentSettings(),
                             m_platform,
                             SettingsFile::path(),
                             CatalogueListFile::defaultPath(),
                             job == StatusJob::Save ? QString() : SystemPaths::exportsFolder()};
    StatusForm::run(job, context, m_prompter, this);
}

void Form2::scan()
{
    Form5 dialog(*m_catalogue, m_prompter, this);
    connect(&dialog, &Form5::entriesAdded, this, &Form2::updateCaption);
    dialog.exec();
}

void Form2::sortByColumn(int column)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_catalogue->sort(column, Qt::AscendingOrder);
    m_catalogueView->header()->setSortIndicator(column, Qt::AscendingOrder);
    QApplication::restoreOverrideCursor();
}

std::optional<qsizetype> Form2::selectedRow() const
{
    const QItemSelectionModel *selection = m_catalogueView->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), {}))
        return current.row();
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
    form6 about(m_platform, this);
    about.exec();
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_catalogueView && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_F3) {
        // Find Again, but only after a Find that had a text.
        if (!m_findTextLabel->text().isEmpty())
            findChild<QToolButton *>(QStringLiteral("Command4"))->click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
