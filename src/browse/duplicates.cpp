#include "browse/duplicates.h"

#include "catalogue/extensionline.h"
#include "base/textfold.h"

#include <xxhash.h>

#include <algorithm>
#include <tuple>

namespace Duplicates {

namespace {

// a and b joined by a NUL, in joined (its room is reused).
void join(QByteArrayView a, QByteArrayView b, QByteArray &joined)
{
    joined.resize(a.size() + 1 + b.size());
    char *out = joined.data();
    std::copy(a.begin(), a.end(), out);
    out[a.size()] = '\0';
    std::copy(b.begin(), b.end(), out + a.size() + 1);
}

// Groups are listed largest first, then in the order of their first row.
void sortGroups(std::vector<Group> &groups)
{
    std::sort(groups.begin(), groups.end(), [](const Group &a, const Group &b) {
        return a.rows.size() != b.rows.size() ? a.rows.size() > b.rows.size() : a.rows.front() < b.rows.front();
    });
}

} // namespace

void Finder::add(const std::array<QByteArrayView, TrackFieldCount> &fields, QByteArrayView extension)
{
    const qsizetype row = m_entries++;
    if (m_sources.empty() || m_lastSource != fields[FieldSource]) { // sources come in runs
        m_lastSource = fields[FieldSource].toByteArray();
        m_lastNumber = m_sourceNumbers.try_emplace(m_lastSource, quint32(m_sourceNumbers.size())).first->second;
    }
    m_sources.push_back(m_lastNumber);
    if (extension.isEmpty())
        return;
    if (const auto aid = ExtensionLine::hexValue(extension, "aid"))
        m_audio.push_back({*aid, row});
    const auto tenths = ExtensionLine::tenthsValue(extension, "dur");
    if (!tenths)
        return;
    TextFold::fold(fields[FieldArtist], m_artist);
    TextFold::fold(fields[FieldTrack], m_title);
    if (m_artist.isEmpty() || m_title.isEmpty())
        return;
    // 128 bits of the folded names: two songs are told apart without
    // keeping their names.
    join(m_artist, m_title, m_joined);
    const XXH128_hash_t key = XXH3_128bits(m_joined.constData(), size_t(m_joined.size()));
    join(fields[FieldSource], fields[FieldFilename], m_joined);
    const quint64 file = XXH3_64bits(m_joined.constData(), size_t(m_joined.size()));
    m_songs.push_back({key.high64, key.low64, *tenths, file, row});
}

void Finder::addAll(const RowStore &rows)
{
    std::array<QByteArrayView, TrackFieldCount> fields;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        for (int f = 0; f < TrackFieldCount; ++f)
            fields[size_t(f)] = rows.fieldUtf8(row, f);
        add(fields, rows.extensionUtf8(row));
    }
}

std::vector<Group> Finder::audioGroups() const
{
    std::vector<Group> groups;
    std::vector<Audio> audio = m_audio;
    std::sort(audio.begin(), audio.end(),
              [](const Audio &a, const Audio &b) { return a.aid != b.aid ? a.aid < b.aid : a.row < b.row; });
    for (size_t i = 0; i < audio.size();) {
        size_t end = i + 1;
        while (end < audio.size() && audio[end].aid == audio[i].aid)
            ++end;
        if (end - i > 1) {
            Group group;
            for (size_t j = i; j < end; ++j)
                group.rows.push_back(audio[j].row);
            groups.push_back(std::move(group));
        }
        i = end;
    }
    return groups;
}

