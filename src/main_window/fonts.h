#pragma once

#include <QFont>

// The forms' fonts at their design sizes. "MS Sans Serif" and "Courier New" are rarely installed
// here; the system's sans and monospace families stand in at the same point size.
QFont formFont(bool bold = false);
QFont consoleFont();
