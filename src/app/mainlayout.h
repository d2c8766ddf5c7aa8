#pragma once

#include "base/twips.h"

#include <array>

// The main window's resize rules as a pure function of its outer size. All
// sizes are twips; positions of controls inside a frame are relative to
// that frame (ListView1 in Frame2, ListView2 in Frame1).
struct TwipsRect
{
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipsRect &) const = default;
};

struct MainLayout
{
    int windowWidth = 0, windowHeight = 0; // outer size after the minimum height rule
    TwipsRect frame3, frame2, listView1, frame1, listView2, image1, image2;
    std::array<TwipsRect, 7> buttons; // Command2, Command5, Command3, Command4, Command1, Command8, Command9
    TwipsRect mediaButton;            // right of the last of them, in the same frame
    TwipsRect filterArea;             // right of that, to the frame's right edge
    TwipsRect filterAreaWide;         // the same from the first button's left: its room while in use
    bool complete = true; // false when a step failed (e.g. a negative width) and the rest were skipped
};

constexpr int MinimumWindowHeightTwips = 9210;

// The controls at their designer geometry, for a window of that outer size.
MainLayout designerMainLayout(int outerWidthTwips, int outerHeightTwips);

// Widths follow the window width, the window is raised to the minimum
// height, and the height left over goes to the catalogue list; the mark
// bin frame and the pictures stay at the bottom. A step that would give a
// negative size stops the rules there: what it and later steps set keeps
// its earlier (designer) value. A screen lower than the minimum height
// lowers the minimum to what it has room for.
MainLayout layoutMainWindow(int outerWidthTwips, int outerHeightTwips,
                            int minimumHeightTwips = MinimumWindowHeightTwips);

