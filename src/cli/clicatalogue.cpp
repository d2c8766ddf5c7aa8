#include "cli/clicatalogue.h"

#include "cli/clioutput.h"

namespace CliIo {

bool loadCatalogue(const QString &path, RowStore &rows, Damaged damaged, bool *exists)
{
    CatalogueListFile::ReadResult read = CatalogueListFile::read(path);
    if (exists)
        *exists = read.state != CatalogueListFile::ReadState::Missing;
    if (!reportRead(path, read, damaged))
        return false;
    rows = std::move(read.rows);
    return true;
}

bool reportRead(const QString &path, const CatalogueListFile::ReadResult &read, Damaged damaged)
{
    const QString problem = CatalogueListFile::readProblemMessage(path, read);
    switch (read.state) {
    case CatalogueListFile::ReadState::Missing:
    case CatalogueListFile::ReadState::Whole:
        break;
    case CatalogueListFile::ReadState::Damaged:
        if (damaged == Damaged::Refuse) {
            error(problem + QStringLiteral(" Nothing was changed: open it in Ondro and save it there, or repeat "
                                           "with --accept-damaged to keep only the whole entries."));
            return false;
        }
        error(problem);
        break;
    case CatalogueListFile::ReadState::Unreadable:
        error(problem);
        return false;
    }
    return true;
}

} // namespace CliIo
