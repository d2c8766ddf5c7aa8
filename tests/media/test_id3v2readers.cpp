#include "media/id3v2collect.h"
#include "media/id3v2taglib.h"
#include "media/id3v2text.h"
#include "media/mediafile.h"
#include "id3bytes.h"
#include "testenv.h"

#include <QTest>

// The own reader of common ID3v2 tags against TagLib, over a varied corpus:
// wherever the own reader takes a tag, every field must be what TagLib
// gives. Both the tag as the scan hands it over (its text frames) and the
// whole tag are compared.
namespace {

// Reads bytes with both readers; false when the own reader leaves them to
// TagLib. Records a failure where the two disagree.
bool sameAsTagLib(const QByteArray &bytes, const QByteArray &where)
{
    TrackTagsUtf8 own;
    if (!Id3v2::readCommonTextTag(bytes, own))
        return false;
    const TrackTags mine = own.toTags();
    const TrackTags theirs = Id3v2::readTextTagWithTagLib(bytes);
    const auto check = [&](const char *field, const QString &a, const QString &b) {
        if (a != b)
            QTest::qFail(where + ' ' + field + ' ' + a.toUtf8() + " | " + b.toUtf8(), __FILE__, __LINE__);
    };
    check("artist", mine.artist, theirs.artist);
    check("title", mine.track, theirs.track);
    check("album", mine.album, theirs.album);
    check("year", mine.year, theirs.year);
    check("genre", mine.genre, theirs.genre);
    check("trk", QString::number(mine.numbers.track), QString::number(theirs.numbers.track));
    check("disc", QString::number(mine.numbers.disc), QString::number(theirs.numbers.disc));
    return true;
}

} // namespace

class Id3v2ReadersTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sameFieldsAsTagLib()
    {
        int taken = 0, left = 0;
        for (quint32 n = 0; n < 1500 && !QTest::currentTestFailed(); ++n) {
            const QByteArray tag = variedId3v2Tag(n);
            const QByteArray collected = Id3v2::collectTextFrames(MemorySource(tag), tag);
            for (const QByteArray &bytes : {collected, tag}) {
                const QByteArray where = "tag " + QByteArray::number(n) + (&bytes == &tag ? " whole: " : ": ")
                                         + tag.toHex();
                (sameAsTagLib(bytes, where) ? taken : left)++;
            }
        }
        // The corpus must exercise both paths, and mostly the own one.
        QVERIFY2(taken > 1000, qPrintable(QStringLiteral("%1 taken, %2 left to TagLib").arg(taken).arg(left)));
        QVERIFY(left > 100);
    }

    // Track and disc numbers as they are written, plain and odd, in the
    // encodings of each version: both readers give the same numbers.
    void sameNumbersAsTagLib()
    {
        const char16_t *const values[] = {u"3/12", u"03", u"", u" 7 ", u"A1", u"2/", u"\uFF11", u"12345", u"0"};
        for (const int version : {2, 3, 4})
            for (const char encoding : {0, 1, 3})
                for (const char16_t *value : values)
                    for (const char *id : {"TRCK", "TPOS"}) {
                        const QByteArray frameId = version == 2 ? QByteArray(id[1] == 'R' ? "TRK" : "TPA") : QByteArray(id);
                        const QByteArray tag = id3v2Tag(version, id3v2TextFrame(version, version == 2 ? "TT2" : "TIT2", 0, "T")
                                                                     + id3v2TextFrame(version, frameId, encoding,
                                                                                      id3v2EncodedText(encoding, QString::fromUtf16(value))));
                        QVERIFY2(sameAsTagLib(tag, tag.toHex()), tag.toHex().constData());
                    }
    }

    // Tags on which fuzzing found the readers apart: the own reader now
    // leaves them to TagLib, so the scan reads them as TagLib does.
    void foundByFuzzing_data()
    {
        QTest::addColumn<QByteArray>("tag");
        QTest::addColumn<bool>("leftToTagLib");
        QTest::newRow("2.2 recording dates") << QByteArray::fromBase64(
            "SUQzAgAAJQAAHFRSRAAABgD///8eBlRUMgAABgCEhIS2CQAAAAAAAAAAAA==") << true;
        QTest::newRow("doubled byte order mark") << QByteArray::fromBase64(
            "SUQzAwAAAAEAJVRBTEIAAAALAAAB//7//gMAAExJAABUWUVSAAAACwAAQQCgAAAAVFQAAP9UVDP/UgAAAAAAAAAAAAI=") << true;
    }

    void foundByFuzzing()
    {
        QFETCH(QByteArray, tag);
        QFETCH(bool, leftToTagLib);
        TrackTagsUtf8 own;
        QCOMPARE(!Id3v2::readCommonTextTag(tag, own), leftToTagLib);
        if (!leftToTagLib)
            QVERIFY(sameAsTagLib(tag, tag.toHex()));
    }
};

ONDRO_TEST_MAIN(Id3v2ReadersTest)
#include "test_id3v2readers.moc"
