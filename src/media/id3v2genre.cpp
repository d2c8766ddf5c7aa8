#include "media/id3v2genre.h"

#include "media/id3v1.h"
#include "media/tracktags.h"

#include <QRegularExpression>

// TagLib's list of genre names, which knows the other spellings of the
// numbered genres: it tells whether a refinement names its number's genre.
#include <taglib/id3v1genres.h>

namespace Id3v2 {

QString genreOfValue(const QString &value)
{
    static const QRegularExpression numbered(QStringLiteral("^\\s*\\((\\d{1,3})\\)(.*)$"));
    static const QRegularExpression plain(QStringLiteral("^\\s*(\\d{1,3})\\s*$"));
    QRegularExpressionMatch match = numbered.match(value);
    if (!match.hasMatch())
        match = plain.match(value);
    if (!match.hasMatch()) // a genre written as text is kept as the tag spells it
        return cleanTagText(value);
    const int number = match.captured(1).toInt();
    const QString refinement = cleanTagText(match.lastCapturedIndex() >= 2 ? match.captured(2) : QString());
    // "(67)Psychedelic": the text names the number's genre in the tag's own
    // spelling, which is kept; TagLib's list knows the spellings of each.
    if (!refinement.isEmpty() && TagLib::ID3v1::genreIndex(TagLib::String(refinement.toStdWString())) == number)
        return refinement;
    const QString name = Id3v1::genreName(number);
    // A number past the table: keep any refinement text after it.
    return name.isEmpty() ? refinement : name;
}

bool genreOfCommonValue(QStringView text, QByteArray &out)
{
    qsizetype from = 0, to = text.size();
    if (text.startsWith(u'(') && text.endsWith(u')')) {
        ++from;
        --to;
    }
    const qsizetype digits = to - from;
    bool numeric = digits >= 1 && digits <= 3;
    int number = 0;
    for (qsizetype i = from; numeric && i < to; ++i) {
        numeric = text[i] >= u'0' && text[i] <= u'9';
        number = number * 10 + (text[i].unicode() - u'0');
    }
    if (numeric) {
        out = Id3v1::genreNameUtf8(number);
        return true;
    }
    if (text.contains(u'(') || text.contains(u')'))
        return false;
    out = genreOfValue(text.toString()).toUtf8();
    return true;
}

} // namespace Id3v2
