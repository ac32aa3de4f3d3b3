#pragma once

#include "client_slot_table.h"
#include "protocol/chat_role.h"

#include "diagnostics/host_name.h"
#include "sockets/socket_control_array.h"

#include <QDateTime>
#include <deque>
#include <memory>
#include <optional>

class ChatSession;

// The chat server: starts and stops listening, accepts clients into slots, runs the protocol,
// relays, handles departures and kicks, and takes the lines typed at its console.
class ChatServer : public ChatRole {
public:
    explicit ChatServer(ChatSession& session);

    QDateTime onlineSince;
    // When the server is full, a connection without a nick name that has sent nothing for this
    // long gives way to a newcomer: connections that never speak cannot lock the room.
    qint64 silentGiveWayMs = 30000;
    // False leaves what clients say out of the output, for a log that should not keep it.
    bool printChatLines = true;
    ClientSlotTable clientSlots;

    // "Start Server": asks before stopping a running server, then for the settings, then listens.
    void Command3_Click();
    // Starts with the settings as they are, without the dialog; false when it failed (and the
    // failure was reported).
    bool startServer();
    void kickClient(const QString& name);

    void Winsock1_ConnectionRequest(int Index, qint32 requestID) override;
    void Winsock1_DataArrival(int Index, qint32 bytesTotal) override;
    void Winsock1_Close(int Index) override;
    void sendLine(const QString& text) override;
    void printRoleHelp() override;
    void unloadClientSockets() override;

private:
    // A connection accepted whose name is being looked up.
    struct Acceptance {
        int slot;
        ConnectionRef connection;
        QString address;
        qint32 port;
        std::optional<HostNameAnswer> name;
    };
    // Prints the acceptances whose names are known, in the order they were accepted.
    void printAcceptances();
    void listenWithSettings();
    void handleClientMessage(int index, const QString& message);
    void refuseConnection(qint32 requestID);
    // The typed line in its turn; inputTaken: the input line was emptied when it had to wait.
    void sendLineInTurn(const QString& text, bool inputTaken);

    ChatSession& m_session;
    std::deque<std::shared_ptr<Acceptance>> m_acceptances;
};
