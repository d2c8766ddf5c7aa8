#include "app/widgets/filtercommands.h"

#include "app/widgets/maincontrols.h"
#include "base/widgets/rowlist.h"
#include "browse/querymatcher.h"
#include "browse/querymedia.h"
#include "catalogue/cataloguemodel.h"
#include "media/mediasession.h"
#include "catalogue/shownrowsmodel.h"
#include "base/workpool.h"

#include "browse/savedqueries.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

// One pass of the filter: its query, what it knows of the media, and the
// progress through which it is stopped early.
struct FilterCommands::Pass
{
    std::shared_ptr<Query::Parsed> query;
    Query::Context context;
    WorkProgress progress;
    quint64 revision = 0; // of the rows it reads
    std::shared_ptr<const std::vector<quint8>> duplicates;
    QString error; // the matcher's, when the query had no answer
};

namespace {

Query::Context contextOf(const MediaSession &session)
{
    Query::Context context;
    context.media = Query::mediaOf(session.media(), session.states());
    return context;
}

} // namespace

FilterCommands::FilterCommands(CatalogueModel &catalogue, MainControls &ui, const MediaSession &media, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_ui(ui), m_media(media)
{
    connect(m_ui.filterField, &QLineEdit::textChanged, this, &FilterCommands::start);
    // Each keystroke starts its pass at once; Enter starts one for a text
    // put in without a keystroke's signal.
    connect(m_ui.filterField, &QLineEdit::returnPressed, this, [this] {
        if (m_ui.filterField->text() != m_started)
            refilter();
    });
    m_ui.filterField->installEventFilter(this);
    connect(&m_watcher, &QFutureWatcher<std::vector<qint32>>::finished, this, &FilterCommands::finished);
    // Direct: the pass must end before the rows change under it.
    connect(&m_catalogue, &CatalogueModel::rowsAboutToChange, this, &FilterCommands::stopPass, Qt::DirectConnection);
    // The counts follow the catalogue (the list itself follows through its model).
    connect(&m_catalogue, &QAbstractItemModel::rowsInserted, this, [this] { updateLabel(); });
    connect(&m_catalogue, &QAbstractItemModel::rowsRemoved, this, [this] { updateLabel(); });
    connect(&m_catalogue, &QAbstractItemModel::modelReset, this, [this] { updateLabel(); });
    // A query that asks whether media are online follows their states.
    connect(&media, &MediaSession::changed, this, [this] {
        if (m_ui.filterField->text().contains(QLatin1String("is:"), Qt::CaseInsensitive))
            refilter();
    });
    m_emptyHint = m_ui.emptyHint->text();
    updateLabel();
}

FilterCommands::~FilterCommands()
{
    stopPass();
}

void FilterCommands::stopPass()
{
    if (!m_watcher.isRunning())
        return;
    m_pass->progress.requestStop();
    m_watcher.waitForFinished();
    // The query it was working out is run again over the changed rows.
    QTimer::singleShot(0, this, &FilterCommands::refilter);
}

void FilterCommands::showAll()
{
    m_ui.filterField->clear(); // textChanged shows every row
    start(QString());
}

void FilterCommands::refilter()
{
    start(m_ui.filterField->text());
}

std::shared_ptr<const std::vector<quint8>> FilterCommands::duplicates()
{
    if (!m_duplicates || m_duplicatesRevision != m_catalogue.revision()) {
        m_duplicates = std::make_shared<const std::vector<quint8>>(Query::duplicateFlags(m_catalogue.rows()));
        m_duplicatesRevision = m_catalogue.revision();
    }
    return m_duplicates;
}

void FilterCommands::setSavedQueries(const QString &path)
{
    m_savedQueries = path;
}

bool FilterCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_ui.filterField || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Escape && !m_ui.filterField->text().isEmpty()) {
        m_ui.filterField->clear();
        return true;
    }
    if (key == Qt::Key_Escape || key == Qt::Key_Down) {
        RowList *list = m_ui.catalogueView;
        list->setFocus(Qt::ShortcutFocusReason);
        if (key == Qt::Key_Down && list->model()->rowCount() > 0)
            list->selectionModel()->setCurrentIndex(list->model()->index(0, 0), QItemSelectionModel::ClearAndSelect |
                                                                                     QItemSelectionModel::Rows);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void FilterCommands::start(const QString &text)
{
    m_started = text;
    const SavedQueries::Expanded expanded = SavedQueries::expand(text, m_savedQueries);
    auto query = std::make_shared<Query::Parsed>(expanded.error.isEmpty() ? Query::parse(expanded.text)
                                                                          : Query::Parsed{});
    if (!expanded.error.isEmpty())
        query->error = expanded.error;
    if (!query->ok()) {
        // The list keeps the last good query's rows; a pass still working
        // them out goes on.
        m_problem = query->error;
        updateLabel();
        return;
    }
    m_problem.clear();
    if (m_pass)
        m_pass->progress.requestStop(); // its rows are not wanted any more
    m_query = query;
    if (!query->root) {
        m_pass.reset();
        m_ui.shown->showAll();
        updateLabel();
        Q_EMIT shownChanged();
        return;
    }
    m_watcher.waitForFinished(); // a stopped pass ends within a few thousand rows
    auto pass = std::make_shared<Pass>();
    pass->query = query;
    pass->context = contextOf(m_media);
    pass->revision = m_catalogue.revision();
    const bool needsDuplicates = Query::usesDuplicates(query->root.get());
    if (needsDuplicates && m_duplicatesRevision == m_catalogue.revision())
        pass->duplicates = m_duplicates;
    m_pass = pass;
    const RowStore &rows = m_catalogue.rows();
    m_watcher.setFuture(QtConcurrent::run(workPool(), [pass, &rows, needsDuplicates] {
        if (needsDuplicates && !pass->duplicates)
            pass->duplicates = std::make_shared<const std::vector<quint8>>(Query::duplicateFlags(rows));
        Query::Context context = pass->context;
        context.duplicates = pass->duplicates.get();
        const Query::Matcher matcher(pass->query->root.get(), std::move(context));
        std::vector<qint32> shown = matcher.filter(rows, &pass->progress);
        pass->error = matcher.error(); // read once the future is finished
        return shown;
    }));
}

void FilterCommands::finished()
{
    const std::shared_ptr<Pass> pass = m_pass;
    if (!pass || pass->progress.stopped() || pass->revision != m_catalogue.revision() || m_watcher.future().resultCount() == 0)
        return;
    if (pass->duplicates) {
        m_duplicates = pass->duplicates;
        m_duplicatesRevision = pass->revision;
    }
    if (!pass->error.isEmpty()) { // the query has no answer (a regular expression too costly)
        m_problem = pass->error;
        updateLabel();
        return;
    }
    m_ui.shown->showOnly(m_watcher.future().result(), [this] { return filterNow(); });
    updateLabel();
    Q_EMIT shownChanged();
}

std::vector<qint32> FilterCommands::filterNow()
{
    if (!m_query || !m_query->root)
        return {};
    Query::Context context = contextOf(m_media);
    std::shared_ptr<const std::vector<quint8>> flags;
    if (Query::usesDuplicates(m_query->root.get())) {
        flags = duplicates();
        context.duplicates = flags.get();
    }
    const Query::Matcher matcher(m_query->root.get(), std::move(context));
    return matcher.filter(m_catalogue.rows());
}

void FilterCommands::updateLabel()
{
    const qsizetype shown = m_ui.shown->shownCount();
    QString text = QStringLiteral("%1 of %2 shown").arg(shown).arg(m_catalogue.size());
    if (!m_problem.isEmpty()) {
        text = m_ui.shown->isFiltered()
                   ? QStringLiteral("%1 \u2014 showing the last good filter's %2 rows").arg(m_problem).arg(shown)
                   : QStringLiteral("%1 \u2014 showing every row").arg(m_problem);
    }
    m_ui.shownLabel->setText(text);
    m_ui.shownLabel->setToolTip(text); // the whole of it where the window is narrow
    if (!m_ui.shown->isFiltered())
        m_ui.emptyHint->setText(m_emptyHint);
    else if (m_problem.isEmpty())
        m_ui.emptyHint->setText(QStringLiteral("No entries match the filter."));
    else
        m_ui.emptyHint->setText(QStringLiteral("No entries match the last good filter."));
    Q_EMIT labelChanged();
}
