#pragma once

#include "socket_control.h"

#include <QObject>
#include <QPointer>
#include <map>

class QTcpSocket;

// A connection that arrived and waits for Accept. Its peer is noted at once: Qt forgets the
// peer's address when the connection ends, and a peer may leave before it is accepted.
struct PendingConnection {
    QPointer<QTcpSocket> socket;
    QString peerAddress;
    quint16 peerPort = 0;
};

// Which connection an element carried when a handler looked: a handler that yields checks it
// afterwards before it acts on the element again.
struct ConnectionRef {
    QPointer<SocketControl> element;
    quint64 serial = 0;
};

// The control array of socket elements. Element 0 always exists; others are loaded and unloaded
// by the program. Every element's events are raised here with the element's index first.
class SocketControlArray : public QObject {
    Q_OBJECT
public:
    explicit SocketControlArray(QObject* parent = nullptr);
    ~SocketControlArray() override;

    SocketControl& operator()(int index); // fails with a run-time error for a missing element
    bool isLoaded(int index) const;
    SocketControl* find(int index) const;  // nullptr for a missing element
    void Load(int index);
    void Unload(int index);
    int loadedCount() const { return static_cast<int>(m_elements.size()); }

    ConnectionRef refOf(int index) const;
    // True while element index is the same object, on the same connection, and not yet closed.
    bool stillCarries(int index, const ConnectionRef& ref) const;

    // The peer address of a connection waiting for Accept, or "" when there is none.
    QString pendingPeerAddress(qint32 requestID) const;

signals:
    void ConnectionRequest(int Index, qint32 requestID);
    void DataArrival(int Index, qint32 bytesTotal);
    void Close(int Index);
    void Error(int Index, qint32 Number, const QString& Description);

private:
    friend class SocketControl;

    qint32 registerPending(QTcpSocket* socket);
    PendingConnection takePending(qint32 requestID);
    void dropPending(qint32 requestID);
    // Keeps a closed connection alive until its queued data has gone out.
    void drainAndDispose(QTcpSocket* socket);

    std::map<int, SocketControl*> m_elements;
    std::map<qint32, PendingConnection> m_pending;
    qint32 m_nextRequestID = 0;
};
