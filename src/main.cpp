#include "main_window/form1.h"
#include "platform/console.h"
#include "platform/termination_signals.h"
#include "server/headless_server.h"
#include "settings/command_line.h"

#include <QApplication>
#include <cstdio>

namespace {
// Qt aborts when it finds no display; the user is told instead what runs without one.
bool displayNamed(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]).startsWith("-platform") || QByteArray(argv[i]).startsWith("--platform")) return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}
} // namespace

int main(int argc, char* argv[]) {
    CommandLine commandLine;
    // Before the application object, which needs a display: --help works without one.
    if (const std::optional<int> status = parseCommandLine(argumentsOf(argc, argv), commandLine)) return *status;
    // Without a window the program needs no display and no window system at all.
    if (commandLine.headless) return runHeadlessServer(argc, argv, commandLine);
    if (!displayNamed(argc, argv)) {
        std::fputs("parleon: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
                   "'parleon --server --headless' runs the server without one.\n",
                   stderr);
        return 1;
    }

    QApplication app(argc, argv);
    // Names the user's configuration folder, used when the program's own folder is read-only.
    QApplication::setApplicationName(QStringLiteral("Parleon"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.parleon.Parleon"));
    Form1 form;
    form.show();
    if (commandLine.server)
        if (const int status = startServerFromCommandLine(form.session, form.server, commandLine, false); status != 0)
            return status;
    // An interrupt or a termination request ends the program as closing the window does.
    platform::onTerminationSignal(&form, [&form] {
        if (form.QWidget::close()) QApplication::quit();
    });
    return QApplication::exec();
}
