#pragma once

#include <QByteArray>
#include <QRandomGenerator>

#include <iterator>

// Random text for tests of searches that ignore case and accents, from
// pieces whose folds test the searches' shortcuts: ASCII, accented letters,
// ones that fold to two letters or to nothing, separators of other scripts,
// characters of three and four bytes, and bytes that are no UTF-8.
namespace FoldPieces {

inline const QByteArrayView Pieces[] = {
    "a", "B", "n", "d", "s", "e", " ", "-",
    "\xc3\xa9",         // é
    "\xc3\x85",         // Å
    "\xc3\xb6",         // ö
    "\xc3\x9f",         // ß: ss
    "\xc5\x89",         // ŉ: a modifier apostrophe and n
    "\xc7\x84",         // Ǆ: dz
    "\xcc\x81",         // a combining acute: nothing
    "\xd0\xb4",         // a Cyrillic letter
    "\xc2\xa0",         // a no-break space
    "\xef\xac\x81",     // the ligature fi
    "\xef\xbc\xa1",     // a full-width A
    "\xf0\x9d\x90\x80", // a mathematical bold A
    "\xff",             // no UTF-8
    "\x80",             // a continuation byte alone
};

// Needles (folded) that the pieces make in many ways.
inline const QByteArrayView Needles[] = {"a", "e", "ss", "fi", "dz", "nd", "a b", "ea", "band", "d-s", "ssn"};

inline QByteArray text(QRandomGenerator &random, int mostPieces = 40)
{
    QByteArray text;
    for (int i = int(random.bounded(mostPieces)); i > 0; --i)
        text += Pieces[random.bounded(int(std::size(Pieces)))];
    return text;
}

} // namespace FoldPieces
