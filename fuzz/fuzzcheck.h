#pragma once

#include <cstdio>
#include <cstdlib>

// A property a harness checks on every input: a broken one aborts, so
// libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                                      \
    do {                                                                                                           \
        if (!(condition)) {                                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);              \
            std::abort();                                                                                          \
        }                                                                                                          \
    } while (false)

#include "media/tracktags.h"

inline bool sameTags(const TrackTags &a, const TrackTags &b)
{
    return a.artist == b.artist && a.track == b.track && a.album == b.album && a.year == b.year && a.genre == b.genre;
}
