#include "app/widgets/mainplacement.h"

#include "app/mainlayout.h"
#include "app/widgets/desktopwindows.h"
#include "app/widgets/maincontrols.h"
#include "base/platform/platform.h"
#include "base/twips.h"
#include "base/widgets/rowlist.h"
#include "catalogue/factcolumns.h"
#include "base/widgets/appicons.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QToolButton>

#include <algorithm>

MainPlacement::MainPlacement(QMainWindow &window, const MainControls &ui, const Settings &settings,
                             Platform &platform)
    : factWidths(size_t(FactColumns::count()), 1200.0f), m_window(window), m_ui(ui), m_settings(settings),
      m_platform(platform)
{
}

double MainPlacement::dpi() const
{
    return m_window.logicalDpiX();
}

int MainPlacement::px(double twips) const
{
    return twipsToPixels(twips, dpi());
}

void MainPlacement::applyLayout()
{
    // The rules speak of the outer size, frame and title bar included.
    const QMargins frame = DesktopWindows::frameMargins(&m_window);
    const QSize frameExtra(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize outer = m_window.size() + frameExtra;
    const int minimumHeight = minimumOuterHeight() - frameExtra.height();
    if (minimumHeight > 0 && minimumHeight != m_window.minimumHeight())
        m_window.setMinimumHeight(minimumHeight);

    const int minimumTwips = minimumOuterHeight() < px(MinimumWindowHeightTwips)
                                 ? int(pixelsToTwips(minimumOuterHeight(), dpi()))
                                 : MinimumWindowHeightTwips;
    const MainLayout layout = layoutMainWindow(int(pixelsToTwips(outer.width(), dpi())),
                                               int(pixelsToTwips(outer.height(), dpi())), minimumTwips);
    const auto place = [this](QWidget *w, const TwipsRect &r) {
        w->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
    };
    for (size_t i = 0; i < m_ui.buttons.size(); ++i)
        place(m_ui.buttons[i], layout.buttons[i]);
    place(m_ui.mediaButton, layout.mediaButton);
    m_filterNarrow = QRect(px(layout.filterArea.left), px(layout.filterArea.top), px(layout.filterArea.width),
                           px(layout.filterArea.height));
    m_filterWide = QRect(px(layout.filterAreaWide.left), px(layout.filterAreaWide.top),
                         px(layout.filterAreaWide.width), px(layout.filterAreaWide.height));
    place(m_ui.toolFrame, layout.frame3);
    place(m_ui.catalogueFrame, layout.frame2);
    place(m_ui.catalogueView, layout.listView1);
    place(m_ui.markBinFrame, layout.frame1);
    place(m_ui.markBinView, layout.listView2);
    place(m_ui.coverImage, layout.image1);
    place(m_ui.coverPlaceholder, layout.image1);
    m_ui.coverImage->raise();
    place(m_ui.coverStrip, layout.image2);
    if (m_ui.coverStrip->pixmap().size() != m_ui.coverStrip->size())
        m_ui.coverStrip->setPixmap(AppIcons::coverStrip(m_ui.coverStrip->width(), m_ui.coverStrip->height()));
    m_ui.toolFrame->lower();
    placeFilter();
    fillListWidth();
}

void MainPlacement::placeFilter()
{
    if (m_filterNarrow.isNull())
        return; // not laid out yet
    QWidget *focus = m_window.focusWidget();
    // A wide window leaves the box room enough for a long query where it is.
    const bool roomy = m_filterNarrow.width() >= 80 * m_ui.filterField->fontMetrics().averageCharWidth();
    const bool inUse = !roomy && focus && (focus == m_ui.filterArea || m_ui.filterArea->isAncestorOf(focus));
    // Wrapped even where the box is narrow: "1000000 of 1000000 shown" cut
    // at the area's edge would read as another count.
    m_ui.shownLabel->setWordWrap(true);
    QRect room = inUse ? m_filterWide : m_filterNarrow;
    if ((inUse || roomy) && m_ui.filterArea->layout()->hasHeightForWidth())
        room.setHeight(std::max(room.height(), m_ui.filterArea->layout()->totalHeightForWidth(room.width())));
    if (m_ui.filterArea->geometry() != room)
        m_ui.filterArea->setGeometry(room);
    m_ui.filterArea->raise();
}

void MainPlacement::fillListWidth()
{
    // In a wide (maximised) window the last column takes the room the
    // others leave; its width in the settings stays the one it was given.
    QHeaderView *header = m_ui.catalogueView->header();
    int last = header->count() - 1;
    while (last > 0 && header->isSectionHidden(last))
        --last;
    if (last < 0 || (last >= Settings::ColumnCount && !FactColumns::isFactColumn(last)))
        return;
    const int given = px(last < Settings::ColumnCount ? m_settings.widths[size_t(last)]
                                                      : factWidths[size_t(last - FactColumns::First)]);
    const int room = m_ui.catalogueView->viewport()->width() - header->sectionPosition(last);
    const int width = std::max(given, room);
    if (width > 0 && header->sectionSize(last) != width) {
        m_applyingWidths = true;
        header->resizeSection(last, width);
        m_applyingWidths = false;
    }
}

int MainPlacement::minimumOuterHeight() const
{
    const int layoutMinimum = px(MinimumWindowHeightTwips);
    const QRect area = DesktopWindows::availableArea(&m_window);
    return area.isValid() ? std::min(layoutMinimum, area.height()) : layoutMinimum;
}

void MainPlacement::rememberNormalFrame()
{
    // A maximised window may be shown without its frame: only the normal
    // state tells how much the frame and title bar take.
    const QSize frame = m_window.frameGeometry().size() - m_window.size();
    if (m_window.isVisible() && m_window.windowState() == Qt::WindowNoState && !frame.isEmpty() &&
        frame != m_normalFrame) {
        m_normalFrame = frame;
        // The lowest height counts the frame: it was estimated until now.
        applyLayout();
    }
}

void MainPlacement::reset()
{
    // Taken before showNormal(): until the window manager has redrawn the
    // frame, the window reads as normal with the maximised frame.
    const QSize frameExtra =
        m_normalFrame.isValid() ? m_normalFrame : m_window.frameGeometry().size() - m_window.size();
    if (m_window.isMaximized() || m_window.isMinimized() || m_window.isFullScreen())
        m_window.showNormal();
    m_window.resize(px(10860) - frameExtra.width(),
                    std::max(px(9020) - frameExtra.height(), m_window.minimumHeight()));
}

void MainPlacement::placeOnScreen()
{
    placeNormal();
    // The normal place is set first: it is where un-maximising returns to.
    if (m_platform.mainWindowMaximized())
        m_window.setWindowState(m_window.windowState() | Qt::WindowMaximized);
}

void MainPlacement::placeNormal()
{
    const QRect area = DesktopWindows::availableArea(&m_window);
    // A place that no longer fits (another screen, a lower resolution) is
    // dropped rather than squeezed.
    // The title bar counts: a place that would put it off the screen (as a
    // larger scale makes of an old place) is dropped too.
    const QMargins frame = DesktopWindows::frameMargins(&m_window);
    const QRect remembered = m_platform.mainWindowGeometry();
    if (remembered.isValid() && area.contains(remembered.marginsAdded(frame))) {
        m_window.setGeometry(remembered);
        return;
    }
    DesktopWindows::fitInside(&m_window);
    const QRect outer = m_window.geometry().marginsAdded(DesktopWindows::frameMargins(&m_window));
    if (area.isValid())
        m_window.move(area.left() + (area.width() - outer.width()) / 2,
                      area.top() + (area.height() - outer.height()) / 2);
}

void MainPlacement::applyColumnWidths(const Settings &settings)
{
    m_applyingWidths = true;
    QHeaderView *header = m_ui.catalogueView->header();
    // A width far beyond the screen (a settings file with a huge number)
    // would overflow the pixel count and hide its column: clamp it.
    const QScreen *screen = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
    const int widest = screen ? std::max(screen->availableGeometry().width(), 1) : 4096;
    for (int column = 0; column < Settings::ColumnCount; ++column) {
        const int width = twipsToPixelsAtMost(settings.widths[size_t(column)], dpi(), widest);
        header->setSectionHidden(column, width <= 0);
        if (width > 0)
            header->resizeSection(column, width);
    }
    m_applyingWidths = false;
}
