#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <array>
#include <optional>
#include <utility>

// Line 10 of a list file record, which the original program writes empty
// and never reads, carries what Ondro knows beyond the nine fields:
// "ondro:1" and blank-separated key=value pairs, a value's "%", blank,
// "=", control characters and bytes beyond ASCII written as %XX. Keys this version does not
// know are kept and written back as they were.
namespace ExtensionLine {

struct Facts
{
    struct Pair
    {
        QByteArray key;   // as written, escapes and all
        QByteArray value; // as written
        bool bare = false; // written without "=" (only read, never set)
        bool operator==(const Pair &) const = default;
    };
    // The pairs in the order read (or set), as written in the line: a
    // pair this version does not know goes back byte for byte.
    QList<Pair> pairs;
    // A line of a later version ("ondro:2 ..."), kept whole to be written
    // back unchanged; pairs is then empty.
    QByteArray laterVersion;

    bool isEmpty() const { return pairs.isEmpty() && laterVersion.isEmpty(); }
    QByteArray value(QByteArrayView key) const;       // decoded; empty when absent
    void set(QByteArrayView key, QByteArrayView value); // replaces, or appends in order
    void remove(QByteArrayView key);                    // every pair of key
    bool operator==(const Facts &) const = default;
};

// The facts of a line 10; none for a line that does not start with
// "ondro:" (it is then written back empty). A pair without "=" is kept
// as a key with an empty value.
Facts parse(QByteArrayView line);

// The line for the facts; empty when there are none.
QByteArray format(const Facts &facts);

// A new line written pair by pair into out (emptied first), each escaped
// as format writes it: for a writer whose keys are all new, such as the
// scan's line for each file, without a Facts and its copies in between.
// out stays empty when no pair is added, as format leaves it.
class LineBuilder
{
public:
    explicit LineBuilder(QByteArray &out) : m_out(out) {}
    // The line ends where its last pair does.
    ~LineBuilder() { m_out.truncate(m_size); }
    LineBuilder(const LineBuilder &) = delete;
    LineBuilder &operator=(const LineBuilder &) = delete;

    void add(QByteArrayView key, QByteArrayView value);
    void add(QByteArrayView key, qint64 number);

private:
    // Writes " key=" at the end of the line with valueRoom bytes after it;
    // where the value goes. out grows in steps and is cut to the line's
    // length once, at the end, not at each pair.
    char *room(QByteArrayView key, qsizetype valueRoom);

    QByteArray &m_out;
    qsizetype m_size = 0; // of the line written so far
};

// The value of key as written in line (escapes and all), without taking
// the line apart: for readers of one fact over many rows. Empty when the
// line has no such pair.
QByteArrayView rawValue(QByteArrayView line, QByteArrayView key);
// The decoded text of key's value; empty when the line has no such pair.
QByteArray textValue(QByteArrayView line, QByteArrayView key);

// The largest numbers read: a larger one is not known, like one that is
// not a number, so no reader of a fact can overflow on it. Sizes go up to
// 2^62 bytes; times (mtime, dur) up to 2^40 seconds, some 35,000 years,
// so that their milliseconds, and a million entries' total of them, stay
// inside 64 bits; rates (kbps, Hz) up to a million; track and disc
// numbers up to 9999, more than any set holds.
inline constexpr qint64 MaxWhole = qint64(1) << 62;
inline constexpr qint64 MaxSeconds = qint64(1) << 40;
inline constexpr qint64 MaxRate = 1'000'000;
inline constexpr qint64 MaxNumber = 9999;

// Values of the facts a scan writes, read the same way: a whole number
// ("4000"), a hexadecimal one ("00ab..."), or tenths from a decimal with
// at most one decimal ("215.3" is 2153). Nothing when the key is absent,
// its value is not such a number or is beyond the fact's limit (FactLimits).
std::optional<qint64> integerValue(QByteArrayView line, QByteArrayView key);
// The same rules over a value as written, up to max (tenths: up to
// maxTenths, the limit of dur).
std::optional<qint64> wholeNumber(QByteArrayView raw, qint64 max = MaxWhole);
std::optional<qint64> tenths(QByteArrayView raw, qint64 maxTenths = MaxSeconds * 10);

// The facts a scan writes, by their keys, and their values as written
// (each as rawValue gives it: the first pair of a key; null when absent),
// found in one pass over the line for readers of several facts a row.
// trk and disc are the track's number and its disc's number in a set, from
// its tags (a scan reads them from the file like the stream's facts).
enum Fact { Size, Mtime, Dur, Kbps, Mode, Rate, Enc, Aid, Est, Dmg, Trk, Disc, FactCount };
inline constexpr std::array<const char *, FactCount> FactKeys{"size", "mtime", "dur", "kbps", "mode", "rate",
                                                              "enc",  "aid",   "est", "dmg",  "trk",  "disc"};
// The largest value of each numeric fact as its reader gives it (dur in
// tenths); 0 for the facts that are text.
inline constexpr std::array<qint64, FactCount> FactLimits{MaxWhole, MaxSeconds, MaxSeconds * 10, MaxRate,
                                                          0,        MaxRate,    0,               0,
                                                          1,        0,          MaxNumber,       MaxNumber};
using FactValues = std::array<QByteArrayView, FactCount>;
FactValues factValues(QByteArrayView line);
std::optional<quint64> hexValue(QByteArrayView line, QByteArrayView key);
std::optional<qint64> tenthsValue(QByteArrayView line, QByteArrayView key);

// The one reading of a fact, for every reader (the query, statistics, the
// outputs and exports): its value decoded from the line's escapes
// ("%31%32" is "12"), then, for a numeric fact (FactLimits above 0), read
// as a number (dur in tenths) within its limit. A numeric fact whose
// value is no such number is absent, as one that is not written.
inline bool isNumeric(Fact fact)
{
    return FactLimits[size_t(fact)] > 0;
}
std::optional<qint64> factNumber(QByteArrayView raw, Fact fact);
// The decoded text of a value as written (raw as it is when it holds no escape).
QByteArray decodedText(QByteArrayView raw);

} // namespace ExtensionLine

namespace ExtensionLine {

// Where a scan found a picture for the entry besides the cover attached
// by hand (its cover field): in the file's ID3v2 tag, else in its folder
// (FolderCover). Absent when neither holds one; measured like FactKeys.
inline constexpr const char *ArtKey = "art";
inline constexpr const char *ArtEmbedded = "embedded";
inline constexpr const char *ArtFolder = "folder";
// The mark a verification of the file's medium left on its entry
// (media/verify): vfy=unreadable, changed, damaged or missing; none when
// the file was found whole and as catalogued.
inline constexpr char ProblemKey[] = "vfy";

// The line of an entry rescanned: kept, with the facts a scan measures
// (FactKeys, art) and the name's exact bytes (raw=) as measured gives them, each in its place, new ones after
// the rest, and those measured lacks dropped. Every other pair stays where
// it is, as written; a later version's line stays whole. A problem mark of
// a file changed or missing goes (the entry now holds the file as it is);
// one of a file unreadable or damaged stays, since a rescan reads only
// parts of the file and cannot tell that it is whole again.
QByteArray withMeasuredFacts(QByteArrayView kept, QByteArrayView measured);

} // namespace ExtensionLine
