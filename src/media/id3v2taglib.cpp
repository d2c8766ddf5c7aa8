#include "media/id3v2taglib.h"

#include "media/id3v2.h"
#include "media/id3v2genre.h"
#include "media/id3v2text.h"

#include <QStringList>

#include <algorithm>
#include <utility>

#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>

namespace {

// A TagLib file over bytes already in memory, so the tag is parsed from
// what the scan read instead of opening the file a second time.
class TagBytesFile : public TagLib::File
{
public:
    explicit TagBytesFile(TagLib::IOStream *stream) : TagLib::File(stream) {}
    TagLib::Tag *tag() const override { return nullptr; }
    TagLib::AudioProperties *audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

QString toQString(const TagLib::String &text)
{
    return QString::fromStdWString(text.toWString());
}

// The frame's values (several in ID3v2.4), or none when it is missing.
TagLib::StringList frameValues(const TagLib::ID3v2::Tag &tag, const char *id)
{
    const TagLib::ID3v2::FrameList frames = tag.frameListMap()[id];
    if (frames.isEmpty())
        return {};
    if (const auto *text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame *>(frames.front()))
        return text->fieldList();
    return TagLib::StringList(frames.front()->toString());
}

QString joined(const TagLib::StringList &values)
{
    QStringList parts;
    for (const TagLib::String &value : values) {
        const QString text = cleanTagText(toQString(value));
        if (!text.isEmpty())
            parts.append(text);
    }
    return parts.join(QStringLiteral(" / "));
}

// The fields of a tag TagLib has read.
TrackTags fieldsOf(const TagLib::ID3v2::Tag &tag)
{
    TrackTags tags;
    tags.artist = joined(frameValues(tag, "TPE1"));
    tags.track = joined(frameValues(tag, "TIT2"));
    tags.album = joined(frameValues(tag, "TALB"));

    // TagLib reads the year of version 2.2 and 2.3 tags (TYE, TYER) as the
    // 2.4 recording time TDRC; a timestamp begins with the year.
    TagLib::StringList year = frameValues(tag, "TDRC");
    if (year.isEmpty())
        year = frameValues(tag, "TYER");
    if (!year.isEmpty())
        tags.year = cleanTagText(toQString(year.front()).left(4));

    QStringList genres;
    for (const TagLib::String &value : frameValues(tag, "TCON")) {
        const QString genre = Id3v2::genreOfValue(toQString(value));
        if (!genre.isEmpty() && !genres.contains(genre))
            genres.append(genre);
    }
    tags.genre = genres.join(QStringLiteral(" / "));

    // TagLib gives the frames of 2.2 (TRK, TPA) under these ids too.
    for (const auto &[id, number] : {std::pair{"TRCK", &tags.numbers.track}, std::pair{"TPOS", &tags.numbers.disc}}) {
        if (const TagLib::StringList values = frameValues(tag, id); !values.isEmpty())
            *number = numberInSet(cleanTagText(toQString(values.front())).toUtf8());
    }
    return tags;
}

} // namespace

namespace Id3v2 {

TrackTagsUtf8 readTextTagUtf8(QByteArrayView parsed)
{
    TrackTagsUtf8 tags;
    readTextTagUtf8(parsed, tags);
    return tags;
}

void readTextTagUtf8(QByteArrayView parsed, TrackTagsUtf8 &tags)
{
    if (!readCommonTextTag(parsed, tags))
        tags = TrackTagsUtf8::fromTags(readTextTagWithTagLib(parsed));
}

TrackTags readTextTagWithTagLib(QByteArrayView parsed)
{
    if (tagSize(parsed) == 0)
        return {};
    // TagLib takes the footer's ten bytes off the header's size, which
    // already leaves them out, and so loses the last frame before a
    // footer: it reads a copy without the footer flag (any version, as it
    // honours the flag in 2.2 and 2.3 too).
    QByteArray unfooted;
    if (parsed[5] & FooterFlag) {
        const qint64 bodyEnd = HeaderSize + synchsafe(reinterpret_cast<const uchar *>(parsed.data()) + 6);
        unfooted = parsed.first(qsizetype(std::min<qint64>(parsed.size(), bodyEnd))).toByteArray();
        unfooted[5] = char(parsed[5] & ~FooterFlag);
        parsed = unfooted;
    }
    TagLib::ByteVectorStream stream(TagLib::ByteVector(parsed.data(), unsigned(parsed.size())));
    TagBytesFile file(&stream);
    const TagLib::ID3v2::Tag tag(&file, 0);
    if (tag.isEmpty())
        return {};
    return fieldsOf(tag);
}

} // namespace Id3v2
