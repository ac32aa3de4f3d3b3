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
    QString display() const { return m_display; }
    QProcessEnvironment environment() const;

    // Runs xdotool or wmctrl on this display; returns its output, trimmed.
    QString run(const QString& tool, const QStringList& arguments, int* exitCode = nullptr) const;
    // The first visible window whose title matches the pattern, waiting for it.
    QString waitForWindow(const QString& titlePattern, int timeoutMs = 10000) const;
    QString title(const QString& window) const;
    void click(const QString& window, int x, int y) const;
    void typeLine(const QString& window, const QString& text) const;
    void pressKey(const QString& window, const QString& key) const;
    // Asks the window manager to close the window, as its close box does.
    void closeWindow(const QString& window) const;

private:
    QProcess m_xvfb;
    QProcess m_windowManager;
    QString m_display;
};

} // namespace testing
