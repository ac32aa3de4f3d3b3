#include "chat_server.h"
#include "platform/yield.h"
#include "protocol/chat_protocol.h"
#include "protocol/chat_session.h"

void ChatServer::Winsock1_DataArrival(int Index, qint32 /*bytesTotal*/) {
    SocketControlArray& Winsock1 = m_session.Winsock1;
    withErrorTrap(
        m_session, [&] { return QStringLiteral("Error while receiving data from ") + m_session.remoteHostIPOf(Index); },
        [&] {
            const QString message = Winsock1(Index).GetData();
            // Only the temporary element of a refusal lies above the limit; its data is dropped.
            if (Index > m_session.maxClients) return;
            if (printChatLines || protocol::classify(message) != protocol::ClientMessage::ChatLine)
                m_session.printLine(protocol::relayed(Winsock1(Index).Tag, message));
            m_session.view().messageArrived();
            handleClientMessage(Index, message);
        });
}

void ChatServer::handleClientMessage(int index, const QString& message) {
    SocketControlArray& Winsock1 = m_session.Winsock1;
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
