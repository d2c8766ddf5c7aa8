#include "base/textcodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace {

// Windows-1252 is a single-byte code, so Qt's decoder is asked once for
// all 256 bytes and decoding is a table look-up (cheap per field, and safe
// on any thread). Qt's decoder (ICU) turns the five undefined bytes into
// the C1 controls U+0081, U+008D, U+008F, U+0090 and U+009D; those are
// marked undefined here so that no control character reaches the
// catalogue or a line-based file written from it.
struct Cp1252Table
{
    std::array<char16_t, 256> map{};
    bool fromQt = false;

    Cp1252Table()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int b = 0; b < 256; ++b)
            all[b] = char(b);
        QStringDecoder decoder("windows-1252");
        const QString decoded = decoder.isValid() ? decoder.decode(all) : QString();
        fromQt = decoded.size() == 256 && !decoder.hasError();
        for (int b = 0; b < 256; ++b)
            map[size_t(b)] = fromQt ? decoded.at(b).unicode() : char16_t(b);
        for (int b = 0x80; b < 0xA0; ++b) {
            if (map[size_t(b)] < 0xA0)
                map[size_t(b)] = 0; // undefined
        }
    }
};

const Cp1252Table &cp1252()
{
    static const Cp1252Table table;
    return table;
}

} // namespace

namespace TextCodec {

bool isValidUtf8(QByteArrayView bytes)
{
    return bytes.isValidUtf8();
}

QByteArrayView validUtf8(QByteArrayView bytes, QByteArray &room)
{
    if (bytes.isValidUtf8())
        return bytes;
    room = QString::fromUtf8(bytes).toUtf8();
    return room;
}

QChar cp1252ToUnicode(uchar byte, QChar undefined)
{
    const char16_t mapped = cp1252().map[byte];
    return mapped || byte == 0 ? QChar(mapped) : undefined;
}

QString fromCp1252(QByteArrayView bytes)
{
    const auto &map = cp1252().map;
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : bytes) {
        const uchar byte = uchar(c);
        const char16_t mapped = map[byte];
        *out++ = mapped || byte == 0 ? QChar(mapped) : QChar(0xFFFD);
    }
    return text;
}

bool hasQtCp1252Decoder()
{
    return cp1252().fromQt;
}

QString decodeUtf8OrCp1252(QByteArrayView bytes)
{
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : fromCp1252(bytes);
}

namespace {

// The bytes of the sequence a UTF-8 lead byte starts (a wrong lead byte
// counts as four: the check of the whole sequence refuses it).
qsizetype sequenceLength(uchar lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

} // namespace

void Utf8Stream::add(QByteArrayView piece)
{
    if (!m_valid)
        return;
    if (!m_cut.isEmpty()) {
        const qsizetype missing = sequenceLength(uchar(m_cut.front())) - m_cut.size();
        const qsizetype taken = std::min(missing, piece.size());
        m_cut.append(piece.first(taken));
        piece = piece.sliced(taken);
        if (taken < missing)
            return;
        m_valid = QByteArrayView(m_cut).isValidUtf8();
        m_cut.clear();
        if (!m_valid)
            return;
    }
    // A sequence begun in the last three bytes and not finished there is
    // kept for the next piece.
    qsizetype cut = 0;
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, piece.size()); ++back) {
        const uchar c = uchar(piece[piece.size() - back]);
        if ((c & 0xC0) != 0x80) {
            if (c >= 0xC0 && sequenceLength(c) > back)
                cut = back;
            break;
        }
    }
    m_valid = piece.chopped(cut).isValidUtf8();
    m_cut = piece.last(cut).toByteArray();
}

} // namespace TextCodec
