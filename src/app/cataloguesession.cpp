#include "app/cataloguesession.h"

#include "export/libraryfile.h"
#include "base/atomicsave.h"
#include "catalogue/cataloguelistfile.h"
#include "catalogue/cataloguemodel.h"
#include "base/platform/prompter.h"
#include "base/workprogress.h"

#include <QDir>
#include <QFileInfo>

CatalogueSession::CatalogueSession(CatalogueModel &catalogue, Prompter &prompter, QString listPath)
    : m_catalogue(catalogue), m_prompter(prompter), m_listPath(std::move(listPath))
{
}

Settings CatalogueSession::loadSettings(Prompter &prompter)
{
    Settings settings = Settings::defaults();
    if (QFileInfo::exists(SettingsFile::path())) {
        SettingsFile::load(SettingsFile::path(), settings);
    } else if (QFileInfo::exists(SettingsFile::oldPath())) {
        prompter.message(QStringLiteral("An older Ondro configuration file was detected. Click OK to update."),
                         Prompter::Icon::Information);
        SettingsFile::migrate(SettingsFile::oldPath(), settings);
        if (const SaveResult saved = SettingsFile::save(SettingsFile::path(), settings); !saved)
            prompter.message(saveFailureMessage(SettingsFile::path(), saved), Prompter::Icon::Critical);
    }
    return settings;
}

CatalogueSession::Loaded CatalogueSession::read(const StartupPlan &plan, const QString &listPath,
                                                WorkProgress &progress)
{
    Loaded loaded;
    if (plan.mode == StartupMode::Normal) {
        progress.total.store(QFileInfo(listPath).size(), std::memory_order_relaxed);
        SafeFileRead::Options counting;
        counting.progress = &progress;
        CatalogueListFile::ReadResult read = CatalogueListFile::read(listPath, counting);
        loaded.stamp = read.stamp;
        loaded.problem = CatalogueListFile::readProblemMessage(listPath, read);
        if (!read.mayBeReplaced())
            loaded.refusal = read.reason;
        loaded.rows = std::move(read.rows);
    } else if (!plan.libraryPath.isEmpty()) {
        // At start-up the result is not told: the caption shows what came in.
        LibraryFile::load(plan.libraryPath, loaded.rows);
    }
    return loaded;
}

void CatalogueSession::take(const StartupPlan &plan, Loaded loaded)
{
    m_mode = plan.mode;
    m_stamp = loaded.stamp;
    m_refusal = loaded.refusal;
    m_catalogue.appendRows(std::move(loaded.rows));
    m_savedGeneration = m_catalogue.generation();
    m_loaded = true;

    if (!loaded.problem.isEmpty()) {
        if (m_refusal.isEmpty())
            m_prompter.message(loaded.problem, Prompter::Icon::Warning);
        else
            m_prompter.message(loaded.problem + QStringLiteral(" Ondro will not save over it while it runs."),
                               Prompter::Icon::Critical);
    }
    if (plan.libraryMissing)
        m_prompter.message(QStringLiteral("You attempted to load an ODL that is not available"),
                           Prompter::Icon::Critical);
}

bool CatalogueSession::changed() const
{
    return m_catalogue.generation() != m_savedGeneration || (m_alsoChanged && m_alsoChanged());
}

bool CatalogueSession::save(const Write &write)
{
    const QString shown = QDir::toNativeSeparators(m_listPath);
    if (!m_refusal.isEmpty()) {
        m_prompter.message(QStringLiteral("The catalogue %1 could not be read when Ondro started (%2), so Save "
                                          "does not replace it. Nothing was saved.")
                               .arg(shown, m_refusal),
                           Prompter::Icon::Critical);
        return false;
    }
    if (FileStamp::replacingLosesChanges(m_listPath, m_stamp) &&
        m_prompter.message(QStringLiteral("The catalogue %1 was changed by another program since Ondro loaded or "
                                          "last saved it. Replace it with the %2 entries shown here?")
                               .arg(shown)
                               .arg(m_catalogue.size()),
                           Prompter::Icon::Warning, Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
        return false;

    bool catalogueSaved = false;
    const bool ok = write(catalogueSaved);
    if (catalogueSaved) {
        m_stamp = FileStamp::of(m_listPath);
        m_savedGeneration = m_catalogue.generation();
    }
    return ok;
}

bool CatalogueSession::mayClose(const Write &write)
{
    if (m_mode != StartupMode::Normal || !changed())
        return true;
    switch (m_prompter.message(QStringLiteral("The catalogue has changed since it was last saved. Save the "
                                              "changes before closing?"),
                               Prompter::Icon::Warning, Prompter::Buttons::SaveDiscardCancel)) {
    case Prompter::Answer::Save:
        return save(write);
    case Prompter::Answer::Discard:
        return true;
    default:
        return false;
    }
}
