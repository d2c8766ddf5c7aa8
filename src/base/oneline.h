#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// A value written as one line of a line-based file (the playlist, the
// upload-site lists, the text index, the printed index). Every character
// a player or reader may take for a line end (CR, LF, VT, FF, NEL, U+2028,
// U+2029) becomes a blank, as the catalogue list file does with CR and LF:
// a value can neither split into lines of its own nor vanish.
namespace OneLine {

bool isLineBreak(char32_t c);

// Appends the UTF-8 value, its line breaks as blanks, and no line end.
void append(QByteArray &out, QByteArrayView utf8);

QString of(const QString &text);

} // namespace OneLine
