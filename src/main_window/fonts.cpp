#include "fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {
constexpr double DesignPointSize = 8.25;

// The first installed family of the list, else the system's own font of that kind. The
// Liberation fonts share the metrics of the Windows fonts the forms were designed with.
QFont designFont(const QStringList& families, QFontDatabase::SystemFont fallback) {
    QFont font = QFontDatabase::systemFont(fallback);
    for (const QString& family : families) {
        if (QFontDatabase::hasFamily(family)) {
            font = QFont(family);
            break;
        }
    }
    font.setPointSizeF(DesignPointSize);
    return font;
}
} // namespace

QFont formFont(bool bold) {
    QFont font = designFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")},
                            QFontDatabase::GeneralFont);
    font.setBold(bold);
    return font;
}

QFont consoleFont() {
    QFont font = designFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}, QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}
