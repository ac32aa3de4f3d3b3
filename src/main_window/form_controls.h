#pragma once

#include "twips.h"

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
