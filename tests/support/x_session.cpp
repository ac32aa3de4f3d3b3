#include "x_session.h"

#include "test_support.h"

#include <QFile>
#include <QStandardPaths>

namespace testing {

XSession::~XSession() {
    for (QProcess* process : {&m_windowManager, &m_xvfb}) {
        if (process->state() == QProcess::NotRunning) continue;
        process->terminate();
        if (!process->waitForFinished(3000)) process->kill();
        process->waitForFinished(3000);
    }
}

bool XSession::toolsAvailable() {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "wmctrl"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) return false;
    return true;
}

bool XSession::start() {
    for (int number = 120; number < 220; ++number) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
            QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            continue;
        m_display = QStringLiteral(":%1").arg(number);
        m_xvfb.start(QStringLiteral("Xvfb"), {m_display, QStringLiteral("-screen"), QStringLiteral("0"),
                                              QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                                              QStringLiteral("tcp")});
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        if (!waitUntil([&] { return QFile::exists(socket) || m_xvfb.state() == QProcess::NotRunning; }, 20000) ||
            m_xvfb.state() == QProcess::NotRunning) {
            qWarning() << "Xvfb did not start on" << m_display << m_xvfb.readAllStandardError();
            continue;
        }
        m_windowManager.setProcessEnvironment(environment());
        m_windowManager.start(QStringLiteral("openbox"), {});
        // The window manager is there once it answers for itself.
        const bool managed = waitUntil([&] {
            int code = 1;
            run(QStringLiteral("wmctrl"), {QStringLiteral("-m")}, &code);
            return code == 0;
        }, 20000);
        if (!managed) qWarning() << "no window manager on" << m_display << m_windowManager.readAllStandardError();
        return managed;
    }
    return false;
}

QProcessEnvironment XSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

QString XSession::run(const QString& tool, const QStringList& arguments, int* exitCode) const {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(tool, arguments);
    process.waitForFinished(10000);
    if (exitCode) *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QString XSession::waitForWindow(const QString& titlePattern, int timeoutMs) const {
    QString window;
    waitUntil([&] {
        window = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                QStringLiteral("--name"), titlePattern})
                     .section(QLatin1Char('\n'), 0, 0);
        return !window.isEmpty();
    }, timeoutMs);
    return window;
}

QString XSession::title(const QString& window) const {
    return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window});
}

void XSession::click(const QString& window, int x, int y) const {
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                                    QString::number(x), QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

void XSession::typeLine(const QString& window, const QString& text) const {
    run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), text});
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
}

void XSession::pressKey(const QString& window, const QString& key) const {
    run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
}

void XSession::closeWindow(const QString& window) const {
    run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), window});
}

} // namespace testing
