#include "catalogue/columnsort.h"
#include "base/workpool.h"

#include "catalogue/keyorder.h"

#include <QHash>
#include <QMutex>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <array>
#include <numeric>
#include <unicode/ucol.h>

namespace ColumnSort {

namespace {

// Below this many rows the ICU keys are quick and making the ASCII table
// for a new locale would cost more than it saves.
constexpr qsizetype AsciiFrom = 512;

// The values to sort: item i is row i, or the subset's i-th row.
struct Column
{
    const RowStore &rows;
    int field;
    const std::vector<qsizetype> *subset;

    qsizetype count() const { return subset ? qsizetype(subset->size()) : rows.size(); }
    qsizetype rowOf(qsizetype i) const { return subset ? (*subset)[size_t(i)] : i; }
    QByteArrayView value(qsizetype i) const { return rows.fieldUtf8(rowOf(i), field); }
};

std::vector<qsizetype> resultOf(const Column &column, const std::vector<qsizetype> &indices)
{
    if (!column.subset)
        return indices;
    std::vector<qsizetype> rows(indices.size());
    for (size_t i = 0; i < indices.size(); ++i)
        rows[i] = (*column.subset)[size_t(indices[i])];
    return rows;
}

// ---- the ICU collator and its sort keys ----

// An ICU collator set up as Qt's collator sets up its own for the same
// locale: case ignored, numbers as text, punctuation counted.
struct IcuCollator
{
    UCollator *collator = nullptr;
    explicit IcuCollator(const QLocale &locale)
    {
        UErrorCode status = U_ZERO_ERROR;
        collator = ucol_open(locale.name().toLatin1().constData(), &status);
        ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
        ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
        ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
        ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        if (U_FAILURE(status)) {
            ucol_close(collator);
            collator = nullptr;
        }
    }
    ~IcuCollator() { ucol_close(collator); }
    IcuCollator(const IcuCollator &) = delete;
    IcuCollator &operator=(const IcuCollator &) = delete;

    // Appends the key of utf8, with its closing zero byte.
    void appendKey(QByteArrayView utf8, std::vector<char16_t> &text, std::vector<char> &keys) const
    {
        text.resize(size_t(utf8.size()) + 1);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QChar *end = decoder.appendToBuffer(reinterpret_cast<QChar *>(text.data()), utf8);
        const auto length = int32_t(end - reinterpret_cast<const QChar *>(text.data()));
        const size_t at = keys.size();
        size_t room = size_t(length) * 4 + 16;
        for (;;) {
            keys.resize(at + room);
            const int32_t need = ucol_getSortKey(collator, reinterpret_cast<const UChar *>(text.data()), length,
                                                 reinterpret_cast<uint8_t *>(keys.data() + at), int32_t(room));
            if (size_t(need) <= room) {
                keys.resize(at + size_t(need));
                return;
            }
            room = size_t(need);
        }
    }

