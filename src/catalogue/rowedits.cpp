#include "catalogue/rowedits.h"

void RowEdits::applyTo(RowStore &rows) &&
{
    for (const Field &edit : fields)
        rows.setField(edit.row, edit.field, edit.value);
    for (const Extension &edit : extensions)
        rows.setExtension(edit.row, edit.line);
    if (!removed.empty())
        rows.removeSortedRows(removed);
    rows.appendAll(std::move(appended));
}
