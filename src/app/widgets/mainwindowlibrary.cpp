// The main window's library and export commands: loading and creating
// libraries, the database export, the cover page and the upload-site lists.
#include "app/widgets/mainwindow.h"

#include "export/coverpage.h"
#include "export/libraryfile.h"
#include "export/widgets/libraryexportwindow.h"
#include "export/widgets/tunepostwindow.h"
#include "store/cataloguemodel.h"
#include "store/platform/platform.h"
#include "store/platform/prompter.h"
#include "store/platform/systempaths.h"
#include "store/widgets/longwork.h"

void Form2::loadLibrary()
{
    if (isBusy())
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
        this, QStringLiteral("Loading the library..."),
        [chosen](WorkProgress &) {
            Loaded result;
            result.whole = LibraryFile::load(chosen, *result.rows, &result.reason);
            return result;
        },
        [this](const Loaded &loaded) {
            m_work.clear();
            m_catalogue->appendRows(std::move(*loaded.rows));
            updateCaption();
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

void Form2::createLibrary()
{
    exODL dialog(m_catalogue->rows(), m_prompter, m_libraryFileName, this);
    dialog.exec();
}

void Form2::exportDatabase()
{
    if (isBusy())
        return;
    const QString path = LibraryFile::databaseExportPath(SystemPaths::exportsFolder());
    if (LibraryFile::targetTaken(path)) {
        m_prompter.message(LibraryFile::existsMessage(path, LibraryFile::Content::Database), Prompter::Icon::Warning);
        return;
    }
    const RowStore &rows = m_catalogue->rows();
    // The catalogue is read while the work runs: the window holds still.
    auto progress = std::make_shared<WorkProgress>();
    m_work = LongWork::start(
        this, LongWork::Shown{QStringLiteral("Exporting the database..."), StopOffer::Offered, {}},
        [&rows, path](WorkProgress &progress) {
            return LibraryFile::write(path, rows, LibraryFile::Content::Database,
                                      [&progress](qsizetype i, qsizetype n) { return progress.step(i, n); });
        },
        [this, path, progress](const SaveResult &written) {
            m_work.clear();
            if (!written && progress->stopped())
                return; // the user stopped it: nothing was written, as asked
            if (!written)
                m_prompter.message(LibraryFile::failureMessage(path, LibraryFile::Content::Database, written.error),
                                   Prompter::Icon::Critical);
            else
                m_prompter.message(LibraryFile::doneMessage(path, LibraryFile::Content::Database),
                                   Prompter::Icon::Information);
        },
        progress);
}

void Form2::exportCovers()
{
    if (isBusy())
        return;
    const QString path = CoverPage::path(SystemPaths::exportsFolder());
    const RowStore &rows = m_catalogue->rows();
    m_work = LongWork::start(
        this, QStringLiteral("Writing the cover page..."), [&rows, path](WorkProgress &) { return CoverPage::save(path, rows); },
        [this, path](const SaveResult &saved) {
            m_work.clear();
            if (!saved) {
                m_prompter.message(saveFailureMessage(path, saved), Prompter::Icon::Critical);
                return;
            }
            m_platform.shellOpen(path);
        });
}

void Form2::exportTunepost()
{
    frmtunepost dialog(m_catalogue->rows(), m_prompter, m_platform, this);
    dialog.exec();
}
