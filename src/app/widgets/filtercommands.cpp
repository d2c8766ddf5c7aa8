#include "app/widgets/filtercommands.h"

#include "app/widgets/maincontrols.h"
#include "browse/querymatcher.h"
#include "browse/querymedia.h"
#include "catalogue/cataloguemodel.h"
#include "media/mediasession.h"
#include "catalogue/shownrowsmodel.h"
#include "base/workpool.h"

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
    connect(&m_watcher, &QFutureWatcher<std::vector<qint32>>::finished, this, &FilterCommands::finished);
    // Direct: the pass must end before the rows change under it.
    connect(&m_catalogue, &CatalogueModel::rowsAboutToChange, this, &FilterCommands::stopPass, Qt::DirectConnection);
    // The counts follow the catalogue (the list itself follows through its model).
    connect(&m_catalogue, &QAbstractItemModel::rowsInserted, this, [this] { updateLabel(); });
    connect(&m_catalogue, &QAbstractItemModel::rowsRemoved, this, [this] { updateLabel(); });
    connect(&m_catalogue, &QAbstractItemModel::modelReset, this, [this] { updateLabel(); });
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

void FilterCommands::start(const QString &text)
{
    if (m_pass)
        m_pass->progress.requestStop(); // its rows are not wanted any more
    auto query = std::make_shared<Query::Parsed>(Query::parse(text));
    if (!query->ok()) {
        updateLabel(query->error);
        return;
    }
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
    if (!pass->error.isEmpty()) { // told where a query that does not parse is
        updateLabel(pass->error);
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

void FilterCommands::updateLabel(const QString &problem)
{
    m_ui.shownLabel->setText(problem.isEmpty() ? QStringLiteral("%1 of %2 shown")
                                                     .arg(m_ui.shown->shownCount())
                                                     .arg(m_catalogue.size())
                                               : problem);
    m_ui.shownLabel->setToolTip(m_ui.shownLabel->text()); // the whole of it where the window is narrow
    m_ui.emptyHint->setText(m_ui.shown->isFiltered() ? QStringLiteral("No entries match the filter.") : m_emptyHint);
}
