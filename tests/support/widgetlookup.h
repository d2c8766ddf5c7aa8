#pragma once

#include <QTest>
#include <QWidget>

// A named child of a window. A missing child fails the running test and
// gives a stand-in of the right type, so the test goes on to its end
// instead of crashing the whole test program.
template<typename T>
T *child(QWidget &parent, const char *name)
{
    T *w = parent.findChild<T *>(QLatin1String(name));
    if (!w) {
        QTest::qFail(qPrintable(QStringLiteral("missing child %1").arg(QLatin1String(name))), __FILE__, __LINE__);
        w = new T(&parent);
    }
    return w;
}
