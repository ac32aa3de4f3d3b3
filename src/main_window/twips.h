#pragma once

#include <QRect>
#include <QSize>
#include <cmath>

// The forms are laid out in twips; 15 twips make one logical pixel, so Qt's scaling handles HiDPI.
inline constexpr int TwipsPerPixel = 15;

inline int twipsToPixels(double twips) { return static_cast<int>(std::lround(twips / TwipsPerPixel)); }

inline QRect twipsRect(double left, double top, double width, double height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

inline QSize twipsSize(double width, double height) { return QSize(twipsToPixels(width), twipsToPixels(height)); }
