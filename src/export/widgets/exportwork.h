#pragma once

#include "export/exportflow.h"
#include "base/widgets/busystate.h"

#include <QPointer>
#include <QString>
#include <functional>

class QFutureWatcherBase;
class QWidget;

// One export as a window's long work: an existing target is refused (and
// told) before the window goes busy; the write runs off the window's
// thread, with Stop where offered; then work is cleared, ended is called
// with the outcome, and the outcome is reported, unless the user stopped
// the write and nothing was written, as asked. Returns false when it was
// refused or work was already running.
struct ExportJob
{
    ExportFlow::Kind kind;
    const RowStore &rows;
    QString target;
    QString label; // of the progress window
    StopOffer stop = StopOffer::None;
    ExportFlow::Hooks hooks; // progress is filled in here
    // Writes in place of the kind's writer over all of rows (an interchange
    // export of some rows), with hooks as filled in; off the window's thread.
    std::function<ExportFlow::Outcome(const ExportFlow::Hooks &hooks)> write = {};
};

bool startExport(QWidget *window, QPointer<QFutureWatcherBase> &work, Prompter &prompter, ExportJob job,
                 std::function<void(const ExportFlow::Outcome &)> ended = {});
