#pragma once

#include "catalogue/rowstore.h"

#include <QByteArray>
#include <QString>
#include <vector>

// Changes to the catalogue's rows made ready before they are applied: the
// fields and extension lines of rows that stay, the rows that go, and the
// rows appended. Applied in that order, to the rows themselves (ondro-cli)
// or through CatalogueModel::apply, which tells the views.
struct RowEdits
{
    struct Field
    {
        qsizetype row;
        int field;
        QString value;
    };
    struct Extension
    {
        qsizetype row;
        QByteArray line;
    };

    std::vector<Field> fields;
    std::vector<Extension> extensions;
    std::vector<qsizetype> removed; // ascending, no repeats
    RowStore appended;

    bool isEmpty() const { return fields.empty() && extensions.empty() && removed.empty() && appended.isEmpty(); }
    void applyTo(RowStore &rows) &&;
};
