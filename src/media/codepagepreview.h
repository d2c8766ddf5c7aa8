#pragma once

#include <QList>
#include <QString>

#include <atomic>

// What a change of a medium's code page would do to its titles, shown
// before the change is applied: the ID3v1 titles of a few of its files
// decoded both ways.
struct CodePageSample
{
    QString path;   // below the root
    QString before; // the title in the code page the medium has now
    QString after;  // in the code page chosen
};

// Up to most files under root with an ID3v1 tag, in walk order, those
// whose titles read differently in the two code pages first (the walk ends
// once most of them are found, or 200 tags were read). Both
// names are of CodePage::names(). Stops early when stop is set.
QList<CodePageSample> codePageSamples(const QString &root, const QString &before, const QString &after,
                                      int most = 5, const std::atomic_bool *stop = nullptr);
