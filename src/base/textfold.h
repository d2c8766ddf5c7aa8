#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>

// Text as it is compared when case and accents do not count: blanks
// around it removed, accents dropped (compatibility decomposition without the
// combining marks) and case folded by Unicode's rules, not a locale's.
namespace TextFold {

// The folded UTF-8 of utf8, into out (replaced; its room is reused). Plain
// ASCII is folded in place without building a string.
void fold(QByteArrayView utf8, QByteArray &out);

// The fold of utf8 as it stands, blanks around it kept.
QByteArray foldCharacters(QByteArrayView utf8);

// The folds of the two-byte characters (U+0080 to U+07FF: the accented
// Latin letters, Greek, Cyrillic, Hebrew, Arabic), made once.
const std::array<QByteArray, 0x800 - 0x80> &twoByteFolds();

inline QByteArray folded(QByteArrayView utf8)
{
    QByteArray out;
    fold(utf8, out);
    return out;
}

} // namespace TextFold
