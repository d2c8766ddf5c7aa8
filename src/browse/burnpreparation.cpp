#include "browse/burnpreparation.h"

#include "store/platform/systempaths.h"

#include <QDir>

namespace BurnPreparation {

QString insertPrompt(const QString &source)
{
    return QStringLiteral("Please insert ") + source + QStringLiteral(" and press ok.");
}

QString verifyPrompt(const QString &source)
{
    return QStringLiteral("Please verify that ") + source + QStringLiteral(" is available.");
}

QString copyFailedQuestion(const BurnPlan::Copy &copy, const QString &error)
{
    return QStringLiteral("Could not copy %1 to %2: %3.\n\nGo on with the next file?")
        .arg(QDir::toNativeSeparators(copy.from), QDir::toNativeSeparators(copy.to), error);
}

RunOutcome runCopies(const Run &run, const std::atomic<bool> &stop, const ProgressFn &progress)
{
    const std::vector<BurnPlan::Copy> &copies = *run.copies;
    for (size_t i = run.first; i < copies.size(); ++i) {
        if (stop.load())
            return {RunOutcome::Stopped, i, {}};
        const BurnPlan::Copy &copy = copies[i];
        if (progress)
            progress({run.numberOffset + qsizetype(i) + 1, run.total, SystemPaths::fileNameOf(copy.from)});
        if (!SystemPaths::fileExists(copy.from))
            return {RunOutcome::Unreadable, i, {}};
        if (const BurnPlan::CopyResult copied = BurnPlan::copyFile(copy.from, copy.to); !copied)
            return {RunOutcome::CopyFailed, i, copied.error};
    }
    return {RunOutcome::Done, copies.size(), {}};
}

Result prepare(const RowStore &bin, const QString &destination, Prompter &prompter, const Runner &runner)
{
    Result result;
    qsizetype offset = 0;
    for (const QString &source : BurnPlan::sourcesInOrder(bin)) {
        if (prompter.message(insertPrompt(source), Prompter::Icon::None, Prompter::Buttons::OkCancel) !=
            Prompter::Answer::Ok)
            return {End::Cancelled, result.failed};
        const std::vector<BurnPlan::Copy> copies = BurnPlan::copiesFor(bin, source, destination);
        std::vector<bool> failed(copies.size(), false);
        size_t first = 0;
        while (first < copies.size()) {
            const RunOutcome outcome = runner({&copies, first, offset, bin.size()});
            if (outcome.kind == RunOutcome::Done)
                break;
            if (outcome.kind == RunOutcome::Stopped)
                return {End::Stopped, result.failed};
            if (outcome.kind == RunOutcome::Unreadable) {
                if (prompter.message(verifyPrompt(source), Prompter::Icon::None, Prompter::Buttons::OkCancel) !=
                    Prompter::Answer::Ok)
                    return {End::Cancelled, result.failed};
                std::fill(failed.begin(), failed.end(), false); // the whole source is copied again
                first = 0;
                continue;
            }
            failed[outcome.at] = true;
            if (prompter.message(copyFailedQuestion(copies[outcome.at], outcome.error), Prompter::Icon::Warning,
                                 Prompter::Buttons::YesNo) != Prompter::Answer::Yes)
                return {End::Stopped, result.failed + qsizetype(std::count(failed.begin(), failed.end(), true))};
            first = outcome.at + 1;
        }
        result.failed += qsizetype(std::count(failed.begin(), failed.end(), true));
        offset += qsizetype(copies.size());
    }
    const QString folder = QDir::toNativeSeparators(destination);
    if (result.failed == 0)
        prompter.message(QStringLiteral("All %1 files were copied to ").arg(bin.size()) + folder,
                         Prompter::Icon::Information);
    else
        prompter.message(QStringLiteral("%1 of %2 files were copied to ").arg(bin.size() - result.failed).arg(bin.size()) +
                             folder,
                         Prompter::Icon::Warning);
    return result;
}

} // namespace BurnPreparation
