#pragma once

#include "catalogue/rowedits.h"
#include "catalogue/rowstore.h"

#include <QAbstractTableModel>
#include <QFuture>
#include <vector>

// The catalogue list (and, with eight columns, the mark bin): a table model
// over compact rows. The model's row order is the display order, and every
// whole-catalogue operation walks it in that order; sorting reorders the
// rows themselves.
class CatalogueModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Role { OriginRole = Qt::UserRole + 1 };

    explicit CatalogueModel(QStringList headers = catalogueHeaders(), QObject *parent = nullptr);

    static QStringList catalogueHeaders(); // nine columns
    static QStringList markBinHeaders();   // eight columns, no audio header
    // The main list's: the nine, then the facts of FactColumns.
    static QStringList listHeaders();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const RowStore &rows() const { return m_rows; }
    // Counts every change of the rows; work prepared from older rows is
    // stale.
    quint64 revision() const { return m_revision; }
    qsizetype size() const { return m_rows.size(); }
    TrackRecord record(qsizetype row) const { return m_rows.record(row); }
    EntryOrigin origin(qsizetype row) const { return m_rows.origin(row); }
    QString field(qsizetype row, int field) const { return m_rows.field(row, field); }

    void append(const TrackRecord &record, EntryOrigin origin);
    // Appends a whole batch with one insert notification.
    void appendRows(RowStore &&batch);
    void setField(qsizetype row, int field, const QString &value);
    // The row's facts (its extension line); no column shows them.
    void setExtension(qsizetype row, QByteArrayView extension);
    void removeEntries(qsizetype first, qsizetype count);
    // Removes the given rows (ascending, no repeats): a few runs of rows
    // as row removals, more as one model reset, so removing many scattered
    // rows costs one pass over the catalogue.
    void removeEntries(const std::vector<qsizetype> &sortedRows);
    void clear();
    // Applies edits made ready from these rows, each as the call above
    // that makes it, so views keep their places.
    void apply(RowEdits &&edits);

    // Stable ascending sort by the text of one column, locale-aware and
    // ignoring letter case; numbers compare as text ("10" before "9"). A
    // fact column (FactColumns) sorts by its numbers.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // A sort made ready off the window's thread: the rows already in their
    // new order and where each row goes, so that applying it costs the
    // window's thread nothing per row.
    struct PreparedSort
    {
        RowStore::Arrangement rows;
        std::vector<int> newRowOf; // old row -> new row
        bool reordersOwnRows = false;
        quint64 revision = 0; // of the rows it was made from
        bool isEmpty() const { return newRowOf.empty(); }
    };
    // What sort(column) does, prepared on a worker thread; the rows must
    // not change until the future has finished. Empty when there is
    // nothing to sort.
    QFuture<PreparedSort> sortAsync(int column) const;
    // Applies a prepared sort in one layout change, keeping selections with
    // their rows. False, and nothing changes, when it is empty or the rows
    // changed since it was prepared.
    bool applySort(PreparedSort &&sorted);

    // Counts the changes that a save would write: own rows added or
    // removed, own rows reordered, a field of an own row changed. Library
    // rows are never saved, so changes to them do not count. Compare two
    // readings to tell whether anything changed in between.
    quint64 generation() const { return m_generation; }

Q_SIGNALS:
    // Just before the rows change in any way, on the model's thread: work
    // that reads them elsewhere must end first.
    void rowsAboutToChange();

private:
    static bool hasOwnRows(const RowStore &rows, qsizetype first, qsizetype count);
    static PreparedSort prepareSort(const RowStore &rows, const std::vector<qsizetype> &order, quint64 revision);

    quint64 m_generation = 0;
    quint64 m_revision = 0; // counts every change to the rows
    QStringList m_headers;
    RowStore m_rows;
};

// The sort order used by CatalogueModel::sort, exposed for tests and
// benchmarks: newOrder[i] is the old row that becomes row i.
std::vector<qsizetype> stableSortOrder(const RowStore &rows, int field);
// The same order for some of the rows: subset (row indices) sorted by the
// field's text, stably. Used by lists that show a part of the catalogue.
std::vector<qsizetype> stableSortOrder(const RowStore &rows, int field, std::vector<qsizetype> subset);
