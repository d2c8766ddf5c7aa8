#include "catalogue/factcolumns.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <numeric>

namespace FactColumns {

namespace {

using ExtensionLine::Fact;

struct Column
{
    const char *header;
    Fact fact;
};

constexpr std::array<Column, 5> Columns{{{"Duration", ExtensionLine::Dur},
                                         {"Bitrate", ExtensionLine::Kbps},
                                         {"Mode", ExtensionLine::Mode},
                                         {"Track No.", ExtensionLine::Trk},
                                         {"Size", ExtensionLine::Size}}};

Fact factOf(int column)
{
    return Columns[size_t(column - First)].fact;
}

QString playingTime(qint64 tenths)
{
    const qint64 seconds = (tenths + 5) / 10;
    const auto twoDigits = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(twoDigits(seconds % 60));
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
}

// A row's place in a column's order: present or not, then the number (or
// the rank of the folded text).
struct Key
{
    bool present = false;
    qint64 number = 0;
    QByteArray text;
};

Key keyOf(const RowStore &rows, qsizetype row, Fact fact)
{
    const QByteArrayView raw = ExtensionLine::rawValue(rows.extensionUtf8(row), ExtensionLine::FactKeys[size_t(fact)]);
    Key key;
    if (ExtensionLine::isNumeric(fact)) {
        if (const std::optional<qint64> n = ExtensionLine::factNumber(raw, fact)) {
            key.present = true;
            key.number = *n;
        }
    } else if (!raw.isEmpty()) {
        key.present = true;
        key.text = ExtensionLine::decodedText(raw).toLower();
    }
    return key;
}

} // namespace

int count()
{
    return int(Columns.size());
}

int end()
{
    return First + count();
}

bool isFactColumn(int column)
{
    return column >= First && column < end();
}

QStringList headers()
{
    QStringList out;
    for (const Column &c : Columns)
        out << QLatin1String(c.header);
    return out;
}

QString key(int column)
{
    return isFactColumn(column) ? QLatin1String(ExtensionLine::FactKeys[size_t(factOf(column))]) : QString();
}

int columnOf(const QString &name)
{
    for (int column = First; column < end(); ++column) {
        if (key(column) == name)
            return column;
    }
    return -1;
}

QString display(QByteArrayView extension, int column)
{
    if (!isFactColumn(column))
        return {};
    const Fact fact = factOf(column);
    const QByteArrayView raw = ExtensionLine::rawValue(extension, ExtensionLine::FactKeys[size_t(fact)]);
    if (raw.isEmpty())
        return {};
    if (!ExtensionLine::isNumeric(fact))
        return QString::fromUtf8(ExtensionLine::decodedText(raw)).toUpper();
    const std::optional<qint64> n = ExtensionLine::factNumber(raw, fact);
    if (!n)
        return {};
    switch (fact) {
    case ExtensionLine::Dur: return playingTime(*n);
    case ExtensionLine::Kbps: return QStringLiteral("%1 kbps").arg(*n);
    case ExtensionLine::Size: return QLocale::c().formattedDataSize(*n, 1, QLocale::DataSizeTraditionalFormat);
    default: return QString::number(*n);
    }
}

std::vector<qsizetype> order(const RowStore &rows, int column)
{
    std::vector<qsizetype> all(size_t(rows.size()));
    std::iota(all.begin(), all.end(), qsizetype(0));
    return order(rows, column, std::move(all));
}

std::vector<qsizetype> order(const RowStore &rows, int column, std::vector<qsizetype> subset)
{
    if (!isFactColumn(column))
        return subset;
    const Fact fact = factOf(column);
    std::vector<Key> keys;
    keys.reserve(subset.size());
    for (const qsizetype row : subset)
        keys.push_back(keyOf(rows, row, fact));
    std::vector<qsizetype> places(subset.size());
    std::iota(places.begin(), places.end(), qsizetype(0));
    std::stable_sort(places.begin(), places.end(), [&keys](qsizetype a, qsizetype b) {
        const Key &x = keys[size_t(a)];
        const Key &y = keys[size_t(b)];
        if (x.present != y.present)
            return !x.present;
        return x.number != y.number ? x.number < y.number : x.text < y.text;
    });
    std::vector<qsizetype> out;
    out.reserve(subset.size());
    for (const qsizetype place : places)
        out.push_back(subset[size_t(place)]);
    return out;
}

} // namespace FactColumns
