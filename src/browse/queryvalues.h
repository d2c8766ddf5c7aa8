#pragma once

#include "browse/querytree.h"

#include <QByteArrayView>
#include <QStringView>
#include <optional>

// The names of the query language's fields and flags, and the values of
// its number and time fields, as the parser reads them.
namespace Query {

// A field by its name (lower case: "artist"), a flag by its name in any
// case ("has:cover", "single"); nothing for a name neither knows.
std::optional<Field> fieldNamed(QStringView name);
std::optional<Field> flagNamed(QStringView name);

// A flag that asks for a key on the entry's extension line: has:damage
// (dmg), is:estimated (est=1), has:problem (vfy), has:art (art, or else the
// attached cover); value empty when any value will do.
struct LineFlag
{
    const char *key;
    QByteArrayView value;
};
std::optional<LineFlag> lineFlag(Field field);

// The catalogue's column of a text field (source to cover; the path for
// others).
int textColumnOf(Field field);

// dur, kbps, rate, size, trk, disc: compared as numbers, never as text.
bool isNumberField(Field field);
// mtime, scanned, verified: seconds since 1970, given as dates or ages.
bool isTimeField(Field field);

// A number field's value: a number; size also with K, M or G (powers of
// 1024); dur also as m:ss or h:mm:ss. Nothing when it is none of these.
std::optional<double> numberValue(Field field, QStringView text);

// A time field's term: text is a date (2024, 2024-03, 2024-03-05, UTC,
// the whole year, month or day), an age (30d: h, d, w, y counted back
// from now), or A..B of them, open at either end; compare is "", "<",
// "<=", ">" or ">=". For an age, < means newer (mtime:<30d, the last 30
// days) and > older. Nothing when the text is no date or age.
std::optional<Term> timeTerm(Field field, QStringView compare, QStringView text);

} // namespace Query
