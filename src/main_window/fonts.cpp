#include "fonts.h"

#include <QFontDatabase>

namespace {
constexpr double DesignPointSize = 8.25;

QFont designFont(const QString& designFamily, QFontDatabase::SystemFont fallback) {
    QFont font = QFontDatabase::hasFamily(designFamily) ? QFont(designFamily) : QFontDatabase::systemFont(fallback);
    font.setPointSizeF(DesignPointSize);
    return font;
}
} // namespace

QFont formFont(bool bold) {
    QFont font = designFont(QStringLiteral("MS Sans Serif"), QFontDatabase::GeneralFont);
    font.setBold(bold);
    return font;
}

QFont consoleFont() {
    QFont font = designFont(QStringLiteral("Courier New"), QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
