#include "store/columnsort.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QStringDecoder>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <unicode/ucol.h>

namespace ColumnSort {

namespace {

// Below this many rows the plain collator sort is quick and the checks of
// the fast ways would cost more than they save.
constexpr qsizetype FastFrom = 512;

QLocale collationLocale()
{
    // The C locale compares code points and ignores the case setting;
    // a neutral language order is what a user expects there.
    return QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
}

QCollator textCollator()
{
    QCollator collator(collationLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    return collator;
}

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

// ---- sorting by key bytes, eight at a time ----

struct Item
{
    quint64 key;  // the next eight key bytes, big-endian, zero-padded
    quint32 index;
    quint32 pos;  // where the key bytes after these start
};

// A function object, not a function pointer, so the sorts inline it.
constexpr auto itemLess = [](const Item &a, const Item &b) {
    return a.key != b.key ? a.key < b.key : a.index < b.index;
};

// Sorts a range, the two halves of a large one on two threads.
void sortItems(std::vector<Item> &items, size_t begin, size_t end)
{
    const auto first = items.begin() + qsizetype(begin), last = items.begin() + qsizetype(end);
    if (end - begin < 65536) {
        std::sort(first, last, itemLess);
        return;
    }
    const auto middle = first + qsizetype(end - begin) / 2;
    QFuture<void> half = QtConcurrent::run([&] { std::sort(first, middle, itemLess); });
    std::sort(middle, last, itemLess);
    half.waitForFinished();
    std::inplace_merge(first, middle, last, itemLess);
}

// nextKey(index, pos) gives the eight key bytes of item index from pos on
// and moves pos past them. Key bytes are never zero, so a key whose last
// byte is zero ends its text: items that tie on it are equal, and the
// index keeps them in their old order.
template <typename NextKey>
std::vector<qsizetype> keyOrder(qsizetype count, NextKey nextKey)
{
    struct Run { size_t begin, end; };
    std::vector<Item> items(static_cast<size_t>(count));
    const auto findTies = [&items](size_t begin, size_t end, std::vector<Run> &ties) {
        for (size_t i = begin; i < end;) {
            size_t j = i + 1;
            while (j < end && items[j].key == items[i].key)
                ++j;
            if (j - i > 1 && (items[i].key & 0xff) != 0)
                ties.push_back({i, j});
            i = j;
        }
    };
    const auto rekey = [&](const Run &run) {
        for (size_t i = run.begin; i < run.end; ++i)
            items[i].key = nextKey(items[i].index, items[i].pos);
    };

    for (qsizetype i = 0; i < count; ++i) {
        Item &item = items[size_t(i)];
        item.index = quint32(i);
        item.pos = 0;
        item.key = nextKey(item.index, item.pos);
    }
    sortItems(items, 0, items.size());
    std::vector<Run> ties;
    findTies(0, items.size(), ties);
    // While one run holds most items (a prefix every path shares), it is
    // taken on its own, sorted on both threads.
    while (ties.size() == 1 && ties.front().end - ties.front().begin > items.size() / 2) {
        const Run run = ties.front();
        ties.clear();
        rekey(run);
        sortItems(items, run.begin, run.end);
        findTies(run.begin, run.end, ties);
    }
    // Runs that tie are independent of each other.
    QtConcurrent::blockingMap(ties, [&](const Run &outer) {
        std::vector<Run> todo{outer};
        while (!todo.empty()) {
            const Run run = todo.back();
            todo.pop_back();
            rekey(run);
            std::sort(items.begin() + qsizetype(run.begin), items.begin() + qsizetype(run.end), itemLess);
            findTies(run.begin, run.end, todo);
        }
    });

    std::vector<qsizetype> order(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        order[i] = items[i].index;
    return order;
}

quint64 packed(quint64 bytes, int n)
{
    return n == 0 ? 0 : bytes << (8 * (8 - n));
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

// The collator's keys decide, as in collatorOrder: its compare() puts an
// empty text before a text of ignored characters, the keys do not.
AsciiTable makeAsciiTable(const QCollator &collator)
{
    AsciiTable table;
    std::vector<QCollatorSortKey> single;
    for (int c = 0; c < 128; ++c)
        single.push_back(collator.sortKey(QString(QChar(c))));
    const QCollatorSortKey empty = collator.sortKey(QString());
    std::array<int, 128> chars;
    std::iota(chars.begin(), chars.end(), 0);
    std::stable_sort(chars.begin(), chars.end(),
                     [&](int a, int b) { return single[size_t(a)].compare(single[size_t(b)]) < 0; });
    int rank = 0;
    int previous = -1;
    for (const int c : chars) {
        if (single[size_t(c)].compare(empty) == 0)
            continue; // rank 0: the collator ignores it
        if (previous < 0 || single[size_t(previous)].compare(single[size_t(c)]) != 0)
            ++rank;
        table.rank[size_t(c)] = quint8(rank);
        previous = c;
    }

    // Every text of up to two characters, in the table's order, must be in
    // the collator's order too, equal where the table says equal. Letters
    // of two characters ("ch", "aa", "ll") and any other rule the table
    // cannot express show up here.
    std::vector<QByteArray> texts{QByteArray()};
    for (int a = 0; a < 128; ++a) {
        texts.push_back(QByteArray(1, char(a)));
        for (int b = 0; b < 128; ++b)
            texts.push_back(QByteArray(1, char(a)) + char(b));
    }
    std::vector<QByteArray> keys;
    std::vector<QCollatorSortKey> collated;
    keys.reserve(texts.size());
    collated.reserve(texts.size());
    for (const QByteArray &text : texts) {
        keys.push_back(folded(table, text));
        collated.push_back(collator.sortKey(QString::fromLatin1(text)));
    }
    std::vector<size_t> byTable(texts.size());
    std::iota(byTable.begin(), byTable.end(), 0);
    std::sort(byTable.begin(), byTable.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    for (size_t i = 1; i < byTable.size(); ++i) {
        const size_t a = byTable[i - 1], b = byTable[i];
        const int byCollator = collated[a].compare(collated[b]);
        if (keys[a] == keys[b] ? byCollator != 0 : byCollator >= 0)
            return table; // agrees stays false
    }
    table.agrees = true;
    return table;
}

// Made once per locale: the check costs some 16,000 comparisons.
AsciiTable asciiTable()
{
    static QMutex mutex;
    static QHash<QString, AsciiTable> tables;
    const QString name = collationLocale().name();
    const QMutexLocker lock(&mutex);
    auto it = tables.constFind(name);
    if (it == tables.constEnd())
        it = tables.insert(name, makeAsciiTable(textCollator()));
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
    return keyOrder(column.count(), [&](quint32 index, quint32 &pos) {
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
        return packed(key, n);
    });
}

// ---- other values: ICU sort keys ----

// An ICU collator set up as Qt's collator sets up its own for the same
// locale (case ignored, numbers as text, punctuation counted). Whether the
// two agree is checked before its keys are used.
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
};

// Texts where collation rules differ between languages and settings:
// accents, case, punctuation, digits, ligatures, combining marks.
QStringList probeTexts()
{
    QStringList probes;
    for (const char *text : {"", " ", "a", "A", "b", "z", "Z", "0", "1", "9", "10", "-", "_", ".", "(", "'",
                             "a b", "ab", "a-b", "a_b", "aa", "ae", "ch", "ci", "cz", "h", "i", "ll", "lz", "ny",
                             "oe", "ss", "th", "y", "\xc3\xa4", "\xc3\x84", "\xc3\xa1", "a\xcc\x81",
                             "\xc3\xa5", "\xc3\xa6", "\xc3\xb6", "\xc3\xb8", "\xc3\x9f", "\xc3\xa9", "e",
                             "\xc3\xa8", "\xc3\xab", "\xc3\xb1", "n", "\xc4\x8d", "\xc5\xa1", "\xc5\x82", "l",
                             "\xc4\xb1", "\xc4\xb0", "\xc3\xbe", "\xc3\xb0", "\xef\xac\x81", "fi", "\xd0\x96",
                             "\xd0\xb6", "\xce\xb1", "\xe6\x97\xa5", "\xe3\x81\x82", "\xe2\x82\xac", "$",
                             "Caf\xc3\xa9 1", "cafe 1", "CAFE 10", "Mot\xc3\xb6rhead", "Motorhead"})
        probes << QString::fromUtf8(text);
    return probes;
}

int sign(int value)
{
    return (value > 0) - (value < 0);
}

// True when the ICU keys order probe texts and values of the column as
// Qt's collator orders them.
bool icuAgrees(const IcuCollator &icu, const Column &column)
{
    QStringList texts = probeTexts();
    const qsizetype count = column.count();
    const qsizetype step = std::max<qsizetype>(1, count / 96);
    for (qsizetype i = 0; i < count; i += step)
        texts << QString::fromUtf8(column.value(i));
    std::vector<char16_t> buffer;
    std::vector<std::vector<char>> keys(size_t(texts.size()));
    for (qsizetype i = 0; i < texts.size(); ++i)
        icu.appendKey(texts.at(i).toUtf8(), buffer, keys[size_t(i)]);
    const QCollator collator = textCollator();
    std::vector<QCollatorSortKey> collated;
    for (const QString &text : std::as_const(texts))
        collated.push_back(collator.sortKey(text));
    for (size_t a = 0; a < collated.size(); ++a)
        for (size_t b = a + 1; b < collated.size(); ++b)
            if (sign(std::strcmp(keys[a].data(), keys[b].data())) != sign(collated[a].compare(collated[b])))
                return false;
    return true;
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
    QtConcurrent::blockingMap(blocks, [&](Block &block) {
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
            return {};
        for (qsizetype i = 0; i < block.count; ++i)
            keyOf[size_t(block.first + i)] = reinterpret_cast<const uchar *>(block.keys.data()) + block.offsets[size_t(i)];
    }
    return keyOrder(count, [&](quint32 index, quint32 &pos) {
        const uchar *k = keyOf[index] + pos;
        quint64 key = 0;
        int n = 0;
        while (n < 8 && k[n]) {
            key = key << 8 | k[n];
            ++n;
        }
        pos += quint32(n);
        return packed(key, n);
    });
}

Method methodOf(const Column &column)
{
    if (column.count() < FastFrom)
        return Method::QtCollator;
    if (columnIsAscii(column) && asciiTable().agrees)
        return Method::AsciiTable;
    const IcuCollator icu(collationLocale());
    return icu.collator && icuAgrees(icu, column) ? Method::IcuKeys : Method::QtCollator;
}

std::vector<qsizetype> orderOf(const Column &column)
{
    switch (methodOf(column)) {
    case Method::AsciiTable:
        return resultOf(column, asciiOrder(column, asciiTable()));
    case Method::IcuKeys:
        if (std::vector<qsizetype> order = icuOrder(column); !order.empty())
            return resultOf(column, order);
        break;
    case Method::QtCollator:
        break;
    }
    return collatorOrder(column.rows, column.field, column.subset);
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

Method methodFor(const RowStore &rows, int field)
{
    return methodOf({rows, field, nullptr});
}

std::vector<qsizetype> collatorOrder(const RowStore &rows, int field, const std::vector<qsizetype> *subset)
{
    const Column column{rows, field, subset};
    std::vector<qsizetype> indices(size_t(column.count()));
    std::iota(indices.begin(), indices.end(), 0);
    // One collation key per value, made in parallel; comparing keys is then
    // a plain byte comparison.
    const QLocale locale = collationLocale();
    const std::vector<QCollatorSortKey> keys =
        QtConcurrent::blockingMapped<std::vector<QCollatorSortKey>>(indices, [&](qsizetype i) {
            // One collator per thread, made again when the locale changes.
            thread_local QLocale collatorLocale(QLocale::C);
            thread_local QCollator collator;
            if (locale != collatorLocale) {
                collator = textCollator();
                collatorLocale = locale;
            }
            return collator.sortKey(QString::fromUtf8(column.value(i)));
        });
    std::stable_sort(indices.begin(), indices.end(),
                     [&](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    return resultOf(column, indices);
}

} // namespace ColumnSort
