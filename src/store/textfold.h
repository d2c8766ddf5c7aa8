#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Text as it is compared when case and accents do not count: blanks
// around it removed, accents dropped (compatibility decomposition without the
// combining marks) and case folded by Unicode's rules, not a locale's.
namespace TextFold {

// The folded UTF-8 of utf8, into out (replaced; its room is reused). Plain
// ASCII is folded in place without building a string.
void fold(QByteArrayView utf8, QByteArray &out);

inline QByteArray folded(QByteArrayView utf8)
{
    QByteArray out;
    fold(utf8, out);
    return out;
}

} // namespace TextFold
