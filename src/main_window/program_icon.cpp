#include "program_icon.h"

#include <QPainter>
#include <QPainterPath>

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
    QPainterPath back(QPointF(7, 4));
    back.lineTo(19, 4);
    back.arcTo(QRectF(16, 4, 6, 6), 90, -90);
    back.lineTo(22, 13);
    back.arcTo(QRectF(16, 10, 6, 6), 0, -90);
    back.lineTo(12, 16);
    back.lineTo(6, 20);
    back.lineTo(8, 16);
    back.lineTo(7, 16);
    back.arcTo(QRectF(4, 10, 6, 6), 270, -90);
    back.lineTo(4, 7);
    back.arcTo(QRectF(4, 4, 6, 6), 180, -90);
    back.closeSubpath();
    painter.setBrush(QColor(0, 255, 0));
    painter.drawPath(back);

    QPainterPath front(QPointF(14, 13));
    front.lineTo(25, 13);
    front.arcTo(QRectF(22, 13, 6, 6), 90, -90);
    front.lineTo(28, 21);
    front.arcTo(QRectF(22, 18, 6, 6), 0, -90);
    front.lineTo(23.5, 24);
    front.lineTo(26, 28);
    front.lineTo(19, 24);
    front.lineTo(14, 24);
    front.arcTo(QRectF(11, 18, 6, 6), 270, -90);
    front.lineTo(11, 16);
    front.arcTo(QRectF(11, 13, 6, 6), 180, -90);
    front.closeSubpath();
    painter.setBrush(QColor(255, 255, 255));
    painter.drawPath(front);

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
