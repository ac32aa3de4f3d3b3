#include "fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {
constexpr double DesignPointSize = 8.25;

QFont withFallback(const QString& designFamily, QFontDatabase::SystemFont fallback) {
    QFont font;
    font.setFamilies(QStringList{designFamily, QFontDatabase::systemFont(fallback).family()});
    font.setPointSizeF(DesignPointSize);
    return font;
}
} // namespace

QFont formFont(bool bold) {
    QFont font = withFallback(QStringLiteral("MS Sans Serif"), QFontDatabase::GeneralFont);
    font.setBold(bold);
    return font;
}

QFont consoleFont() {
    QFont font = withFallback(QStringLiteral("Courier New"), QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    return font;
}
