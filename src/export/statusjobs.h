#pragma once

#include "base/platform/prompter.h"
#include "base/atomicsave.h"
#include "catalogue/cataloguemodel.h"
#include "base/settingsfile.h"
#include "base/platform/platform.h"

#include <QString>
#include <functional>

// The three long whole-catalogue jobs of the status window: Save, Print
// and the text export. The job logic lives here, free of windows, so it
// can run on a worker thread and in tests; the status window only hosts it.
enum class StatusJob { Save, Print, ExportText };

// The mode text naming a job: "SAVE", "PRINT", "EXPORTTEXT".
QString statusJobModeText(StatusJob job);

// Progress after row i of n, in percent: 100 * i / n, exactly 100 at i == n
// (0 when there are no rows).
double progressPercent(qsizetype i, qsizetype n);

struct StatusJobContext
{
    const CatalogueModel &catalogue; // read only while the job runs
    Settings settings;               // current cover path and column widths (twips)
    Platform &platform;
    QString settingsPath;  // SettingsFile::path() in the program
    QString listPath;      // CatalogueListFile::defaultPath()
    QString exportsFolder; // SystemPaths::exportsFolder()
    // Save: the media register's writes around the list file's, each
    // atomic and none when empty: what it gained before the list file (so
    // no entry is ever saved without its medium), what it lost after it.
    QString registerPath = {};
    std::function<SaveResult()> registerBefore = {};
    std::function<SaveResult()> registerAfter = {};
    SaveSystemCalls listCalls = {}; // the list file's system calls; tests make one fail
};

// What a job leaves for the user once its window has closed.
struct StatusJobResult
{
    bool ok = true;
    QString message; // shown when not empty
    Prompter::Icon icon = Prompter::Icon::None;
    QString openPath; // opened with its program when not empty
    bool catalogueSaved = false; // Save: the list file was replaced
    bool registerSaved = false;  // Save: every write of the register was made
};

namespace StatusJobs {

inline const QString &pdfIndexFileName()
{
    static const QString name = QStringLiteral("ondroindex.pdf");
    return name;
}

// Settings file, then the register's gains, the list file (own rows only;
// every row counts for the progress) and the register's losses. Each is
// replaced atomically; a failure of the settings does not stop the rest, a
// failure of the register's gains stops the list file (whose entries
// would lack their medium), and the message names each failed file.
StatusJobResult save(const StatusJobContext &context, WorkProgress *progress = nullptr);

// One line per row, its full path, on the default printer. With no
// printer the same lines become a PDF in the exports folder, which is
// then opened.
StatusJobResult print(const StatusJobContext &context, WorkProgress *progress = nullptr);

// "ondrolist.txt" in the exports folder, then opened.
StatusJobResult exportText(const StatusJobContext &context, WorkProgress *progress = nullptr);

// Runs the job named. Touches no window and asks nothing, so it may run on
// a worker thread while the catalogue stays unchanged.
StatusJobResult run(StatusJob job, const StatusJobContext &context, WorkProgress *progress = nullptr);

// Shows the job's message and then opens its file, on the caller's thread.
void report(const StatusJobResult &result, Platform &platform, Prompter &prompter);

// Turns per-row percentages into whole steps for a progress bar: next()
// gives true only when the whole percent has changed since the last call.
class WholePercentSteps
{
public:
    bool next(double percent)
    {
        const int whole = wholePercent(percent);
        if (whole == m_last)
            return false;
        m_last = whole;
        return true;
    }
    int value() const { return m_last; }
    static int wholePercent(double percent);

private:
    int m_last = 0;
};

} // namespace StatusJobs
