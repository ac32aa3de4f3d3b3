#pragma once

#include <QString>
#include <functional>

class SocketControlArray;

// The server's client slots: elements 1..socketCount of the socket array. A slot's Tag holds its
// client's nick name, FreeTag once its connection has ended, or nothing before a name is accepted.
// Free and taken are told apart by the Tag alone.
class ClientSlotTable {
public:
    static inline const QString FreeTag = QStringLiteral("__FREE__");

    ClientSlotTable(SocketControlArray& sockets, qint32& socketCount, const qint32& maxClients,
                    std::function<void(const QString&)> printLine);

    // The lowest free slot whose old connection has ended, else a new top slot; maxClients + 1
    // when the server is full.
    int getFreeSocket();
    // A slot's peer has gone and its close is still to be handled: the slot frees up soon.
    bool hasEndingConnection() const;
    // A slot whose connection has no nick name and has sent nothing for at least silentMs; 0 when
    // there is none.
    int findSilentNewcomer(qint64 silentMs) const;
    qint32 countClients() const;
    bool isNameFree(const QString& name) const;
    // Sends to every connected taken slot but exceptIndex (0 leaves none out), yielding after each.
    void sendToClients(const QString& text, qint32 exceptIndex);
    QString listClients() const;

private:
    SocketControlArray& m_sockets;
    qint32& m_socketCount;
    const qint32& m_maxClients;
    std::function<void(const QString&)> m_printLine;
};
