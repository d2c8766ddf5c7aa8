// The main window's search, mark bin, playlist, burn and cover commands.
#include "app/widgets/mainwindow.h"

#include "browse/burnplan.h"
#include "browse/markbin.h"
#include "browse/playlist.h"
#include "browse/queryresults.h"
#include "browse/widgets/burnwindow.h"
#include "browse/widgets/coverwindow.h"
#include "browse/widgets/querywindow.h"
#include "store/cataloguemodel.h"
#include "store/platform/openfailure.h"
#include "store/platform/platform.h"
#include "store/platform/prompter.h"

#include <QApplication>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

std::vector<qsizetype> Form2::selectedRowsInOrder() const
{
    return MarkBin::rowsInOrder(m_catalogueView->selectionModel()->selection());
}

void Form2::mirrorFindState()
{
    m_findTextLabel->setText(m_find.text);
    m_findPositionLabel->setText(QString::number(m_find.nextStart));
}

void Form2::deselectCurrentEntry()
{
    if (const auto row = selectedRow())
        m_catalogueView->selectionModel()->select(m_catalogue->index(int(*row), 0),
                                                  QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void Form2::showFindResult(const FindResult &result)
{
    mirrorFindState();
    if (result.kind == FindResult::Hit) {
        const QModelIndex at = m_catalogue->index(int(result.row), 0);
        m_catalogueView->setFocus();
        m_catalogueView->scrollTo(at);
        m_catalogueView->selectionModel()->setCurrentIndex(at, QItemSelectionModel::Select |
                                                                   QItemSelectionModel::Rows);
        showSelectedCover();
    } else if (result.kind == FindResult::Complete) {
        showSelectedCover();
        m_prompter.message(QStringLiteral("Search Complete."), Prompter::Icon::Information);
    }
}

void Form2::find()
{
    const QString text = m_prompter.textPrompt(QStringLiteral("Find"), QStringLiteral("Find"));
    if (text.isEmpty()) {
        FindSearch::find(m_find, text, m_catalogue->rows());
        mirrorFindState();
        return;
    }
    deselectCurrentEntry();
    showFindResult(FindSearch::find(m_find, text, m_catalogue->rows()));
}

void Form2::findAgain()
{
    deselectCurrentEntry();
    showFindResult(FindSearch::findAgain(m_find, m_catalogue->rows()));
}

void Form2::openQuery()
{
    query window(*m_catalogue, m_prompter, m_platform, this);
    window.exec();
}

void Form2::addToMarkBin()
{
    const std::vector<qsizetype> rows = selectedRowsInOrder();
    if (rows.empty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_markBin->appendRows(MarkBin::copiesOf(m_catalogue->rows(), rows));
    QApplication::restoreOverrideCursor();
}

void Form2::clearMarkBin()
{
    m_markBin->clear();
}

void Form2::removeSelectedEntries()
{
    if (m_prompter.message(
            QStringLiteral("Are you sure you want to delete this entries from the records? (It will not delete the files)"),
            Prompter::Icon::None, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
        return;
    const std::vector<qsizetype> rows = selectedRowsInOrder();
    if (rows.empty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_catalogueView->selectionModel()->clearSelection();
    m_catalogue->removeEntries(rows);
    QApplication::restoreOverrideCursor();
    updateCaption(); // the count shown must follow the removal
}

void Form2::launchPlaylist()
{
    const QString path = Playlist::path();
    if (const SaveResult written = Playlist::write(path, m_markBin->rows()); !written) {
        m_prompter.message(Playlist::failureMessage(path, written), Prompter::Icon::Critical);
        return;
    }
    if (const QString unopened = OpenFailure::message(path, m_platform.shellOpen(path)); !unopened.isEmpty())
        m_prompter.message(unopened, Prompter::Icon::Information);
}

void Form2::prepareBurn()
{
    if (m_markBin->size() == 0) {
        m_prompter.message(QStringLiteral("You need marked items to prep"), Prompter::Icon::Warning);
        return;
    }
    const QString chosen = m_prompter.chooseFolder(QStringLiteral("Destination"));
    if (chosen.isEmpty())
        return;
    // The mark bin stays as it is meanwhile: the window is modal.
    setCursor(Qt::WaitCursor);
    auto *progress = new BurnProgress(m_prompter, this);
    connect(progress, &BurnProgress::finished, this, [this, progress] {
        unsetCursor();
        progress->deleteLater();
    });
    progress->start(m_markBin->rows(), BurnPlan::withClosingSeparator(chosen));
}

void Form2::attachCover()
{
    Form3 dialog(
        m_settings.coverPath,
        [this](const QString &coverPath) {
            const std::vector<qsizetype> rows = selectedRowsInOrder();
            if (rows.empty())
                return false;
            for (const qsizetype row : rows)
                m_catalogue->setField(row, FieldCoverImage, coverPath);
            return true;
        },
        m_prompter, this);
    if (dialog.exec() == QDialog::Accepted)
        m_settings.coverPath = dialog.folder();
}

void Form2::nameControls()
{
    m_catalogueView->setAccessibleName(QStringLiteral("Catalogue"));
    m_markBinView->setAccessibleName(QStringLiteral("Marked Bin"));
    m_coverStrip->setAccessibleName(QStringLiteral("Cover strip"));
    m_toolFrame->setAccessibleName(QStringLiteral("Tool bar"));
    m_catalogueFrame->setAccessibleName(QStringLiteral("Catalogue"));
}
