#include "media/frameheader.h"
#include "media/mediascan.h"
#include "testenv.h"
#include "id3bytes.h"
#include "mediareads.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

const QString WorkedExampleBits = QStringLiteral("11111111 11111011 10010000 01100100 ");

// An ID3v2.4 tag whose body is the given bytes; with a footer when asked.
QByteArray id3v2Tag(const QByteArray &body, bool footer = false)
{
    const char flags = footer ? char(0x10) : char(0);
    QByteArray header = QByteArray("ID3\x04\x00", 5) + flags + synchsafe(int(body.size()));
    QByteArray tag = header + body;
    if (footer)
        tag += QByteArray("3DI\x04\x00", 5) + flags + synchsafe(int(body.size()));
    return tag;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out += char(v);
    return out;
}

} // namespace

class FrameHeaderTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void headerOfFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");

        const QByteArray frame = bytes({0xFF, 0xFB, 0x90, 0x64}) + QByteArray(400, '\x55');
        // Bytes inside a tag that look like a frame header, and a lone 0xFF.
        const QByteArray tagBody = bytes({0x00, 0xFF, 0xFB, 0x90, 0x64, 0xFF, 0x00}) + QByteArray(200, '\0');
        QTest::newRow("first bytes") << frame << WorkedExampleBits;
        QTest::newRow("after id3v2 tag") << id3v2Tag(tagBody) + frame << WorkedExampleBits;
        QTest::newRow("after id3v2 tag with footer") << id3v2Tag(tagBody, true) + frame << WorkedExampleBits;
        QTest::newRow("after two tags") << id3v2Tag(tagBody) + id3v2Tag(tagBody) + frame << WorkedExampleBits;
        QTest::newRow("junk and invalid candidates first")
            << QByteArray("RIFF junk") + bytes({0xFF, 0x00, 0x00, 0x00})  // no sync bits
                   + bytes({0xFF, 0xEB, 0x90, 0x64})                      // reserved version 01
                   + bytes({0xFF, 0xF9, 0x90, 0x64})                      // reserved layer 00
                   + bytes({0xFF, 0xFB, 0xF0, 0x64})                      // bitrate 1111
                   + bytes({0xFF, 0xFB, 0x9C, 0x64})                      // sample rate 11
                   + bytes({0xFF, 0xE3, 0x48, 0xC4, 0x00})                // MPEG 2.5 layer 3
            << QStringLiteral("11111111 11100011 01001000 11000100 ");
        // A sync in junk whose next frame is not where its length says
        // (626 bytes on) is not the first frame; the next frame may lie
        // past the scan's first read of 8 KiB.
        const QByteArray falseSync = bytes({0xFF, 0xFB, 0xB0, 0x64}) + QByteArray(600, 'j');
        const QByteArray whole = bytes({0xFF, 0xFB, 0x90, 0x64}) + QByteArray(413, '\x55'); // 417 bytes
        QTest::newRow("false sync before the frames") << QByteArray(100, 'j') + falseSync + whole + whole << WorkedExampleBits;
        QTest::newRow("false sync at the first read's end")
            << QByteArray(8000, 'j') + falseSync + bytes({0xFF, 0xF3, 0x80, 0xC0}) + QByteArray(204, 'a')
            << QStringLiteral("11111111 11110011 10000000 11000000 ");
        QTest::newRow("frame at the first read's end") << QByteArray(8000, 'j') + whole + whole << WorkedExampleBits;
        QTest::newRow("header straddles the first read")
            << QByteArray(8190, 'j') + frame << WorkedExampleBits;
        QTest::newRow("far after the tag")
            << id3v2Tag(QByteArray(100000, '\xFF')) + QByteArray(1000000, '\0') + frame << WorkedExampleBits;
        QTest::newRow("beyond the search bound")
            << id3v2Tag(QByteArray(100, '\0')) + QByteArray(FrameHeader::SearchBound, '\0') + frame
            << FrameHeader::NotAvailable;
        QTest::newRow("truncated header") << QByteArray("abc") + bytes({0xFF, 0xFB, 0x90}) << FrameHeader::NotAvailable;
        QTest::newRow("truncated after tag") << id3v2Tag(tagBody) + bytes({0xFF, 0xFB}) << FrameHeader::NotAvailable;
        QTest::newRow("tag larger than file") << id3v2Tag(QByteArray(500, '\0')).left(300) << FrameHeader::NotAvailable;
        QTest::newRow("empty") << QByteArray() << FrameHeader::NotAvailable;
        QTest::newRow("no 0xFF byte") << QByteArray(5000, '\x7F') << FrameHeader::NotAvailable;
        QTest::newRow("only 0xFF bytes") << QByteArray(64, '\xFF') << FrameHeader::NotAvailable;
    }

    // The file reader, the pure form and the scan's reader agree.
    void headerOfFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.mp3"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
        file.close();

        QCOMPARE(headerBitsOf(content), expected);
        QCOMPARE(readTrackInfo(path).audioheader, expected == FrameHeader::NotAvailable ? QString() : expected);
    }

    void missingFile()
    {
        QTemporaryDir dir;
        QCOMPARE(readTrackInfo(dir.filePath(QStringLiteral("none.mp3"))).audioheader, QString());
        QCOMPARE(readTrackInfo(dir.path()).audioheader, QString());
    }

    // The bitrate of every row at a few indexes, and the values that give none.
    void bitrate_data()
    {
        QTest::addColumn<int>("version"); // the two bits: 3 MPEG 1, 2 MPEG 2, 1 reserved, 0 MPEG 2.5
        QTest::addColumn<int>("layer");   // the two bits: 3 layer 1 .. 1 layer 3, 0 reserved
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("kbps");
        const QList<std::array<int, 4>> table = {
            {3, 3, 1, 32}, {3, 3, 9, 288}, {3, 3, 14, 448},  // MPEG 1 layer 1
            {3, 2, 2, 48}, {3, 2, 9, 160}, {3, 2, 14, 384},  // layer 2
            {3, 1, 2, 40}, {3, 1, 9, 128}, {3, 1, 14, 320},  // layer 3
            {2, 3, 2, 48}, {2, 3, 9, 144}, {2, 3, 14, 256},  // MPEG 2 layer 1
            {2, 2, 1, 8},  {2, 1, 8, 64},  {2, 1, 14, 160},  // layers 2 and 3
            {0, 1, 9, 80}, {0, 3, 9, 144},                   // MPEG 2.5 uses MPEG 2's rows
            {3, 1, 0, 0},  {3, 1, 15, 0},                    // free format, invalid
            {1, 1, 9, 0},  {3, 0, 9, 0},                     // reserved version, layer
        };
        for (const auto &[version, layer, index, kbps] : table)
            QTest::addRow("v%d l%d i%d", version, layer, index) << version << layer << index << kbps;
    }
    void bitrate()
    {
        QFETCH(int, version);
        QFETCH(int, layer);
        QFETCH(int, index);
        QFETCH(int, kbps);
        const quint32 bits = 0xFFE00000u | quint32(version) << 19 | quint32(layer) << 17 | quint32(index) << 12;
        QCOMPARE(FrameHeader::fieldsOf(bits).kbps, kbps);
    }

    void sampleRates()
    {
        const int rates[4][4] = {{11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};
        for (quint32 v = 0; v < 4; ++v) {
            for (quint32 r = 0; r < 4; ++r)
                QCOMPARE(FrameHeader::fieldsOf(0xFFE20000u | v << 19 | r << 10).rate, rates[v][r]);
        }
    }

    // Every field from its own bits: FF FA 92 6F.
    void fields()
    {
        const std::optional<FrameHeader::Frame> f = FrameHeader::decodeFrame(bytes({0xFF, 0xFA, 0x92, 0x6F}));
        QVERIFY(f);
        QCOMPARE(f->version, FrameHeader::Version::Mpeg1);
        QCOMPARE(f->layer, 3);
        QVERIFY(f->crc);
        QCOMPARE(f->bitrateIndex, 9);
        QCOMPARE(f->kbps, 128);
        QCOMPARE(f->rate, 44100);
        QVERIFY(f->padded && !f->privateBit);
        QCOMPARE(f->channels, FrameHeader::ChannelMode::JointStereo);
        QCOMPARE(f->modeExtension, 2);
        QVERIFY(f->copyright && f->original);
        QCOMPARE(f->emphasis, FrameHeader::Emphasis::CcittJ17);
        QCOMPARE(f->bytes(), 418);
        QVERIFY(!FrameHeader::decodeFrame(bytes({0xFF, 0xEA, 0x92, 0x6F}))); // reserved version
    }

    void describe_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("line");
        QTest::newRow("worked example")
            << WorkedExampleBits
            << "MPEG Version 1 (ISO/IEC 11172-3)  : Layer 3 : 128 kbps : 44100khz : Joint stereo (Stereo)";
        QTest::newRow("mpeg 2 layer 2 mono")
            << "11111111 11110101 10000100 11000000 "
            << "MPEG Version 2 (ISO/IEC 13818-3) : Layer 2 : 64 kbps : 24000khz : Single channel (Mono)";
        QTest::newRow("mpeg 2.5 uses mpeg 2 rows")
            << "11111111 11100011 01001000 10000000 "
            << "MPEG Version 2.5 : Layer 3 : 32 kbps : 8000khz : Dual channel (Stereo)";
        QTest::newRow("mpeg 1 layer 1 stereo")
            << "  11111111 11111111 11010000 00000000"
            << "MPEG Version 1 (ISO/IEC 11172-3)  : Layer 1 : 416 kbps : 44100khz : Stereo";
        QTest::newRow("reserved version")
            << "11111111 11101011 10010000 01100100 " << "Layer 3 :  kbps : khz : Joint stereo (Stereo)";
        QTest::newRow("reserved layer, free")
            << "11111111 11111001 00001100 01100100 "
            << "MPEG Version 1 (ISO/IEC 11172-3)  : Free kbps : khz : Joint stereo (Stereo)";
        QTest::newRow("bad bitrate") << "11111111 11111011 11110000 00000000 "
                                     << "MPEG Version 1 (ISO/IEC 11172-3)  : Layer 3 : ? kbps : 44100khz : Stereo";
        QTest::newRow("bad bitrate, reserved version")
            << "11111111 11101011 11110000 01100100 " << "Layer 3 :  kbps : khz : Joint stereo (Stereo)";
        QTest::newRow("bitrate not bits")
            << "11111111 11111011 10a10000 01100100 "
            << "MPEG Version 1 (ISO/IEC 11172-3)  : Layer 3 :  kbps : 44100khz : Joint stereo (Stereo)";
        QTest::newRow("empty") << "" << " kbps : khz : ";
        QTest::newRow("not bits") << "n/a" << " kbps : khz : ";
        QTest::newRow("cut short") << "11111111 11111011 100" << "MPEG Version 1 (ISO/IEC 11172-3)  : Layer 3 :  kbps : khz : ";
    }

    void describe()
    {
        QFETCH(QString, field);
        QFETCH(QString, line);
        QCOMPARE(FrameHeader::describeFrameHeader(field), line);
    }
};

ONDRO_TEST_MAIN(FrameHeaderTest)
#include "test_frameheader.moc"
