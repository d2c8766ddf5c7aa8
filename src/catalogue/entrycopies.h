#pragma once

#include "catalogue/rowstore.h"

// Copies of entries (the mark bin's) hold the fields a user sees but not
// the audio header; what they stand for is the catalogue entry of the same
// path and source.
namespace EntryCopies {

// The copies in their order, each with the audio header and extension line
// (the facts) of its catalogue entry; a copy whose entry has left the
// catalogue stays as it is. One pass over the catalogue, no copy of it.
RowStore withCatalogueFacts(const RowStore &copies, const RowStore &catalogue);

} // namespace EntryCopies
