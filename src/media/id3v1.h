#pragma once

#include <QByteArrayView>
#include <QString>

// The ID3 version 1 tag in a file's last 128 bytes, and the genre table.
struct Id3v1Fields
{
    QString track; // the title
    QString album;
    QString genre; // the name, not the number
    QString year;
    QString artist;
};

namespace Id3v1 {

constexpr int TagSize = 128;

// 1 when the file's last 128 bytes begin with "TAG", else 0.
int hasId3v1Tag(const QString &path);
// Fills fields from the file's tag; leaves them empty when it cannot read.
void readId3v1Tag(const QString &path, Id3v1Fields &fields);

// Pure forms over the last 128 bytes of a file (a longer view is taken by
// its last 128 bytes; a shorter one holds no tag).
bool isTag(QByteArrayView block);
Id3v1Fields parseTag(QByteArrayView block);

// The name of genre number 0..144, empty otherwise.
QString genreName(int number);

} // namespace Id3v1
