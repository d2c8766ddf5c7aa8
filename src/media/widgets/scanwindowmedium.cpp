// The Scan window's part in the media register: a source ID that has
// entries already, or a folder scanned before under another ID, is
// rescanned on request, and a scan is noted.
#include "media/widgets/scanwindow.h"

#include "base/platform/prompter.h"
#include "catalogue/cataloguemodel.h"
#include "media/mediasession.h"
#include "media/widgets/rescanflow.h"
#include "media/mediaregister.h"
#include "media/scanagain.h"

#include <QLabel>

void Form5::setMediaSession(MediaSession *media)
{
    m_media = media;
    if (!m_media || m_rescan)
        return;
    m_rescan = new RescanFlow(m_catalogue, *m_media, m_prompter, this);
    connect(m_rescan, &RescanFlow::finished, this, [this](bool applied) {
        // What the rescan did stays in the status line once its questions are gone.
        const QString outcome = m_rescan->outcome();
        m_statusLabel->setText(outcome.isEmpty() ? idleText() : outcome);
        m_countLabel->clear();
        setActivity(m_idleIcon);
        if (applied)
            Q_EMIT entriesAdded();
        Q_EMIT scanFinished();
    });
}

bool Form5::isRescanning() const
{
    return m_rescan && m_rescan->isRunning();
}

bool Form5::addsToExistingSource(const QString &source, const QString &root)
{
    if (!m_rescan)
        return true;
    const std::optional<ScanAgain> again =
        ScanAgain::of(m_catalogue.rows(), m_media->media(), m_media->states(), source, root);
    if (!again)
        return true;
    switch (m_prompter.choose(again->question)) {
    case ScanAgain::Add:
        return true;
    case ScanAgain::Rescan:
        m_rescan->start(again->existing, root);
        return false;
    default:
        return false;
    }
}

void Form5::noteScan(const QString &source)
{
    if (!m_media)
        return;
    if (const QString failure = m_media->noteScan(source, m_scanRoot, mediumTotals(m_catalogue.rows(), source));
        !failure.isEmpty())
        m_prompter.message(failure, Prompter::Icon::Critical);
    m_media->refresh(m_catalogue.rows());
}
