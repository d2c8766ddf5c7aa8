#pragma once

#include "base/codepage.h"

#include <QString>
#include <QStringList>

struct MediaRecord;

// Which tag a medium's five fields come from first (the medium's `tags` in
// the media register): "id3v1" (the default: ID3v1 when the file has it,
// field by field, completed from ID3v2 where the ID3v1 field is empty or
// cut) or "id3v2" (ID3v2 where it has the field, else ID3v1).
enum class TagPreference { Id3v1, Id3v2 };

namespace TagPreferences {

QString defaultName();
// "id3v1", then "id3v2".
const QStringList &names();
bool isKnown(const QString &name);
// The preference of a name of names(); any other reads as the default.
TagPreference fromName(const QString &name);
QString nameOf(TagPreference preference);
// What to tell someone who gave a name not in the list.
QString refusal(const QString &name);

} // namespace TagPreferences

// How the scans of one medium read its tags.
struct TagReading
{
    QString codepage = CodePage::autoName(); // of the ID3v1 text, one of CodePage::names()
    TagPreference prefer = TagPreference::Id3v1;
};

// The reading the register gives a medium (the default for none). When it
// names a code page or a tag preference not known, refusal (when given)
// says which, as in "unknown code page "x": use one of ...", else it is
// emptied.
TagReading tagReadingOf(const MediaRecord *record, QString *refusal = nullptr);
