#include "headless_server.h"

#include "platform/console.h"
#include "platform/termination_signals.h"
#include "settings/command_line.h"

#include <QCoreApplication>
#include <cstdio>

HeadlessServer::HeadlessServer() : session(*this), server(session) {
    session.Form_Load();
    session.Timer1.start();
}

void HeadlessServer::printText(const QString& text) {
    if (m_outputLength > MaxOutputLength) {
        platform::writeOutput(m_terminalText(OutputResetLine));
        m_outputLength = OutputResetLine.size();
    }
    platform::writeOutput(m_terminalText(text));
    m_outputLength += text.size();
}

platform::MsgResult HeadlessServer::msgBox(const QString& text, platform::MsgButtons buttons, platform::MsgIcon) {
    // Nobody to ask: the box is told and answered with its default button.
    platform::writeMessage(text);
    return platform::defaultAnswer(buttons);
}

void HeadlessServer::close() {
    int cancel = 0;
    session.Form_QueryUnload(cancel);
    if (cancel == 0) QCoreApplication::quit();
}

int startServerFromCommandLine(ChatSession& session, ChatServer& server, const CommandLine& commandLine,
                               bool mustStart) {
    session.useForThisRun(commandLine.port, commandLine.maxClients);
    server.printChatLines = commandLine.chatLines;
    if (!isUsablePort(session.parleonPort) || !isUsableMaxClients(session.maxClients)) {
        std::fprintf(stderr, "parleon: the settings file's port %d or maximum of clients %d cannot be used.\n",
                     session.parleonPort, session.maxClients);
        return 2;
    }
    if (!server.startServer() && mustStart) return 1;
    return 0;
}

int runHeadlessServer(int& argc, char** argv, const CommandLine& commandLine) {
    QCoreApplication app(argc, argv);
    HeadlessServer headless;
    if (const int status = startServerFromCommandLine(headless.session, headless.server, commandLine, true);
        status != 0) {
        platform::flushOutput();
        return status;
    }
    // An interrupt or a termination request ends the program as closing the window does.
    platform::onTerminationSignal(&headless.session, [&headless] { headless.close(); });
    const int status = QCoreApplication::exec();
    platform::flushOutput();
    return status;
}
