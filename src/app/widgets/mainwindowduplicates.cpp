// The main window's commands on the copies the Duplicates window lists:
// the same ones its list runs on its own selection.
#include "app/widgets/mainwindow.h"

#include "browse/widgets/duplicateswindow.h"
#include "catalogue/cataloguemodel.h"
#include "media/widgets/detailswindow.h"
#include "media/widgets/verifywindow.h"

#include <QItemSelectionModel>

// A verification's row shown in the list, as a copy of the Duplicates window is.
void Form2::connectVerification(VerifyWindow *window)
{
    connect(window, &VerifyWindow::selectRequested, this, [this](qsizetype row) {
        m_browse->selectEntry(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    });
}

void Form2::connectDuplicates(DuplicatesWindow *window)
{
    const auto select = [this](qsizetype row) {
        m_browse->selectEntry(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    };
    connect(window, &DuplicatesWindow::selectRequested, this, select);
    connect(window, &DuplicatesWindow::detailsRequested, this, [this, window, select](qsizetype row) {
        select(row);
        showSelectedDetails(window);
    });
    connect(window, &DuplicatesWindow::playRequested, this, [this, window](qsizetype row) {
        // The details window's Play, without showing it.
        const RowStore &rows = m_catalogue->rows();
        Form4 details(m_media->located(rows.entry(row)), QPixmap(), m_platform, m_prompter, window,
                      rows.extensionUtf8(row));
        const QString source = rows.field(row, FieldSource);
        details.setOfflineQuestion([this, source] { return m_media->offlineQuestion(source); });
        details.launchPlayer();
    });
    connect(window, &DuplicatesWindow::markRequested, this,
            [this](const QList<qsizetype> &rows) { m_browse->addRowsToMarkBin({rows.begin(), rows.end()}); });
    connect(window, &DuplicatesWindow::removeRequested, this,
            [this](const QList<qsizetype> &rows) { m_browse->removeEntries({rows.begin(), rows.end()}); });
}
