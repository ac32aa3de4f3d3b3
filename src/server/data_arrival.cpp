#include "chat_protocol.h"
#include "main_window/form1.h"
#include "platform/yield.h"

void Form1::Winsock1_DataArrival(int Index, qint32 /*bytesTotal*/) {
    withErrorTrap(
        *this, [&] { return QStringLiteral("Error while receiving data from ") + remoteHostIPOf(Index); },
        [&] {
            const QString message = Winsock1(Index).GetData();
            if (!isServer) {
                // A client only shows what arrives; the refusal text marks a failed connect.
                if (message.contains(protocol::ServerFullMarker)) connectFailed = true;
                ++m_messagesReceived;
                printLine(message);
                requestAttention();
                platform::doEvents();
                return;
            }
            // Only the temporary element of a refusal lies above the limit; its data is dropped.
            if (Index > maxClients) return;
            printLine(protocol::relayed(Winsock1(Index).Tag, message));
            requestAttention();
            handleClientMessage(Index, message);
        });
}

void Form1::handleClientMessage(int index, const QString& message) {
    switch (protocol::classify(message)) {
    case protocol::ClientMessage::NickName: {
        const QString currentTag = Winsock1(index).Tag;
        const QString oldName = currentTag == ClientSlotTable::FreeTag ? QString() : currentTag;
        const QString newName = message.mid(protocol::NickNameCommand.size());
        if (protocol::characterCount(newName) < protocol::MinNickNameLength) {
            Winsock1(index).SendData(protocol::nickTooShort());
            platform::doEvents();
            return;
        }
        // The free marker is never a name: a client holding it would look like a free slot.
        if (newName == ClientSlotTable::FreeTag || !clientSlots.isNameFree(newName)) {
            const ConnectionRef connection = Winsock1.refOf(index);
            Winsock1(index).SendData(protocol::nickInUse());
            platform::doEvents();
            // The peer may have left during the yield, and its close been handled already.
            if (Winsock1.stillCarries(index, connection)) Winsock1_Close(index);
            return;
        }
        // The name is taken before the first yield, so a second request meanwhile sees it.
        Winsock1(index).Tag = newName;
        QString notice;
        if (oldName.isEmpty()) {
            notice = protocol::joined(newName);
            Winsock1(index).SendData(protocol::welcome(clientSlots.listClients()));
        } else {
            notice = protocol::renamed(oldName, newName);
            Winsock1(index).SendData(protocol::newNickName(newName));
        }
        platform::doEvents();
        clientSlots.sendToClients(notice, index);
        platform::doEvents();
        return;
    }
    case protocol::ClientMessage::ListNames:
        Winsock1(index).SendData(clientSlots.listClients());
        platform::doEvents();
        return;
    case protocol::ClientMessage::ChatLine:
        clientSlots.sendToClients(protocol::relayed(Winsock1(index).Tag, message), index);
        platform::doEvents();
        return;
    }
}
