#pragma once

// The bench corpus: a generated tree of MP3 files as collections hold them
// (40 artists, 10 albums each, 50 tracks an album: 20,000 files, with a
// cover and notes in each album), the same bytes on every run, for the
// benchmarks that read a medium (scan_bench, verify_bench).

#include "id3bytes.h"
#include "mp3bytes.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <random>

namespace {

constexpr int Artists = 40;
constexpr int AlbumsPerArtist = 10;
constexpr int TracksPerAlbum = 50; // 40 x 10 x 50 = 20,000 MP3 files
constexpr int LargeTreeArtists = 400; // 200,000 MP3 files

inline QByteArray textFrame(const char *id, const QByteArray &text)
{
    const QByteArray data = '\0' + text;
    QByteArray size(4, 0);
    for (int i = 0; i < 4; ++i)
        size[i] = char((data.size() >> (8 * (3 - i))) & 0xFF);
    return QByteArray(id) + size + QByteArray(2, '\0') + data;
}

inline QByteArray pictureFrame(int bytes, std::mt19937 &random)
{
    QByteArray data = QByteArray("\0image/jpeg\0\x03\0", 14);
    QByteArray picture(bytes, 0);
    for (char &c : picture)
        c = char(random());
    data += picture;
    QByteArray size(4, 0);
    for (int i = 0; i < 4; ++i)
        size[i] = char((data.size() >> (8 * (3 - i))) & 0xFF);
    return QByteArray("APIC") + size + QByteArray(2, '\0') + data;
}

// The audio of file n: 130 to 170 MPEG-1 layer III frames of 417 bytes
// (128 kbit/s, 44.1 kHz), 53 to 70 KB, so that the 32 KiB a scan reads
// where the audio starts and the 20 KiB it reads at the end never meet.
// Three files in five start with an Info frame and a LAME tag, as LAME
// writes them; the frames' bytes differ from file to file.
inline QByteArray audio(int n, std::mt19937 &random)
{
    const QByteArray header("\xFF\xFB\x90\x64", 4);
    constexpr qsizetype FrameBytes = 417, InfoAt = 4 + 32; // after the side information of joint stereo
    const int frames = 130 + int(random() % 41);
    QByteArray out;
    out.reserve(frames * FrameBytes);
    int f = 0;
    if (random() % 5 < 3) {
        out += frameWith(header, FrameBytes, InfoAt,
                         xingHeader("Info", quint32(frames - 1), true, lameTag("LAME3.100", 1, 576, 1200)));
        ++f;
    }
    for (; f < frames; ++f) // no 0xFF in the frames' bytes: no false frame header
        out += header + QByteArray(FrameBytes - 4, char(0x11 + (n + f) % 0xE0));
    return out;
}

inline QByteArray mp3File(int n, std::mt19937 &random)
{
    // 85 % carry ID3v2 (8 % of all files with a picture of 30-100 KB);
    // 70 % carry ID3v1; 30 % carry only ID3v2 (the pictures among them).
    const int kind = int(random() % 100);
    const bool hasV2 = kind < 85;
    const bool hasPicture = kind < 8;
    const bool hasV1 = kind >= 15 && !(kind >= 70 && kind < 85);
    QByteArray out;
    if (hasV2) {
        QByteArray frames = textFrame("TIT2", "Track " + QByteArray::number(n))
                            + textFrame("TPE1", "Artist " + QByteArray::number(n % 97))
                            + textFrame("TALB", "Album " + QByteArray::number(n % 31))
                            + textFrame("TYER", "1999") + textFrame("TCON", "(17)");
        if (hasPicture)
            frames += pictureFrame(30000 + int(random() % 70000), random);
        const QByteArray padding(512 + int(random() % 1536), '\0');
        out += "ID3\x03" + QByteArray(2, '\0') + synchsafe(quint32(frames.size() + padding.size())) + frames
               + padding;
    }
    out += audio(n, random);
    if (hasV1) {
        QByteArray tag = "TAG" + QByteArray("Title ").append(QByteArray::number(n)).leftJustified(30, '\0')
                         + QByteArray("Artist").leftJustified(30, '\0') + QByteArray("Album").leftJustified(30, '\0')
                         + "2001" + QByteArray(30, '\0') + char(n % 148);
        out += tag;
    }
    return out;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline bool generate(const QString &root, qint64 &bytes, int artists = Artists)
{
    std::mt19937 random(20261207);
    int n = 0;
    for (int a = 0; a < artists; ++a) {
        for (int b = 0; b < AlbumsPerArtist; ++b) {
            const QString album = QStringLiteral("%1/Artist %2/Album %3").arg(root).arg(a).arg(b);
            if (!QDir().mkpath(album))
                return false;
            if (!writeFile(album + QStringLiteral("/folder.jpg"), QByteArray(2000, 'j'))
                || !writeFile(album + QStringLiteral("/notes.txt"), QByteArray("liner notes")))
                return false;
            for (int t = 0; t < TracksPerAlbum; ++t, ++n) {
                const QByteArray content = mp3File(n, random);
                bytes += content.size();
                const QString name = QStringLiteral("/%1 - Track %2.%3")
                                         .arg(t, 2, 10, QLatin1Char('0'))
                                         .arg(n)
                                         .arg(n % 5 == 0 ? QStringLiteral("MP3") : QStringLiteral("mp3"));
                if (!writeFile(album + name, content))
                    return false;
            }
        }
    }
    return true;
}

} // namespace
