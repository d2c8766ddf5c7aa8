#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The byte encodings of files the program reads: its own files are UTF-8;
// files and tags from Windows-era writers are Windows-1252.
namespace TextCodec {

bool isValidUtf8(QByteArrayView bytes);
// bytes when they are valid UTF-8; otherwise a copy in room with what is
// not UTF-8 replaced by U+FFFD (as QString::fromUtf8 decodes it), for
// writers whose output must be UTF-8 whatever a value holds.
QByteArrayView validUtf8(QByteArrayView bytes, QByteArray &room);

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

// Whether bytes that arrive in pieces are valid UTF-8 together: a
// sequence that the end of one piece cuts off is checked once the next
// piece completes it.
class Utf8Stream
{
public:
    void add(QByteArrayView piece);
    // Every piece so far valid UTF-8, and the last one not cut inside a
    // sequence.
    bool valid() const { return m_valid && m_cut.isEmpty(); }
    // The pieces so far hold bytes that are not UTF-8, whatever follows.
    bool broken() const { return !m_valid; }

private:
    QByteArray m_cut; // the start of a sequence the last piece cut off
    bool m_valid = true;
};

} // namespace TextCodec
