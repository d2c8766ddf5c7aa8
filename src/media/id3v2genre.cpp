#include "media/id3v2genre.h"

#include "media/id3v1.h"
#include "media/tracktags.h"

#include <QRegularExpression>

// TagLib's list of genre names, which spells some of them otherwise than
// the ID3v1 table and knows old spellings: only it tells which text names
// a numbered genre the way the TagLib reader does.
#include <taglib/id3v1genres.h>

namespace Id3v2 {

QString genreOfValue(const QString &value)
{
    static const QRegularExpression numbered(QStringLiteral("^\\s*\\((\\d{1,3})\\)(.*)$"));
    static const QRegularExpression plain(QStringLiteral("^\\s*(\\d{1,3})\\s*$"));
    QRegularExpressionMatch match = numbered.match(value);
    if (!match.hasMatch())
        match = plain.match(value);
    if (match.hasMatch()) {
        const QString name = Id3v1::genreName(match.captured(1).toInt());
        if (!name.isEmpty())
            return name;
        // A number past the table: keep any refinement text after it.
        return cleanTagText(match.lastCapturedIndex() >= 2 ? match.captured(2) : QString());
    }
    // TagLib reads "(67)Psychedelic" as the name alone, in its own
    // spelling; a name of the numbered list takes this table's spelling.
    const QString text = cleanTagText(value);
    const int number = TagLib::ID3v1::genreIndex(TagLib::String(text.toStdWString()));
    const QString name = Id3v1::genreName(number);
    return name.isEmpty() ? text : name;
}

bool genreOfCommonValue(const QString &text, QByteArray &out)
{
    qsizetype from = 0, to = text.size();
    if (text.startsWith(u'(') && text.endsWith(u')')) {
        ++from;
        --to;
    }
    const qsizetype digits = to - from;
    bool numeric = digits >= 1 && digits <= 3;
    for (qsizetype i = from; numeric && i < to; ++i)
        numeric = text[i] >= u'0' && text[i] <= u'9';
    if (numeric) {
        out = Id3v1::genreName(text.mid(from, digits).toInt()).toUtf8();
        return true;
    }
    if (text.contains(u'(') || text.contains(u')'))
        return false;
    out = genreOfValue(text).toUtf8();
    return true;
}

} // namespace Id3v2
