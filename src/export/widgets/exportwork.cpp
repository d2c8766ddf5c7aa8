#include "export/widgets/exportwork.h"

#include "base/widgets/longwork.h"

bool startExport(QWidget *window, QPointer<QFutureWatcherBase> &work, Prompter &prompter, ExportJob job,
                 std::function<void(const ExportFlow::Outcome &)> ended)
{
    if (work)
        return false;
    if (const ExportFlow::Outcome checked = ExportFlow::checkTarget(job.kind, job.target); !checked) {
        ExportFlow::report(checked, prompter);
        return false;
    }
    auto progress = std::make_shared<WorkProgress>();
    work = LongWork::start(
        window, LongWork::Shown{job.label, job.stop, {}},
        [kind = job.kind, &rows = job.rows, target = job.target, hooks = job.hooks,
         write = std::move(job.write)](WorkProgress &progress) mutable {
            hooks.progress = &progress;
            return write ? write(hooks) : ExportFlow::write(kind, rows, target, hooks);
        },
        [&work, &prompter, progress, ended = std::move(ended)](const ExportFlow::Outcome &outcome) {
            work.clear();
            if (ended)
                ended(outcome);
            if (!outcome && progress->stopped())
                return; // the user stopped it: nothing was written, as asked
            ExportFlow::report(outcome, prompter);
        },
        progress);
    return true;
}
