#include "app/widgets/librarycommands.h"

#include "export/exportflow.h"
#include "export/libraryfile.h"
#include "export/widgets/libraryexportwindow.h"
#include "export/widgets/exportwork.h"
#include "export/widgets/tunepostwindow.h"
#include "catalogue/cataloguemodel.h"
#include "base/platform/platform.h"
#include "base/platform/prompter.h"
#include "base/platform/systempaths.h"
#include "base/widgets/longwork.h"

LibraryCommands::LibraryCommands(CatalogueModel &catalogue, QWidget *window, QPointer<QFutureWatcherBase> &work,
                                 std::function<void()> countChanged, Prompter &prompter, Platform &platform)
    : QObject(window), m_catalogue(catalogue), m_window(window), m_work(work), m_countChanged(std::move(countChanged)),
      m_prompter(prompter), m_platform(platform)
{
}

void LibraryCommands::loadLibrary()
{
    if (m_work)
        return;
    const QString chosen =
        m_prompter.openFileName(QStringLiteral("Load ODL File"), exODL::fileFilter(), m_libraryFileName);
    if (chosen.isEmpty())
        return;
    m_libraryFileName = chosen;
    struct Loaded
    {
        std::shared_ptr<RowStore> rows = std::make_shared<RowStore>();
        bool whole = false;
        QString reason;
    };
    m_work = LongWork::start(
        m_window, QStringLiteral("Loading the library..."),
        [chosen](WorkProgress &) {
            Loaded result;
            result.whole = LibraryFile::load(chosen, *result.rows, &result.reason);
            return result;
        },
        [this](const Loaded &loaded) {
            m_work.clear();
            m_catalogue.appendRows(std::move(*loaded.rows));
            m_countChanged();
            if (loaded.whole)
                m_prompter.message(LibraryFile::loadedMessage(), Prompter::Icon::None);
            else
                // Why, under the usual words: a library from someone else may be
                // refused for what it is (computed columns, a size it cannot have).
                m_prompter.message(loaded.reason.isEmpty() ? LibraryFile::loadProblemMessage()
                                                           : LibraryFile::loadProblemMessage() +
                                                                 QStringLiteral("\n\n") + loaded.reason,
                                   Prompter::Icon::Critical);
        });
}

void LibraryCommands::createLibrary()
{
    exODL dialog(m_catalogue.rows(), m_prompter, m_libraryFileName, m_window);
    dialog.exec();
}

void LibraryCommands::exportDatabase()
{
    runExport(ExportFlow::Kind::Database, QStringLiteral("Exporting the database..."), StopOffer::Offered);
}

void LibraryCommands::exportCovers()
{
    runExport(ExportFlow::Kind::Covers, QStringLiteral("Writing the cover page..."), StopOffer::None);
}

void LibraryCommands::runExport(ExportFlow::Kind kind, const QString &label, StopOffer stop)
{
    // The catalogue is read while the work runs: the window holds still.
    startExport(m_window, m_work, m_prompter,
                {kind, m_catalogue.rows(), ExportFlow::targetIn(kind, ExportFlow::defaultFolder(kind)), label,
                 stop, {}},
                [this, kind](const ExportFlow::Outcome &outcome) {
                    if (outcome && kind == ExportFlow::Kind::Covers)
                        m_platform.shellOpen(outcome.written.value(0)); // the page is looked at in the browser
                });
}

void LibraryCommands::exportTunepost()
{
    frmtunepost dialog(m_catalogue.rows(), m_prompter, m_platform, m_window);
    dialog.exec();
}
