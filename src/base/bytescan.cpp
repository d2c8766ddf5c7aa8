#include "base/bytescan.h"

namespace ByteScan {

// Sixteen bytes at a time where the processor allows, then eight, then
// the last few as one word of bytes taken from them.
qsizetype plainRun(const char *text, qsizetype size)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= size; i += 16) {
        const int mask = escapeBits(_mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i)));
        if (mask != 0)
            return i + __builtin_ctz(unsigned(mask));
    }
#endif
    quint64 word;
    for (; i + 8 <= size; i += 8) {
        std::memcpy(&word, text + i, 8);
        if (anyNeedsEscape(word))
            break;
    }
    if (const qsizetype left = size - i; left > 0 && left < 8) {
        // The last bytes as one word, without reading past them: two
        // overlapping halves, or the first, middle and last byte, each
        // twice. A byte seen twice changes nothing for the question asked.
        const char *p = text + i;
        if (left >= 4) {
            quint32 low, high;
            std::memcpy(&low, p, 4);
            std::memcpy(&high, p + left - 4, 4);
            word = low | quint64(high) << 32;
        } else {
            const quint32 three = quint32(quint8(p[0])) | quint32(quint8(p[left / 2])) << 8 |
                                  quint32(quint8(p[left - 1])) << 16 | quint32(quint8(p[0])) << 24;
            word = three | quint64(three) << 32;
        }
        if (!anyNeedsEscape(word))
            return size;
    }
    return i + Scalar::plainRun(text + i, size - i);
}

} // namespace ByteScan
