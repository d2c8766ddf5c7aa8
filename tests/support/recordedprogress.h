#pragma once

#include "base/workprogress.h"

#include <QList>

// A WorkProgress that keeps every step reported to it, and the total of
// the last one.
struct RecordedProgress : WorkProgress
{
    QList<qint64> steps;
    qint64 lastTotal = -1;

    RecordedProgress()
    {
        onStep = [this](qint64 i, qint64 n) {
            steps << i;
            lastTotal = n;
        };
    }
};
