#pragma once

#include "store/cataloguemodel.h"

// The catalogue as the main list shows it: each row carries the icon of
// its origin (own track or library track) in its first column.
class CatalogueListModel : public CatalogueModel
{
    Q_OBJECT
public:
    using CatalogueModel::CatalogueModel;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};
