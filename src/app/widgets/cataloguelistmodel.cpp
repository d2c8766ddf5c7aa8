#include "app/widgets/cataloguelistmodel.h"

#include "base/widgets/appicons.h"

#include <QGuiApplication>
#include <QPalette>

QVariant CatalogueListModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DecorationRole && index.isValid() && index.column() == 0 && index.row() < size())
        return origin(index.row()) == EntryOrigin::Library ? AppIcons::libraryTrackIcon() : AppIcons::ownTrackIcon();
    if (role == Qt::ForegroundRole && m_dimmed && index.isValid() && index.row() < size()
        && m_dimmed(field(index.row(), FieldSource)))
        return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    return CatalogueModel::data(index, role);
}

void CatalogueListModel::setDimmed(std::function<bool(const QString &source)> dimmed)
{
    m_dimmed = std::move(dimmed);
    if (size() > 0)
        Q_EMIT dataChanged(index(0, 0), index(int(size()) - 1, columnCount() - 1), {Qt::ForegroundRole});
}
