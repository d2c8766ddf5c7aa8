#pragma once

#include "base/settingsfile.h"

#include <QRect>
#include <QSize>
#include <vector>

class Platform;
class QMainWindow;
struct MainControls;

// Where the main window and its controls go: the controls laid out from
// the window's outer size in twips, the last column filling a wide list,
// the lowest height the screen allows, the place of the last run when it
// still fits, Reset Window, and the column widths of the settings.
class MainPlacement
{
public:
    MainPlacement(QMainWindow &window, const MainControls &ui, const Settings &settings, Platform &platform);

    double dpi() const;
    int px(double twips) const;

    void applyLayout();
    // The filter box gets the tool bar's width while it is in use (the
    // focus in it), over the buttons, where the window is too narrow for a
    // long query beside them; its message wraps below it.
    void placeFilter();
    void fillListWidth();
    // The window's lowest height in pixels: the layout's minimum, or the
    // screen's available height when that is lower.
    int minimumOuterHeight() const;
    // Notes the frame and title bar around the normal window, once known.
    void rememberNormalFrame();
    // The size and place of the last run where they fit the screen, else
    // centred; either way inside the available screen area; maximised when
    // the last run closed maximised.
    void placeOnScreen();
    void reset(); // Reset Window: the normal state at the first size
    void applyColumnWidths(const Settings &settings);
    // True while widths are being applied: not the user's resizing.
    bool applyingWidths() const { return m_applyingWidths; }

    // The widths (twips) the fact columns were given, shown or not.
    std::vector<float> factWidths;

private:
    void placeNormal();

    QMainWindow &m_window;
    const MainControls &m_ui;
    const Settings &m_settings;
    Platform &m_platform;
    bool m_applyingWidths = false;
    QRect m_filterNarrow, m_filterWide; // in pixels, from the last layout
    QSize m_normalFrame; // frame and title bar around the normal window, once known
};
