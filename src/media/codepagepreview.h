#pragma once

#include "media/tagreading.h"
#include "base/workprogress.h"

#include <QList>
#include <QString>


// What a change of how a medium's tags are read (its code page or its tag
// preference) would do to its titles, shown before the change is applied:
// the titles of a few of its files read both ways.
struct TitleSample
{
    QString path;   // below the root
    QString before; // the title as the medium is read now
    QString after;  // as it would be read
};

// Up to most files under root with an ID3v1 tag (the files either change
// can touch), in walk order, those whose titles read differently first
// (the walk ends once most of them are found, or 200 tags were read).
// Both code pages are of CodePage::names(). Stops early once a stop is asked for.
QList<TitleSample> titleSamples(const QString &root, const TagReading &before, const TagReading &after, int most = 5,
                                const WorkProgress *stop = nullptr);
