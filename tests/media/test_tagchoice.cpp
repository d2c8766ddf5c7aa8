#include "media/mediafile.h"
#include "media/rawtrack.h"
#include "base/codepage.h"
#include "id3bytes.h"
#include "testenv.h"
#include "testfiles.h"

#include <QTemporaryDir>

namespace {

const QByteArray Audio = (QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\x11')).repeated(2);

// A file with an ID3v2 tag of the given title, artist, year and genre
// (none when all are empty), audio, and the ID3v1 block v1 (may be empty).
QByteArray fileWith(const QByteArray &v1, const QByteArray &title, const QByteArray &artist = {},
                    const QByteArray &year = {}, const QByteArray &genre = {})
{
    QByteArray frames;
    for (const auto &[id, text] : {std::pair{"TIT2", title}, {"TPE1", artist}, {"TYER", year}, {"TCON", genre}})
        if (!text.isEmpty())
            frames += id3v2TextFrame(3, id, 3, text);
    return (frames.isEmpty() ? QByteArray() : id3v2Tag(3, frames)) + Audio + v1;
}

} // namespace

// Where a scan takes each field from when a file holds both tags.
class TagChoiceTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fields_data()
    {
        QTest::addColumn<QString>("tags");     // the medium's preference
        QTest::addColumn<QString>("codepage"); // of the ID3v1 text
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected"); // title, artist, album, year, genre
        const QString v1 = QStringLiteral("id3v1"), v2 = QStringLiteral("id3v2"), autoPage = CodePage::autoName();
        const QByteArray cut = "The Long And Winding Road Of M"; // 30 bytes
        const QStringList band{"Band", "Album", "1970", "Rock"};
        const auto tag = [](const QByteArray &title) { return id3v1Tag(title, "Band", "Album", "1970", 17); };

        QTest::newRow("cut title, ID3v2 goes on in another case")
            << v1 << autoPage << fileWith(tag(cut), "THE LONG AND WINDING ROAD OF MINE")
            << QStringList{"THE LONG AND WINDING ROAD OF MINE"} + band;
        QTest::newRow("cut just after a word")
            << v1 << autoPage << fileWith(tag("The Long And Winding Road Out "), "The Long And Winding Road Out Of Here")
            << QStringList{"The Long And Winding Road Out Of Here"} + band;
        QTest::newRow("cut title, ID3v2 says something else")
            << v1 << autoPage << fileWith(tag(cut), "Another Song") << QStringList{QString::fromLatin1(cut)} + band;
        QTest::newRow("short title, ID3v2 longer; empty year")
            << v1 << autoPage << fileWith(id3v1Tag("Love", "Band", "Album", "", 17), "Love Me Do", {}, "1963")
            << QStringList{"Love", "Band", "Album", "1963", "Rock"};
        QTest::newRow("cut UTF-8 letter, ID3v2 goes on")
            << v1 << autoPage << fileWith(tag(QByteArray("\xD0\x96").repeated(14) + "a\xD0"), "жжжжжжжжжжжжжжaж more")
            << QStringList{QStringLiteral("жжжжжжжжжжжжжжaж more")} + band;
        QTest::newRow("cut in the medium's code page, accents aside")
            << v1 << QStringLiteral("windows-1252")
            << fileWith(tag("Caf\xE9 Noir And The Long Night O"), "CAFE NOIR AND THE LONG NIGHT OUT")
            << QStringList{"CAFE NOIR AND THE LONG NIGHT OUT"} + band;
        QTest::newRow("empty ID3v1 fields, genre 255")
            << v1 << autoPage << fileWith(id3v1Tag("Title", "", "Album", "", 255), "Other", "Artist 2", "2001", "Jazz")
            << QStringList{"Title", "Artist 2", "Album", "2001", "Jazz"};
        QTest::newRow("id3v2 preferred: its fields, else ID3v1's")
            << v2 << autoPage << fileWith(tag("Love"), "Love Me Do", {}, "1963")
            << QStringList{"Love Me Do", "Band", "Album", "1963", "Rock"};
        QTest::newRow("id3v2 preferred, no ID3v2 tag")
            << v2 << autoPage << fileWith(tag(cut), {}) << QStringList{QString::fromLatin1(cut)} + band;
    }

    // A whole ID3v1 tag leaves the ID3v2 text unread, but for the numbers
    // it lacks: the disc's, and the track's when it has no track byte.
    void numbers_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("expected"); // title, track number, disc number
        const QByteArray v1 = id3v1Tag("Title", "Band", "Album", "1970", 17);
        const auto file = [](const QByteArray &v1Tag, const QByteArray &frames) {
            return id3v2Tag(3, id3v2TextFrame(3, "TIT2", 3, "Other") + frames) + Audio + v1Tag;
        };
        const QByteArray flagged = "TPOS" + bigEndianBytes(4, 4) + QByteArray("\x40\x00", 2) + QByteArray("\x03" "2/3", 4);
        QTest::newRow("no number frames") << file(v1, {}) << QStringList{"Title", "0", "0"};
        QTest::newRow("a disc number") << file(v1, id3v2TextFrame(3, "TPOS", 3, "2/3")) << QStringList{"Title", "0", "2"};
        QTest::newRow("a track number, no track byte")
            << file(v1, id3v2TextFrame(3, "TRCK", 3, "5/12")) << QStringList{"Title", "5", "0"};
        QTest::newRow("a disc number in a frame TagLib reads")
            << file(v1, flagged) << QStringList{"Title", "0", "2"};
    }

    void numbers()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.mp3"));
        QVERIFY(writeBytes(path, content));
        RawTrack raw = readRawTrack(MediaFile(path));
        parseRawTags(raw);
        QCOMPARE((QStringList{QString::fromUtf8(raw.tags.track), QString::number(raw.tags.numbers.track),
                              QString::number(raw.tags.numbers.disc)}),
                 expected);
    }

    void fields()
    {
        QFETCH(QString, tags);
        QFETCH(QString, codepage);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.mp3"));
        QVERIFY(writeBytes(path, content));
        CodePageDecoder decoder(codepage);
        RawTrack raw = readRawTrack(MediaFile(path), TagPreferences::fromName(tags));
        parseRawTags(raw, &decoder);
        const TrackTags f = raw.tags.toTags();
        QCOMPARE((QStringList{f.track, f.artist, f.album, f.year, f.genre}), expected);
    }
};

ONDRO_TEST_MAIN(TagChoiceTest)
#include "test_tagchoice.moc"
