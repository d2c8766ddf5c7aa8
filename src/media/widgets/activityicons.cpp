#include "media/widgets/activityicons.h"

#include <QPainter>
#include <QPainterPath>

namespace ActivityIcons {

namespace {

QPixmap blank()
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A compact disc: silver face, a rim, and the hole; highlightStart (in
// degrees) places a bright sector, or none when negative.
void drawDisc(QPainter &p, const QRectF &box, int highlightStart)
{
    p.setPen(QPen(QColor(90, 90, 110), 1.2));
    QRadialGradient face(box.center(), box.width() / 2);
    face.setColorAt(0.0, QColor(245, 245, 250));
    face.setColorAt(1.0, QColor(170, 175, 195));
    p.setBrush(face);
    p.drawEllipse(box);
    if (highlightStart >= 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(70, 130, 230, 200));
        p.drawPie(box.adjusted(1, 1, -1, -1), highlightStart * 16, 80 * 16);
    }
    const qreal hub = box.width() * 0.34;
    const QRectF hubBox(box.center().x() - hub / 2, box.center().y() - hub / 2, hub, hub);
    p.setPen(QPen(QColor(90, 90, 110), 1.0));
    p.setBrush(QColor(225, 225, 232));
    p.drawEllipse(hubBox);
    const qreal hole = box.width() * 0.14;
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(box.center().x() - hole / 2, box.center().y() - hole / 2, hole, hole));
}

} // namespace

QPixmap idle()
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawDisc(p, QRectF(2, 2, Size - 4, Size - 4), -1);
    return pixmap;
}

QPixmap walking()
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Folder.
    QPainterPath folder;
    folder.moveTo(2, 9);
    folder.lineTo(11, 9);
    folder.lineTo(14, 12);
    folder.lineTo(28, 12);
    folder.lineTo(28, 27);
    folder.lineTo(2, 27);
    folder.closeSubpath();
    p.setPen(QPen(QColor(150, 110, 20), 1.2));
    p.setBrush(QColor(250, 205, 80));
    p.drawPath(folder);
    // Magnifier over it.
    p.setPen(QPen(QColor(40, 40, 40), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(22, 22), QPointF(29, 29));
    p.setPen(QPen(QColor(40, 40, 40), 2.0));
    p.setBrush(QColor(200, 230, 255, 210));
    p.drawEllipse(QPointF(17, 17), 7, 7);
    return pixmap;
}

QPixmap importFrame(int frame)
{
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const int f = qBound(1, frame, 3);
    drawDisc(p, QRectF(2, 2, Size - 4, Size - 4), (450 - (f - 1) * 120) % 360);
    return pixmap;
}

} // namespace ActivityIcons
