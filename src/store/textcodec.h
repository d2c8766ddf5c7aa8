#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The byte encodings of files the program reads: its own files are UTF-8;
// files and tags from Windows-era writers are Windows-1252.
namespace TextCodec {

bool isValidUtf8(QByteArrayView bytes);

// Windows-1252 to Unicode. The five bytes 1252 leaves undefined map to
// U+FFFD unless a replacement is given.
QChar cp1252ToUnicode(uchar byte, QChar undefined = QChar(0xFFFD));
QString fromCp1252(QByteArrayView bytes);

// UTF-8 text as is when valid, otherwise the bytes read as Windows-1252.
QString decodeUtf8OrCp1252(QByteArrayView bytes);

} // namespace TextCodec
