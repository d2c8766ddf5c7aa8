// The main window's library and export commands: loading and creating
// libraries, the database export, the cover page and the upload-site lists.
#include "app/widgets/mainwindow.h"

#include "export/coverpage.h"
#include "export/libraryfile.h"
#include "export/widgets/backgroundwork.h"
#include "export/widgets/libraryexportwindow.h"
#include "export/widgets/tunepostwindow.h"
#include "store/cataloguemodel.h"
#include "store/platform/platform.h"
#include "store/platform/prompter.h"
#include "store/platform/systempaths.h"

void Form2::loadLibrary()
{
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
    const Loaded loaded = runInBackground(this, QStringLiteral("Loading the library..."), [chosen] {
        Loaded result;
        result.whole = LibraryFile::load(chosen, *result.rows, &result.reason);
        return result;
    });
    m_catalogue->appendRows(std::move(*loaded.rows));
    updateCaption();
    if (loaded.whole)
        m_prompter.message(LibraryFile::loadedMessage(), Prompter::Icon::None);
    else
        // Why, under the usual words: a library from someone else may be
        // refused for what it is (computed columns, a size it cannot have).
        m_prompter.message(loaded.reason.isEmpty() ? LibraryFile::loadProblemMessage()
                                                   : LibraryFile::loadProblemMessage() + QStringLiteral("\n\n") +
                                                         loaded.reason,
                           Prompter::Icon::Critical);
}

void Form2::createLibrary()
{
    exODL dialog(m_catalogue->rows(), m_prompter, m_libraryFileName, this);
    dialog.exec();
}

void Form2::exportDatabase()
{
    const QString path = LibraryFile::databaseExportPath(SystemPaths::exportsFolder());
    if (LibraryFile::targetTaken(path)) {
        m_prompter.message(LibraryFile::existsMessage(path, LibraryFile::Content::Database), Prompter::Icon::Warning);
        return;
    }
    const RowStore &rows = m_catalogue->rows();
    const SaveResult written =
        runInBackground(this, QStringLiteral("Exporting the database..."), [&rows, path](BackgroundProgress &progress) {
            return LibraryFile::write(path, rows, LibraryFile::Content::Database,
                                      [&progress](qsizetype i, qsizetype n) { return progress.step(i, n); });
        });
    if (!written)
        m_prompter.message(LibraryFile::failureMessage(path, LibraryFile::Content::Database, written.error),
                           Prompter::Icon::Critical);
    else
        m_prompter.message(LibraryFile::doneMessage(path, LibraryFile::Content::Database), Prompter::Icon::Information);
}

void Form2::exportCovers()
{
    const QString path = CoverPage::path(SystemPaths::exportsFolder());
    const RowStore &rows = m_catalogue->rows();
    const SaveResult saved = runInBackground(this, QStringLiteral("Writing the cover page..."),
                                             [&rows, path] { return CoverPage::save(path, rows); });
    if (!saved) {
        m_prompter.message(saveFailureMessage(path, saved), Prompter::Icon::Critical);
        return;
    }
    m_platform.shellOpen(path);
}

void Form2::exportTunepost()
{
    frmtunepost dialog(m_catalogue->rows(), m_prompter, m_platform, this);
    dialog.exec();
}
