#include "client_slot_table.h"

#include "platform/yield.h"
#include "sockets/socket_control_array.h"

// The loops below read socketCount once; a slot removed by a close handled during a yield is
// skipped rather than treated as a failure, so the rest of a broadcast still goes out.

ClientSlotTable::ClientSlotTable(SocketControlArray& sockets, qint32& socketCount, const qint32& maxClients,
                                 std::function<void(const QString&)> printLine)
    : m_sockets(sockets), m_socketCount(socketCount), m_maxClients(maxClients),
      m_printLine(std::move(printLine)) {}

int ClientSlotTable::getFreeSocket() {
    const qint32 count = m_socketCount;
    for (int i = 1; i <= count; ++i) {
        // A free slot whose connection is still there (a newcomer without a nick name yet, or
        // one whose close is not handled yet) is passed over: taking it would lose that client.
        const SocketControl* slot = m_sockets.find(i);
        if (slot && slot->Tag == FreeTag && slot->State() == SocketState::Closed) return i;
    }
    if (m_socketCount >= m_maxClients) return m_maxClients + 1;
    ++m_socketCount;
    m_sockets.Load(m_socketCount);
    return m_socketCount;
}

bool ClientSlotTable::hasEndingConnection() const {
    for (int i = 1; i <= m_socketCount; ++i) {
        const SocketControl* slot = m_sockets.find(i);
        if (slot && slot->State() == SocketState::Closing) return true;
    }
    return false;
}

int ClientSlotTable::findSilentNewcomer(qint64 silentMs) const {
    for (int i = 1; i <= m_socketCount; ++i) {
        const SocketControl* slot = m_sockets.find(i);
        if (slot && (slot->Tag.isEmpty() || slot->Tag == FreeTag) && slot->silentForMs() >= silentMs) return i;
    }
    return 0;
}

qint32 ClientSlotTable::countClients() const {
    qint32 taken = 0;
    for (int i = 1; i <= m_socketCount; ++i) {
        const SocketControl* slot = m_sockets.find(i);
        if (slot && slot->Tag != FreeTag) ++taken;
    }
    return taken;
}

bool ClientSlotTable::isNameFree(const QString& name) const {
    for (int i = 1; i <= m_socketCount; ++i) {
        const SocketControl* slot = m_sockets.find(i);
        if (slot && slot->Tag == name) return false;
    }
    return true;
}

void ClientSlotTable::sendToClients(const QString& text, qint32 exceptIndex) {
    const qint32 count = m_socketCount;
    for (int i = 1; i <= count; ++i) {
        SocketControl* slot = m_sockets.find(i);
        if (!slot || i == exceptIndex || slot->Tag == FreeTag) continue;
        if (slot->State() == SocketState::Connected) {
            slot->SendData(text);
            platform::doEvents();
        } else {
            m_printLine(QStringLiteral("ERROR: Cannot send message to") + QStringLiteral("client ") +
                        slot->RemoteHostIP());
        }
    }
}

QString ClientSlotTable::listClients() const {
    QString list = QStringLiteral("List of online Clients:\r\n");
    int listed = 0;
    for (int i = 1; i <= m_socketCount; ++i) {
        const SocketControl* slot = m_sockets.find(i);
        if (!slot || slot->Tag == FreeTag) continue;
        ++listed;
        list += QStringLiteral("%1. ").arg(listed, 2, 10, QLatin1Char('0')) + slot->Tag + QStringLiteral("\r\n");
    }
    return list;
}
