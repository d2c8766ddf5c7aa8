#include "media/embeddedpicture.h"
#include "media/foldercover.h"
#include "media/id3v2.h"
#include "media/id3v2collect.h"
#include "media/mediafile.h"
#include "media/mediascan.h"
#include "catalogue/extensionline.h"
#include "id3bytes.h"
#include "testenv.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// The pictures a file or its folder holds for its cover: the front cover
// read from an ID3v2 tag's bytes, the folder's picture by its name, and
// where the scan notes either (art=).
namespace {

// Image bytes with 0xFF in them, which unsynchronisation changes.
const QByteArray Image("\xFF\xD8\xFF\xE0JFIF\xFF\x00\xFF\x01", 12);

// A 2.4 picture frame flagged unsynchronised with a data length indicator.
QByteArray unsyncFrame24(const QByteArray &plainFrame)
{
    const QByteArray data = plainFrame.mid(10);
    const QByteArray stored = synchsafe(quint32(data.size())) + unsynchronised(data);
    return "APIC" + synchsafe(quint32(stored.size())) + QByteArray("\0\x03", 2) + stored;
}

// A tag whose header says it is unsynchronised: as a whole in 2.2 and
// 2.3, every frame's data in 2.4 (body is unsynchronised already).
QByteArray unsyncTag(int version, const QByteArray &body)
{
    return "ID3" + QByteArray(1, char(version)) + QByteArray("\0\x80", 2) + synchsafe(quint32(body.size())) + body;
}

QByteArray frameUnsynced24(const QByteArray &plainFrame)
{
    const QByteArray data = unsynchronised(plainFrame.mid(10));
    return plainFrame.first(4) + synchsafe(quint32(data.size())) + QByteArray(2, '\0') + data;
}

QByteArray withFlags(QByteArray frame, char flags)
{
    frame[9] = flags;
    return frame;
}

// A source that notes how far it was read.
class WatchedSource final : public ByteSource
{
public:
    explicit WatchedSource(QByteArrayView bytes) : m_bytes(bytes) {}
    qint64 size() const override { return m_bytes.size(); }
    bool readAt(qint64 offset, qint64 count, QByteArray &out) const override
    {
        furthest = std::max(furthest, std::min(offset + count, size()));
        return m_bytes.readAt(offset, count, out);
    }
    mutable qint64 furthest = 0;

private:
    MemorySource m_bytes;
};

} // namespace

class CoversTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void frontCover_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<QByteArray>("image"); // empty: none found
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("mime");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("noted"); // the scan's walk notes a picture

        const auto tag = [](int version, const QByteArray &frames) { return id3v2Tag(version, frames); };
        const auto pic = [](int version, int type, const QByteArray &image = Image, char encoding = 0,
                            const QByteArray &description = "d") {
            return id3v2PictureFrame(version, type, image, encoding, description);
        };
        const QByteArray title3 = id3v2TextFrame(3, "TIT2", 0, "Song");
        const QString d = QStringLiteral("d");
        QTest::newRow("2.2 PIC, its format as a MIME type")
            << tag(2, id3v2TextFrame(2, "TT2", 0, "Song") + id3v2PictureFrame(2, 3, Image, 0, "cover", "PNG"))
            << Image << 3 << QByteArray("image/png") << QStringLiteral("cover") << true;
        QTest::newRow("2.3 unsynchronised as a whole")
            << unsyncTag(3, unsynchronised(title3 + pic(3, 3))) << Image << 3 << QByteArray("image/jpeg") << d << true;
        QTest::newRow("2.4 frame unsynchronised, data length indicator")
            << tag(4, unsyncFrame24(pic(4, 3, Image, 3, "Café"))) << Image << 3 << QByteArray("image/jpeg")
            << QStringLiteral("Café") << true;
        QTest::newRow("2.4 every frame unsynchronised by the header")
            << unsyncTag(4, frameUnsynced24(pic(4, 3))) << Image << 3 << QByteArray("image/jpeg") << d << true;
        QTest::newRow("UTF-16 description with its mark")
            << tag(3, pic(3, 3, Image, 1, id3v2EncodedText(1, QStringLiteral("Ünï"), true))) << Image << 3
            << QByteArray("image/jpeg") << QStringLiteral("Ünï") << true;
        QTest::newRow("UTF-16BE description, image starting with zeros")
            << tag(4, pic(4, 3, QByteArray(2, '\0') + Image, 2, id3v2EncodedText(2, QStringLiteral("Ab"))))
            << QByteArray(2, '\0') + Image << 3 << QByteArray("image/jpeg") << QStringLiteral("Ab") << true;
        QTest::newRow("the front cover after others")
            << tag(3, pic(3, 4, "back") + title3 + pic(3, 0, "other") + pic(3, 3, "front")) << QByteArray("front") << 3
            << QByteArray("image/jpeg") << d << true;
        QTest::newRow("no front cover: the first picture")
            << tag(3, pic(3, 4, "back") + pic(3, 5, "leaflet")) << QByteArray("back") << 4 << QByteArray("image/jpeg")
            << d << true;
        QTest::newRow("compressed and encrypted frames passed over")
            << tag(3, withFlags(pic(3, 3, "zipped"), char(0x80)) + pic(3, 4, "plain")) << QByteArray("plain") << 4
            << QByteArray("image/jpeg") << d << true;
        QTest::newRow("2.4 compressed only")
            << tag(4, withFlags(pic(4, 3, "zipped"), char(0x08))) << QByteArray() << 0 << QByteArray() << QString()
            << false;
        QByteArray pastTag = pic(3, 3);
        pastTag[7] = char(pastTag[7] + 100); // the frame claims 100 bytes past the tag
        QTest::newRow("a frame running past the tag")
            << tag(3, title3 + pastTag).left(10 + title3.size() + pastTag.size()) + QByteArray(200, '\x01')
            << QByteArray() << 0 << QByteArray() << QString() << false;
        const QByteArray cut = tag(3, pic(3, 4, "whole") + pic(3, 3, QByteArray(500, 'j')));
        QTest::newRow("a tag larger than the file") << cut.left(cut.size() - 300) << QByteArray("whole") << 4
                                                    << QByteArray("image/jpeg") << d << true;
        QTest::newRow("a description without its end")
            << tag(3, id3v2Frame(3, "APIC", QByteArray("\0image/png\0\x03no end", 18))) << QByteArray() << 0
            << QByteArray() << QString() << true;
        QTest::newRow("a picture after every field, in the first bytes read")
            << tag(3, id3v2TextFrame(3, "TPE1", 0, "A") + title3 + id3v2TextFrame(3, "TALB", 0, "B")
                          + id3v2TextFrame(3, "TCON", 0, "Rock") + id3v2TextFrame(3, "TYER", 0, "1999")
                          + id3v2TextFrame(3, "TRCK", 0, "1") + id3v2TextFrame(3, "TPOS", 0, "1") + pic(3, 3))
            << Image << 3 << QByteArray("image/jpeg") << d << true;
        QTest::newRow("no picture") << tag(3, title3) << QByteArray() << 0 << QByteArray() << QString() << false;
        QTest::newRow("no tag") << taggedMp3("Song") << QByteArray() << 0 << QByteArray() << QString() << false;
    }
    void frontCover()
    {
        QFETCH(QByteArray, tag);
        QFETCH(QByteArray, image);
        QFETCH(bool, noted);
        // Audio after the tag, which no read for the picture may reach
        // (none after a tag cut short by the end of the file).
        const QByteArray file = Id3v2::tagSize(tag) > tag.size() ? tag : tag + QByteArray(200 * 1024, '\x01');
        const WatchedSource source(file);
        const std::optional<EmbeddedPicture::Picture> picture = EmbeddedPicture::frontCover(source);
        QCOMPARE(picture ? picture->data : QByteArray(), image);
        if (picture) {
            QTEST(picture->type, "type");
            QTEST(picture->mimeType, "mime");
            QTEST(picture->description, "description");
        }
        QVERIFY(source.furthest <= std::max<qint64>(Id3v2::tagSize(tag), Id3v2::HeaderSize));
        bool hasPicture = false;
        Id3v2::collectTextFrames(MemorySource(file), QByteArrayView(file).first(8192), &hasPicture);
        QCOMPARE(hasPicture, noted);
    }

    // The folder's picture by name, in the documented order, from any
    // order of listing; other names and folders named like one are not it.
    void folderCover_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("chosen");
        const auto row = [](const char *name, const QString &names, const char *chosen) {
            QTest::newRow(name) << names.split(u' ') << QString::fromLatin1(chosen);
        };
        row("cover before folder before front", QStringLiteral("front.png folder.jpg cover.png"), "cover.png");
        row("jpg before jpeg before png", QStringLiteral("Cover.PNG COVER.JPEG"), "COVER.JPEG");
        row("jpg before jpeg", QStringLiteral("folder.jpeg FOLDER.JPG"), "FOLDER.JPG");
        row("names equal but for case, by bytes", QStringLiteral("cover.jpg Cover.jpg"), "Cover.jpg");
        row("other names", QStringLiteral("back.jpg cover.gif covers.jpg front.jpg.mp3 front.jpg"), "front.jpg");
        row("none", QStringLiteral("a.mp3 cover folder.txt"), "");
    }
    void folderCover()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, chosen);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("FRONT.jpg"))); // a folder: never the picture
        for (const QString &name : names)
            QVERIFY(writeBytes(dir.filePath(name), "x"));
        for (bool reversed : {false, true}) {
            QByteArray best;
            for (qsizetype i = 0; i < names.size(); ++i) {
                const QByteArray name = names[reversed ? names.size() - 1 - i : i].toUtf8();
                if (FolderCover::comesBefore(name, best))
                    best = name;
            }
            QCOMPARE(QString::fromUtf8(best), chosen);
        }
        QCOMPARE(FolderCover::find(dir.path()), chosen.isEmpty() ? QString() : dir.filePath(chosen));
    }

    // The scan notes the tag's picture before the folder's, and none where
    // neither is (a real APIC frame: kid3-cli reads it as a picture).
    void scanNotesArt()
    {
        QTemporaryDir dir;
        const QByteArray song = taggedMp3("Song");
        const QByteArray embedded = id3v2Tag(3, id3v2TextFrame(3, "TIT2", 0, "Pictured") + id3v2PictureFrame(3, 3, Image))
                                    + song;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("a/pictured.mp3")), embedded));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("a/plain.mp3")), song));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("a/cover.jpg")), "x"));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("b/plain.mp3")), song));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("c/plain.mp3")), song));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("c/Cover.jpg.mp3")), song)); // a song, not a picture
        const ScanOutcome outcome = scanMedia(dir.path(), QStringLiteral("CD"));
        QStringList art;
        for (qsizetype row = 0; row < outcome.rows.size(); ++row)
            art << QDir(dir.path()).relativeFilePath(outcome.rows.field(row, FieldFilename)) + u'='
                       + QString::fromUtf8(ExtensionLine::textValue(outcome.rows.extensionUtf8(row), ExtensionLine::ArtKey));
        QCOMPARE(art.join(u' '), QStringLiteral("a/pictured.mp3=embedded a/plain.mp3=folder b/plain.mp3= "
                                                "c/Cover.jpg.mp3= c/plain.mp3="));
    }
};

ONDRO_TEST_MAIN(CoversTest)
#include "test_covers.moc"
