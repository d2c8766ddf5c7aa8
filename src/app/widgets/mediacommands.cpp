#include "app/widgets/mediacommands.h"

#include "app/widgets/cataloguelistmodel.h"
#include "browse/widgets/duplicateswindow.h"
#include "media/widgets/mediawindow.h"
#include "media/widgets/scanwindow.h"
#include "store/cataloguelistfile.h"
#include "store/mediasession.h"
#include "store/platform/mountwatch.h"
#include "store/platform/prompter.h"
#include "store/widgets/longwork.h"

#include <QFileInfo>

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
    connect(window, &MediaWindow::catalogueChanged, this, [this] { m_countChanged(); });
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
                m_catalogue.rows(), std::move(found),
                [&states](const QString &source) -> std::optional<bool> {
                    const MediumState *state = states.state(source);
                    return state ? std::optional(state->online) : std::nullopt;
                },
                m_window);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->setModal(true);
            window->show();
        });
}

void MediaCommands::attach(Form5 &scanWindow)
{
    scanWindow.setMediaSession(m_session);
}

QString MediaCommands::located(const QString &path, const QString &source) const
{
    return m_session->states().currentPath(path, source);
}

CatalogueEntry MediaCommands::located(CatalogueEntry entry) const
{
    entry.record.filename = located(entry.record.filename, entry.record.source);
    return entry;
}
