#pragma once

#include "catalogue/rowstore.h"
#include "catalogue/trackrecord.h"

#include <QByteArrayView>
#include <QString>
#include <array>
#include <map>
#include <optional>
#include <vector>

// Copies of the same recording across the catalogue, of two kinds:
// - same audio: equal audio identity (the aid fact), whatever the tags;
// - same song: equal artist and title (case, accents and surrounding
//   blanks not counted, both given) and playing times within two seconds,
//   on at least two different files (source and path).
// Entries without the facts a kind needs are in no group of it.
namespace Duplicates {

enum class Kind { Audio, Song };

// The two seconds, in tenths, within which the same song's times lie.
constexpr qint64 SongTolerance = 20;

struct Group
{
    std::vector<qsizetype> rows; // ascending
};

// Takes the entries one by one, in catalogue order (the first is row 0),
// keeping a few numbers of each, so a reader of the list file need not
// hold the entries themselves.
class Finder
{
public:
    void add(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension);
    // Every row of rows, in order.
    void addAll(const RowStore &rows);
    // The groups of the kind, largest first, then by their first row.
    std::vector<Group> groups(Kind kind) const;
    qsizetype entries() const { return m_entries; }
    // The source of an entry added, as a number: equal sources, equal numbers.
    quint32 sourceOf(qsizetype row) const { return m_sources[size_t(row)]; }

private:
    struct Audio
    {
        quint64 aid;
        qsizetype row;
    };
    struct Song
    {
        quint64 keyHigh, keyLow; // artist and title, folded and hashed
        qint64 tenths;
        quint64 file; // source and path, hashed
        qsizetype row;
    };
    std::vector<Group> audioGroups() const;
    std::vector<Group> songGroups() const;
    // The songs whose names another song shares, sorted by name and time.
    std::vector<Song> songsSharingNames() const;

    std::vector<Audio> m_audio;
    std::vector<Song> m_songs;
    std::vector<quint32> m_sources;
    std::map<QByteArray, quint32> m_sourceNumbers;
    QByteArray m_lastSource;
    quint32 m_lastNumber = 0;
    qsizetype m_entries = 0;
    QByteArray m_artist, m_title, m_joined; // room, reused
};

// The groups after the rows first..last left the catalogue: those rows
// dropped, the later ones moved up, groups left with one copy gone, the
// rest largest first again. A song's group left is not checked again for
// its times.
void removeRows(std::vector<Group> &groups, qsizetype first, qsizetype last);

// "Same audio" or "Same song".
QString kindTitle(Kind kind);

// What tells one copy from another: its medium's online state (nothing
// when the register does not know it) and its stream facts (nothing when
// not known).
struct CopyFacts
{
    std::optional<bool> online;
    std::optional<qint64> kbps;
    QByteArray mode; // "cbr", "vbr", "abr" or empty
    std::optional<qint64> bytes;
};
CopyFacts copyFacts(QByteArrayView extension, std::optional<bool> online);

// The copy to keep (its index in copies): online over offline or unknown,
// then the higher bitrate, then VBR over ABR over CBR at an equal bitrate,
// then the larger file; a fact not known loses to one known. Of copies
// equal in all of these the first (in catalogue order) is kept.
size_t bestCopy(const std::vector<CopyFacts> &copies);

// The rule as the user reads it.
QString bestCopyRule();

} // namespace Duplicates
