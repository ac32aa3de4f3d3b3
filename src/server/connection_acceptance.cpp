#include "chat_server.h"
#include "protocol/chat_protocol.h"
#include "protocol/chat_session.h"
#include "diagnostics/host_name.h"
#include "platform/yield.h"

void ChatServer::Winsock1_ConnectionRequest(int Index, qint32 requestID) {
    SocketControlArray& Winsock1 = m_session.Winsock1;
    if (!m_session.isServer || Index != 0) {
        platform::doEvents();
        return;
    }
    int acceptingSlot = -1;
    withErrorTrap(
        m_session,
        [&] {
            // Name the connection being accepted: the slot's peer once accepted, else the request's.
            const SocketControl* slot = Winsock1.find(acceptingSlot);
            const QString address = slot && slot->State() != SocketState::Closed
                                        ? slot->RemoteHostIP()
                                        : Winsock1.pendingPeerAddress(requestID);
            return QStringLiteral("Error while establishing connection to ") + address;
        },
        [&] {
            int slot = clientSlots.getFreeSocket();
            if (slot > m_session.maxClients && !clientSlots.hasEndingConnection()) {
                if (const int silent = clientSlots.findSilentNewcomer(silentGiveWayMs); silent > 0) {
                    Winsock1_Close(silent);
                    // Another request may have taken the slot while the close yielded.
                    slot = clientSlots.getFreeSocket();
                }
            }
            if (slot > m_session.maxClients) {
                // A client that has already left does not make the server full: the request
                // waits until its close has been handled.
                if (clientSlots.hasEndingConnection())
                    Winsock1.deferRequest(requestID);
                else
                    refuseConnection(requestID);
                return;
            }
            acceptingSlot = slot;
            Winsock1(slot).Accept(requestID);
            // The others chat on while the name is looked up; the newcomer's own messages and its
            // departure wait until its acceptance lines are out, which come in the order of the
            // acceptances.
            auto acceptance = std::make_shared<Acceptance>(Acceptance{slot, Winsock1.refOf(slot),
                                                                      Winsock1(slot).RemoteHostIP(),
                                                                      Winsock1(slot).RemotePort(), std::nullopt});
            Winsock1(slot).holdEvents(true);
            m_acceptances.push_back(acceptance);
            lookUpHostNameLater(acceptance->address, &m_session, [this, acceptance](const HostNameAnswer& name) {
                acceptance->name = name;
                printAcceptances();
            });
        });
}

void ChatServer::printAcceptances() {
    SocketControlArray& Winsock1 = m_session.Winsock1;
    while (!m_acceptances.empty() && m_acceptances.front()->name) {
        const std::shared_ptr<Acceptance> acceptance = m_acceptances.front();
        m_acceptances.pop_front();
        m_session.printLine(QStringLiteral("Connection accepted with:"));
        m_session.printLine(QStringLiteral(" IP=") + acceptance->address);
        // From here the newcomer goes on, also while a box about its name waits for the user.
        if (Winsock1.stillCarries(acceptance->slot, acceptance->connection))
            Winsock1(acceptance->slot).holdEvents(false);
        m_session.printLine(QStringLiteral(" Name=") + hostNameOf(m_session, *acceptance->name));
        m_session.printLine(QStringLiteral(" Port=") + QString::number(acceptance->port));
    }
}

void ChatServer::refuseConnection(qint32 requestID) {
    SocketControlArray& Winsock1 = m_session.Winsock1;
    // A temporary element just above the slots carries the refusal. An earlier refusal may still
    // hold socketCount + 1 while it yields: take the next element that is not loaded.
    int temporary = m_session.socketCount + 1;
    while (Winsock1.isLoaded(temporary)) ++temporary;
    Winsock1.Load(temporary);
    Winsock1(temporary).Accept(requestID);
    const ConnectionRef element = Winsock1.refOf(temporary);
    Winsock1(temporary).SendData(protocol::serverFull());
    platform::doEvents();
    // A peer that has left by now is seen to leave, although its close is not raised yet.
    if (Winsock1.stillCarries(temporary, element) && Winsock1(temporary).peerHasLeft()) Winsock1_Close(temporary);
    if (SocketControl* refusal = Winsock1.find(temporary); refusal && refusal == element.element) refusal->Close();
    platform::doEvents();
    if (SocketControl* refusal = Winsock1.find(temporary); refusal && refusal == element.element)
        Winsock1.Unload(temporary);
    platform::doEvents();
}
