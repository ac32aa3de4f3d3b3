#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon, drawn in code: two speech bubbles on a dark tile, at 16 and 32 pixels.
QIcon programIcon();
QPixmap programIconPixmap(int size);
