#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

// What every window of the program shares on the desktop: the program's
// icon (message boxes and dialogs included) and a place inside the screen.
namespace DesktopWindows {

// The program's names as the desktop knows them ("ondro", its version,
// its desktop file), then install(). No display name is set: Qt would add
// it to every window's caption, and each window shows exactly its own.
void setUpApplication();

// What every window gets, installed once for the whole application before
// the first window: the program's icon, accessible names for controls
// without a caption, and a watch on every window as it is shown, so none
// opens larger than the available screen area or outside it. Safe to call
// more than once.
void install();

// The available area (without panels) of the screen the widget is on, or
// of the primary screen.
QRect availableArea(const QWidget *widget);

// The frame and title bar around the window: its own once the window
// manager has decorated it, before that those of the program's last
// decorated window (none before the first).
QMargins frameMargins(const QWidget *window);

// Shrinks the window to the available area where it is larger, never below
// what its layout needs unless that is larger too; the frame counts.
void fitSizeInside(QWidget *window);

// Shrinks the window to the available area where it is larger (never
// below what its layout needs unless that is larger too) and moves it
// inside; the frame and title bar count.
void fitInside(QWidget *window);

} // namespace DesktopWindows
