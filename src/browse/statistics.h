#pragma once

#include "catalogue/trackrecord.h"

#include <QByteArrayView>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class RowStore;

// Figures over a set of entries: how many, their size and playing time
// (from the facts a scan records), and the same split by medium, genre,
// decade, bitrate, mode and encoder. The entries are taken one at a time,
// so a reader of the list file need not hold them.
namespace Statistics {

enum class Breakdown { Medium, Genre, Decade, Bitrate, Mode, Encoder };
constexpr int BreakdownCount = 6;
constexpr std::array<Breakdown, BreakdownCount> Breakdowns{Breakdown::Medium,  Breakdown::Genre,
                                                           Breakdown::Decade,  Breakdown::Bitrate,
                                                           Breakdown::Mode,    Breakdown::Encoder};

// "Medium", "Genre", "Decade", "Bitrate", "Mode", "Encoder".
QString title(Breakdown breakdown);
// The name ondro-cli knows it by: "source", "genre", "decade", "kbps",
// "mode", "enc".
QString name(Breakdown breakdown);
std::optional<Breakdown> breakdownNamed(const QString &name);

// The key of the entries whose field or fact is empty, absent or not
// understood (a year that does not start with four digits).
QString unknownKey();

struct Line
{
    QString key; // "CD02", "Rock", "1990s", "128", "cbr", "LAME3.100"
    qint64 entries = 0;
    qint64 bytes = 0;  // of those that know their size
    qint64 tenths = 0; // playing time, of those that know it

    bool operator==(const Line &) const = default;
};

// Totals of bytes and tenths stop at the largest qint64 rather than wrap.
struct Report
{
    qint64 entries = 0;
    qint64 bytes = 0;
    qint64 withoutSize = 0; // entries without a size, not in bytes
    qint64 tenths = 0;
    qint64 withoutDuration = 0; // entries without a playing time, not in tenths
    // Indexed by Breakdown; each by entries, most first, then by key.
    std::array<std::vector<Line>, BreakdownCount> breakdowns;

    const std::vector<Line> &lines(Breakdown breakdown) const { return breakdowns[size_t(breakdown)]; }
};

class Tally
{
public:
    Tally();
    ~Tally();
    Tally(Tally &&) noexcept;
    Tally &operator=(Tally &&) noexcept;

    // One entry: its nine UTF-8 fields and its extension line.
    void add(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension);
    void add(const RowStore &rows, qsizetype row);
    Report report() const;

private:
    struct Counts;
    std::unique_ptr<Counts> m_counts;
};

// The order of a breakdown's lines by their keys, as a click on the key's
// header sorts them: decades and bitrates as numbers ("1970s" before
// "1980s", "96" before "128"), other keys as the catalogue list collates
// text; the unknown last. order[i] is the index of the line that comes i-th.
std::vector<size_t> keyOrder(Breakdown breakdown, const std::vector<Line> &lines);

// Tenths of a second as seconds with one decimal: "860.5".
QString seconds(qint64 tenths);

// The report as text to paste into a spreadsheet: the summary lines (a
// name and a number), then each breakdown after an empty line, its header
// row first; size in bytes, playing time in seconds. Tabs and line breaks
// inside keys become blanks.
QString tabSeparated(const Report &report);

} // namespace Statistics
