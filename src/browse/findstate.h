#pragma once

#include "catalogue/rowstore.h"

#include <QString>

// The state of Find and Find Again: the text of the last Find (as typed)
// and the 1-based position in display order where Find Again starts.
// It lives for the run and is left alone by adding, removing or sorting
// entries, so after such a change a position may point past the end.
struct FindState
{
    QString text;
    qsizetype nextStart = 1;
};

struct FindResult
{
    enum Kind {
        Skipped,  // Find with an empty text: nothing searched, nothing shown
        Hit,      // row is the 0-based row found
        Complete, // no (further) match: "Search Complete."
    };
    Kind kind = Skipped;
    qsizetype row = -1;
};

namespace FindSearch {

// Find: stores the typed text (a cancelled prompt gives the empty text)
// and, when it is not empty, searches from the first entry.
FindResult find(FindState &state, const QString &typed, const RowStore &rows);

// Find Again: searches with the stored text from the stored position, with
// no wrap-around. The stored text is not checked: an empty one matches
// every entry with a path, so each press steps one entry on.
FindResult findAgain(FindState &state, const RowStore &rows);

} // namespace FindSearch
