#pragma once

#include <QPixmap>
#include <QtGlobal>

// The pictures of the scan window's activity display, drawn rather than
// loaded: idle (a disc), walking (a magnifier over a folder) and three
// import frames (a disc whose bright sector turns a third each frame).
namespace ActivityIcons {

constexpr int Size = 32;

QPixmap idle();
QPixmap walking();
// frame is 1, 2 or 3.
QPixmap importFrame(int frame);

// The import frame shown after `imported` files: it advances every ten
// files, 1 to 2 to 3 and back to 1.
constexpr int importFrameFor(qsizetype imported)
{
    return int((imported / 10) % 3) + 1;
}

} // namespace ActivityIcons
