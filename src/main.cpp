#include "main_window/form1.h"
#include "platform/console.h"
#include "platform/termination_signals.h"
#include "server/headless_server.h"
#include "settings/command_line.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace {
// Qt ends the program when it cannot open a display (none named, or one that does not answer):
// the user is told in one line what runs without one, instead of Qt's advice to reinstall.
// Qt's other start-up messages are held and passed on once the display is open.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
QtMessageHandler passOn = nullptr;
QList<HeldMessage>* heldMessages = nullptr;

void whileOpeningDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fputs("parleon: no display could be opened (is DISPLAY or WAYLAND_DISPLAY set to a running one?); "
                   "'parleon --server --headless' runs the server without one.\n",
                   stderr);
        std::_Exit(1);
    }
    heldMessages->append({type, QByteArray(context.category ? context.category : ""), text});
}

void passOnHeldMessages() {
    qInstallMessageHandler(passOn);
    for (const HeldMessage& message : *heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        passOn(message.type, context, message.text);
    }
    delete heldMessages;
    heldMessages = nullptr;
}
} // namespace

int main(int argc, char* argv[]) {
    platform::keepStandardDescriptors();
    CommandLine commandLine;
    // Before the application object, which needs a display: --help works without one.
    if (const std::optional<int> status = parseCommandLine(argumentsOf(argc, argv), commandLine)) return *status;
    // Without a window the program needs no display and no window system at all.
    if (commandLine.headless) return runHeadlessServer(argc, argv, commandLine);
    heldMessages = new QList<HeldMessage>;
    passOn = qInstallMessageHandler(whileOpeningDisplay);
    QApplication app(argc, argv);
    passOnHeldMessages();
    // The window's class for the window manager and the desktop ("Parleon"), before any window.
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
