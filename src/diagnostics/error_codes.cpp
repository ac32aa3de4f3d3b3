#include "error_codes.h"

#include <QFile>
#include <QHash>

namespace {

// The help texts live in a text file built into the program: a Windows Sockets error number,
// a space and its text on each line.
QHash<qint32, QString> readHelpTexts() {
    QHash<qint32, QString> texts;
    QFile file(QStringLiteral(":/diagnostics/error_texts.txt"));
    if (!file.open(QIODevice::ReadOnly)) return texts;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        texts.insert(line.section(QLatin1Char(' '), 0, 0).toInt(), line.section(QLatin1Char(' '), 1));
    }
    return texts;
}

} // namespace

QString getErrorText(qint32 number) {
    static const QHash<qint32, QString> texts = readHelpTexts();
    return texts.value(number, QStringLiteral("Error unknown."));
}
