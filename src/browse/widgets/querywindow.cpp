#include "browse/widgets/querywindow.h"

#include "base/twips.h"
#include "base/widgets/listlook.h"
#include "browse/queryresults.h"
#include "catalogue/cataloguemodel.h"
#include "catalogue/entrypath.h"
#include "base/platform/openfailure.h"
#include "base/platform/platform.h"
#include "base/platform/prompter.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTimer>
#include <QTreeView>

namespace {
constexpr int ClientWidthTwips = 8745;
constexpr int ClientHeightTwips = 3465;
constexpr int MinimumWidthTwips = 8865; // outer size, frame included
constexpr int MinimumHeightTwips = 3870;
constexpr int ListLeftTwips = 120;
constexpr int ListTopTwips = 120;
constexpr int ListMarginTwips = 210; // client size minus list size
} // namespace

query::query(const CatalogueModel &catalogue, Prompter &prompter, Platform &platform, QWidget *parent,
             const QuerySearch::Scope &scope)
    : QDialog(parent), m_prompter(prompter), m_platform(platform)
{
    setObjectName(QStringLiteral("query"));
    setModal(true);

    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setAccessibleName(QStringLiteral("Query results"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setStretchLastSection(false);
    ListLook::apply(m_list);

    m_menu = new QMenu(QStringLiteral("queryHidden"), this);
    m_menu->setObjectName(QStringLiteral("queryHidden"));
    QAction *playAction = m_menu->addAction(QStringLiteral("&Play"));
    playAction->setObjectName(QStringLiteral("queryPlay"));
    connect(playAction, &QAction::triggered, this, &query::play);
    connect(m_list, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        if (m_results && index.isValid())
            Q_EMIT detailsRequested(m_results->catalogueRow(index.row()));
    });
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { m_menu->popup(m_list->viewport()->mapToGlobal(at)); });

    resize(px(ClientWidthTwips), px(ClientHeightTwips));
    runQuery(catalogue, scope);
}

query::~query() = default;

int query::px(double twips) const
{
    return twipsToPixels(twips, logicalDpiX());
}

void query::runQuery(const CatalogueModel &catalogue, const QuerySearch::Scope &scope)
{
    const QString text = m_prompter.textPrompt(
        QStringLiteral("Search the paths for a text, or give a query: artist:okafor year:1990..1999, "
                       "OR, NOT, -word, (...), \"...\", @saved"),
        QStringLiteral("Search"));
    if (text.isEmpty()) {
        setWindowTitle(QString());
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QuerySearch::Outcome found = QuerySearch::run(catalogue.rows(), text, scope);
    QApplication::restoreOverrideCursor();
    if (!found.error.isEmpty()) {
        m_error = found.error;
        setWindowTitle(QString());
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_results = new QueryResults(catalogue.rows(), std::move(found.rows), this);
    m_list->setModel(m_results);
    // The path is what tells the matches apart: give it the room of three columns.
    m_list->header()->resizeSection(0, 3 * m_list->header()->defaultSectionSize());
    connect(m_list->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_results->sort(column);
        ListLook::showSortArrow(m_list->header(), column);
        QApplication::restoreOverrideCursor();
    });
    QApplication::restoreOverrideCursor();
    setWindowTitle(QStringLiteral("Ondro Query - %1 Matches").arg(m_results->size()));
}

void query::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Some window systems never activate a window; report all the same.
    QTimer::singleShot(0, this, &query::reportOnce);
}

bool query::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        QTimer::singleShot(0, this, &query::reportOnce);
    return QDialog::event(event);
}

void query::reportOnce()
{
    if (m_reported || !isVisible())
        return;
    m_reported = true;
    if (!m_error.isEmpty()) {
        m_prompter.message(m_error, Prompter::Icon::Critical);
        reject();
    } else if (!m_results) {
        m_prompter.message(QStringLiteral("Query cancelled."), Prompter::Icon::Critical);
        reject();
    } else if (m_results->size() == 0) {
        m_prompter.message(QStringLiteral("No matches found."), Prompter::Icon::Critical);
        reject();
    }
}

void query::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    const QSize frameExtra = frameGeometry().size() - size();
    const QSize minimum(px(MinimumWidthTwips) - frameExtra.width(), px(MinimumHeightTwips) - frameExtra.height());
    if (minimumSize() != minimum && minimum.isValid())
        setMinimumSize(minimum);
    m_list->setGeometry(px(ListLeftTwips), px(ListTopTwips), std::max(0, width() - px(ListMarginTwips)),
                        std::max(0, height() - px(ListMarginTwips)));
}

void query::play()
{
    if (!m_results)
        return;
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const qsizetype row = selected.first().row();
    const QString located = m_locate ? m_locate(m_results->path(row), m_results->source(row)) : m_results->path(row);
    const QString path = EntryPath::openable(EntryPath::openPath(located, m_results->extension(row)));
    const QString source = m_results->source(row);
    OpenFailure::openWithRetry(m_platform, m_prompter, path, [this, &source] {
        return m_offlineQuestion ? m_offlineQuestion(source) : QString();
    });
}
