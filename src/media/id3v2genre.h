#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// The genre names of ID3v2 TCON values, as TagLib gives them: numbers take
// the names of the ID3v1 table. Both ID3v2 readers use these, so the own
// reader and TagLib name a genre alike.
namespace Id3v2 {

// The genre of one TCON value as TagLib gives it: "(17)" and "17" give
// the table's name of number 17, as does "(17)Hard Rock"; "(67)Psychedelic",
// whose text names the number's genre, keeps the tag's spelling; other
// text is kept as written, cleaned ("Thrash Metal" stays so, although the
// table spells number 144 "Trash Metal").
QString genreOfValue(const QString &value);

// The same for the own reader, as UTF-8 in out: plain numbers and
// "(number)" take the table's name (empty past it); other text goes
// through genreOfValue. False, with out unchanged, for a value with other
// parentheses, which TagLib reads as refinements its own way.
bool genreOfCommonValue(QStringView value, QByteArray &out);

} // namespace Id3v2
