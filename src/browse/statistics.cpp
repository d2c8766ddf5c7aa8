#include "browse/statistics.h"
#include "browse/yearnumber.h"

#include "catalogue/columnsort.h"
#include "catalogue/extensionline.h"
#include "catalogue/rowstore.h"

#include <QCollator>
#include <QtNumeric>

#include <algorithm>
#include <charconv>
#include <limits>
#include <cstring>
#include <string>
#include <string_view>
#include <xxhash.h>

namespace Statistics {

namespace {

// Adds n to a total that stays at the largest number rather than wrap:
// each fact is bounded (ExtensionLine::FactLimits), their sum is not.
void addTo(qint64 &total, qint64 n)
{
    if (qAddOverflow(total, n, &total))
        total = std::numeric_limits<qint64>::max();
}

struct Sum
{
    qint64 entries = 0, bytes = 0, tenths = 0;

    void add(qint64 size, qint64 time)
    {
        ++entries;
        addTo(bytes, size);
        addTo(tenths, time);
    }
};

// The sums of one breakdown by key as the bytes read (an empty key for
// the unknown), in a small open-addressed table: keys are few, and come in
// runs (a medium's entries follow each other), so the last one is looked
// at first. Nothing is allocated but for a new key.
class Counter
{
public:
    Counter() : m_slots(16, -1) {}

    Sum &at(QByteArrayView bytes)
    {
        const std::string_view key(bytes.data(), size_t(bytes.size()));
        if (m_last >= 0 && same(key, m_keys[size_t(m_last)]))
            return m_sums[size_t(m_last)];
        const quint64 hash = XXH3_64bits(key.data(), key.size());
        const size_t mask = m_slots.size() - 1;
        size_t slot = hash & mask;
        for (; m_slots[slot] >= 0; slot = (slot + 1) & mask) {
            const auto index = size_t(m_slots[slot]);
            if (m_hashes[index] == hash && same(key, m_keys[index]))
                return m_sums[size_t(m_last = qint32(index))];
        }
        m_last = qint32(m_keys.size());
        m_slots[slot] = m_last;
        m_keys.emplace_back(key);
        m_hashes.push_back(hash);
        m_sums.emplace_back();
        if (m_keys.size() * 2 > m_slots.size())
            grow();
        return m_sums.back();
    }
    size_t size() const { return m_keys.size(); }
    const std::string &key(size_t i) const { return m_keys[i]; }
    const Sum &sum(size_t i) const { return m_sums[i]; }

private:
    // Keys are short: a plain loop beats a call to memcmp.
    static bool same(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] != b[i])
                return false;
        }
        return true;
    }

    void grow()
    {
        m_slots.assign(m_slots.size() * 2, -1);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = 0; i < m_keys.size(); ++i) {
            size_t slot = m_hashes[i] & mask;
            while (m_slots[slot] >= 0)
                slot = (slot + 1) & mask;
            m_slots[slot] = qint32(i);
        }
    }

    std::vector<std::string> m_keys;
    std::vector<quint64> m_hashes;
    std::vector<Sum> m_sums;
    std::vector<qint32> m_slots; // index into the keys, or -1
    qint32 m_last = -1;
};


// A fact's value as the line writes it, "%XX" escapes and all, decoded.
QString decodedFact(const std::string &raw)
{
    QByteArray line = QByteArrayLiteral("ondro:1 v=");
    line.append(raw.data(), qsizetype(raw.size()));
    return QString::fromUtf8(ExtensionLine::parse(line).value("v"));
}

Line lineOf(QString key, const Sum &sum)
{
    return {key.isEmpty() ? unknownKey() : std::move(key), sum.entries, sum.bytes, sum.tenths};
}

