#include "console.h"

#include <QStringList>
#include <cstdio>

namespace platform {

namespace {
bool headlessMode = false;
} // namespace

void setHeadless(bool headless) { headlessMode = headless; }
bool isHeadless() { return headlessMode; }

void writeOutput(const QString& text) {
    const QByteArray bytes = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void writeMessage(const QString& text) {
    for (const QString& line : QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(QLatin1Char('\n')))
        std::fprintf(stderr, "parleon: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace platform
