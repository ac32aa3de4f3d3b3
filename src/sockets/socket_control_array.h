#pragma once

#include "socket_control.h"
#include "socket_shared.h"

#include <QObject>
#include <QPointer>
#include <unordered_map>

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
    // The turns in which messages, departures and the server user's lines are handled.
    DataTurns& turns() { return m_shared.turns; }
    // Keeps a connection request that the program cannot take yet; it is raised again once a
    // connection's close has been handled, or after a moment.
    void deferRequest(qint32 requestID);

signals:
    void ConnectionRequest(int Index, qint32 requestID);
    void DataArrival(int Index, qint32 bytesTotal);
    void Close(int Index);
    void Error(int Index, qint32 Number, const QString& Description);

private:
    SocketShared m_shared;
    std::unordered_map<int, SocketControl*> m_elements;
};
