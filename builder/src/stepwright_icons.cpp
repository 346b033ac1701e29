#include "tw/builder/stepwright_icons.hpp"

#include "tw/builder/object_rows.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace tw::builder {

namespace {

QIcon Draw(const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(pixmap);
}

void Page(QPainter& p, const QRectF& r, const QColor& fill) {
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.setBrush(fill);
    p.drawRect(r);
}

void Lines(QPainter& p, const QRectF& r, int count, const QColor& colour) {
    p.setPen(QPen(colour, 1));
    for (int i = 0; i < count; ++i) {
        const qreal y = r.top() + 3 + 2.5 * i;
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
    }
}

void Letter(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, int pixelSize = 10) {
    QFont font = p.font();
    font.setPixelSize(pixelSize);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

}  // namespace

QList<QIcon> StepwrightImageList() {
    QList<QIcon> icons(icons::kCount);
    icons[icons::kCheckPoint] = Draw([](QPainter& p) {  // a green flag
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.drawLine(QPointF(4, 2), QPointF(4, 15));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 160, 60));
        p.drawPolygon(QPolygonF({QPointF(4.5, 2), QPointF(14, 5), QPointF(4.5, 9)}));
    });
    icons[icons::kError] = Draw([](QPainter& p) {  // a red disc with a cross
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
    });
    icons[icons::kMessage] = Draw([](QPainter& p) {  // a blue speech bubble
        p.setPen(QPen(QColor(20, 60, 140), 1));
        p.setBrush(QColor(90, 150, 230));
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(1, 2, 14, 9), 3, 3);
        bubble.moveTo(4, 11);
        bubble.lineTo(4, 15);
        bubble.lineTo(8, 11);
        p.drawPath(bubble.simplified());
        Lines(p, QRectF(2, 2, 12, 9), 2, Qt::white);
    });
    icons[icons::kNote] = Draw([](QPainter& p) {  // a yellow note
        Page(p, QRectF(2.5, 1.5, 11, 13), QColor(255, 236, 120));
        Lines(p, QRectF(2.5, 1.5, 11, 13), 4, QColor(150, 120, 20));
    });
    icons[icons::kWarning] = Draw([](QPainter& p) {  // a yellow triangle with "!"
        p.setPen(QPen(QColor(120, 90, 0), 1));
        p.setBrush(QColor(250, 200, 30));
        p.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15, 14.5), QPointF(1, 14.5)}));
        Letter(p, QRectF(0, 4, 16, 11), QStringLiteral("!"), Qt::black);
    });
    icons[icons::kReport] = Draw([](QPainter& p) {  // a report page
        Page(p, QRectF(2.5, 0.5, 11, 15), Qt::white);
        p.fillRect(QRectF(3, 1, 10, 3), QColor(40, 90, 170));
        Lines(p, QRectF(2.5, 3.5, 11, 12), 4, QColor(120, 120, 120));
    });
    icons[icons::kSubreport] = Draw([](QPainter& p) {  // a page inside a page
        Page(p, QRectF(0.5, 0.5, 11, 12), QColor(235, 235, 235));
        Page(p, QRectF(4.5, 3.5, 11, 12), Qt::white);
        p.fillRect(QRectF(5, 4, 10, 2.5), QColor(40, 140, 120));
        Lines(p, QRectF(4.5, 5.5, 11, 10), 3, QColor(120, 120, 120));
    });
    icons[icons::kField] = Draw([](QPainter& p) {  // a field box
        Page(p, QRectF(0.5, 3.5, 15, 9), QColor(230, 240, 255));
        Letter(p, QRectF(0, 3, 16, 10), QStringLiteral("ab"), QColor(20, 60, 140), 8);
    });
    icons[icons::kFormula] = Draw([](QPainter& p) {  // "x+" on a green tile
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 150, 80));
        p.drawRoundedRect(QRectF(0.5, 1.5, 15, 13), 2, 2);
        Letter(p, QRectF(0, 1, 16, 14), QStringLiteral("x+"), Qt::white, 9);
    });
    icons[icons::kVariable] = Draw([](QPainter& p) {  // "v" on an orange tile
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(225, 130, 30));
        p.drawRoundedRect(QRectF(0.5, 1.5, 15, 13), 2, 2);
        Letter(p, QRectF(0, 1, 16, 14), QStringLiteral("v"), Qt::white, 11);
    });
    return icons;
}

QIcon AddButtonIcon() {
    return Draw([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 150, 60));
        p.drawRect(QRectF(6.5, 2, 3, 12));
        p.drawRect(QRectF(2, 6.5, 12, 3));
    });
}

QIcon ClearButtonIcon() {
    return Draw([](QPainter& p) {
        Page(p, QRectF(2.5, 0.5, 10, 13), Qt::white);
        p.setPen(QPen(QColor(200, 30, 30), 2.2));
        p.drawLine(QPointF(6, 7), QPointF(14, 15));
        p.drawLine(QPointF(14, 7), QPointF(6, 15));
    });
}

QIcon CopyButtonIcon() {
    return Draw([](QPainter& p) {
        Page(p, QRectF(0.5, 0.5, 9, 11), Qt::white);
        Lines(p, QRectF(0.5, 0.5, 9, 11), 3, QColor(120, 120, 120));
        Page(p, QRectF(6.5, 4.5, 9, 11), Qt::white);
        Lines(p, QRectF(6.5, 4.5, 9, 11), 3, QColor(40, 90, 170));
    });
}

}  // namespace tw::builder
