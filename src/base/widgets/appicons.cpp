#include "base/widgets/appicons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace AppIcons {

namespace {

constexpr int Size = 48;

QPixmap canvas()
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void drawDisc(QPainter &p, const QRectF &r, const QColor &colour)
{
    p.setPen(QPen(colour.darker(160), 2));
    p.setBrush(colour);
    p.drawEllipse(r);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(r.center() - QPointF(r.width() / 8, r.height() / 8), QSizeF(r.width() / 4, r.height() / 4)));
}

void drawNote(QPainter &p, const QColor &colour)
{
    p.setPen(QPen(colour.darker(150), 3));
    p.setBrush(colour);
    p.drawEllipse(QRectF(8, 30, 12, 9));
    p.drawEllipse(QRectF(26, 26, 12, 9));
    p.drawLine(QPointF(19, 34), QPointF(19, 10));
    p.drawLine(QPointF(37, 30), QPointF(37, 6));
    p.drawLine(QPointF(19, 10), QPointF(37, 6));
}

void drawLens(QPainter &p, const QPointF &centre)
{
    p.setPen(QPen(QColor(40, 40, 40), 4));
    p.setBrush(QColor(180, 220, 255));
    p.drawEllipse(centre, 11, 11);
    p.drawLine(centre + QPointF(8, 8), centre + QPointF(18, 18));
}

QPixmap drawTool(Tool tool)
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (tool) {
    case Tool::Save:
        p.setPen(QPen(QColor(30, 50, 110), 2));
        p.setBrush(QColor(60, 100, 200));
        p.drawRoundedRect(QRectF(6, 6, 36, 36), 4, 4);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(13, 8, 22, 13));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(14, 28, 20, 12));
        break;
    case Tool::Scan:
        drawDisc(p, QRectF(4, 4, 40, 40), QColor(200, 200, 215));
        p.setPen(QPen(QColor(0, 140, 0), 3));
        p.drawArc(QRectF(9, 9, 30, 30), 30 * 16, 120 * 16);
        break;
    case Tool::Find:
        drawLens(p, QPointF(20, 20));
        break;
    case Tool::FindAgain:
        drawLens(p, QPointF(18, 18));
        p.setPen(QPen(QColor(0, 130, 0), 4));
        p.drawLine(QPointF(30, 8), QPointF(44, 8));
        p.drawLine(QPointF(38, 2), QPointF(44, 8));
        p.drawLine(QPointF(38, 14), QPointF(44, 8));
        break;
    case Tool::Prepare:
        drawDisc(p, QRectF(4, 8, 34, 34), QColor(230, 190, 90));
        p.setPen(QPen(QColor(200, 40, 20), 3));
        p.drawLine(QPointF(32, 4), QPointF(44, 16));
        p.drawLine(QPointF(44, 4), QPointF(32, 16));
        break;
    case Tool::Media: // three discs on a shelf
        for (int i = 0; i < 3; ++i)
            drawDisc(p, QRectF(2 + 8 * i, 10 - 3 * i, 28, 28), QColor(200 - 30 * i, 200, 215));
        p.setPen(QPen(QColor(120, 80, 40), 3));
        p.drawLine(QPointF(2, 42), QPointF(46, 42));
        break;
    case Tool::Print:
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(14, 4, 20, 16));
        p.setBrush(QColor(150, 150, 160));
        p.drawRoundedRect(QRectF(4, 18, 40, 16), 3, 3);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(12, 30, 24, 14));
        break;
    case Tool::Query:
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 4, 26, 36));
        for (int y = 12; y <= 32; y += 7)
            p.drawLine(QPointF(10, y), QPointF(28, y));
        drawLens(p, QPointF(30, 28));
        break;
    }
    return pixmap;
}

QIcon noteIcon(const QColor &colour, bool library)
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawNote(p, colour);
    if (library) {
        p.setPen(QPen(QColor(20, 20, 120), 3));
        p.setBrush(QColor(255, 255, 255, 220));
        p.drawRect(QRectF(26, 34, 16, 12));
    }
    return QIcon(pixmap);
}

} // namespace

QIcon toolIcon(Tool tool)
{
    return QIcon(drawTool(tool));
}

QIcon ownTrackIcon()
{
    static const QIcon icon = noteIcon(QColor(0, 140, 60), false);
    return icon;
}

QIcon libraryTrackIcon()
{
    static const QIcon icon = noteIcon(QColor(40, 80, 200), true);
    return icon;
}

QPixmap coverStrip(int width, int height)
{
    QPixmap pixmap(std::max(width, 1), std::max(height, 1));
    QPainter p(&pixmap);
    QLinearGradient shade(0, 0, pixmap.width(), 0);
    shade.setColorAt(0, QColor(30, 30, 30));
    shade.setColorAt(0.5, QColor(110, 110, 110));
    shade.setColorAt(1, QColor(30, 30, 30));
    p.fillRect(pixmap.rect(), shade);
    return pixmap;
}

QIcon programIcon()
{
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawDisc(p, QRectF(2, 2, 44, 44), QColor(90, 140, 220));
    return QIcon(pixmap);
}

} // namespace AppIcons
