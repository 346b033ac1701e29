#include "tw/window/product_picture.hpp"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tw::window {

// A deep-blue tile with a trace on it: indented lines as the trace tree shows them, the line
// of an entry into a formula marked by a red flag, and a lens over the trace.
QPixmap ProductPicture(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 64.0, side / 64.0);

    QLinearGradient tile(0, 0, 64, 64);
    tile.setColorAt(0, QColor(0x1f, 0x4e, 0x9c));
    tile.setColorAt(1, QColor(0x0b, 0x24, 0x52));
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(1, 1, 62, 62), 10, 10);
    p.fillPath(rounded, tile);

    // Trace lines: record number block, then the message, nested one step.
    const struct { double indent; double length; } lines[] = {{0, 34}, {6, 28}, {6, 22}, {12, 24}, {6, 18}, {0, 30}};
    for (int i = 0; i < 6; ++i) {
        const double y = 10 + i * 8;
        p.fillRect(QRectF(8, y, 5, 4), QColor(0x9f, 0xc5, 0xff));
        p.fillRect(QRectF(16 + lines[i].indent, y, lines[i].length, 4), QColor(0xf2, 0xf6, 0xff));
    }
    // The flag of a check point beside the third line.
    p.setPen(QPen(QColor(0xff, 0xd2, 0x4d), 1.5));
    p.drawLine(QPointF(50, 24), QPointF(50, 34));
    p.fillRect(QRectF(50.5, 24, 7, 5), QColor(0xe0, 0x3a, 0x3a));

    // The lens.
    p.setPen(QPen(QColor(0xff, 0xd2, 0x4d), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(47, 47), QPointF(57, 57));
    p.setPen(QPen(QColor(0xff, 0xd2, 0x4d), 3));
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawEllipse(QPointF(40, 40), 9, 9);
    return pixmap;
}

}  // namespace tw::window
