#include "app/widgets/cataloguelistmodel.h"

#include "store/widgets/appicons.h"

QVariant CatalogueListModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DecorationRole && index.isValid() && index.column() == 0 && index.row() < size())
        return origin(index.row()) == EntryOrigin::Library ? AppIcons::libraryTrackIcon() : AppIcons::ownTrackIcon();
    return CatalogueModel::data(index, role);
}
