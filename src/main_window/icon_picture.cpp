#include "icon_picture.h"

#include "program_icon.h"

#include <QMouseEvent>

IconPicture::IconPicture(QWidget* parent) : QLabel(parent) {
    setPixmap(programIconPixmap(32));
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
}

void IconPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
}
