#pragma once

#include "base/platform/prompter.h"

#include <QString>
#include <optional>

class MediaRegister;
class MediaStates;
class RowStore;

// A scan that would add a medium's files again: under its own ID (it has
// entries), or under another ID for the folder of a registered medium (or
// an ID that differs only in case or surrounding blanks).
struct ScanAgain
{
    QString existing;       // the medium to rescan instead
    Prompter::Choice question; // Rescan (0), Add (1), or Cancel
    enum Answer { Rescan, Add };

    // None when a scan of root as source adds no medium twice.
    static std::optional<ScanAgain> of(const RowStore &rows, const MediaRegister &media, const MediaStates &states,
                                       const QString &source, const QString &root);
};
