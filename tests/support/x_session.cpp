#include "x_session.h"

#include "harness.h"

#include <QStandardPaths>

namespace testing {

XSession::~XSession() { stop(); }

void XSession::stop() {
    for (QProcess* process : {&m_windowManager, &m_xvfb}) {
        if (process->state() == QProcess::NotRunning) continue;
        process->terminate();
        if (!process->waitForFinished(3000)) process->kill();
        process->waitForFinished(3000);
    }
}

bool XSession::toolsAvailable() {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "wmctrl", "xprop"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) return false;
    return true;
}

bool XSession::start() {
    // A busy machine may be slow to bring up the display or its window manager: one more try.
    if (startOnce()) return true;
    stop();
    return startOnce();
}

bool XSession::startOnce() {
    // Xvfb picks a free display itself and says which: no race with other sessions.
    m_xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                          QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp")});
    QByteArray number;
    if (!waitUntil([&] { return (number += m_xvfb.readAllStandardOutput()).endsWith('\n'); }, 30000)) return false;
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    m_windowManager.setProcessEnvironment(environment());
    m_windowManager.start(QStringLiteral("openbox"), {});
    // The window manager is there once it answers for itself.
    return waitUntil([&] { return !run(QStringLiteral("wmctrl"), {QStringLiteral("-m")}).isEmpty(); }, 60000);
}

QProcessEnvironment XSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QString XSession::run(const QString& tool, const QStringList& arguments) const {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(tool, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString XSession::waitForWindow(const QString& titlePattern, int timeoutMs) const {
    QString window;
    waitUntil([&] {
        window = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                QStringLiteral("--name"), titlePattern}).section(QLatin1Char('\n'), 0, 0);
        return !window.isEmpty();
    }, timeoutMs);
    return window;
}

void XSession::xdotool(const QString& window, const QStringList& arguments) const {
    run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    run(QStringLiteral("xdotool"), arguments);
}

} // namespace testing
