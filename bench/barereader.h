#pragma once

// The scan bench's reference: the one-thread bare reader of a media tree.

#include <QtGlobal>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

// The reference: walk, open, read the head, skip a tag to the first frame
// header, read the last 128 bytes, read a tag for files without ID3v1,
// close. Same reads as the program, no ordering and no tag parsing.
struct Reference
{
    long files = 0;
    long headers = 0;
    long tags = 0;
    std::string buffer = std::string(8 * 1024, '\0');
    std::string tagBuffer;

    static qint64 tagSize(const unsigned char *b, qint64 n)
    {
        if (n < 10 || std::memcmp(b, "ID3", 3) != 0 || ((b[6] | b[7] | b[8] | b[9]) & 0x80))
            return 0;
        return 10 + ((qint64(b[6]) << 21) | (b[7] << 14) | (b[8] << 7) | b[9]) + ((b[3] >= 4 && (b[5] & 0x10)) ? 10 : 0);
    }

    static bool isHeader(const unsigned char *p)
    {
        return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && ((p[1] >> 3) & 3) != 1 && ((p[1] >> 1) & 3) != 0
               && (p[2] >> 4) != 15 && ((p[2] >> 2) & 3) != 3;
    }

    static bool findHeader(const unsigned char *b, qint64 n)
    {
        for (qint64 i = 0; i + 4 <= n; ++i) {
            const void *hit = std::memchr(b + i, 0xFF, size_t(n - i - 3));
            if (!hit)
                return false;
            i = static_cast<const unsigned char *>(hit) - b;
            if (isHeader(b + i))
                return true;
        }
        return false;
    }

    void readFile(const std::string &path)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat st;
        if (::fstat(fd, &st) == 0) {
            ++files;
            auto *b = reinterpret_cast<unsigned char *>(buffer.data());
            const qint64 head = ::pread(fd, b, buffer.size(), 0);
            const qint64 tag = head > 0 ? tagSize(b, head) : 0;
            if (tag + 4 <= head) {
                headers += findHeader(b + tag, head - tag);
            } else if (tag < st.st_size) {
                unsigned char block[8 * 1024];
                const qint64 got = ::pread(fd, block, sizeof block, tag);
                headers += got > 0 && findHeader(block, got);
            }
            unsigned char tail[128];
            bool v1 = false;
            if (st.st_size >= 128) {
                if (head == st.st_size)
                    v1 = std::memcmp(b + head - 128, "TAG", 3) == 0;
                else
                    v1 = ::pread(fd, tail, 128, st.st_size - 128) == 128 && std::memcmp(tail, "TAG", 3) == 0;
            }
            if (!v1 && tag > 0) {
                ++tags;
                if (tag > head) {
                    tagBuffer.resize(size_t(tag));
                    if (::pread(fd, tagBuffer.data(), size_t(tag), 0) != tag)
                        --tags;
                }
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
