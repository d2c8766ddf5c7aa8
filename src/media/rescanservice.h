#pragma once

#include "media/mediascan.h"
#include "media/rescan.h"
#include "media/mediaregister.h"
#include "media/mediastate.h"
#include "catalogue/rowedits.h"
#include "media/tagreading.h"

#include <QString>
#include <functional>

// A rescan of one medium, the same in the desktop program and ondro-cli,
// which only present it: where to walk and how to read the tags (from the
// media register and where the medium is now), the walk and the
// comparison, and, once the user accepts, the edits to the catalogue's
// rows and the totals to note in the register.
namespace RescanService {

// What a rescan walks, and what it compares the walk with.
struct Plan
{
    QString source;
    QString scannedFrom; // the root the entries were scanned from
    QString walk;        // the folder walked now
    TagReading reading;
};

enum class Refusal {
    None,
    NotRegistered,  // no root given and the register has no record
    Offline,        // no root given and the medium is not online
    UnknownReading, // the register names a code page or tag choice not known
};

struct Planned
{
    Plan plan;
    Refusal refusal = Refusal::None;
    QString reason; // for UnknownReading, as tagReadingOf gives it
};

// Plans a rescan of source from root, or, when root is empty, from the
// medium's current root (state: its online state, null when the register
// does not know it). The entries were scanned from the register's root,
// or from root when the register has none.
Planned plan(const MediaRegister &media, const MediumState *state, const QString &source, const QString &root = {});

// The walk, with the progress and Stop of whoever presents it; scanMedia
// with no callbacks when not given.
using Walk = std::function<ScanOutcome(const QString &root, const QString &source, const TagReading &reading)>;

struct Found
{
    ScanOutcome outcome;
    RescanDiff diff;
    bool unread = false;  // stopped, or the root itself could not be read: nothing compared
    bool changes = false; // applying would change the catalogue
    // The medium's entries once applied: the files walked and the entries
    // not seen, which stay.
    MediumTotals totals;
};

// Walks plan.walk and compares it with the entries of plan.source in
// catalogue, which must not change meanwhile.
Found find(const RowStore &catalogue, const Plan &plan, const Walk &walk = {});

// What applying the rescan does to catalogue (the rows it was found on).
RowEdits edits(const RowStore &catalogue, const Found &found);

} // namespace RescanService
