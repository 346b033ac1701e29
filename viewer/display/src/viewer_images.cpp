#include "tw/display/viewer_images.hpp"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <array>

namespace tw::viewer {

namespace {

const QColor kDarkBlue(0, 0, 128);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
const QColor kPaleYellow(255, 255, 160);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 160, 0);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kGrey(128, 128, 128);

void DrawLetter(QPainter& p, const QRectF& box, const QString& text, const QColor& colour, int pixels,
                bool bold = true) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

void Triangle(QPainter& p, const QRectF& r) {
    QPolygonF tri;
    tri << QPointF(r.center().x(), r.top()) << r.bottomRight() << r.bottomLeft();
    p.setPen(QPen(kBlack, 1));
    p.setBrush(kYellow);
    p.drawPolygon(tri);
    p.setPen(QPen(kBlack, 1.6));
    const double x = r.center().x();
    p.drawLine(QPointF(x, r.top() + r.height() * 0.35), QPointF(x, r.top() + r.height() * 0.7));
    p.drawPoint(QPointF(x, r.bottom() - r.height() * 0.12));
}

// A small box at the bottom with a dotted arrow leaving it to the right (out) or pointing
// left into it (in).
void BoxArrow(QPainter& p, bool out) {
    p.setPen(QPen(kBlack, 1));
    p.setBrush(kWhite);
    p.drawRect(QRectF(out ? 1.5 : 9.5, 10.5, 5, 4));
    QPen dotted(kBlue, 1, Qt::DotLine);
    p.setPen(dotted);
    if (out) {
        p.drawLine(QPointF(7, 12.5), QPointF(14, 12.5));
        p.setPen(QPen(kBlue, 1));
        p.drawLine(QPointF(14.5, 12.5), QPointF(12, 10.5));
        p.drawLine(QPointF(14.5, 12.5), QPointF(12, 14.5));
    } else {
        p.drawLine(QPointF(2, 12.5), QPointF(9, 12.5));
        p.setPen(QPen(kBlue, 1));
        p.drawLine(QPointF(8.5, 12.5), QPointF(6, 10.5));
        p.drawLine(QPointF(8.5, 12.5), QPointF(6, 14.5));
    }
}

void FormulaText(QPainter& p) { DrawLetter(p, QRectF(0, 0, 16, 9), QStringLiteral("x+2"), kDarkBlue, 8); }

void SubreportSheet(QPainter& p) {
    p.setPen(QPen(kBlue, 1));
    p.setBrush(kYellow);
    p.drawRect(QRectF(2.5, 1.5, 11, 6));
}

void GreenCross(QPainter& p, double cx, double cy) {
    p.setPen(QPen(kGreen, 2));
    p.drawLine(QPointF(cx - 2.5, cy), QPointF(cx + 2.5, cy));
    p.drawLine(QPointF(cx, cy - 2.5), QPointF(cx, cy + 2.5));
}

// Drawn for a screen's scale (1, 1.25, 2, ...): the same strokes on more pixels, so the
// pictures stay sharp where the screen scales.
QPixmap Draw(int index, qreal scale = 1.0) {
    const int side = qRound(16 * scale);
    QPixmap pm(side, side);
    pm.setDevicePixelRatio(scale);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    switch (index) {
        case 1:  // empty
            break;
        case 2:  // white i in a dark blue disc
            p.setPen(Qt::NoPen);
            p.setBrush(kDarkBlue);
            p.drawEllipse(QRectF(1, 1, 14, 14));
            DrawLetter(p, QRectF(1, 1, 14, 14), QStringLiteral("i"), kWhite, 11);
            break;
        case 3:  // large yellow triangle with a black exclamation mark
            Triangle(p, QRectF(0.5, 0.5, 15, 14.5));
            break;
        case 4:  // red disc with a white cross
            p.setPen(Qt::NoPen);
            p.setBrush(kRed);
            p.drawEllipse(QRectF(1, 1, 14, 14));
            p.setPen(QPen(kWhite, 2));
            p.drawLine(QPointF(5, 5), QPointF(11, 11));
            p.drawLine(QPointF(11, 5), QPointF(5, 11));
            break;
        case 5: {  // yellow note sheet with a small sparkle at its corner
            p.setPen(QPen(kGrey, 1));
            p.setBrush(kPaleYellow);
            QPolygonF sheet;
            sheet << QPointF(2.5, 3.5) << QPointF(10.5, 3.5) << QPointF(13.5, 6.5) << QPointF(13.5, 15.5)
                  << QPointF(2.5, 15.5);
            p.drawPolygon(sheet);
            p.setPen(QPen(kGrey, 1));
            for (double y = 7.5; y < 15; y += 2.5) p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
            p.setPen(QPen(QColor(255, 200, 0), 1.2));
            p.drawLine(QPointF(13, 0.5), QPointF(13, 5.5));
            p.drawLine(QPointF(10.5, 3), QPointF(15.5, 3));
            p.drawLine(QPointF(11.3, 1.3), QPointF(14.7, 4.7));
            p.drawLine(QPointF(14.7, 1.3), QPointF(11.3, 4.7));
            break;
        }
        case 6:  // x+2 above a small box with a dotted arrow leaving it to the right
            FormulaText(p);
            BoxArrow(p, true);
            break;
        case 7:  // x+2 above a dotted arrow pointing left into a small box
            FormulaText(p);
            BoxArrow(p, false);
            break;
        case 8:  // small red flag
            p.setPen(QPen(kBlack, 1.2));
            p.drawLine(QPointF(4.5, 2), QPointF(4.5, 15));
            p.setPen(Qt::NoPen);
            p.setBrush(kRed);
            p.drawPolygon(QPolygonF() << QPointF(5, 2.5) << QPointF(13, 5.5) << QPointF(5, 8.5));
            break;
        case 9:  // yellow rectangle framed in blue above a box with a dotted arrow leaving it
            SubreportSheet(p);
            BoxArrow(p, true);
            break;
        case 10:  // the same rectangle above a dotted arrow pointing left into a box
            SubreportSheet(p);
            BoxArrow(p, false);
            break;
        case 11:  // small yellow triangle with a black exclamation mark
            Triangle(p, QRectF(3.5, 4.5, 10, 10));
            break;
        case 12: {  // speech bubble with a blue letter i
            QPainterPath bubble;
            bubble.addRoundedRect(QRectF(1.5, 1.5, 13, 10), 3, 3);
            QPolygonF tail;
            tail << QPointF(4, 11) << QPointF(3, 15) << QPointF(8, 11);
            bubble.addPolygon(tail);
            bubble = bubble.simplified();
            p.setPen(QPen(kGrey, 1));
            p.setBrush(kWhite);
            p.drawPath(bubble);
            DrawLetter(p, QRectF(1.5, 1.5, 13, 10), QStringLiteral("i"), kBlue, 10);
            break;
        }
        case 13:  // small window holding green crosses
            p.setPen(QPen(kDarkBlue, 1));
            p.setBrush(kWhite);
            p.drawRect(QRectF(0.5, 1.5, 15, 13));
            p.fillRect(QRectF(1, 2, 14.5, 2.5), kDarkBlue);
            GreenCross(p, 5, 8.5);
            GreenCross(p, 11, 8.5);
            break;
        case 14:  // four green crosses
            GreenCross(p, 4, 4);
            GreenCross(p, 12, 4);
            GreenCross(p, 4, 12);
            GreenCross(p, 12, 12);
            break;
        default:
            break;
    }
    return pm;
}

}  // namespace

QPixmap ViewerPixmap(int index) {
    if (index < 1 || index > kViewerImageCount) return {};
    return Draw(index);
}

const QIcon& ViewerImage(int index) {
    static const QIcon none;
    static std::array<QIcon, kViewerImageCount + 1> icons;
    static bool drawn = false;
    if (!drawn) {
        drawn = true;
        for (int i = 2; i <= kViewerImageCount; ++i) {
            QIcon& icon = icons[std::size_t(i)];
            for (qreal scale : {1.0, 1.25, 1.5, 2.0, 3.0}) icon.addPixmap(Draw(i, scale));
        }
    }
    if (index < 2 || index > kViewerImageCount) return none;
    return icons[std::size_t(index)];
}

}  // namespace tw::viewer
