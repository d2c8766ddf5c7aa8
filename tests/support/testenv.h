#pragma once

#include <QString>
#include <QTest>

// Points HOME and the XDG folders at a fresh temporary folder, so a test
// never reads or writes the user's own files. Must run before the
// application object exists; the folder is removed at exit.
namespace TestEnv {
QString isolate();
QString home(); // the temporary home made by isolate()
} // namespace TestEnv

#ifdef ONDRO_TEST_GUI
#include "app/widgets/desktopwindows.h"
#include <QApplication>
#define ONDRO_TEST_APP QApplication
// What the program installs for all its windows before the first one.
#define ONDRO_TEST_SET_UP DesktopWindows::install()
#else
#include <QCoreApplication>
#define ONDRO_TEST_APP QCoreApplication
#define ONDRO_TEST_SET_UP
#endif

// Like QTEST_MAIN, with the isolated environment.
#define ONDRO_TEST_MAIN(TestObject)                                                                                \
    int main(int argc, char **argv)                                                                                \
    {                                                                                                              \
        TestEnv::isolate();                                                                                        \
        ONDRO_TEST_APP app(argc, argv);                                                                            \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                   \
        ONDRO_TEST_SET_UP;                                                                                         \
        TestObject tc;                                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                                      \
    }
