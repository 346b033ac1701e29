// The main window's own 16 x 16 pictures, drawn with simple shapes so they stay crisp at
// their design size and need no image files.

#include "tw/window/image_list.hpp"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <functional>

namespace tw::window {
namespace {

using Draw = std::function<void(QPainter&)>;

const QColor kInk(40, 40, 40);
const QColor kBlue(30, 80, 170);
const QColor kGreen(30, 150, 60);
const QColor kRed(200, 40, 40);
const QColor kYellow(245, 205, 70);

QPixmap Paint(const Draw& draw) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (draw) draw(p);
    p.end();
    return QPixmap::fromImage(image);
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& fill) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    p.setPen(QPen(fill.darker(140), 1));
    p.setBrush(fill);
    p.drawPath(path);
}

void Magnifier(QPainter& p) {
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(QColor(200, 230, 255));
    p.drawEllipse(QRectF(1.5, 1.5, 8.5, 8.5));
    p.setPen(QPen(QColor(120, 70, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.2, 9.2), QPointF(13.5, 13.5));
}

void Eye(QPainter& p, QRectF box) {
    QPainterPath lid;
    lid.moveTo(box.left(), box.center().y());
    lid.quadTo(box.center().x(), box.top() - 2, box.right(), box.center().y());
    lid.quadTo(box.center().x(), box.bottom() + 2, box.left(), box.center().y());
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::white);
    p.drawPath(lid);
    p.setBrush(kBlue);
    p.setPen(Qt::NoPen);
    const double r = box.height() * 0.32;
    p.drawEllipse(box.center(), r, r);
}

void Cross(QPainter& p, QPointF c, double r) {
    p.setPen(QPen(kGreen, 1.6));
    p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
}

