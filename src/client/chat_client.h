#pragma once

#include "protocol/chat_role.h"

class ChatSession;

// The chat client: connects to a server with a visible wait and a time-out, greets it with the
// nick name, sends typed lines and shows what arrives.
class ChatClient : public ChatRole {
public:
    explicit ChatClient(ChatSession& session);

    bool connectFailed = false;

    // "Connect to Server": asks before closing a connection, then for the address and nick name.
    void Command2_Click();

    void Winsock1_ConnectionRequest(int Index, qint32 requestID) override;
    void Winsock1_DataArrival(int Index, qint32 bytesTotal) override;
    void Winsock1_Close(int Index) override;
    void sendLine(const QString& text) override;
    void printRoleHelp() override;
    void unloadClientSockets() override {}

private:
    void connectToServer();

    class WaitRunning {
    public:
        explicit WaitRunning(ChatClient& client);
        ~WaitRunning();

    private:
        ChatClient& m_client;
    };
    int m_waitsRunning = 0;

    ChatSession& m_session;
    quint64 m_connectAttempt = 0;   // counts the connect attempts begun
    quint64 m_messagesReceived = 0; // counts the messages shown
};
