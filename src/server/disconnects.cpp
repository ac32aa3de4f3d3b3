#include "chat_server.h"
#include "platform/yield.h"
#include "protocol/chat_protocol.h"
#include "protocol/chat_session.h"

void ChatServer::Winsock1_Close(int Index) {
    SocketControlArray& Winsock1 = m_session.Winsock1;
    withErrorTrap(
        m_session, [&] { return QStringLiteral("Error while closing connection to ") + m_session.remoteHostIPOf(Index); },
        [&] {
            if (Index == 0) {
                m_session.printLine(QStringLiteral("ERROR: Someone accessed Server-ROOTSOCKET: ") +
                                    Winsock1(0).RemoteHostIP());
                return;
            }
            // This handler ends the connection: a close of the peer's that comes meanwhile is not
            // raised again.
            Winsock1(Index).claimClose();
            const ConnectionRef connection = Winsock1.refOf(Index);
            if (const SendQueueCut cut = Winsock1(Index).sendQueueExceeded(); cut != SendQueueCut::None)
                m_session.printLine(QStringLiteral("Send queue exceeded: client ") + Winsock1(Index).RemoteHostIP() +
                                    (cut == SendQueueCut::Stalled ? QStringLiteral(" took nothing for 2 s")
                                                                  : QStringLiteral(" fell far behind the others")) +
                                    QStringLiteral(", its connection was cut."));
            m_session.printLine(QStringLiteral("Connection closed by client ") + Winsock1(Index).RemoteHostIP());
            const QString tag = Winsock1(Index).Tag;
            if (!tag.isEmpty() && tag != ClientSlotTable::FreeTag)
                clientSlots.sendToClients(protocol::hasLeft(tag), Index);
            platform::doEvents();
            // Another handler may have ended this connection while we yielded.
            if (!Winsock1.stillCarries(Index, connection)) return;
            Winsock1(Index).Close();
            if (Index == m_session.socketCount) {
                Winsock1.Unload(Index);
                --m_session.socketCount;
            } else {
                Winsock1(Index).Tag = ClientSlotTable::FreeTag;
            }
        });
}

void ChatServer::kickClient(const QString& name) {
    SocketControlArray& Winsock1 = m_session.Winsock1;
    bool kicked = false;
    const qint32 count = m_session.socketCount;
    for (int i = 1; i <= count; ++i) {
        // Free slots carry the free marker, not a name.
        if (!Winsock1.isLoaded(i) || Winsock1(i).Tag != name || name == ClientSlotTable::FreeTag) continue;
        const ConnectionRef connection = Winsock1.refOf(i);
        Winsock1(i).SendData(protocol::youAreKicked());
        clientSlots.sendToClients(protocol::wasKicked(name), i);
        platform::doEvents();
        if (Winsock1.stillCarries(i, connection)) Winsock1_Close(i);
        kicked = true;
    }
    if (kicked)
        m_session.printLine(name + QStringLiteral(" was kicked."));
    else
        m_session.printLine(QStringLiteral("Cannot kick ") + name + QStringLiteral(". Name unknown. Press ?-button."));
}