void Disc(QPainter& p, const QColor& fill) {
    QRadialGradient g(QPointF(6, 6), 8);
    g.setColorAt(0, fill.lighter(160));
    g.setColorAt(1, fill);
    p.setPen(QPen(fill.darker(150), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
}

void Bar(QPainter& p, double x) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRect(QRectF(x, 3, 2, 10));
}

void Text(QPainter& p, const QRectF& box, const QString& text, const QColor& colour, int pixelSize) {
    QFont font("Sans");
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

const std::array<Draw, icons::Count>& Drawings() {
    static const std::array<Draw, icons::Count> drawings = {
        // 1 Open: an open yellow folder.
        [](QPainter& p) {
            p.setPen(QPen(QColor(150, 110, 20), 1));
            p.setBrush(QColor(230, 180, 60));
            p.drawRect(QRectF(1.5, 3.5, 11, 9));
            QPainterPath flap;
            flap.moveTo(3.5, 7.5);
            flap.lineTo(15, 7.5);
            flap.lineTo(12.5, 12.5);
            flap.lineTo(1.5, 12.5);
            flap.closeSubpath();
            p.setBrush(kYellow);
            p.drawPath(flap);
        },
        // 2 Watch root: a pair of glasses.
        [](QPainter& p) {
            p.setPen(QPen(kInk, 1.4));
            p.setBrush(QColor(200, 230, 255));
            p.drawEllipse(QRectF(1, 6, 6, 5));
            p.drawEllipse(QRectF(9, 6, 6, 5));
            p.drawLine(QPointF(7, 8), QPointF(9, 8));
        },
        // 3 Save: a blue disk with a label.
        [](QPainter& p) {
            p.setPen(QPen(kBlue.darker(150), 1));
            p.setBrush(kBlue);
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(190, 190, 190));
            p.drawRect(QRectF(4.5, 9.5, 7, 5));
        },
        // 4 Print: a printer with a sheet.
        [](QPainter& p) {
            p.setPen(QPen(kInk, 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 6));
            p.setBrush(QColor(170, 170, 170));
            p.drawRect(QRectF(1.5, 6.5, 13, 6));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            p.setPen(kGreen);
            p.drawPoint(QPointF(12.5, 8.5));
        },
        // 5 Start: a green play triangle.
        [](QPainter& p) { Triangle(p, {4, 2}, {14, 8}, {4, 14}, kGreen); },
        // 6 Stop: a red square.
        [](QPainter& p) {
            p.setPen(QPen(kRed.darker(150), 1));
            p.setBrush(kRed);
            p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1.5, 1.5);
        },
        // 7 Find: a magnifying glass.
        [](QPainter& p) { Magnifier(p); },
        // 8 Find Next: the magnifying glass with an arrow.
        [](QPainter& p) {
            Magnifier(p);
            Triangle(p, {11, 1}, {15.5, 4}, {11, 7}, kBlue);
        },
        // 9 Goto record number: an arrow onto a hash sign.
        [](QPainter& p) {
            Text(p, QRectF(6, 2, 10, 12), "#", kInk, 12);
            p.setPen(QPen(kBlue, 1.8));
            p.drawLine(QPointF(1, 8), QPointF(6, 8));
            Triangle(p, {5, 5}, {8, 8}, {5, 11}, kBlue);
        },
        // 10 Filter: a funnel.
        [](QPainter& p) {
            QPainterPath funnel;
            funnel.moveTo(1.5, 2.5);
            funnel.lineTo(14.5, 2.5);
            funnel.lineTo(9.5, 8.5);
            funnel.lineTo(9.5, 14.5);
            funnel.lineTo(6.5, 12.5);
            funnel.lineTo(6.5, 8.5);
            funnel.closeSubpath();
            p.setPen(QPen(kBlue.darker(140), 1));
            p.setBrush(QColor(110, 170, 230));
            p.drawPath(funnel);
        },
        // 11 Add watch: an eye with a plus.
        [](QPainter& p) {
            Eye(p, QRectF(1, 3, 12, 8));
            Cross(p, QPointF(12.5, 12.5), 2.8);
        },
        // 12 Ready: a green light.
        [](QPainter& p) { Disc(p, kGreen); },
        // 13 Stopped: a red light.
        [](QPainter& p) { Disc(p, kRed); },
        // 14 Next check point: a small red flag.
        [](QPainter& p) {
            p.setPen(QPen(kInk, 1.4));
            p.drawLine(QPointF(4, 2), QPointF(4, 15));
            QPainterPath flag;
            flag.moveTo(4.5, 2.5);
            flag.lineTo(13.5, 5);
            flag.lineTo(4.5, 8.5);
            flag.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(kRed);
            p.drawPath(flag);
        },
        // 15 First: a bar and a left triangle.
        [](QPainter& p) {
            Bar(p, 3);
            Triangle(p, {13, 3}, {6, 8}, {13, 13}, kBlue);
        },
        // 16 Previous: a left triangle.
        [](QPainter& p) { Triangle(p, {12, 3}, {4, 8}, {12, 13}, kBlue); },
        // 17 Next: a right triangle.
        [](QPainter& p) { Triangle(p, {4, 3}, {12, 8}, {4, 13}, kBlue); },
        // 18 Last: a right triangle and a bar.
        [](QPainter& p) {
            Triangle(p, {3, 3}, {10, 8}, {3, 13}, kBlue);
            Bar(p, 11);
        },
        // 19 Autos: a small window holding green crosses.
        [](QPainter& p) {
            p.setPen(QPen(kInk, 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.setBrush(kBlue);
            p.drawRect(QRectF(1.5, 2.5, 13, 2));
            Cross(p, QPointF(5.5, 9), 2);
            Cross(p, QPointF(10.5, 9), 2);
        },
        // 20 Value: an equals sign on a tag.
        [](QPainter& p) {
            p.setPen(QPen(kBlue.darker(140), 1));
            p.setBrush(QColor(220, 235, 255));
            p.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 2, 2);
            p.setPen(QPen(kBlue, 1.5));
            p.drawLine(QPointF(5, 6.5), QPointF(11, 6.5));
            p.drawLine(QPointF(5, 9.5), QPointF(11, 9.5));
        },
        // 21 to 30 are not used by the window.
        {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
        // 31 Record number: a hash sign.
        [](QPainter& p) { Text(p, QRectF(0, 0, 16, 16), "#", kBlue, 13); },
        // 32 Expression: a small eye on a line of text.
        [](QPainter& p) {
            Eye(p, QRectF(2, 2, 12, 7));
            p.setPen(QPen(kInk, 1));
            p.drawLine(QPointF(2, 12.5), QPointF(14, 12.5));
        },
        // 33 Object: four green crosses.
        [](QPainter& p) {
            Cross(p, QPointF(4.5, 4.5), 2.5);
            Cross(p, QPointF(11.5, 4.5), 2.5);
            Cross(p, QPointF(4.5, 11.5), 2.5);
            Cross(p, QPointF(11.5, 11.5), 2.5);
        },
    };
    return drawings;
}

}  // namespace

ImageList MakeMainIcons() {
    ImageList list;
    for (const Draw& draw : Drawings()) list.Add(Paint(draw));
    return list;
}

}  // namespace tw::window
