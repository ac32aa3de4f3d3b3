#pragma once

#include "twips.h"

#include <QLabel>
#include <QLatin1String>
#include <QWidget>

// Creates a control on a form at its design position, given in twips, under its design name.
template <typename Control>
Control* placeControl(QWidget* form, const char* name, int left, int top, int width, int height) {
    auto* control = new Control(form);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(twipsRect(left, top, width, height));
    return control;
}

// Creates a label; where the stand-in font runs wider than the design font, the label grows to
// the right rather than cut its caption.
inline QLabel* placeLabel(QWidget* form, const char* name, const QString& caption, int left, int top, int width,
                          int height) {
    auto* label = placeControl<QLabel>(form, name, left, top, width, height);
    label->setText(caption);
    if (label->sizeHint().width() > label->width()) label->resize(label->sizeHint().width(), label->height());
    return label;
}

// What a screen reader says of a control.
inline void describeControl(QWidget* control, const QString& name, const QString& description = QString()) {
    control->setAccessibleName(name);
    if (!description.isEmpty()) control->setAccessibleDescription(description);
}