std::vector<Finder::Song> Finder::songsSharingNames() const
{
    // Sorted on half the key first, small pairs that sort fast; only the
    // few runs of equal halves are gathered and sorted in full.
    std::vector<std::pair<quint64, quint32>> order(m_songs.size());
    for (size_t i = 0; i < m_songs.size(); ++i)
        order[i] = {m_songs[i].keyHigh, quint32(i)};
    std::sort(order.begin(), order.end());
    std::vector<Song> songs;
    for (size_t i = 0; i < order.size();) {
        size_t end = i + 1;
        while (end < order.size() && order[end].first == order[i].first)
            ++end;
        if (end - i > 1) {
            for (size_t j = i; j < end; ++j)
                songs.push_back(m_songs[order[j].second]);
        }
        i = end;
    }
    std::sort(songs.begin(), songs.end(), [](const Song &a, const Song &b) {
        if (a.keyHigh != b.keyHigh)
            return a.keyHigh < b.keyHigh;
        if (a.keyLow != b.keyLow)
            return a.keyLow < b.keyLow;
        return a.tenths != b.tenths ? a.tenths < b.tenths : a.row < b.row;
    });
    return songs;
}

std::vector<Group> Finder::songGroups() const
{
    std::vector<Group> groups;
    const std::vector<Song> songs = songsSharingNames();
    // Within one name, times in order: a group goes on while each time
    // lies within the tolerance of the one before.
    for (size_t i = 0; i < songs.size();) {
        size_t end = i + 1;
        while (end < songs.size() && songs[end].keyHigh == songs[i].keyHigh && songs[end].keyLow == songs[i].keyLow
               && songs[end].tenths - songs[end - 1].tenths <= SongTolerance)
            ++end;
        const bool differentFiles = std::any_of(songs.begin() + qsizetype(i) + 1, songs.begin() + qsizetype(end),
                                                [&](const Song &s) { return s.file != songs[i].file; });
        if (differentFiles) {
            Group group;
            for (size_t j = i; j < end; ++j)
                group.rows.push_back(songs[j].row);
            std::sort(group.rows.begin(), group.rows.end());
            groups.push_back(std::move(group));
        }
        i = end;
    }
    return groups;
}

std::vector<Group> Finder::groups(Kind kind) const
{
    std::vector<Group> groups = kind == Kind::Audio ? audioGroups() : songGroups();
    sortGroups(groups);
    return groups;
}

void removeRows(std::vector<Group> &groups, qsizetype first, qsizetype last)
{
    const qsizetype count = last - first + 1;
    for (Group &group : groups) {
        std::erase_if(group.rows, [&](qsizetype row) { return row >= first && row <= last; });
        for (qsizetype &row : group.rows)
            row -= row > last ? count : 0;
    }
    std::erase_if(groups, [](const Group &group) { return group.rows.size() < 2; });
    sortGroups(groups);
}

CopyFacts copyFacts(QByteArrayView extension, std::optional<bool> online)
{
    using namespace ExtensionLine;
    const FactValues facts = factValues(extension);
    return {online, factNumber(facts[Kbps], Kbps), decodedText(facts[Mode]), factNumber(facts[Size], Size)};
}

namespace {

int modeRank(const QByteArray &mode)
{
    return mode == "vbr" ? 2 : mode == "abr" ? 1 : 0;
}

// True when a is a better copy to keep than b.
bool better(const CopyFacts &a, const CopyFacts &b)
{
    const auto rank = [](const CopyFacts &c) {
        return std::tuple(c.online == true, c.kbps.value_or(-1), modeRank(c.mode), c.bytes.value_or(-1));
    };
    return rank(a) > rank(b);
}

} // namespace

size_t bestCopy(const std::vector<CopyFacts> &copies)
{
    size_t best = 0;
    for (size_t i = 1; i < copies.size(); ++i) {
        if (better(copies[i], copies[best]))
            best = i;
    }
    return best;
}

QString bestCopyRule()
{
    return QStringLiteral("The best copy: online over offline, then the higher bitrate, VBR over CBR at an equal "
                          "bitrate, then the larger file; of equal copies the first in the catalogue.");
}

QString kindTitle(Kind kind)
{
    return kind == Kind::Audio ? QStringLiteral("Same audio") : QStringLiteral("Same song");
}

} // namespace Duplicates
