#include "window_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace sealtool {

namespace {

constexpr int kSide = 64;  // the desktop entry's icon is drawn on a 64-pixel square as well
const QColor kInk(0xc8, 0x10, 0x2e);
const QColor kWood(0x8b, 0x5a, 0x2b);
const QColor kHandle(0x5b, 0x3a, 0x1e);

}  // namespace

QIcon windowIcon()
{
    // Drawn rather than read from the SVG, which needs a Qt plugin that a workstation may lack:
    // a seal above its red impression, as the menu shows it.
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kInk, 3));
    painter.drawEllipse(QPointF(32, 46), 15, 15);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    painter.drawEllipse(QPointF(32, 46), 6, 6);
    painter.setBrush(kHandle);
    painter.drawRoundedRect(QRectF(18, 24, 28, 7), 2, 2);
    painter.setBrush(kWood);
    painter.drawRect(QRectF(27, 10, 10, 15));
    painter.drawEllipse(QPointF(32, 8), 6, 6);
    painter.end();
    return QIcon(pixmap);
}

}  // namespace sealtool
