#pragma once

#include <QtConcurrent/QtConcurrentMap>
#include "base/workpool.h"
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <vector>

// The stable order of items by their sort keys, byte strings that hold no
// zero byte (ICU sort keys, or text folded through a table of ranks).
// Items are sorted by eight key bytes at a time, going on to the next eight
// only within runs that tie, so long shared prefixes (paths) cost no string
// comparisons; large ranges use both threads.
namespace KeyOrder {

struct Item
{
    quint64 key;  // the next eight key bytes, big-endian, zero-padded
    quint32 index;
    quint32 pos;  // where the key bytes after these start
};

// A function object, not a function pointer, so the sorts inline it.
inline constexpr auto itemLess = [](const Item &a, const Item &b) {
    return a.key != b.key ? a.key < b.key : a.index < b.index;
};

// Sorts a range, the two halves of a large one on two threads.
inline void sortItems(std::vector<Item> &items, size_t begin, size_t end)
{
    const auto first = items.begin() + qsizetype(begin), last = items.begin() + qsizetype(end);
    if (end - begin < 65536) {
        std::sort(first, last, itemLess);
        return;
    }
    const auto middle = first + qsizetype(end - begin) / 2;
    QFuture<void> half = QtConcurrent::run(workPool(), [&] { std::sort(first, middle, itemLess); });
    std::sort(middle, last, itemLess);
    half.waitForFinished();
    std::inplace_merge(first, middle, last, itemLess);
}

// The n key bytes gathered at the low end of bytes, moved to the high end
// as a key of nextKey() below holds them.
inline quint64 packed(quint64 bytes, int n)
{
    return n == 0 ? 0 : bytes << (8 * (8 - n));
}

// nextKey(index, pos) gives the eight key bytes of item index from pos on
// and moves pos past them. Key bytes are never zero, so a key whose last
// byte is zero ends its text: items that tie on it are equal, and the
// index keeps them in their old order.
template <typename NextKey>
std::vector<qsizetype> order(qsizetype count, NextKey nextKey)
{
    struct Run { size_t begin, end; };
    std::vector<Item> items(static_cast<size_t>(count));
    const auto findTies = [&items](size_t begin, size_t end, std::vector<Run> &ties) {
        for (size_t i = begin; i < end;) {
            size_t j = i + 1;
            while (j < end && items[j].key == items[i].key)
                ++j;
            if (j - i > 1 && (items[i].key & 0xff) != 0)
                ties.push_back({i, j});
            i = j;
        }
    };
    const auto rekey = [&](const Run &run) {
        for (size_t i = run.begin; i < run.end; ++i)
            items[i].key = nextKey(items[i].index, items[i].pos);
    };

    for (qsizetype i = 0; i < count; ++i) {
        Item &item = items[size_t(i)];
        item.index = quint32(i);
        item.pos = 0;
        item.key = nextKey(item.index, item.pos);
    }
    sortItems(items, 0, items.size());
    std::vector<Run> ties;
    findTies(0, items.size(), ties);
    // While one run holds most items (a prefix every path shares), it is
    // taken on its own, sorted on both threads.
    while (ties.size() == 1 && ties.front().end - ties.front().begin > items.size() / 2) {
        const Run run = ties.front();
        ties.clear();
        rekey(run);
        sortItems(items, run.begin, run.end);
        findTies(run.begin, run.end, ties);
    }
    // Runs that tie are independent of each other.
    QtConcurrent::blockingMap(workPool(), ties, [&](const Run &outer) {
        std::vector<Run> todo{outer};
        while (!todo.empty()) {
            const Run run = todo.back();
            todo.pop_back();
            rekey(run);
            std::sort(items.begin() + qsizetype(run.begin), items.begin() + qsizetype(run.end), itemLess);
            findTies(run.begin, run.end, todo);
        }
    });

    std::vector<qsizetype> order(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        order[i] = items[i].index;
    return order;
}

} // namespace KeyOrder
