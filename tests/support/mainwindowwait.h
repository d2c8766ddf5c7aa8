#pragma once

#include "app/widgets/mainwindow.h"

#include <QHeaderView>
#include <QTest>

// The main window reads its catalogue on another core once shown, and
// sorts there too: these wait until that work is done.

// Shows the window and waits until its start-up load is in.
[[nodiscard]] inline bool showLoaded(Form2 &window)
{
    window.show();
    return QTest::qWaitFor([&] { return window.isLoaded() && !window.isBusy(); }, 60000);
}

// Clicks a column header of the catalogue and waits until the sort is applied.
[[nodiscard]] inline bool sortBy(Form2 &window, QHeaderView *header, int column)
{
    Q_EMIT header->sectionClicked(column);
    return QTest::qWaitFor([&] { return !window.isBusy(); }, 60000);
}
