#include "media/mediafile.h"
#include "media/streamfacts.h"
#include "testfiles.h"
#include "mp3bytes.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

using namespace StreamFacts;
using namespace Qt::StringLiterals;

namespace {

// Frame headers: MPEG 1 layer III 128 kbps 44.1 kHz joint stereo (417-byte
// frames; 192 kbps: 626, 64 kbps: 208), MPEG 2 layer III 64 kbps 22.05 kHz
// mono (208), MPEG 2.5 layer III 32 kbps 8 kHz mono (288), MPEG 1 layer I
// 384 kbps 48 kHz (384), MPEG 1 layer II 192 kbps 32 kHz (864), and MPEG 1
// layer III in free format.
const QByteArray Mpeg1("\xFF\xFB\x90\x64", 4), Mpeg1At192("\xFF\xFB\xB0\x64", 4), Mpeg1At64("\xFF\xFB\x50\x64", 4),
    Mpeg2Mono("\xFF\xF3\x80\xC0", 4), Mpeg25("\xFF\xE3\x48\xC4", 4), Layer1("\xFF\xFF\xC4\x00", 4),
    Layer2("\xFF\xFD\xA8\x00", 4), FreeFormat("\xFF\xFB\x00\x64", 4);

QString optionalText(const auto &value, const auto &text)
{
    return value ? text(*value) : QStringLiteral("-");
}

// The facts as one line: rate, mode, seconds, kbps, encoder, where the
// audio starts and how long it is, whether it has an identity, and "est"
// and the damage when the time is estimated and the stream damaged.
QString summary(const Facts &f)
{
    const QString damage = f.damage == Damage::None ? QString() : u" dmg="_s + damageText(f.damage);
    return QStringList{optionalText(f.rate, [](int r) { return QString::number(r); }),
                       optionalText(f.mode, modeText), optionalText(f.tenths, durationText),
                       optionalText(f.kbps, [](int k) { return QString::number(k); }),
                       u'\'' + f.encoder + u'\'',
                       QStringLiteral("%1+%2").arg(f.audioStart).arg(f.audioLength),
                       f.hasAid ? QStringLiteral("aid") : QStringLiteral("-")}
               .join(u' ')
           + (f.estimated ? u" est"_s : QString()) + damage;
}

Facts factsOfBytes(const QByteArray &bytes)
{
    return readStreamFacts(MemorySource(bytes)).value_or(Facts{});
}

QByteArray xingFrame(const QByteArray &id, quint32 frames, int method, const QByteArray &encoder = "LAME3.100",
                     quint32 bytes = 0)
{
    return frameWith(Mpeg1, 417, 36, xingHeader(id, frames, true, lameTag(encoder, method, 576, 1000), bytes));
}

// pairs pairs of frames at 192 and 64 kbps: 417 bytes a frame on average,
// as at 128 kbps.
QByteArray vbrFrames(int pairs, quint32 seed = 1)
{
    QByteArray out;
    for (int i = 0; i < pairs; ++i)
        out += frames(Mpeg1At192, 626, 1, seed + quint32(i)) + frames(Mpeg1At64, 208, 1, seed + quint32(i));
    return out;
}

} // namespace

class StreamFactsTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void facts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        const QByteArray a = frames(Mpeg1, 417, 480);
        // Without a header: the length at the frame's bitrate, estimated.
        QTest::newRow("mpeg1 layer3") << frames(Mpeg1, 417, 100) << "44100 cbr 2.6 128 '' 0+41700 aid est";
        QTest::newRow("mpeg2 layer3") << frames(Mpeg2Mono, 208, 106) << "22050 cbr 2.8 64 '' 0+22048 aid est";
        QTest::newRow("mpeg2.5 layer3") << frames(Mpeg25, 288, 28) << "8000 cbr 2.0 32 '' 0+8064 aid est";
        QTest::newRow("layer1") << frames(Layer1, 384, 125) << "48000 cbr 1.0 384 '' 0+48000 aid est";
        QTest::newRow("layer2") << frames(Layer2, 864, 28) << "32000 cbr 1.0 192 '' 0+24192 aid est";
        QTest::newRow("free format") << FreeFormat + audioBytes(996) << "44100 cbr - - '' 0+1000 aid";
        QTest::newRow("junk before the frame") << QByteArray(1000, '\0') + frames(Mpeg1, 417, 10)
                                               << "44100 cbr 0.3 128 '' 1000+4170 aid est";
        // Headers: frames x samples per frame (1152, 576 in MPEG 2 layer
        // III), less the LAME tag's 576 + 1000; kbps from the bytes after
        // the header's frame.
        QTest::newRow("xing lame vbr") << xingFrame("Xing", 1000, 4) + a << "44100 vbr 26.1 61 'LAME3.100' 0+200577 aid";
        QTest::newRow("xing lame abr") << xingFrame("Xing", 1000, 2) + a << "44100 abr 26.1 61 'LAME3.100' 0+200577 aid";
        QTest::newRow("xing lame abr 2 pass") << xingFrame("Xing", 1000, 9) + a << "44100 abr 26.1 61 'LAME3.100' 0+200577 aid";
        QTest::newRow("info lame cbr") << xingFrame("Info", 100, 1, "LAME3.99r \0") + a.left(41700)
                                       << "44100 cbr 2.6 128 'LAME3.99r' 0+42117 aid";
        QTest::newRow("xing mpeg2 mono no lame") << frameWith(Mpeg2Mono, 208, 13, xingHeader("Xing", 500, false)) + frames(Mpeg2Mono, 208, 144)
                                                 << "22050 vbr 13.1 18 '' 0+30160 aid";
        QTest::newRow("xing layer2") << frameWith(Layer2, 864, 36, xingHeader("Xing", 100, false)) + frames(Layer2, 864, 58)
                                     << "32000 vbr 3.6 111 '' 0+50976 aid";
        QTest::newRow("vbri") << frameWith(Mpeg1, 417, 36, vbriHeader(1000)) + a << "44100 vbr 26.1 61 '' 0+200577 aid";
        // Hostile headers and tags: sane values or none.
        QTest::newRow("zero frames") << xingFrame("Xing", 0, 4) + a.left(1251) << "44100 vbr - - 'LAME3.100' 0+1668 aid";
        QTest::newRow("huge count") << xingFrame("Xing", 0xFFFFFFFF, 4) + a << "44100 vbr - - 'LAME3.100' 0+200577 aid";
        QTest::newRow("xing cut short") << Mpeg1 + QByteArray(32, '\0') + "Xing" << "44100 cbr 0.0 128 '' 0+40 aid est";
        QTest::newRow("lame tag cut short") << Mpeg1 + QByteArray(32, '\0') + xingHeader("Xing", 4) + "LAME3.1"
                                            << "44100 vbr 0.1 12 '' 0+163 aid";
        QTest::newRow("ape size past the start") << a.left(1251) + apeTag({}, false).left(12) + "\xFF\xFF\xFF\x7F" + QByteArray(16, '\0')
                                                 << "44100 cbr 0.1 128 '' 0+1283 aid est";
        QTest::newRow("ape smaller than its footer") << a.left(1251) + apeTag({}, false).left(12) + "\x10" + QByteArray(19, '\0')
                                                     << "44100 cbr 0.1 128 '' 0+1283 aid est";
        QTest::newRow("lyrics3 size not digits") << a.left(1251) + "LYRICSBEGIN12x456LYRICS200"
                                                 << "44100 cbr 0.1 128 '' 0+1277 aid est";
        QTest::newRow("frame past the search") << QByteArray(FrameSearchBytes + 10, '\0') + a.left(1251)
                                               << "- - - - '' 0+17645 aid";
        QTest::newRow("no frame") << audioBytes(5000) << "- - - - '' 0+5000 aid";
        QTest::newRow("lone sync") << Mpeg1 + audioBytes(5000) << "- - - - '' 0+5004 aid";
        QTest::newRow("only tags") << id3v2Tag(3, {}) + id3v1Tag("t", "a") << "- - - - '' 74+0 -";
        QTest::newRow("empty") << QByteArray() << "- - - - '' 0+0 -";
    }

    void facts()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QCOMPARE(summary(factsOfBytes(content)), expected);
    }

    // Streams as files hold them, against what they play: 400 frames of
    // 1152 samples at 44.1 kHz are 10.4 s; the encoding of 100 frames
    // with a Xing header is 2.6 s (2.5765 s after the LAME tag's trim).
    void layouts_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        const QByteArray vbr = vbrFrames(200);
        const QByteArray encoding = xingFrame("Xing", 100, 4, "LAME3.100", 417 + 41700) + vbrFrames(50);
        // The junk holds a frame header whose next frame is not where its
        // length says.
        const QByteArray junk = audioBytes(300) + Mpeg1 + audioBytes(696);
        // The frames seen at the start and end average 417 bytes.
        QTest::newRow("vbr without a header") << vbr << "44100 vbr 10.5 127 '' 0+166800 aid est";
        QTest::newRow("cbr without a header") << frames(Mpeg1, 417, 400) << "44100 cbr 10.4 128 '' 0+166800 aid est";
        // Half of the 41700 bytes after the header are there: 1.2 s.
        QTest::newRow("cut short") << encoding.left(417 + 20000) << "44100 vbr 1.2 128 'LAME3.100' 0+20417 aid est dmg=short";
        QTest::newRow("two encodings joined") << encoding + encoding << "44100 vbr 5.2 127 'LAME3.100' 0+84234 aid est dmg=long";
        QTest::newRow("false sync in junk") << junk + encoding << "44100 vbr 2.6 128 'LAME3.100' 1000+42117 aid";
        QTest::newRow("clean xing") << encoding << "44100 vbr 2.6 128 'LAME3.100' 0+42117 aid";
        // Within two frames of the header's count: no damage; bytes after
        // the stream that hold no frames are not its audio.
        QTest::newRow("a frame missing") << encoding.chopped(626) << "44100 vbr 2.6 126 'LAME3.100' 0+41491 aid";
        QTest::newRow("junk after the stream") << encoding + audioBytes(20000) << "44100 vbr 2.6 128 'LAME3.100' 0+62117 aid";
    }

    void layouts() { facts(); }

    // The extension line carries est and dmg, and the tags' numbers last.
    void extensionLineFlags()
    {
        const QByteArray encoding = xingFrame("Xing", 100, 4, "LAME3.100", 417 + 41700) + vbrFrames(50);
        const QByteArray line = extensionLine(1, 2, factsOfBytes(encoding.left(20417)), {3, 1});
        QVERIFY2(line.contains(" dur=1.2 ") && line.endsWith(" est=1 dmg=short trk=3 disc=1"), line.constData());
        const QByteArray whole = extensionLine(1, 2, factsOfBytes(encoding), {12, 0});
        QVERIFY2(!whole.contains("est=") && whole.endsWith(" trk=12"), whole.constData());
    }

    // The tags before and after the audio change neither its facts nor its
    // identity; each file is read from disk through the safe opener.
    void tagsLeaveTheAudio()
    {
        const QByteArray small = id3v2Tag(3, id3v2TextFrame(3, "TIT2", 0, "Song"));
        const QByteArray picture = id3v2Tag(3, id3v2Frame(3, "APIC", QByteArray(100000, 'p')));
        const QByteArray v1 = id3v1Tag("Song", "Band"), lyrics = lyrics3Tag("IND00003110");
        const QList<std::pair<QByteArray, QByteArray>> tags = {
            {small, {}},          {picture + small, {}}, {{}, v1},
            {{}, apeTag("items", true) + v1}, {{}, apeTag(QByteArray(50000, 'i'), false)},
            {small, lyrics + v1}, {picture, apeTag(QByteArray(30000, 'i'), true) + lyrics + v1}};
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.mp3"));
        for (int count : {0, 96, 720}) {
            const QByteArray audio = xingFrame("Xing", 300, 4) + frames(Mpeg1, 417, count, quint32(count));
            Facts plain = factsOfBytes(audio);
            QVERIFY(plain.hasAid);
            for (const auto &[before, after] : tags) {
                QVERIFY(writeBytes(path, before + audio + after));
                Facts expected = plain;
                expected.audioStart = before.size();
                QCOMPARE(readStreamFacts(path), std::optional(expected));
            }
        }
    }

    // One changed byte in either edge, or one byte more, is other audio.
    void changedAudioChangesTheIdentity()
    {
        const QByteArray audio = frames(Mpeg1, 417, 720);
        const quint64 aid = factsOfBytes(audio).aid;
        for (qsizetype at : {qsizetype(4), qsizetype(200), EdgeBytes - 1, audio.size() - EdgeBytes, audio.size() - 1}) {
            QByteArray changed = audio;
            changed[at] = char(changed[at] ^ 1);
            QVERIFY2(factsOfBytes(changed).aid != aid, qPrintable(QString::number(at)));
        }
        QVERIFY(factsOfBytes(audio + 'x').aid != aid);
        QCOMPARE(aidText(0x00ab'0000'0000'0001), QStringLiteral("00ab000000000001"));
    }

    // Files made by lame, when it is installed, against mp3info's account
    // of them when that is installed too.
    void lameFiles();
};

void StreamFactsTest::lameFiles()
{
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    const QString mp3info = QStandardPaths::findExecutable(QStringLiteral("mp3info"));
    if (lame.isEmpty())
        QSKIP("lame is not installed");
    const auto run = [](const QString &program, const QString &arguments, const QString &file) {
        QProcess process;
        process.start(program, arguments.split(u' ') << file);
        const bool ran = process.waitForFinished(60000) && process.exitCode() == 0;
        return ran ? std::optional(process.readAllStandardOutput()) : std::nullopt;
    };
    // Five seconds of two tones, 44.1 kHz 16-bit stereo, raw.
    QTemporaryDir dir;
    const QString raw = dir.filePath(QStringLiteral("tone.raw")), mp3 = dir.filePath(QStringLiteral("tone.mp3"));
    QByteArray pcm(5 * 44100 * 4, Qt::Uninitialized);
    for (int i = 0; i < 5 * 44100; ++i) {
        qToLittleEndian(qint16(8000 * std::sin(i * 0.05)), pcm.data() + i * 4);
        qToLittleEndian(qint16(8000 * std::sin(i * (0.03 + i * 1e-6))), pcm.data() + i * 4 + 2);
    }
    QVERIFY(writeBytes(raw, pcm));
    // Options, mode, and whether an Info or Xing frame with a LAME tag is
    // written (none fits in a frame of 144 bytes).
    const std::tuple<const char *, const char *, bool> Encodings[] = {
        {"-b 128", "cbr", true}, {"-V 4", "vbr", true}, {"--abr 96", "abr", true}, {"-b 128 -t", "cbr", false},
        {"--resample 22.05 -b 64 -a", "cbr", true}, {"--resample 8 -b 16 -a --noreplaygain", "cbr", false}};
    for (const auto &[options, mode, named] : Encodings) {
        const QString raw16 = QStringLiteral("--quiet -r -s 44.1 --bitwidth 16 --little-endian --signed ");
        QVERIFY(run(lame, raw16 + QLatin1String(options) + u' ' + raw, mp3));
        const std::optional<Facts> facts = readStreamFacts(mp3);
        QVERIFY2(facts && facts->tenths && facts->kbps && facts->rate, options);
        QCOMPARE(modeText(*facts->mode), QLatin1String(mode));
        QCOMPARE(facts->encoder.startsWith(u"LAME"), named);
        // Without the LAME tag the time includes the encoder's added samples.
        QVERIFY2(qAbs(*facts->tenths - 50) <= (named ? 0 : 2), qPrintable(durationText(*facts->tenths)));
        if (mp3info.isEmpty())
            continue;
        const QList<QByteArray> told = run(mp3info, QStringLiteral("-r a -p %S|%r|%Q"), mp3).value_or("").split('|');
        QCOMPARE(told.size(), 3);
        qInfo("%s: %s s %d kbps %d Hz; mp3info %s s %s kbps %s Hz", options, qPrintable(durationText(*facts->tenths)),
              *facts->kbps, *facts->rate, told[0].constData(), told[1].constData(), told[2].constData());
        QCOMPARE(*facts->rate, told[2].toInt());
        QVERIFY(qAbs(*facts->tenths / 10 - told[0].toInt()) <= 1);
        QVERIFY(qAbs(*facts->kbps - told[1].toDouble()) <= 1 + 0.03 * told[1].toDouble());
    }
}

QTEST_GUILESS_MAIN(StreamFactsTest)
#include "test_streamfacts.moc"
