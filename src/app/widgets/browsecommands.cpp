#include "app/widgets/browsecommands.h"

#include "app/widgets/maincontrols.h"
#include "base/widgets/rowlist.h"
#include "browse/burnplan.h"
#include "browse/markbin.h"
#include "browse/playlist.h"
#include "browse/queryresults.h"
#include "browse/widgets/burnwindow.h"
#include "browse/widgets/coverwindow.h"
#include "browse/widgets/querywindow.h"
#include "catalogue/cataloguemodel.h"
#include "base/platform/openfailure.h"
#include "base/platform/platform.h"
#include "base/platform/prompter.h"

#include <QSet>
#include <QApplication>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>

BrowseCommands::BrowseCommands(CatalogueModel &catalogue, CatalogueModel &markBin, Window window, Prompter &prompter,
                               Platform &platform)
    : QObject(window.widget), m_catalogue(catalogue), m_markBin(markBin), m_window(std::move(window)),
      m_prompter(prompter), m_platform(platform)
{
}

void BrowseCommands::mirrorFindState()
{
    m_window.ui.findTextLabel->setText(m_find.text);
    m_window.ui.findPositionLabel->setText(QString::number(m_find.nextStart));
}

void BrowseCommands::deselectCurrentEntry()
{
    if (const auto row = m_window.ui.selectedRow())
        m_window.ui.catalogueView->selectionModel()->select(m_window.ui.listIndex(*row),
                                                  QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void BrowseCommands::showFindResult(const FindResult &result)
{
    mirrorFindState();
    if (result.kind == FindResult::Hit) {
        selectEntry(result.row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    } else if (result.kind == FindResult::Complete) {
        m_window.showCover();
        m_prompter.message(QStringLiteral("Search Complete."), Prompter::Icon::Information);
    }
}

void BrowseCommands::selectEntry(qsizetype row, QItemSelectionModel::SelectionFlags flags)
{
    // Find and the Duplicates window look through the whole catalogue: a
    // row the filter hides is shown by showing every row.
    if (!m_window.ui.listIndex(row).isValid())
        m_window.ui.filterField->clear();
    const QModelIndex at = m_window.ui.listIndex(row);
    m_window.ui.catalogueView->setFocus();
    m_window.ui.catalogueView->scrollTo(at);
    m_window.ui.catalogueView->selectionModel()->setCurrentIndex(at, flags);
    m_window.showCover();
}

void BrowseCommands::find()
{
    const QString text = m_prompter.textPrompt(QStringLiteral("Find"), QStringLiteral("Find"));
    if (text.isEmpty()) {
        FindSearch::find(m_find, text, m_catalogue.rows());
        mirrorFindState();
        return;
    }
    deselectCurrentEntry();
    showFindResult(FindSearch::find(m_find, text, m_catalogue.rows()));
}

void BrowseCommands::findAgain()
{
    deselectCurrentEntry();
    showFindResult(FindSearch::findAgain(m_find, m_catalogue.rows()));
}

void BrowseCommands::openQuery()
{
    query window(m_catalogue, m_prompter, m_platform, m_window.widget,
                 m_window.queryScope ? m_window.queryScope() : QuerySearch::Scope{});
    window.setLocator(m_window.locate);
    window.setOfflineQuestion(m_window.offlineQuestion);
    if (m_window.showDetails)
        connect(&window, &query::detailsRequested, &window,
                [this, &window](qsizetype row) { m_window.showDetails(row, &window); });
    window.exec();
}

void BrowseCommands::addToMarkBin()
{
    addRowsToMarkBin(m_window.ui.selectedRowsInOrder());
}

void BrowseCommands::addRowsToMarkBin(const std::vector<qsizetype> &rows)
{
    if (rows.empty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_markBin.appendRows(MarkBin::copiesOf(m_catalogue.rows(), rows));
    QApplication::restoreOverrideCursor();
}

void BrowseCommands::clearMarkBin()
{
    m_markBin.clear();
}

void BrowseCommands::removeFromMarkBin()
{
    QItemSelectionModel *selection = m_window.ui.markBinView->selectionModel();
    const std::vector<qsizetype> rows = MarkBin::rowsInOrder(selection->selection());
    if (rows.empty())
        return;
    selection->clearSelection();
    m_markBin.removeEntries(rows);
}

void BrowseCommands::removeSelectedEntries()
{
    removeEntries(m_window.ui.selectedRowsInOrder());
}

void BrowseCommands::removeEntries(const std::vector<qsizetype> &rows)
{
    if (m_prompter.message(
            QStringLiteral("Are you sure you want to delete this entries from the records? (It will not delete the files)"),
            Prompter::Icon::None, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
        return;
    if (rows.empty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_window.ui.catalogueView->selectionModel()->clearSelection();
    m_catalogue.removeEntries(rows);
    QApplication::restoreOverrideCursor();
    m_window.countChanged(); // the count shown must follow the removal
}

RowStore BrowseCommands::locatedMarkBin() const
{
    RowStore located;
    located.reserve(m_markBin.size());
    for (qsizetype row = 0; row < m_markBin.size(); ++row) {
        TrackRecord record = m_markBin.record(row);
        if (m_window.locate)
            record.filename = m_window.locate(record.filename, record.source);
        located.append(record, m_markBin.origin(row), m_markBin.rows().extensionUtf8(row)); // raw= goes along
    }
    return located;
}

void BrowseCommands::launchPlaylist()
{
    const QString path = Playlist::path();
    if (const SaveResult written = Playlist::write(path, locatedMarkBin()); !written) {
        m_prompter.message(Playlist::failureMessage(path, written), Prompter::Icon::Critical);
        return;
    }
    if (const QString unopened = OpenFailure::message(path, m_platform.shellOpen(path)); !unopened.isEmpty())
        m_prompter.message(unopened, Prompter::Icon::Information);
}

void BrowseCommands::prepareBurn()
{
    if (m_markBin.size() == 0) {
        m_prompter.message(QStringLiteral("You need marked items to prep"), Prompter::Icon::Warning);
        return;
    }
    const QString chosen = m_prompter.chooseFolder(QStringLiteral("Destination"));
    if (chosen.isEmpty() || !markedMediaMounted())
        return;
    // The mark bin stays as it is meanwhile: the window is modal.
    m_window.widget->setCursor(Qt::WaitCursor);
    auto *progress = new BurnProgress(m_prompter, m_window.widget);
    connect(progress, &BurnProgress::finished, this, [this, progress] {
        m_window.widget->unsetCursor();
        progress->deleteLater();
    });
    m_burnBin = locatedMarkBin();
    progress->start(m_burnBin, BurnPlan::withClosingSeparator(chosen));
}

bool BrowseCommands::markedMediaMounted()
{
    if (!m_window.offlineQuestion)
        return true;
    QSet<QString> asked;
    for (qsizetype row = 0; row < m_markBin.size(); ++row) {
        const QString source = m_markBin.rows().field(row, FieldSource);
        if (asked.contains(source))
            continue;
        asked.insert(source);
        for (QString question = m_window.offlineQuestion(source); !question.isEmpty();
             question = m_window.offlineQuestion(source)) {
            if (m_prompter.message(question, Prompter::Icon::Warning, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
                return false;
        }
    }
    return true;
}

void BrowseCommands::attachCover()
{
    Form3 dialog(
        m_window.coverPath,
        [this](const QString &coverPath) {
            const std::vector<qsizetype> rows = m_window.ui.selectedRowsInOrder();
            if (rows.empty())
                return false;
            for (const qsizetype row : rows)
                m_catalogue.setField(row, FieldCoverImage, coverPath);
            return true;
        },
        m_prompter, m_window.widget);
    if (dialog.exec() == QDialog::Accepted)
        m_window.coverPath = dialog.folder();
}

