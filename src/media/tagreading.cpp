#include "media/tagreading.h"

#include "media/mediaregister.h"

namespace TagPreferences {

QString defaultName()
{
    return QStringLiteral("id3v1");
}

const QStringList &names()
{
    static const QStringList list{defaultName(), QStringLiteral("id3v2")};
    return list;
}

bool isKnown(const QString &name)
{
    return names().contains(name);
}

TagPreference fromName(const QString &name)
{
    return name == names().at(1) ? TagPreference::Id3v2 : TagPreference::Id3v1;
}

QString nameOf(TagPreference preference)
{
    return names().at(preference == TagPreference::Id3v2 ? 1 : 0);
}

QString refusal(const QString &name)
{
    return QStringLiteral("unknown tag choice \"%1\": use one of %2").arg(name, names().join(QStringLiteral(", ")));
}

} // namespace TagPreferences

TagReading tagReadingOf(const MediaRecord *record, QString *refusal)
{
    TagReading reading;
    QString why;
    if (record) {
        if (!CodePage::isKnown(record->codepage))
            why = CodePage::refusal(record->codepage);
        else if (!TagPreferences::isKnown(record->tags))
            why = TagPreferences::refusal(record->tags);
        if (why.isEmpty()) {
            reading.codepage = record->codepage;
            reading.prefer = TagPreferences::fromName(record->tags);
        }
    }
    if (refusal)
        *refusal = why;
    return reading;
}
