#pragma once

#include <QIcon>
#include <QPixmap>

// The program's own pictures, drawn at run time so they need no files and
// scale with the screen: tool bar buttons, the two row icons and the
// narrow strip shown beside the cover.
namespace AppIcons {

enum class Tool { Save, Scan, Find, FindAgain, Prepare, Print, Query, Media };

QIcon toolIcon(Tool tool);
QIcon ownTrackIcon();
QIcon libraryTrackIcon();
QPixmap coverStrip(int width, int height);
QIcon programIcon();

} // namespace AppIcons
