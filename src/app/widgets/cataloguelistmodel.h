#pragma once

#include "catalogue/cataloguemodel.h"

#include <functional>

// The catalogue as the main list shows it: each row carries the icon of
// its origin (own track or library track) in its first column, and the
// entries of media that are offline are shown in grey text.
class CatalogueListModel : public CatalogueModel
{
    Q_OBJECT
public:
    using CatalogueModel::CatalogueModel;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Which sources to grey; the rows are repainted.
    void setDimmed(std::function<bool(const QString &source)> dimmed);

private:
    std::function<bool(const QString &source)> m_dimmed;
};
