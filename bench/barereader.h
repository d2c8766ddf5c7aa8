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

// The reference: walk, open, and read what a scan must read, in as few
// reads as a bare reader needs: the start (the ID3v2 tag's header, and
// the whole text tag for most files), 32 KiB where the tags end (the first
// frame, its Xing header and the audio's first 16 KiB that a scan hashes),
// 20 KiB at the end (the audio's last 16 KiB and the tags after it), and
// the ID3v2 tag of a file without ID3v1 when the start did not hold it.
// No hashing, no frame search and no tag parsing: only the sizes that say
// where to read are worked out.
struct Reference
{
    // The sizes of the reads; HeadBytes and TailBytes are the scan's own
    // (StreamFacts), StartBytes the first read of the old reference.
    static constexpr qint64 StartBytes = 8 * 1024;
    static constexpr qint64 HeadBytes = 32 * 1024;
    static constexpr qint64 TailBytes = 20 * 1024;

    long files = 0;
    qint64 bytes = 0; // read, for the bench's report
    std::string start = std::string(StartBytes, '\0');
    std::string head = std::string(HeadBytes, '\0');
    std::string tail = std::string(TailBytes, '\0');
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
            readAt(fd, head, std::min(HeadBytes, size - tag), tag);
            const qint64 tailAt = std::max(tag, size - TailBytes);
            const qint64 tailGot = readAt(fd, tail, size - tailAt, tailAt);
            const bool v1 = tailGot >= 128 && std::memcmp(tail.data() + tailGot - 128, "TAG", 3) == 0;
            if (!v1 && tag > got) {
                tagBuffer.resize(size_t(tag));
                readAt(fd, tagBuffer, tag, 0);
            }
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