// Lines with equal keys (an escaped and a plain one, a genre named like the
// unknown) made one, then most entries first.
std::vector<Line> ordered(std::vector<Line> lines)
{
    std::sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) { return a.key < b.key; });
    std::vector<Line> merged;
    for (Line &line : lines) {
        if (!merged.empty() && merged.back().key == line.key) {
            merged.back().entries += line.entries;
            addTo(merged.back().bytes, line.bytes);
            addTo(merged.back().tenths, line.tenths);
        } else {
            merged.push_back(std::move(line));
        }
    }
    std::stable_sort(merged.begin(), merged.end(), [](const Line &a, const Line &b) { return a.entries > b.entries; });
    return merged;
}

QString cleanKey(QString key)
{
    for (QChar &c : key) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return key;
}

} // namespace

QString title(Breakdown breakdown)
{
    static const std::array<QString, BreakdownCount> titles{QStringLiteral("Medium"),  QStringLiteral("Genre"),
                                                            QStringLiteral("Decade"),  QStringLiteral("Bitrate"),
                                                            QStringLiteral("Mode"),    QStringLiteral("Encoder")};
    return titles[size_t(breakdown)];
}

QString name(Breakdown breakdown)
{
    static const std::array<QString, BreakdownCount> names{QStringLiteral("source"), QStringLiteral("genre"),
                                                           QStringLiteral("decade"), QStringLiteral("kbps"),
                                                           QStringLiteral("mode"),   QStringLiteral("enc")};
    return names[size_t(breakdown)];
}

std::optional<Breakdown> breakdownNamed(const QString &text)
{
    for (const Breakdown breakdown : Breakdowns) {
        if (name(breakdown) == text)
            return breakdown;
    }
    return std::nullopt;
}

QString unknownKey()
{
    return QStringLiteral("(unknown)");
}

struct Tally::Counts
{
    qint64 entries = 0, bytes = 0, withoutSize = 0, tenths = 0, withoutDuration = 0;
    Counter medium, genre, bitrate, mode, encoder;
    std::array<Sum, 1000> decades{}; // by year / 10
    Sum unknownDecade;
};

Tally::Tally() : m_counts(std::make_unique<Counts>()) {}
Tally::~Tally() = default;
Tally::Tally(Tally &&) noexcept = default;
Tally &Tally::operator=(Tally &&) noexcept = default;

void Tally::add(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension)
{
    Counts &c = *m_counts;
    const ExtensionLine::FactValues facts = ExtensionLine::factValues(extension);
    const std::optional<qint64> size = ExtensionLine::factNumber(facts[ExtensionLine::Size], ExtensionLine::Size);
    const std::optional<qint64> tenths = ExtensionLine::factNumber(facts[ExtensionLine::Dur], ExtensionLine::Dur);
    // The bitrate by its number, as the query reads it ("0128" is 128, "abc" not known).
    char digits[24];
    const std::optional<qint64> kbps = ExtensionLine::factNumber(facts[ExtensionLine::Kbps], ExtensionLine::Kbps);
    const QByteArrayView bitrate(digits, kbps ? std::to_chars(digits, digits + sizeof digits, *kbps).ptr - digits : 0);
    const qint64 bytes = size.value_or(0), time = tenths.value_or(0);
    ++c.entries;
    addTo(c.bytes, bytes);
    c.withoutSize += !size;
    addTo(c.tenths, time);
    c.withoutDuration += !tenths;
    c.medium.at(fields[FieldSource]).add(bytes, time);
    c.genre.at(fields[FieldGenre]).add(bytes, time);
    const std::optional<int> year = yearNumber(fields[FieldYear]);
    (year ? c.decades[size_t(*year / 10)] : c.unknownDecade).add(bytes, time);
    c.bitrate.at(bitrate).add(bytes, time);
    c.mode.at(facts[ExtensionLine::Mode]).add(bytes, time);
    c.encoder.at(facts[ExtensionLine::Enc]).add(bytes, time);
}

void Tally::add(const RowStore &rows, qsizetype row)
{
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (int f = 0; f < TrackFieldCount; ++f)
        fields[size_t(f)] = rows.fieldUtf8(row, f);
    add(fields, rows.extensionUtf8(row));
}

