#include "program_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// A bubble with corners of radius 3 and a tail on its bottom edge, from tailStart to the tip and
// back to tailEnd (both x positions on the bottom edge, tailStart the right one).
QPainterPath speechBubble(const QRectF& body, qreal tailStart, QPointF tip, qreal tailEnd) {
    constexpr qreal r = 3;
    const qreal left = body.left(), top = body.top(), right = body.right(), bottom = body.bottom();
    QPainterPath path(QPointF(left + r, top));
    path.lineTo(right - r, top);
    path.arcTo(QRectF(right - 2 * r, top, 2 * r, 2 * r), 90, -90);
    path.lineTo(right, bottom - r);
    path.arcTo(QRectF(right - 2 * r, bottom - 2 * r, 2 * r, 2 * r), 0, -90);
    path.lineTo(tailStart, bottom);
    path.lineTo(tip);
    path.lineTo(tailEnd, bottom);
    path.lineTo(left + r, bottom);
    path.arcTo(QRectF(left, bottom - 2 * r, 2 * r, 2 * r), 270, -90);
    path.lineTo(left, top + r);
    path.arcTo(QRectF(left, top, 2 * r, 2 * r), 180, -90);
    path.closeSubpath();
    return path;
}

} // namespace

QPixmap programIconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    // Dark tile, like the chat window's output box.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0));
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);

    // Back bubble in green, front bubble in white: two people talking. The same outlines as the
    // scalable icon the desktop shows.
    painter.setBrush(QColor(0, 255, 0));
    painter.drawPath(speechBubble(QRectF(4, 4, 18, 12), 12, QPointF(6, 20), 8));
    painter.setBrush(QColor(255, 255, 255));
    painter.drawPath(speechBubble(QRectF(11, 13, 17, 11), 23.5, QPointF(26, 28), 19));

    // Three dots of typing in the front bubble.
    painter.setBrush(QColor(0, 128, 0));
    for (int i = 0; i < 3; ++i) painter.drawEllipse(QPointF(15.5 + i * 4.0, 18.5), 1.4, 1.4);
    return pixmap;
}

QIcon programIcon() {
    QIcon icon;
    icon.addPixmap(programIconPixmap(16));
    icon.addPixmap(programIconPixmap(32));
    return icon;
}
