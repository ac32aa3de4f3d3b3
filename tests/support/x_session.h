#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testing {

// A private X display (Xvfb) with a window manager (openbox), driven with xdotool and wmctrl,
// the way a person at the screen would drive it.
class XSession {
public:
    ~XSession();
    static bool toolsAvailable();
    bool start();
    QProcessEnvironment environment() const;

    // Runs xdotool, wmctrl or xprop on this display; returns its output, trimmed.
    QString run(const QString& tool, const QStringList& arguments) const;
    // The first visible window whose title matches the pattern, waiting for it.
    QString waitForWindow(const QString& titlePattern, int timeoutMs = 10000) const;
    QString title(const QString& window) const { return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window}); }
    void xdotool(const QString& window, const QStringList& arguments) const;

private:
    bool startOnce();
    void stop();
    QProcess m_xvfb;
    QProcess m_windowManager;
    QString m_display;
};

} // namespace testing
