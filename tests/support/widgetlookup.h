#pragma once

#include <QWidget>

// A named child of a window, with a warning naming it when it is missing.
template<typename T>
T *child(QWidget &parent, const char *name)
{
    T *w = parent.findChild<T *>(QLatin1String(name));
    if (!w)
        qWarning("missing child %s", name);
    return w;
}
