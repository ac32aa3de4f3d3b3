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

    // Back bubble in green, front bubble in white: two people talking.
    QPainterPath back;
    back.addRoundedRect(QRectF(4, 4, 18, 12), 3, 3);
    back.moveTo(8, 15);
    back.lineTo(6, 20);
    back.lineTo(12, 15);
    painter.setBrush(QColor(0, 255, 0));
    painter.drawPath(back.simplified());

    QPainterPath front;
    front.addRoundedRect(QRectF(11, 13, 17, 11), 3, 3);
    front.moveTo(23, 23);
    front.lineTo(26, 28);
    front.lineTo(19, 23);
    painter.setBrush(QColor(255, 255, 255));
    painter.drawPath(front.simplified());

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
