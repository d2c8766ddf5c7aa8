#include "media/id3v1.h"
#include "media/id3v2collect.h"
#include "media/id3v2taglib.h"
#include "media/mediafile.h"
#include "media/mediascan.h"
#include "base/codepage.h"
#include "testenv.h"
#include "id3bytes.h"
#include "mediareads.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray bigEndian(int value, int length)
{
    return bigEndianBytes(quint32(value), length);
}

QByteArray textFrame(int version, const QByteArray &id, char encoding, const QByteArray &text)
{
    return id3v2TextFrame(version, id, encoding, text);
}

QByteArray utf16WithBom(const QString &text)
{
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : text) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
    return out;
}

const QByteArray Audio = (QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\x11')).repeated(4); // four frames

// A 2.4 tag of 107 bytes ending in a footer; the genre is its last frame.
const QByteArray FooterTag = QByteArray::fromHex(
    "49443304001000000057544954320000000c0000035769746820466f6f746572545045310000000c000003466f6f7465722042616e64"
    "54414c42000000020000034654445243000000050000033230313254434f4e00000006000003283134342933444904001000000057");
const QStringList FooterFields{"With Footer", "Footer Band", "F", "2012", "Trash Metal"};

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

} // namespace

class Id3Test : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parseTag_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QStringList>("expected"); // title, artist, album, year, genre

        QTest::newRow("plain") << id3v1Tag("Title", "Artist", "Album", "1999", 17)
                               << QStringList{"Title", "Artist", "Album", "1999", "Rock"};
        QTest::newRow("full width fields")
            << id3v1Tag(QByteArray(30, 'T'), QByteArray(30, 'A'), QByteArray(30, 'B'), "2001", 0)
            << QStringList{QString(30, u'T'), QString(30, u'A'), QString(30, u'B'), "2001", "Blues"};
        QTest::newRow("NUL and control bytes inside")
            << id3v1Tag(QByteArray("Two\0Words", 9), "Tab\tHere\x7F", "  Spaced  Out ", "19\x01" "9", 144)
            << QStringList{"Two Words", "Tab Here", "Spaced  Out", "19 9", "Trash Metal"};
        QTest::newRow("windows-1252 letters")
            << id3v1Tag("Caf\xE9 Noir", "Bj\xF6rk \x80", "\x93Quoted\x94", "2003", 40)
            << QStringList{QStringLiteral("Café Noir"), QStringLiteral("Björk €"), QStringLiteral("“Quoted”"),
                           "2003", "Alternative Rock"};
        QTest::newRow("undefined 1252 bytes become blanks")
            << id3v1Tag("A\x81" "B\x8D" "C\x8F" "D\x90" "E\x9D", "\x81" "Edge\x9D", "", "", 64)
            << QStringList{"A B C D E", "Edge", "", "", "Native US"};
        QTest::newRow("trim spaces only")
            << id3v1Tag("\xA0Hard\xA0", "", "", "", 67)
            << QStringList{QStringLiteral("\u00A0Hard\u00A0"), "", "", "", "Psychadelic"};
        QTest::newRow("blank years, genre 145")
            << id3v1Tag("", "", "", "    ", 145) << QStringList{"", "", "", "", ""};
        QTest::newRow("NUL year, genre 255")
            << id3v1Tag("", "", "", QByteArray(4, '\0'), 255) << QStringList{"", "", "", "", ""};
        QTest::newRow("comment ignored, track number aside")
            << id3v1Tag("T", "", "", "", 123, "a comment", 7) << QStringList{"T", "", "", "", "Acapella"};
        QTest::newRow("longer view: its last 128 bytes")
            << QByteArray("TAG and more") + id3v1Tag("Last", "", "", "", 118)
            << QStringList{"Last", "", "", "", "Rhytmic Soul"};
    }

    void parseTag()
    {
        QFETCH(QByteArray, block);
        QFETCH(QStringList, expected);
        QVERIFY(Id3v1::isTag(block));
        const TrackTags f = Id3v1::parseTagUtf8(block).toTags();
        QCOMPARE((QStringList{f.track, f.artist, f.album, f.year, f.genre}), expected);
    }

    // A title written in each code page reads back as the text written;
    // "auto" reads UTF-8, and Windows-1252 where the bytes are not UTF-8.
    void parseTagInCodePage_data()
    {
        QTest::addColumn<QString>("codepage");
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QString>("expected");
        QTest::newRow("windows-1250") << QStringLiteral("windows-1250") << QByteArray::fromHex("8e6c759d6f75e86bfd206bf9f2") << QStringLiteral("Žluťoučký kůň");
        QTest::newRow("windows-1251") << QStringLiteral("windows-1251") << QByteArray::fromHex("c3f0f3efefe020eaf0eee2e8") << QStringLiteral("Группа крови");
        QTest::newRow("windows-1252") << QStringLiteral("windows-1252") << QByteArray::fromHex("436166e920934e6f6972942080") << QStringLiteral("Café “Noir” €");
        QTest::newRow("windows-1253") << QStringLiteral("windows-1253") << QByteArray::fromHex("cae1ebe7ecddf1e1") << QStringLiteral("Καλημέρα");
        QTest::newRow("iso-8859-2") << QStringLiteral("iso-8859-2") << QByteArray::fromHex("a3f364bc204b72616bf377") << QStringLiteral("Łódź Kraków");
        QTest::newRow("koi8-r") << QStringLiteral("koi8-r") << QByteArray::fromHex("f0d2c9d7c5d420cdc9d2") << QStringLiteral("Привет мир");
        QTest::newRow("shift_jis") << QStringLiteral("shift_jis") << QByteArray::fromHex("93fa967b8cea82cc835e83438367838b") << QStringLiteral("日本語のタイトル");
        QTest::newRow("gbk") << QStringLiteral("gbk") << QByteArray::fromHex("d6d0cec4b1eacce2") << QStringLiteral("中文标题");
        QTest::newRow("big5") << QStringLiteral("big5") << QByteArray::fromHex("c163c5e9a4a4a4e5") << QStringLiteral("繁體中文");
        QTest::newRow("euc-kr") << QStringLiteral("euc-kr") << QByteArray::fromHex("c7d1b1b9beee20b3ebb7a1") << QStringLiteral("한국어 노래");
        QTest::newRow("auto, UTF-8") << QStringLiteral("auto") << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC") << QStringLiteral("Café €");
        QTest::newRow("auto, UTF-8 cut at the end") << QStringLiteral("auto")
            << QByteArray("\xD0\x96").repeated(14) + "a\xD0" << QString(14, QChar(0x416)) + u'a';
        QTest::newRow("auto, full field ending in a 1252 letter") << QStringLiteral("auto")
            << QByteArray(29, 'A') + '\xE9' << QString(29, u'A') + QChar(0xE9);
        QTest::newRow("auto, not UTF-8") << QStringLiteral("auto") << QByteArray("Caf\xE9 \x80") << QStringLiteral("Café €");
        QTest::newRow("cut double-byte letter, undefined byte") << QStringLiteral("shift_jis")
            << QByteArray::fromHex("8aBF8e9a20a0") + QByteArray(23, ' ') + '\x93' << QStringLiteral("漢字");
        QTest::newRow("controls blank") << QStringLiteral("koi8-r") << QByteArray("\x01\xF0\tA\x7F") << QStringLiteral("П A");
    }

    void parseTagInCodePage()
    {
        QFETCH(QString, codepage);
        QFETCH(QByteArray, title);
        QFETCH(QString, expected);
        CodePageDecoder decoder(codepage);
        QVERIFY(decoder.isValid());
        const QByteArray block = id3v1Tag(title, "Art\xE9", "", "1999", 17);
        const TrackTags tags = Id3v1::parseTagUtf8(block, &decoder).toTags();
        QCOMPARE(tags.track, expected);
        QCOMPARE(tags.year, QStringLiteral("1999"));
    }

    void unknownCodePage()
    {
        for (const QString &name : {QStringLiteral("utf-16"), QStringLiteral("Windows-1250"), QString()}) {
            QVERIFY(!CodePage::isKnown(name));
            QVERIFY(!CodePageDecoder(name).isValid());
        }
        QVERIFY(CodePage::refusal(QStringLiteral("x")).contains(QStringLiteral("windows-1250, windows-1251")));
    }

    void presence_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("has");
        const QByteArray block = id3v1Tag("Title", "Artist", "", "", 0);
        QTest::newRow("exactly 128 bytes") << block << 1;
        QTest::newRow("at the end of audio") << Audio + block << 1;
        QTest::newRow("127 bytes") << block.left(127) << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("lower case") << "tag" + block.mid(3) << 0;
        QTest::newRow("not in the last 128") << block + "x" << 0;
    }

    void presence()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, has);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("f.mp3"), content);
        QVERIFY(!path.isEmpty());
        QCOMPARE(readTrackInfo(path).tags.artist, has ? QStringLiteral("Artist") : QString());
    }

    void missingFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gone.mp3"));
        const TrackInfo info = readTrackInfo(path);
        QCOMPARE(info.status, SafeFileRead::Status::Missing);
        QVERIFY(info.tags.artist.isEmpty() && info.audioheader.isEmpty());
    }

    void genreNames()
    {
        QCOMPARE(Id3v1::genreName(0), QStringLiteral("Blues"));
        QCOMPARE(Id3v1::genreName(78), QStringLiteral("Rock & Roll"));
        QCOMPARE(Id3v1::genreName(133), QStringLiteral("Negerpunk"));
        QCOMPARE(Id3v1::genreName(144), QStringLiteral("Trash Metal"));
        QCOMPARE(Id3v1::genreName(145), QString());
        QCOMPARE(Id3v1::genreName(-1), QString());
        QCOMPARE(Id3v1::genreName(255), QString());
    }

    void id3v2Fallback_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected"); // title, artist, album, year, genre

        const QByteArray v23 = textFrame(3, "TIT2", 1, utf16WithBom(QStringLiteral("Čaj für zwei")))
                               + textFrame(3, "TPE1", 1, utf16WithBom(QStringLiteral("Žofie")))
                               + textFrame(3, "TALB", 0, "Caf\xE9")
                               + textFrame(3, "TYER", 0, "1998")
                               + textFrame(3, "TCON", 0, "(17)");
        QTest::newRow("2.3 utf-16 with BOM") << id3v2Tag(3, v23) + Audio
                                             << QStringList{"Čaj für zwei", "Žofie", "Café", "1998", "Rock"};

        const QByteArray v24 = textFrame(4, "TIT2", 3, QStringLiteral("Ünïcödé title").toUtf8())
                               + textFrame(4, "TPE1", 3, QStringLiteral("Ørjan").toUtf8())
                               + textFrame(4, "TALB", 2, QByteArray("\x00" "A\x00" "B", 4))
                               + textFrame(4, "TDRC", 3, "2004-05-06T10:20")
                               + textFrame(4, "TCON", 3, "Chillout");
        QTest::newRow("2.4 utf-8") << id3v2Tag(4, v24) + Audio
                                   << QStringList{"Ünïcödé title", "Ørjan", "AB", "2004", "Chillout"};

        const QByteArray v22 = textFrame(2, "TT2", 0, "Old") + textFrame(2, "TP1", 0, "Writer")
                               + textFrame(2, "TAL", 0, "Disc") + textFrame(2, "TYE", 0, "1997")
                               + textFrame(2, "TCO", 0, "(144)");
        QTest::newRow("2.2") << id3v2Tag(2, v22) + Audio << QStringList{"Old", "Writer", "Disc", "1997", "Trash Metal"};

        QTest::newRow("numeric genres")
            << id3v2Tag(4, textFrame(4, "TCON", 3, "64") + textFrame(4, "TIT2", 3, "x")) + Audio
            << QStringList{"x", "", "", "", "Native US"};
        QTest::newRow("numbered genre with refinement")
            << id3v2Tag(3, textFrame(3, "TCON", 0, "(67)Psychedelic")) + Audio
            << QStringList{"", "", "", "", "Psychedelic"};
        // Text is kept as the tag spells it; numbers take the table's names.
        QTest::newRow("genres written as text")
            << id3v2Tag(4, textFrame(4, "TCON", 3, QByteArray("Thrash Metal\0Psychedelic\0(144)", 31))) + Audio
            << QStringList{"", "", "", "", "Thrash Metal / Psychedelic / Trash Metal"};
        QTest::newRow("numbered genre with other text")
            << id3v2Tag(3, textFrame(3, "TCON", 0, "(17)Hard Rock")) + Audio
            << QStringList{"", "", "", "", "Rock / Hard Rock"};
        QTest::newRow("a blank value between others is left out")
            << id3v2Tag(4, textFrame(4, "TPE1", 3, QByteArray("A\0 \0B", 5))) + Audio
            << QStringList{"", "A / B", "", "", ""};
        QTest::newRow("a genre named twice is listed once")
            << id3v2Tag(4, textFrame(4, "TCON", 3, QByteArray("Rock\0(17)\0Pop\0Rock", 18))) + Audio
            << QStringList{"", "", "", "", "Rock / Pop"};

        QTest::newRow("line breaks and controls become blanks")
            << id3v2Tag(4, textFrame(4, "TIT2", 3, "Line one\r\nline two\ttab\x01")
                               + textFrame(4, "TPE1", 3, QStringLiteral("A\u2028B").toUtf8()))
                   + Audio
            << QStringList{"Line one  line two tab", "A B", "", "", ""};

        // A picture before the text frames: the tag is larger than the first read.
        const QByteArray picture = QByteArray("APIC") + bigEndian(80000, 4) + QByteArray(2, '\0')
                                   + QByteArray("\0image/jpeg\0\x03\0", 14) + QByteArray(80000 - 14, '\xFF');
        QTest::newRow("large tag") << id3v2Tag(3, picture + textFrame(3, "TIT2", 0, "After picture")) + Audio
                                   << QStringList{"After picture", "", "", "", ""};

        QTest::newRow("both tags: ID3v1, its empty fields from ID3v2")
            << id3v2Tag(3, textFrame(3, "TIT2", 0, "From v2") + textFrame(3, "TPE1", 0, "V2 artist")) + Audio
                   + id3v1Tag("From v1", "", "Album 1", "", 255)
            << QStringList{"From v1", "V2 artist", "Album 1", "", ""};
        for (const auto &[name, blank] : {std::pair{"NUL", QByteArray(30, '\0')}, std::pair{"blanks", QByteArray(30, ' ')}})
            QTest::addRow("blank ID3v1 (%s) leaves ID3v2", name)
                << id3v2Tag(3, textFrame(3, "TIT2", 0, "From v2") + textFrame(3, "TCON", 0, "Thrash Metal")) + Audio
                       + id3v1Tag(blank, blank, blank, blank.left(4), 255)
                << QStringList{"From v2", "", "", "", "Thrash Metal"};
        QTest::newRow("zeroed ID3v1 (genre byte 0) leaves ID3v2")
            << id3v2Tag(3, textFrame(3, "TIT2", 0, "From v2") + textFrame(3, "TCON", 0, "Rock")) + Audio + "TAG"
                   + QByteArray(125, '\0')
            << QStringList{"From v2", "", "", "", "Rock"};

        // Header flags the version does not define (a footer, say, which
        // only 2.4 has) change nothing: the frames are read by their sizes,
        // the last one too.
        for (const int version : {2, 3}) {
            const char *title = version == 2 ? "TT2" : "TIT2";
            QByteArray flagged = id3v2Tag(version, textFrame(version, title, 0, "Tight") , 0);
            flagged[5] = char(0x30);
            QTest::addRow("2.%d with undefined header flags", version) << flagged + Audio
                                                                     << QStringList{"Tight", "", "", "", ""};
        }
        // A 2.4 footer follows the size the header gives: the last frame
        // before it counts, and the audio starts after it.
        const QByteArray footerAudio = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\0');
        QTest::newRow("2.4 footer after the genre") << FooterTag + footerAudio << FooterFields;
        const QByteArray footed =
            id3v2Tag(4, textFrame(4, "TIT2", 3, "With Footer") + textFrame(4, "TCON", 3, "(17)"), 0);
        QTest::newRow("2.4 footer after a numbered genre")
            << footed.left(5) + '\x10' + footed.mid(6) + "3DI" + footed.mid(3, 2) + '\x10' + footed.mid(6, 4)
                   + footerAudio
            << QStringList{"With Footer", "", "", "", "Rock"};
        // Recording dates are not a year, nor is the 2.4 id TRDC some
        // writers use: with no year frame, the year stays empty.
        QTest::newRow("2.2 recording dates only")
            << id3v2Tag(2, textFrame(2, "TT2", 0, "Dated") + textFrame(2, "TRD", 0, "3rd June 1999")) + Audio
            << QStringList{"Dated", "", "", "", ""};
        QTest::newRow("2.4 TRDC only")
            << id3v2Tag(4, textFrame(4, "TIT2", 3, "Dated") + textFrame(4, "TRDC", 3, "1999")) + Audio
            << QStringList{"Dated", "", "", "", ""};
        QTest::newRow("garbage tag body")
            << id3v2Tag(3, QByteArray(3000, '\xFF'), 0) + Audio << QStringList{"", "", "", "", ""};
    }

    void id3v2Fallback()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("v2.mp3"), content);
        QVERIFY(!path.isEmpty());
        const TrackInfo info = readTrackInfo(path);
        QCOMPARE((QStringList{info.tags.track, info.tags.artist, info.tags.album, info.tags.year, info.tags.genre}),
                 expected);
        QCOMPARE(info.audioheader, QStringLiteral("11111111 11111011 10010000 01100100 "));
    }

    // Tag layouts TagLib alone misreads, read as the other readers of the
    // field do (each case as a writer of the field lays it out).
    void tagLayouts_data()
    {
        QTest::addColumn<QByteArray>("content");
        // title, artist, album, year, genre, then the track and disc numbers ("0" when left out)
        QTest::addColumn<QStringList>("expected");
        const auto tag = [](int version, char flags, const QByteArray &body) {
            return "ID3" + QByteArray(1, char(version)) + '\0' + flags + synchsafe(quint32(body.size())) + body;
        };
        const auto unsynchronised = [](const QByteArray &bytes) {
            QByteArray out;
            for (qsizetype i = 0; i < bytes.size(); ++i) {
                out += bytes[i];
                if (uchar(bytes[i]) == 0xFF && (i + 1 == bytes.size() || bytes[i + 1] == 0 || uchar(bytes[i + 1]) >= 0xE0))
                    out += '\0';
            }
            return out;
        };
        const QByteArray three = textFrame(3, "TIT2", 0, "Title") + textFrame(3, "TPE1", 0, "Artist")
                                 + textFrame(3, "TALB", 0, "Album");
        const QByteArray four = textFrame(4, "TIT2", 3, "Title") + textFrame(4, "TPE1", 3, "Artist")
                                + textFrame(4, "TCON", 3, "Jazz");
        QTest::newRow("2.3 extended header")
            << tag(3, 0x40, QByteArray::fromHex("00000006000000000000") + three) + Audio
            << QStringList{"Title", "Artist", "Album", "", ""};
        QTest::newRow("2.4 extended header, last frame kept")
            << tag(4, 0x40, QByteArray::fromHex("000000060100") + four) + Audio
            << QStringList{"Title", "Artist", "", "", "Jazz"};
        const QByteArray long301 = "\x03" + QByteArray(300, 'L');
        QTest::newRow("2.4 plain sizes")
            << tag(4, 0, "TIT2" + bigEndian(301, 4) + QByteArray(2, '\0') + long301 + "TPE1" + bigEndian(7, 4)
                             + QByteArray(2, '\0') + "\x03" "Artist")
                   + Audio
            << QStringList{QString(300, u'L'), "Artist", "", "", ""};
        QTest::newRow("UTF-16 without byte order mark")
            << tag(3, 0, textFrame(3, "TIT2", 1, QByteArray::fromHex("42006A00F60072006B00"))) + Audio
            << QStringList{QStringLiteral("Björk"), "", "", "", ""};
        // A cover picture of 1.2 MB ahead of the text, full of 0xFF bytes.
        const QByteArray picture = id3v2Frame(3, "APIC", QByteArray("\0image/jpeg\0\x03\0", 14)
                                                           + QByteArray(1200000, '\xFF'));
        QTest::newRow("2.3 unsynchronised, over 1 MiB")
            << tag(3, char(0x80), unsynchronised(picture + textFrame(3, "TIT2", 0, "After \xFF picture"))) + Audio
            << QStringList{QStringLiteral("After ÿ picture"), "", "", "", ""};
        // Past the 64 MiB undone in memory, the frames before the cut count.
        QTest::newRow("2.3 unsynchronised, over 64 MiB")
            << tag(3, char(0x80), unsynchronised(three + id3v2Frame(3, "APIC", QByteArray(65 << 20, '\xFF')))) + Audio
            << QStringList{"Title", "Artist", "Album", "", ""};
        QTest::newRow("2.3 extended header, over 1 MiB")
            << tag(3, 0x40, QByteArray::fromHex("00000006000000000000") + picture + three) + Audio
            << QStringList{"Title", "Artist", "Album", "", ""};
        // In 2.4 each frame is unsynchronised on its own, its size counting
        // the bytes as written; a data length indicator may come first.
        const QByteArray data = unsynchronised(QByteArray("\0A\xFF", 3));
        QTest::newRow("2.4 unsynchronised frames")
            << tag(4, char(0x80), "TPE1" + synchsafe(quint32(data.size() + 4)) + QByteArray("\0\x03", 2)
                                      + synchsafe(3) + data + textFrame(4, "TIT2", 3, "Title"))
                   + Audio
            << QStringList{"Title", QStringLiteral("A\u00FF"), "", "", ""};

        // Track numbers: ID3v1.1's byte when not zero, else TRCK; the disc from TPOS.
        const auto numbers = [&](const QByteArray &track, const QByteArray &disc) {
            return tag(3, 0, textFrame(3, "TIT2", 0, "V2") + textFrame(3, "TRCK", 0, track) + textFrame(3, "TPOS", 0, disc));
        };
        QTest::newRow("v1.1 track over TRCK")
            << numbers("9", "1/2") + Audio + id3v1Tag("V1", "", "", "", 0, "c", 5)
            << QStringList{"V1", "", "", "", "Blues", "5", "1"};
        QTest::newRow("v1.0 full comment: TRCK")
            << numbers("3/12", "") + Audio + id3v1Tag("V1", "", "", "", 0, QByteArray(29, 'c'), 'c')
            << QStringList{"V1", "", "", "", "Blues", "3", "0"};
        QTest::newRow("v1.1 track of a v1 tag only")
            << Audio + id3v1Tag("V1", "", "", "", 0, "", 200) << QStringList{"V1", "", "", "", "Blues", "200", "0"};
        QTest::newRow("03, 2/2") << numbers("03", "2/2") + Audio << QStringList{"V2", "", "", "", "", "3", "2"};
        QTest::newRow("empty, junk") << numbers("", "one") + Audio << QStringList{"V2", "", "", "", "", "0", "0"};
        QTest::newRow("junk after the number") << numbers("3a", " 4 /5") + Audio
                                               << QStringList{"V2", "", "", "", "", "0", "4"};
        QTest::newRow("2.2 TRK, TPA") << tag(2, 0, textFrame(2, "TT2", 0, "V2") + textFrame(2, "TRK", 0, "7/9")
                                                     + textFrame(2, "TPA", 0, "1"))
                                                 + Audio
                                          << QStringList{"V2", "", "", "", "", "7", "1"};
        QTest::newRow("numbers only (TagLib)")
            << tag(4, 0, textFrame(4, "TRCK", 3, "11/12") + textFrame(4, "TPOS", 3, "2")) + Audio
            << QStringList{"", "", "", "", "", "11", "2"};
    }

    void tagLayouts()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const TrackInfo info = readTrackInfo(writeFile(dir, QStringLiteral("layout.mp3"), content));
        while (expected.size() < 7)
            expected.append(QStringLiteral("0"));
        QCOMPARE((QStringList{info.tags.track, info.tags.artist, info.tags.album, info.tags.year, info.tags.genre,
                              QString::number(info.tags.numbers.track), QString::number(info.tags.numbers.disc)}),
                 expected);
    }

    // TagLib on its own, over whole tags whose header has the footer flag.
    void tagLibFooterFlag_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<QStringList>("expected"); // title, artist, album, year, genre
        QTest::newRow("2.4 with its footer") << FooterTag << FooterFields;
        QByteArray flagged = id3v2Tag(3, textFrame(3, "TIT2", 0, "Flagged") + textFrame(3, "TCON", 0, "(17)"), 0);
        flagged[5] = char(0x10);
        QTest::newRow("2.3 with the flag") << flagged << QStringList{"Flagged", "", "", "", "Rock"};
    }

    void tagLibFooterFlag()
    {
        QFETCH(QByteArray, tag);
        QFETCH(QStringList, expected);
        const TrackTags tags = Id3v2::readTextTagWithTagLib(tag);
        QCOMPARE((QStringList{tags.track, tags.artist, tags.album, tags.year, tags.genre}), expected);
    }

    // Tags of about a million tiny frames: the frames looked at stop once
    // the five fields are found, and are bounded in number.
    void manyTinyFrames_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<QStringList>("expected"); // title, artist, album, year, genre
        QByteArray tiny;
        const QByteArray one = id3v2Frame(3, "PRIV", "x");
        for (int i = 0; i < 1000000; ++i)
            tiny += one;
        const QByteArray five = textFrame(3, "TIT2", 0, "T") + textFrame(3, "TPE1", 0, "A")
                                + textFrame(3, "TALB", 0, "B") + textFrame(3, "TYER", 0, "2001")
                                + textFrame(3, "TCON", 0, "(17)");
        QTest::newRow("fields first") << id3v2Tag(3, five + tiny + textFrame(3, "TCOM", 0, "late"))
                                      << QStringList{"T", "A", "B", "2001", "Rock"};
        QTest::newRow("a field after them")
            << id3v2Tag(3, textFrame(3, "TIT2", 0, "T") + tiny + textFrame(3, "TPE1", 0, "Too late"))
            << QStringList{"T", "", "", "", ""};
    }

    void manyTinyFrames()
    {
        QFETCH(QByteArray, tag);
        QFETCH(QStringList, expected);
        const TrackTags tags = readId3v2Tag(tag);
        QCOMPARE((QStringList{tags.track, tags.artist, tags.album, tags.year, tags.genre}), expected);
        // Only the text frames go on to TagLib.
        QVERIFY(Id3v2::collectTextFrames(MemorySource(tag), {}).size() < 200);
    }

    // Every number of the ID3v1 table, written as "(n)" in an ID3v2 tag.
    void id3v2NumberedGenres_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("number");
        for (int version : {2, 3, 4})
            for (int number = 0; number <= 144; ++number)
                QTest::addRow("2.%d (%d)", version, number) << version << number;
    }

    void id3v2NumberedGenres()
    {
        QFETCH(int, version);
        QFETCH(int, number);
        const QByteArray id = version == 2 ? "TCO" : "TCON";
        const QByteArray tag = id3v2Tag(version, textFrame(version, id, 0, "(" + QByteArray::number(number) + ")"));
        QCOMPARE(readId3v2Tag(tag).genre, Id3v1::genreName(number));
    }
};

ONDRO_TEST_MAIN(Id3Test)
#include "test_id3.moc"
