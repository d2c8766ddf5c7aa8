#pragma once

#include "catalogue/cataloguelistfile.h"
#include "catalogue/rowstore.h"

#include <QString>

// How ondro-cli reads the catalogue list file and reports a read that was
// not whole.
namespace CliIo {

// How a damaged catalogue (whole entries followed by damage) is taken.
enum class Damaged { Warn, Refuse };

// Reads the catalogue list file. A missing file is an empty catalogue; a
// file that exists and cannot be read gives false and a message naming it,
// so no command ever saves over a catalogue it could not read. A damaged
// file is reported on standard error; with Damaged::Refuse it gives false.
// exists, when given, tells whether there was a file at all.
bool loadCatalogue(const QString &path, RowStore &rows, Damaged damaged = Damaged::Warn, bool *exists = nullptr);

// Reports a read of the catalogue at path that was not whole, as
// loadCatalogue does; false when the catalogue may not be used.
bool reportRead(const QString &path, const CatalogueListFile::ReadResult &read, Damaged damaged = Damaged::Warn);

} // namespace CliIo
