#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The byte encodings of files the program reads: its own files are UTF-8;
// files and tags from Windows-era writers are Windows-1252.
namespace TextCodec {

bool isValidUtf8(QByteArrayView bytes);

// Windows-1252 to Unicode. The five bytes 1252 leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) map to U+FFFD unless a replacement is given:
// never to a control character.
QChar cp1252ToUnicode(uchar byte, QChar undefined = QChar(0xFFFD));
QString fromCp1252(QByteArrayView bytes);

// Whether Qt offers a Windows-1252 decoder here (it does when built with
// ICU, as Debian's is). Without it, bytes 0x80..0x9F decode as undefined.
bool hasQtCp1252Decoder();

// UTF-8 text as is when valid, otherwise the bytes read as Windows-1252.
QString decodeUtf8OrCp1252(QByteArrayView bytes);

} // namespace TextCodec
