#include "media/widgets/mediumactions.h"

#include "base/platform/prompter.h"
#include "catalogue/cataloguemodel.h"
#include "media/mediaedits.h"
#include "media/mediasession.h"
#include "media/widgets/rescanflow.h"
#include "media/widgets/verifywindow.h"
#include "base/widgets/longwork.h"
#include "media/verifyrun.h"

#include <QElapsedTimer>

#include <QLocale>
#include <QMenu>

MediumActions::MediumActions(CatalogueModel &catalogue, MediaSession &media, Prompter &prompter, RescanFlow &rescan,
                             QWidget *window)
    : QObject(window), m_catalogue(catalogue), m_media(media), m_prompter(prompter), m_rescan(rescan), m_window(window)
{
}

void MediumActions::tell(const QString &failure)
{
    if (!failure.isEmpty())
        m_prompter.message(failure, Prompter::Icon::Critical);
}

void MediumActions::rename(const QString &source)
{
    if (source.isEmpty() || m_rescan.isRunning())
        return;
    const QString to = m_prompter.textPrompt(QStringLiteral("New source ID of %1").arg(source),
                                             QStringLiteral("Rename Medium"));
    if (to.isEmpty())
        return; // cancelled
    const QString refusal = MediaEdits::renameRefusal(m_media.media(), m_catalogue.rows(), source, to);
    if (!refusal.isEmpty()) {
        m_prompter.message(refusal + QStringLiteral(" Nothing was renamed."), Prompter::Icon::Warning);
        return;
    }
    m_catalogue.apply(MediaEdits::renamedEntries(m_catalogue.rows(), source, to));
    tell(m_media.renameMedium(source, to));
    m_media.refresh(m_catalogue.rows());
    Q_EMIT catalogueChanged();
}

void MediumActions::relocate(const QString &source)
{
    if (source.isEmpty() || m_rescan.isRunning())
        return;
    const MediumState *state = m_media.states().state(source);
    const QString root = m_prompter.chooseFolder(QStringLiteral("Choose the new folder of %1").arg(source),
                                                 state ? state->currentRoot : QString());
    if (!root.isEmpty())
        m_rescan.start(source, root);
}

void MediumActions::remove(const QString &source)
{
    if (source.isEmpty() || m_rescan.isRunning())
        return;
    const qsizetype entries = MediaEdits::entryCount(m_catalogue.rows(), source);
    const QString question = QStringLiteral("Remove %1 and its %2 entries from the catalogue?")
                                 .arg(source, QLocale().toString(qlonglong(entries)));
    if (m_prompter.message(question, Prompter::Icon::Warning, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
        return;
    m_catalogue.apply(MediaEdits::removedEntries(m_catalogue.rows(), source));
    tell(m_media.removeMedium(source));
    m_media.refresh(m_catalogue.rows());
    Q_EMIT catalogueChanged();
}

void MediumActions::verify(const QString &source)
{
    if (source.isEmpty() || m_rescan.isRunning() || m_verifying)
        return;
    const MediumState *state = m_media.states().state(source);
    if (!state || !state->online) {
        m_prompter.message(QStringLiteral("%1 cannot be verified: it is offline. Insert or mount it first.").arg(source),
                           Prompter::Icon::Warning);
        return;
    }
    m_verifying = true;
    QElapsedTimer clock;
    clock.start();
    // The rows stay as they are while the window is busy.
    LongWork::Shown shown{QStringLiteral("Verifying %1...").arg(source), StopOffer::Offered, {},
                          [source, clock](const WorkProgress &progress) {
                              const qint64 ms = std::max<qint64>(1, clock.elapsed());
                              return QStringLiteral("Verifying %1: %2 of %3, %4/s")
                                  .arg(source, QLocale().formattedDataSize(progress.done),
                                       QLocale().formattedDataSize(progress.total),
                                       QLocale().formattedDataSize(progress.done * 1000 / ms));
                          }};
    LongWork::start(
        m_window, shown,
        [rows = &m_catalogue.rows(), states = m_media.states(), source](WorkProgress &progress) {
            return Verify::run(*rows, source, states, &progress);
        },
        [this](Verify::Outcome outcome) {
            m_verifying = false;
            if (outcome.stopped)
                return;
            m_catalogue.apply(Verify::markEdits(m_catalogue.rows(), outcome));
            tell(m_media.noteVerification(outcome.source, outcome.counts));
            Q_EMIT catalogueChanged();
            auto *window = new VerifyWindow(outcome, m_window);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->setModal(true);
            Q_EMIT verifyWindowOpened(window);
            window->show();
        });
}

QList<QAction *> MediumActions::addTo(QMenu *menu, std::function<QString()> source)
{
    QList<QAction *> added;
    const struct
    {
        const char *name;
        const char *caption;
        void (MediumActions::*act)(const QString &);
    } entries[] = {{"mnuMediumRename", "Re&name...", &MediumActions::rename},
                   {"mnuMediumRelocate", "Re&locate...", &MediumActions::relocate},
                   {"mnuMediumRemove", "Remo&ve...", &MediumActions::remove}};
    for (const auto &entry : entries) {
        QAction *action = menu->addAction(QString::fromLatin1(entry.caption));
        action->setObjectName(QLatin1String(entry.name));
        connect(action, &QAction::triggered, this, [this, act = entry.act, source] { (this->*act)(source()); });
        added.append(action);
    }
    return added;
}
