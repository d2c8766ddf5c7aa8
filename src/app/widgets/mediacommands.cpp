#include "app/widgets/mediacommands.h"

#include "media/offlinenotice.h"

#include "app/widgets/cataloguelistmodel.h"
#include "browse/statistics.h"
#include "browse/widgets/duplicateswindow.h"
#include "media/widgets/verifywindow.h"
#include "browse/widgets/statisticswindow.h"
#include "catalogue/shownrowsmodel.h"
#include "media/widgets/mediawindow.h"
#include "media/widgets/mediumactions.h"
#include "media/widgets/rescanflow.h"
#include "media/widgets/scanwindow.h"
#include "catalogue/cataloguelistfile.h"
#include "media/mediasession.h"
#include "base/platform/mountwatch.h"
#include "base/platform/prompter.h"
#include "base/widgets/longwork.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>
#include <QLocale>
#include <QMenu>

MediaCommands::MediaCommands(CatalogueListModel &catalogue, QWidget *window, Prompter &prompter, Platform &platform,
                             std::function<void()> countChanged)
    : QObject(window), m_catalogue(catalogue), m_window(window), m_prompter(prompter),
      m_countChanged(std::move(countChanged))
{
    const QString dataDir = QFileInfo(CatalogueListFile::defaultPath()).absolutePath();
    m_session = new MediaSession(MediaRegister::fileIn(dataDir), platform, this);
    connect(m_session, &MediaSession::changed, this, &MediaCommands::statesChanged);
}

void MediaCommands::start()
{
    if (const QString problem = m_session->load(); !problem.isEmpty())
        m_prompter.message(problem, Prompter::Icon::Warning);
    m_session->refresh(m_catalogue.rows());
    if (m_mounts)
        return;
    m_mounts = new MountWatch(this);
    connect(m_mounts, &MountWatch::mountsChanged, this, [this] { m_session->refresh(m_catalogue.rows()); });
    // A folder or share that vanishes or comes back makes no mount event.
    m_poll = new QTimer(this);
    m_poll->setInterval(PollMilliseconds);
    connect(m_poll, &QTimer::timeout, m_session, &MediaSession::poll);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive) {
            m_poll->stop();
            return;
        }
        m_session->refresh(m_catalogue.rows());
        m_poll->start();
    });
    if (QGuiApplication::applicationState() == Qt::ApplicationActive)
        m_poll->start();
}

void MediaCommands::statesChanged()
{
    const MediaStates &states = m_session->states();
    m_catalogue.setDimmed([&states](const QString &source) { return states.isOffline(source); });
}

