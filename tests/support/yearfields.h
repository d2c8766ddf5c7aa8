#pragma once

#include <QList>

// Year fields and the year each is as a number (0: none), for the query
// language's and the statistics' tests alike: both must read them so.
struct YearField
{
    const char *text;
    int year;
};

inline const QList<YearField> YearFields = {
    {"1999", 1999}, {" 1994-05-01", 1994}, {"\t2001", 2001}, {"2000s", 2000}, {"0150", 150},
    {"199", 0},     {"99", 0},             {"0000", 0},      {"0009", 0},     {"19x9", 0},
    {"abcd", 0},    {"", 0},
};
