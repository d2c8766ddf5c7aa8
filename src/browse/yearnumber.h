#pragma once

#include <QByteArrayView>

#include <optional>

// A year field as a number, the one reading that the query language
// (year:<N, year:A..B) and the statistics' decades share: its first four
// characters, blanks (spaces, tabs) before them aside, when all are
// digits, so "1999" and "1994-05-01" are years and "199", "99" and "abcd"
// are none. Years below 10 are none too: a tag's "0000" says it does not
// know, and the decade 0000s would read as that.
inline std::optional<int> yearNumber(QByteArrayView year)
{
    qsizetype at = 0;
    while (at < year.size() && (year[at] == ' ' || year[at] == '\t'))
        ++at;
    if (year.size() - at < 4)
        return std::nullopt;
    int value = 0;
    for (qsizetype end = at + 4; at < end; ++at) {
        if (year[at] < '0' || year[at] > '9')
            return std::nullopt;
        value = value * 10 + (year[at] - '0');
    }
    return value < 10 ? std::nullopt : std::optional(value);
}
