#include "media/id3v2.h"
#include "media/id3v2text.h"
#include "media/mediafile.h"
#include "id3bytes.h"
#include "testenv.h"

#include <QTest>

// The own reader of common ID3v2 tags against TagLib, over a varied corpus:
// wherever the own reader takes a tag, every field must be what TagLib
// gives. Both the tag as the scan hands it over (its text frames) and the
// whole tag are compared.
class Id3v2ReadersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sameFieldsAsTagLib()
    {
        int taken = 0, left = 0;
        for (quint32 n = 0; n < 1500; ++n) {
            const QByteArray tag = variedId3v2Tag(n);
            const QByteArray collected = Id3v2::collectTextFrames(MemorySource(tag), tag);
            for (const QByteArray &bytes : {collected, tag}) {
                TrackTagsUtf8 own;
                if (!Id3v2::readCommonTextTag(bytes, own)) {
                    ++left;
                    continue;
                }
                ++taken;
                const TrackTags mine = own.toTags();
                const TrackTags theirs = Id3v2::readTextTagWithTagLib(bytes);
                const QByteArray where = "tag " + QByteArray::number(n) + (&bytes == &tag ? " whole: " : ": ")
                                         + tag.toHex();
                QVERIFY2(mine.artist == theirs.artist, where + " artist " + mine.artist.toUtf8() + " | " + theirs.artist.toUtf8());
                QVERIFY2(mine.track == theirs.track, where + " title " + mine.track.toUtf8() + " | " + theirs.track.toUtf8());
                QVERIFY2(mine.album == theirs.album, where + " album " + mine.album.toUtf8() + " | " + theirs.album.toUtf8());
                QVERIFY2(mine.year == theirs.year, where + " year " + mine.year.toUtf8() + " | " + theirs.year.toUtf8());
                QVERIFY2(mine.genre == theirs.genre, where + " genre " + mine.genre.toUtf8() + " | " + theirs.genre.toUtf8());
            }
        }
        // The corpus must exercise both paths, and mostly the own one.
        QVERIFY2(taken > 1000, qPrintable(QStringLiteral("%1 taken, %2 left to TagLib").arg(taken).arg(left)));
        QVERIFY(left > 100);
    }
};

ONDRO_TEST_MAIN(Id3v2ReadersTest)
#include "test_id3v2readers.moc"
