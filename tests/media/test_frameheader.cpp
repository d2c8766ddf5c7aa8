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

    void bitrate_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("layer");
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("expected");
        // Index 1, 9 and 14 of every row.
        QTest::newRow("v1 L1") << "1" << "1" << "0001" << "32";
        QTest::newRow("v1 L1 9") << "1" << "1" << "1001" << "288";
        QTest::newRow("v1 L1 14") << "1" << "1" << "1110" << "448";
        QTest::newRow("v1 L2") << "1" << "2" << "0010" << "48";
        QTest::newRow("v1 L2 9") << "1" << "2" << "1001" << "160";
        QTest::newRow("v1 L2 14") << "1" << "2" << "1110" << "384";
        QTest::newRow("v1 L3") << "1" << "3" << "0010" << "40";
        QTest::newRow("v1 L3 9") << "1" << "3" << "1001" << "128";
        QTest::newRow("v1 L3 14") << "1" << "3" << "1110" << "320";
        QTest::newRow("v2 L1") << "2" << "1" << "0010" << "48";
        QTest::newRow("v2 L1 9") << "2" << "1" << "1001" << "144";
        QTest::newRow("v2 L1 14") << "2" << "1" << "1110" << "256";
        QTest::newRow("v2 L2") << "2" << "2" << "0001" << "8";
        QTest::newRow("v2 L3 8") << "2" << "3" << "1000" << "64";
        QTest::newRow("v2 L3 14") << "2" << "3" << "1110" << "160";
        QTest::newRow("free any") << "" << "" << "0000" << "Free";
        QTest::newRow("bad any") << "1" << "3" << "1111" << "?";
        QTest::newRow("bad v2") << "2" << "2" << "1111" << "?";
        QTest::newRow("bad no row") << "" << "3" << "1111" << "";
        QTest::newRow("no version") << "" << "3" << "1001" << "";
        QTest::newRow("no layer") << "1" << "" << "1001" << "";
        QTest::newRow("version 2.5 text") << "2.5" << "3" << "1001" << "";
        QTest::newRow("short index") << "1" << "3" << "100" << "";
        QTest::newRow("not bits") << "1" << "3" << "10a1" << "";
    }

    void bitrate()
    {
        QFETCH(QString, version);
        QFETCH(QString, layer);
        QFETCH(QString, index);
        QFETCH(QString, expected);
        QCOMPARE(FrameHeader::bitrateText(version, layer, index), expected);
    }

    void sampleRateAndChannelMode()
    {
        const QStringList bits = {QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("10"), QStringLiteral("11")};
        const QStringList versions = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("2.5")};
        const QStringList rates[] = {
            {QStringLiteral("44100"), QStringLiteral("48000"), QStringLiteral("32000"), QString()},
            {QStringLiteral("22050"), QStringLiteral("24000"), QStringLiteral("16000"), QString()},
            {QStringLiteral("11025"), QStringLiteral("12000"), QStringLiteral("8000"), QString()},
        };
        for (int v = 0; v < 3; ++v) {
            for (int r = 0; r < 4; ++r)
                QCOMPARE(FrameHeader::sampleRateText(versions[v], bits[r]), rates[v][r]);
        }
        QCOMPARE(FrameHeader::sampleRateText(QString(), QStringLiteral("00")), QString());
        QCOMPARE(FrameHeader::sampleRateText(QStringLiteral("1"), QStringLiteral("0")), QString());

        const QStringList modes = {QStringLiteral("Stereo"), QStringLiteral("Joint stereo (Stereo)"),
                                   QStringLiteral("Dual channel (Stereo)"), QStringLiteral("Single channel (Mono)")};
        for (int m = 0; m < 4; ++m)
            QCOMPARE(FrameHeader::channelModeText(bits[m]), modes[m]);
        QCOMPARE(FrameHeader::channelModeText(QStringLiteral("1")), QString());
        QCOMPARE(FrameHeader::channelModeText(QStringLiteral("x1")), QString());
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
