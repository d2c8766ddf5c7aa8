#pragma once

#include <QByteArray>
#include <QList>

// A catalogue list file of varied records, the same bytes on every run:
// UTF-8 records (accents, other scripts, emoji), Windows-1252 records
// (its undefined bytes included), empty fields, values far longer than a
// read block, text in the two separator lines, and every kind of line end
// (CR LF, CR, LF). The file ends with a last record cut after its fields.
namespace ListFileCorpus {

inline QByteArray bytes(int records = 3000)
{
    quint32 state = 12345;
    const auto next = [&state](quint32 bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    const QList<QByteArray> pieces = {
        "Caf\xc3\xa9", "Mot\xc3\xb6rhead", "\xe6\x97\xa5\xe6\x9c\xac", "\xf0\x9f\x8e\xb5", "Rock", "  padded ",
        "Blue", "a\\b", "tab\there", "", "River", "\xd0\x91\xd0\xb8-2"};
    const QList<QByteArray> cp1252 = {"Caf\xe9", "Mot\xf6rhead", "\x80 rate", "\x81\x8d\x8f\x90\x9d", "na\xefve"};
    const QList<QByteArray> ends = {"\r\n", "\r\n", "\r\n", "\r", "\n"};
    QByteArray out;
    for (int r = 0; r < records; ++r) {
        const bool windows = next(10) == 0;
        const QByteArray end = r % 97 == 5 ? ends.at(int(next(quint32(ends.size())))) : QByteArray("\r\n");
        for (int f = 0; f < 9; ++f) {
            QByteArray value;
            const int words = int(next(5));
            for (int w = 0; w < words; ++w) {
                const auto &from = windows && next(2) ? cp1252 : pieces;
                value += from.at(int(next(quint32(from.size())))) + (w + 1 < words ? " " : "");
            }
            if (r % 1000 == 7 && f == 3)
                value += QByteArray(300 * 1024, 'x'); // longer than any read block
            out += value + end;
        }
        const bool junk = r % 211 == 3;
        out += (junk ? QByteArray("junk") : QByteArray()) + end + (junk ? QByteArray("more") : QByteArray()) + end;
    }
    // Editors strip the last record's empty lines.
    out += "/last.mp3\r\nCD9\r\n\r\n\r\n\r\n\r\n\r\n\r\nhdr";
    return out;
}

} // namespace ListFileCorpus