    // The key of utf8 without its closing zero byte.
    QByteArray key(QByteArrayView utf8) const
    {
        std::vector<char16_t> text;
        std::vector<char> keys;
        appendKey(utf8, text, keys);
        return QByteArray(keys.data(), qsizetype(keys.size()) - 1);
    }
};

// The rows in their present order, for a locale ICU has no collator for.
std::vector<qsizetype> unsorted(qsizetype count)
{
    qWarning("no ICU collator for the locale %s; the rows keep their order", qPrintable(collationLocale().name()));
    std::vector<qsizetype> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    return order;
}

std::vector<qsizetype> icuOrder(const Column &column)
{
    constexpr qsizetype BlockRows = 8192;
    struct Block
    {
        qsizetype first = 0;
        qsizetype count = 0;
        std::vector<char> keys;
        std::vector<quint32> offsets;
        bool ok = true;
    };
    const qsizetype count = column.count();
    std::vector<Block> blocks(size_t((count + BlockRows - 1) / BlockRows));
    for (size_t b = 0; b < blocks.size(); ++b) {
        blocks[b].first = qsizetype(b) * BlockRows;
        blocks[b].count = std::min(BlockRows, count - blocks[b].first);
    }
    const QLocale locale = collationLocale();
    QtConcurrent::blockingMap(workPool(), blocks, [&](Block &block) {
        const IcuCollator icu(locale);
        if (!icu.collator) {
            block.ok = false;
            return;
        }
        std::vector<char16_t> buffer;
        block.offsets.reserve(size_t(block.count));
        block.keys.reserve(size_t(block.count) * 48);
        for (qsizetype i = 0; i < block.count; ++i) {
            block.offsets.push_back(quint32(block.keys.size()));
            icu.appendKey(column.value(block.first + i), buffer, block.keys);
        }
    });
    std::vector<const uchar *> keyOf(static_cast<size_t>(count));
    for (const Block &block : blocks) {
        if (!block.ok)
            return unsorted(count);
        for (qsizetype i = 0; i < block.count; ++i)
            keyOf[size_t(block.first + i)] = reinterpret_cast<const uchar *>(block.keys.data()) + block.offsets[size_t(i)];
    }
    return KeyOrder::order(count, [&](quint32 index, quint32 &pos) {
        const uchar *k = keyOf[index] + pos;
        quint64 key = 0;
        int n = 0;
        while (n < 8 && k[n]) {
            key = key << 8 | k[n];
            ++n;
        }
        pos += quint32(n);
        return KeyOrder::packed(key, n);
    });
}

// ---- ASCII values: bytes folded through a rank table ----

struct AsciiTable
{
    bool agrees = false;
    std::array<quint8, 128> rank{}; // 0: ignored by the collator
};

QByteArray folded(const AsciiTable &table, QByteArrayView text)
{
    QByteArray out;
    for (const char c : text)
        if (const quint8 r = table.rank[uchar(c) & 0x7f])
            out.append(char(r));
    return out;
}

// Ranks the 128 characters by their keys, equal keys with equal ranks; a
// character whose key is that of the empty text is ignored (rank 0).
std::array<quint8, 128> asciiRanks(const IcuCollator &icu)
{
    std::array<QByteArray, 128> single;
    for (int c = 0; c < 128; ++c)
        single[size_t(c)] = icu.key(QByteArray(1, char(c)));
    const QByteArray empty = icu.key({});
    std::array<int, 128> chars;
    std::iota(chars.begin(), chars.end(), 0);
    std::stable_sort(chars.begin(), chars.end(), [&](int a, int b) { return single[size_t(a)] < single[size_t(b)]; });
    std::array<quint8, 128> ranks{};
    int rank = 0;
    int previous = -1;
    for (const int c : chars) {
        if (single[size_t(c)] == empty)
            continue;
        if (previous < 0 || single[size_t(previous)] != single[size_t(c)])
            ++rank;
        ranks[size_t(c)] = quint8(rank);
        previous = c;
    }
    return ranks;
}

// True when every text of up to two characters, in the table's order, is
// in the keys' order too, equal where the table says equal. Letters of two
// characters ("ch", "aa", "ll") and any other rule the table cannot
// express show up here.
bool tableAgrees(const AsciiTable &table, const IcuCollator &icu)
{
    std::vector<QByteArray> texts{QByteArray()};
    for (int a = 0; a < 128; ++a) {
        texts.push_back(QByteArray(1, char(a)));
        for (int b = 0; b < 128; ++b)
            texts.push_back(QByteArray(1, char(a)) + char(b));
    }
    std::vector<QByteArray> folds, keys;
    folds.reserve(texts.size());
    keys.reserve(texts.size());
    for (const QByteArray &text : texts) {
        folds.push_back(folded(table, text));
        keys.push_back(icu.key(text));
    }
    std::vector<size_t> byTable(texts.size());
    std::iota(byTable.begin(), byTable.end(), 0);
    std::sort(byTable.begin(), byTable.end(), [&](size_t a, size_t b) { return folds[a] < folds[b]; });
    for (size_t i = 1; i < byTable.size(); ++i) {
        const size_t a = byTable[i - 1], b = byTable[i];
        if (folds[a] == folds[b] ? keys[a] != keys[b] : keys[a] >= keys[b])
            return false;
    }
    return true;
}

// Made once per locale: the check takes some 16,000 keys.
AsciiTable asciiTable()
{
    static QMutex mutex;
    static QHash<QString, AsciiTable> tables;
    const QLocale locale = collationLocale();
    const QMutexLocker lock(&mutex);
    auto it = tables.constFind(locale.name());
    if (it == tables.constEnd()) {
        AsciiTable table;
        if (const IcuCollator icu(locale); icu.collator) {
            table.rank = asciiRanks(icu);
            table.agrees = tableAgrees(table, icu);
        }
        it = tables.insert(locale.name(), table);
    }
    return *it;
}

bool columnIsAscii(const Column &column)
{
    for (qsizetype i = 0, n = column.count(); i < n; ++i) {
        const QByteArrayView v = column.value(i);
        uchar any = 0;
        for (const char c : v)
            any |= uchar(c);
        if (any & 0x80)
            return false;
    }
    return true;
}

std::vector<qsizetype> asciiOrder(const Column &column, const AsciiTable &table)
{
    const std::array<quint8, 128> rank = table.rank;
    return KeyOrder::order(column.count(), [&](quint32 index, quint32 &pos) {
        const QByteArrayView v = column.value(index);
        const auto size = quint32(v.size());
        quint64 key = 0;
        int n = 0;
        while (n < 8 && pos < size) {
            if (const quint8 r = rank[uchar(v[pos++])]) {
                key = key << 8 | r;
                ++n;
            }
        }
        return KeyOrder::packed(key, n);
    });
}

Method methodOf(const Column &column)
{
    return column.count() >= AsciiFrom && columnIsAscii(column) && asciiTable().agrees ? Method::AsciiTable
                                                                                       : Method::IcuKeys;
}

std::vector<qsizetype> orderOf(const Column &column)
{
    if (methodOf(column) == Method::AsciiTable)
        return resultOf(column, asciiOrder(column, asciiTable()));
    return resultOf(column, icuOrder(column));
}

} // namespace

std::vector<qsizetype> order(const RowStore &rows, int field)
{
    return orderOf({rows, field, nullptr});
}

std::vector<qsizetype> order(const RowStore &rows, int field, const std::vector<qsizetype> &subset)
{
    return orderOf({rows, field, &subset});
}

QLocale collationLocale()
{
    return QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
}

Method methodFor(const RowStore &rows, int field)
{
    return methodOf({rows, field, nullptr});
}

} // namespace ColumnSort
