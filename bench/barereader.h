#pragma once

// The scan bench's reference: the one-thread bare reader of a media tree.

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#define XXH_STATIC_LINKING_ONLY
#include <xxhash.h>

// The reference: walk, open, and read what the facts and tags of a file
// need, in as few reads as a bare reader needs: the start (the ID3v2 tag's
// header, and the whole text tag for most files), the audio's first 16 KiB
// where the tags end, its last 16 KiB together with an ID3v1 tag in one
// read, and the ID3v2 tag of a file without ID3v1 when the start did not
// hold it; then the audio identity, XXH3-64 over the audio's length and
// both edges, as a scan hashes them. No frame search and no tag parsing:
// only the sizes that say where to read are worked out.
struct Reference
{
    static constexpr qint64 StartBytes = 8 * 1024;
    static constexpr qint64 EdgeBytes = 16 * 1024;
    static constexpr qint64 Id3v1Bytes = 128;

    long files = 0;
    qint64 bytes = 0; // read, for the bench's report
    quint64 identities = 0; // folded, so the hashing is not left out
    std::string start = std::string(StartBytes, '\0');
    std::string head = std::string(EdgeBytes, '\0');
    std::string tail = std::string(EdgeBytes + Id3v1Bytes, '\0');
    std::string tagBuffer;

    static qint64 tagSize(const unsigned char *b, qint64 n)
    {
        if (n < 10 || std::memcmp(b, "ID3", 3) != 0 || ((b[6] | b[7] | b[8] | b[9]) & 0x80))
            return 0;
        return 10 + ((qint64(b[6]) << 21) | (b[7] << 14) | (b[8] << 7) | b[9]) + ((b[3] >= 4 && (b[5] & 0x10)) ? 10 : 0);
    }

    qint64 readAt(int fd, std::string &into, qint64 count, qint64 offset)
    {
        const qint64 got = ::pread(fd, into.data(), size_t(count), offset);
        bytes += std::max<qint64>(got, 0);
        return got;
    }

    void readFile(const std::string &path)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat st;
        if (::fstat(fd, &st) == 0) {
            ++files;
            const qint64 size = st.st_size;
            const qint64 got = readAt(fd, start, std::min(StartBytes, size), 0);
            const auto *b = reinterpret_cast<const unsigned char *>(start.data());
            const qint64 tag = got > 0 ? std::min(size, tagSize(b, got)) : 0;
            const qint64 headGot = std::max<qint64>(0, readAt(fd, head, std::min(EdgeBytes, size - tag), tag));
            const qint64 tailAt = std::max(tag, size - EdgeBytes - Id3v1Bytes);
            const qint64 tailGot = std::max<qint64>(0, readAt(fd, tail, size - tailAt, tailAt));
            const bool v1 = tailGot >= Id3v1Bytes && std::memcmp(tail.data() + tailGot - Id3v1Bytes, "TAG", 3) == 0;
            if (!v1 && tag > got) {
                tagBuffer.resize(size_t(tag));
                readAt(fd, tagBuffer, tag, 0);
            }
            const qint64 audioEnd = tailAt + tailGot - (v1 ? Id3v1Bytes : 0);
            const quint64 length = quint64(std::max<qint64>(0, audioEnd - tag));
            const qint64 edge = std::min({EdgeBytes, headGot, std::max<qint64>(0, audioEnd - tailAt)});
            XXH3_state_t state;
            XXH3_INITSTATE(&state);
            XXH3_64bits_reset(&state);
            XXH3_64bits_update(&state, &length, sizeof length);
            XXH3_64bits_update(&state, head.data(), size_t(edge));
            XXH3_64bits_update(&state, tail.data() + (audioEnd - tailAt) - edge, size_t(edge));
            identities ^= XXH3_64bits_digest(&state);
        }
        ::close(fd);
    }

    void walk(const std::string &folder)
    {
        DIR *dir = ::opendir(folder.c_str());
        if (!dir)
            return;
        while (const dirent *e = ::readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            const std::string path = folder + '/' + e->d_name;
            if (e->d_type == DT_DIR) {
                walk(path);
            } else if (e->d_type == DT_REG) {
                const size_t len = std::strlen(e->d_name);
                if (len >= 4 && ::strcasecmp(e->d_name + len - 4, ".mp3") == 0)
                    readFile(path);
            }
        }
        ::closedir(dir);
    }
};