void MediaCommands::openMediaWindow()
{
    // A folder that came back (a share, a copy) makes no mount event.
    m_session->refresh(m_catalogue.rows());
    auto *window = new MediaWindow(m_catalogue, *m_session, m_prompter, m_window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setModal(true);
    if (m_libraryView)
        window->setViewOnly();
    connect(window, &MediaWindow::catalogueChanged, this, [this] { m_countChanged(); });
    connect(window, &MediaWindow::verifyWindowOpened, this, &MediaCommands::verifyWindowOpened);
    connect(window, &MediaWindow::statisticsRequested, this,
            [this, window](const QString &source) { openMediumStatistics(source, window); });
    window->show();
}

void MediaCommands::openDuplicatesWindow()
{
    m_session->refresh(m_catalogue.rows());
    const RowStore &rows = m_catalogue.rows(); // unchanged while the window is busy
    LongWork::start(
        m_window, QStringLiteral("Finding duplicates..."),
        [&rows](WorkProgress &) { return DuplicatesWindow::find(rows); },
        [this](DuplicatesWindow::Found found) {
            const MediaStates &states = m_session->states();
            auto *window = new DuplicatesWindow(
                m_catalogue, std::move(found),
                [&states](const QString &source) -> std::optional<bool> {
                    const MediumState *state = states.state(source);
                    return state ? std::optional(state->online) : std::nullopt;
                },
                m_window);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->setModal(true);
            Q_EMIT duplicatesWindowOpened(window);
            window->show();
        });
}

void MediaCommands::openStatistics(const ShownRowsModel &shown)
{
    const RowStore &rows = m_catalogue.rows(); // unchanged while the window is busy
    std::vector<qsizetype> counted;
    if (shown.isFiltered()) {
        counted.reserve(size_t(shown.shownCount()));
        for (int row = 0; row < shown.shownCount(); ++row)
            counted.push_back(shown.catalogueRow(row));
    }
    const QLocale locale;
    const QString subtitle = shown.isFiltered() ? QStringLiteral("%1 of %2 shown")
                                                      .arg(locale.toString(qlonglong(counted.size())),
                                                           locale.toString(qlonglong(rows.size())))
                                                : QStringLiteral("All %1 entries").arg(locale.toString(qlonglong(rows.size())));
    const bool filtered = shown.isFiltered();
    LongWork::start(
        m_window, QStringLiteral("Counting..."),
        [&rows, counted = std::move(counted), filtered](WorkProgress &) {
            Statistics::Tally tally;
            if (filtered) {
                for (const qsizetype row : counted)
                    tally.add(rows, row);
            } else {
                for (qsizetype row = 0; row < rows.size(); ++row)
                    tally.add(rows, row);
            }
            return tally.report();
        },
        [this, subtitle](Statistics::Report report) { showStatistics(std::move(report), subtitle, m_window); });
}

void MediaCommands::openMediumStatistics(const QString &source, QWidget *window)
{
    const RowStore &rows = m_catalogue.rows();
    LongWork::start(
        window, QStringLiteral("Counting..."),
        [&rows, wanted = source.toUtf8()](WorkProgress &) {
            Statistics::Tally tally;
            for (qsizetype row = 0; row < rows.size(); ++row) {
                if (rows.fieldUtf8(row, FieldSource) == wanted)
                    tally.add(rows, row);
            }
            return tally.report();
        },
        [this, source, window](Statistics::Report report) { showStatistics(std::move(report), source, window); });
}

void MediaCommands::showStatistics(Statistics::Report report, const QString &subtitle, QWidget *parent)
{
    auto *window = new StatisticsWindow(std::move(report), subtitle, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setModal(true);
    window->show();
}

void MediaCommands::addMediumMenu(QMenu *listMenu, std::function<QString()> source)
{
    auto *rescan = new RescanFlow(m_catalogue, *m_session, m_prompter, m_window);
    auto *actions = new MediumActions(m_catalogue, *m_session, m_prompter, *rescan, m_window);
    QMenu *medium = listMenu->addMenu(QStringLiteral("Me&dium"));
    medium->setObjectName(QStringLiteral("mnuHiddenMedium"));
    m_mediumMenu = medium;
    actions->addTo(medium, std::move(source));
    connect(actions, &MediumActions::catalogueChanged, this, [this] { m_countChanged(); });
    connect(rescan, &RescanFlow::finished, this, [this](bool applied) {
        if (applied)
            m_countChanged();
    });
}

void MediaCommands::setLibraryView()
{
    m_libraryView = true;
    if (m_mediumMenu)
        m_mediumMenu->menuAction()->setEnabled(false);
}

void MediaCommands::attach(Form5 &scanWindow)
{
    scanWindow.setMediaSession(m_session);
}

QString MediaCommands::located(const QString &path, const QString &source) const
{
    return m_session->states().currentPath(path, source);
}

QString MediaCommands::offlineQuestion(const QString &source) const
{
    m_session->checkNow(source);
    const MediumState *state = m_session->states().state(source);
    if (!state || state->online || state->unknown)
        return {};
    return insertMediumQuestion(source, m_session->media().find(source));
}

CatalogueEntry MediaCommands::located(CatalogueEntry entry) const
{
    m_session->checkNow(entry.record.source); // the entry is about to be played or opened
    entry.record.filename = located(entry.record.filename, entry.record.source);
    return entry;
}
