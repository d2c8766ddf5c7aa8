#include "media/rescanservice.h"

namespace RescanService {

Planned plan(const MediaRegister &media, const MediumState *state, const QString &source, const QString &root)
{
    Planned planned;
    const MediaRecord *record = media.find(source);
    if (root.isEmpty() && !record)
        planned.refusal = Refusal::NotRegistered;
    else if (root.isEmpty() && (!state || !state->online))
        planned.refusal = Refusal::Offline;
    if (planned.refusal != Refusal::None)
        return planned;
    planned.plan.reading = tagReadingOf(record, &planned.reason);
    if (!planned.reason.isEmpty()) {
        planned.refusal = Refusal::UnknownReading;
        return planned;
    }
    planned.plan.source = source;
    planned.plan.walk = root.isEmpty() ? state->currentRoot : root;
    planned.plan.scannedFrom = record && !record->root.isEmpty() ? record->root : planned.plan.walk;
    return planned;
}

Found find(const RowStore &catalogue, const Plan &plan, const Walk &walk)
{
    Found found;
    found.outcome = walk ? walk(plan.walk, plan.source, plan.reading)
                         : scanMedia(plan.walk, plan.source, {}, nullptr, 0, plan.reading);
    found.unread = found.outcome.stopped || found.outcome.failedFolders.contains(plan.walk);
    if (found.unread)
        return found;
    const ScanOutcome &walked = found.outcome;
    const QString scannedFrom = comparedRoot(catalogue, plan.source, plan.scannedFrom, walked.rows, plan.walk);
    found.diff = diffRescan(catalogue, plan.source, scannedFrom, walked.rows, plan.walk, walked.failedFolders,
                            walked.skipped);
    found.changes = found.diff.changesCatalogue(catalogue, walked.rows);
    // Every file walked is kept, changed, moved or added; the entries not
    // seen stay as they are.
    RowStore medium;
    medium.reserve(walked.rows.size() + qsizetype(found.diff.notSeen.size()));
    for (qsizetype row = 0; row < walked.rows.size(); ++row)
        medium.appendRow(walked.rows, row);
    for (const qsizetype row : found.diff.notSeen)
        medium.appendRow(catalogue, row);
    found.totals = mediumTotals(medium, plan.source);
    return found;
}

RowEdits edits(const RowStore &catalogue, const Found &found)
{
    return rescanEdits(catalogue, found.diff, found.outcome.rows);
}

} // namespace RescanService
