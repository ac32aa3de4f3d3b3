#include "chat_protocol.h"
#include "main_window/form1.h"
#include "platform/yield.h"

void Form1::Winsock1_Close(int Index) {
    withErrorTrap(
        *this, [&] { return QStringLiteral("Error while closing connection to ") + remoteHostIPOf(Index); },
        [&] {
            if (!isServer) {
                Winsock1(Index).Close();
                printLine(QStringLiteral("Connection closed by remote host."));
                return;
            }
            if (Index == 0) {
                printLine(QStringLiteral("ERROR: Someone accessed Server-ROOTSOCKET: ") + Winsock1(0).RemoteHostIP());
                return;
            }
            // This handler ends the connection: a close of the peer's that comes meanwhile is not
            // raised again.
            Winsock1(Index).claimClose();
            const ConnectionRef connection = Winsock1.refOf(Index);
            printLine(QStringLiteral("Connection closed by client ") + Winsock1(Index).RemoteHostIP());
            const QString tag = Winsock1(Index).Tag;
            if (!tag.isEmpty() && tag != ClientSlotTable::FreeTag) clientSlots.sendToClients(protocol::hasLeft(tag), Index);
            platform::doEvents();
            // Another handler may have ended this connection while we yielded.
            if (!Winsock1.stillCarries(Index, connection)) return;
            Winsock1(Index).Close();
            if (Index == socketCount) {
                Winsock1.Unload(Index);
                --socketCount;
            } else {
                Winsock1(Index).Tag = ClientSlotTable::FreeTag;
            }
        });
}

void Form1::kickClient(const QString& name) {
    bool kicked = false;
    const qint32 count = socketCount;
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
        printLine(name + QStringLiteral(" was kicked."));
    else
        printLine(QStringLiteral("Cannot kick ") + name + QStringLiteral(". Name unknown. Press ?-button."));
}
