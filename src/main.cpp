#include "main_window/command_line.h"
#include "main_window/form1.h"
#include "platform/console.h"
#include "platform/termination_signals.h"

#include <QApplication>
#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The server the command line asked for, with its values checked before anything listens.
int startServer(Form1& form, const CommandLine& commandLine) {
    form.useForThisRun(commandLine.port, commandLine.maxClients);
    if (!isUsablePort(form.parleonPort) || !isUsableMaxClients(form.maxClients)) {
        std::fprintf(stderr, "parleon: the settings file's port %d or maximum of clients %d cannot be used.\n",
                     form.parleonPort, form.maxClients);
        return 2;
    }
    // Without a window nobody could retry: a failed start ends the program.
    if (!form.startServer() && commandLine.headless) return 1;
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    CommandLine commandLine;
    // Before the application object, which needs a display: --help works without one.
    if (const std::optional<int> status = parseCommandLine(argumentsOf(argc, argv), commandLine)) return *status;
    if (commandLine.headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        platform::setHeadless(true);
    }

    QApplication app(argc, argv);
    // Names the user's configuration folder, used when the program's own folder is read-only.
    QApplication::setApplicationName(QStringLiteral("Parleon"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.parleon.Parleon"));
    Form1 form;
    if (!commandLine.headless) form.show();
    if (commandLine.server)
        if (const int status = startServer(form, commandLine); status != 0) {
            platform::flushOutput();
            return status;
        }
    // An interrupt or a termination request ends the program as closing the window does.
    platform::onTerminationSignal(&form, [&form] {
        if (form.close()) QApplication::quit();
    });
    const int status = QApplication::exec();
    platform::flushOutput();
    return status;
}
