#include "app/mainlayout.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int FrameSideMargin = 255;        // taken from the window width for the frames
constexpr int ListView1WidthMargin = 240;   // taken from Frame2's width
constexpr int Frame1FromBottom = 3360;      // window height to the top of Frame1
constexpr int Frame2HeightGap = 1310;       // taken from Frame1's top for Frame2's height
constexpr int ListView1HeightMargin = 360;  // taken from Frame2's height
constexpr int ImageTopOffset = 590 + 1080;  // added to Frame2's height

constexpr std::array<int, 7> ButtonLefts = {240, 1320, 2400, 3480, 4560, 5640, 6720};

TwipsRect wideFilter(const MainLayout &layout)
{
    const int left = layout.buttons.front().left;
    return {left, layout.filterArea.top, layout.filterArea.left + layout.filterArea.width - left,
            layout.filterArea.height};
}

} // namespace

MainLayout designerMainLayout(int outerWidthTwips, int outerHeightTwips)
{
    MainLayout layout;
    layout.windowWidth = outerWidthTwips;
    layout.windowHeight = outerHeightTwips;
    layout.frame3 = {120, 0, 10455, 1215};
    layout.frame2 = {120, 1200, 10575, 4455};
    layout.listView1 = {120, 240, 10335, 4095};
    layout.frame1 = {120, 5760, 7575, 2535};
    layout.listView2 = {120, 240, 7335, 2175};
    layout.image2 = {8400, 6120, 180, 1815};
    layout.image1 = {8520, 6120, 1815, 1815};
    for (size_t i = 0; i < ButtonLefts.size(); ++i)
        layout.buttons[i] = {ButtonLefts[i], 240, 975, 855};
    layout.mediaButton = {ButtonLefts.back() + 1080, 240, 975, 855};
    const int filterLeft = layout.mediaButton.left + layout.mediaButton.width + 120;
    layout.filterArea = {filterLeft, 240, std::max(0, layout.frame3.left + layout.frame3.width - 120 - filterLeft), 855};
    layout.filterAreaWide = wideFilter(layout);
    return layout;
}

MainLayout layoutMainWindow(int outerWidthTwips, int outerHeightTwips, int minimumHeightTwips)
{
    MainLayout layout = designerMainLayout(outerWidthTwips, outerHeightTwips);
    const auto fail = [&layout] {
        layout.complete = false;
        return layout;
    };

    const int frameWidth = outerWidthTwips - FrameSideMargin;
    if (frameWidth < 0)
        return fail();
    layout.frame2.width = frameWidth;

    const int listWidth = layout.frame2.width - ListView1WidthMargin;
    if (listWidth < 0)
        return fail();
    layout.listView1.width = listWidth;

    layout.frame3.width = frameWidth;
    layout.filterArea.width =
        std::max(0, layout.frame3.left + layout.frame3.width - 120 - layout.filterArea.left);
    layout.filterAreaWide = wideFilter(layout);

    if (layout.windowHeight < minimumHeightTwips)
        layout.windowHeight = minimumHeightTwips;
    // With the usual minimum in force none of these can turn negative; a
    // minimum lowered for a small screen may leave no room for the list.
    if (layout.windowHeight - Frame1FromBottom - Frame2HeightGap - ListView1HeightMargin < 0)
        return fail();

    layout.frame1.top = layout.windowHeight - Frame1FromBottom;
    layout.frame2.height = layout.frame1.top - Frame2HeightGap;
    layout.listView1.height = layout.frame2.height - ListView1HeightMargin;
    layout.image1.top = layout.frame2.height + ImageTopOffset;
    layout.image2.top = layout.frame2.height + ImageTopOffset;
    return layout;
}
