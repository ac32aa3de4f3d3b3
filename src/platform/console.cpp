#include "console.h"

#include <QStringList>
#include <QTimer>
#include <cstdio>

namespace platform {

namespace {
constexpr int OutputFlushMs = 10;
QByteArray pendingOutput;
bool flushQueued = false;
} // namespace

void writeOutput(const QString& text) {
    // Handed to the system at most every few milliseconds: a busy server prints a line for
    // every message, and a system call for each would cost more than the line is worth.
    pendingOutput += QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toUtf8();
    if (flushQueued) return;
    flushQueued = true;
    QTimer::singleShot(OutputFlushMs, &flushOutput);
}

void flushOutput() {
    std::fwrite(pendingOutput.constData(), 1, size_t(pendingOutput.size()), stdout);
    std::fflush(stdout);
    pendingOutput.clear();
    flushQueued = false;
}

void writeMessage(const QString& text) {
    for (const QString& line : QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(QLatin1Char('\n')))
        std::fprintf(stderr, "parleon: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace platform
