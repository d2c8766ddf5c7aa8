#include "browse/coverattach.h"

#include "browse/burnplan.h"

namespace CoverAttach {

QString folderWithSeparator(const QString &folder)
{
    return BurnPlan::withClosingSeparator(folder);
}

QString coverPath(const QString &folder, const QString &file)
{
    return folderWithSeparator(folder) + file;
}

} // namespace CoverAttach