Report Tally::report() const
{
    const Counts &c = *m_counts;
    Report report{c.entries, c.bytes, c.withoutSize, c.tenths, c.withoutDuration, {}};
    const auto fieldLines = [](const Counter &counter) {
        std::vector<Line> lines;
        for (size_t i = 0; i < counter.size(); ++i)
            lines.push_back(lineOf(QString::fromUtf8(counter.key(i).data(), qsizetype(counter.key(i).size())),
                                   counter.sum(i)));
        return ordered(std::move(lines));
    };
    const auto factLines = [](const Counter &counter) {
        std::vector<Line> lines;
        for (size_t i = 0; i < counter.size(); ++i)
            lines.push_back(lineOf(decodedFact(counter.key(i)), counter.sum(i)));
        return ordered(std::move(lines));
    };
    std::vector<Line> decades;
    for (size_t d = 0; d < c.decades.size(); ++d) {
        if (c.decades[d].entries > 0)
            decades.push_back(lineOf(QStringLiteral("%1s").arg(d * 10, 4, 10, QLatin1Char('0')), c.decades[d]));
    }
    if (c.unknownDecade.entries > 0)
        decades.push_back(lineOf(QString(), c.unknownDecade));
    report.breakdowns[size_t(Breakdown::Medium)] = fieldLines(c.medium);
    report.breakdowns[size_t(Breakdown::Genre)] = fieldLines(c.genre);
    report.breakdowns[size_t(Breakdown::Decade)] = ordered(std::move(decades));
    report.breakdowns[size_t(Breakdown::Bitrate)] = factLines(c.bitrate);
    report.breakdowns[size_t(Breakdown::Mode)] = factLines(c.mode);
    report.breakdowns[size_t(Breakdown::Encoder)] = factLines(c.encoder);
    return report;
}

std::vector<size_t> keyOrder(Breakdown breakdown, const std::vector<Line> &lines)
{
    const bool numeric = breakdown == Breakdown::Decade || breakdown == Breakdown::Bitrate;
    // Each key's place: 0 a number, 1 other text, 2 the unknown.
    struct Key
    {
        int kind;
        qint64 number;
        QCollatorSortKey text;
    };
    QCollator collator(ColumnSort::collationLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<Key> keys;
    keys.reserve(lines.size());
    for (const Line &line : lines) {
        bool isNumber = false;
        const qint64 number = numeric ? QStringView(line.key).chopped(line.key.endsWith(u's') ? 1 : 0).toLongLong(&isNumber) : 0;
        keys.push_back({line.key == unknownKey() ? 2 : isNumber ? 0 : 1, number, collator.sortKey(line.key)});
    }
    std::vector<size_t> order(lines.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&keys](size_t a, size_t b) {
        const Key &x = keys[a], &y = keys[b];
        if (x.kind != y.kind)
            return x.kind < y.kind;
        return x.kind == 0 ? x.number < y.number : x.text.compare(y.text) < 0;
    });
    return order;
}

QString seconds(qint64 tenths)
{
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

QString tabSeparated(const Report &report)
{
    QString text = QStringLiteral("Entries\t%1\nTotal size (bytes)\t%2\nEntries without a size\t%3\n"
                                  "Total playing time (s)\t%4\nEntries without a playing time\t%5\n")
                       .arg(report.entries)
                       .arg(report.bytes)
                       .arg(report.withoutSize)
                       .arg(seconds(report.tenths))
                       .arg(report.withoutDuration);
    for (const Breakdown breakdown : Breakdowns) {
        text += QStringLiteral("\n%1\tEntries\tSize (bytes)\tPlaying time (s)\n").arg(title(breakdown));
        for (const Line &line : report.lines(breakdown)) {
            // One arg() for all: a key holding "%1" stays as it is.
            text += QStringLiteral("%1\t%2\t%3\t%4\n")
                        .arg(cleanKey(line.key), QString::number(line.entries), QString::number(line.bytes),
                             seconds(line.tenths));
        }
    }
    return text;
}

} // namespace Statistics
