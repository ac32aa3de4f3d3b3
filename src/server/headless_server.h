#pragma once

#include "chat_server.h"
#include "protocol/chat_session.h"
#include "terminal_text.h"

struct CommandLine;

// The chat server without a window: the output log goes to standard output, message boxes to
// standard error, answered with their default button; dialogs are never shown.
class HeadlessServer : public ChatView {
public:
    HeadlessServer();

    ChatSession session;
    ChatServer server;

    void printText(const QString& text) override;
    platform::MsgResult msgBox(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon) override;
    void showTitle(const QString&) override {}
    bool showsTitle() const override { return false; }
    bool showServerSettings() override { return false; }
    bool showConnectDialog() override { return false; }
    void focusInput() override {}
    void lineSent(const QString&) override {}
    void messageArrived() override {}
    // Closes the clients and writes the settings, as closing the window does; then ends.
    void close() override;

private:
    TerminalText m_terminalText;
    qsizetype m_outputLength = 0; // what a window's output box would hold
};

// Starts the server the command line asked for, its values checked before anything listens.
// Returns 0, or the exit status when the program must end: 2 for values that cannot be used, 1
// for a failed start where mustStart (nobody could retry).
int startServerFromCommandLine(ChatSession& session, ChatServer& server, const CommandLine& commandLine,
                               bool mustStart);

// Runs the server without a window until SIGINT, SIGTERM or SIGHUP; returns the exit status.
int runHeadlessServer(int& argc, char** argv, const CommandLine& commandLine);
