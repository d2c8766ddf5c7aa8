#pragma once

#include <QString>

// Leading and trailing blanks removed, and only blanks: tabs and other
// white space are kept, as the tag and header texts are cut that way.
inline QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}
