#include "media/tagchoice.h"

#include "base/textfold.h"

namespace {

// The ID3v1 field, or the ID3v2 one where the ID3v1 one is empty or,
// filling its width, is the start of the ID3v2 one.
const QByteArray &completed(const QByteArray &v1, bool full, const QByteArray &v2)
{
    if (v1.isEmpty())
        return v2;
    if (full && !v2.isEmpty() && TextFold::folded(v2).startsWith(TextFold::folded(v1)))
        return v2;
    return v1;
}

const QByteArray &preferred(const QByteArray &v2, const QByteArray &v1)
{
    return v2.isEmpty() ? v1 : v2;
}

} // namespace

namespace TagChoice {

bool needsId3v2(const Id3v1Read &v1, TagPreference prefer)
{
    const TrackTagsUtf8 &f = v1.fields;
    return prefer == TagPreference::Id3v2 || f.artist.isEmpty() || f.track.isEmpty() || f.album.isEmpty()
           || f.year.isEmpty() || f.genre.isEmpty() || v1.full.artist || v1.full.track || v1.full.album;
}

TrackTagsUtf8 choose(const Id3v1Read &v1, const TrackTagsUtf8 &v2, TagPreference prefer)
{
    const TrackTagsUtf8 &f = v1.fields;
    if (prefer == TagPreference::Id3v2)
        return {preferred(v2.artist, f.artist), preferred(v2.track, f.track), preferred(v2.album, f.album),
                preferred(v2.year, f.year), preferred(v2.genre, f.genre), {}};
    return {completed(f.artist, v1.full.artist, v2.artist), completed(f.track, v1.full.track, v2.track),
            completed(f.album, v1.full.album, v2.album), completed(f.year, false, v2.year),
            completed(f.genre, false, v2.genre), {}};
}

} // namespace TagChoice
