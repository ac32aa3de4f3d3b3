#pragma once

#include "incoming_text.h"
#include "tcp_connection.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class SocketControlArray;
struct SocketShared;
class TcpListener;

// The states an element reports; the program tests 0, 6 and 7 and shows all of them.
namespace SocketState {
inline constexpr qint16 Closed = 0;
inline constexpr qint16 Open = 1;
inline constexpr qint16 Listening = 2;
inline constexpr qint16 ConnectionPending = 3;
inline constexpr qint16 ResolvingHost = 4;
inline constexpr qint16 HostResolved = 5;
inline constexpr qint16 Connecting = 6;
inline constexpr qint16 Connected = 7;
inline constexpr qint16 Closing = 8;
inline constexpr qint16 Error = 9;
} // namespace SocketState

// How long a peer with more than MaxQueuedBytesPerConnection queued may take nothing.
inline constexpr qint64 SendQueueStalledMs = 2000;

// Why a connection was cut for what was queued for it.
enum class SendQueueCut { None, Stalled, FellBehind };

// One element of the socket control array: a TCP connection or a listening socket with the
// states, methods and events the chat program relies on. Events reach the program through the
// array, always as events of their own from the event loop, so a handler may yield, close or
// unload the element freely.
class SocketControl : public QObject {
    Q_OBJECT
public:
    SocketControl(SocketControlArray& array, SocketShared& shared, int index);
    ~SocketControl() override;

    int index() const { return m_index; }

    QString Tag;

    qint16 State() const { return m_state; }
    QString RemoteHostIP() const { return m_remoteHostIP; }
    qint32 RemotePort() const { return m_remotePort; }
    qint32 LocalPort() const;
    void setLocalPort(qint32 port);

    void Connect(const QString& remoteHost, qint32 remotePort);
    void Bind(qint32 localPort);
    void Listen();
    void Accept(qint32 requestID);
    // Queues the text (UTF-8) and returns; also allowed while the peer is closing.
    void SendData(const QString& text);
    // The message the current DataArrival announced.
    QString GetData();
    void Close();

    // Changes with every connection the element takes on, so a handler that yielded can tell
    // whether the element still carries the connection it started with.
    quint64 connectionSerial() const { return m_connectionSerial; }
    // Looks at once whether the peer has left (state 8), not only at the next event.
    bool peerHasLeft();
    // The program handles the end of this connection itself: no Close event is raised for it,
    // not even when the peer leaves meanwhile.
    void claimClose();
    // How long an accepted connection has been up without its peer sending a byte; -1 once it
    // has sent something, and for any other element.
    qint64 silentForMs() const;
    // While held, the element raises no DataArrival or Close: what comes waits for the release.
    void holdEvents(bool held);
    // Whether this connection was cut for what was queued for it, and why.
    SendQueueCut sendQueueExceeded() const { return m_sendQueueExceeded; }

private:
    // An element the array no longer holds has been unloaded: events still queued for it are dropped.
    bool unloaded() const;
    void requireState(qint16 state) const;
    void attach(std::unique_ptr<TcpConnection> connection);
    void releaseConnection();
    void cut(SendQueueCut why);

    void onReadable();
    void onGone();
    void onConnected(int error);
    void updateReadPause();
    // Looks again, now and then, at a sender held back and at a peer with a full queue; true while
    // either is still so.
    void watchAgain();
    bool lookAgain();
    bool lookAgainAtSendQueue(); // cuts a peer that has taken nothing for long; true while its queue is full

    void scheduleData();
    void deliverData();
    bool readyToClose() const;
    void scheduleClose();
    void deliverClose();
    void postError(int systemError);
    void deliverError(qint32 number, const QString& description);
    void deliverConnectionRequest(qint32 requestID);

    SocketControlArray& m_array;
    SocketShared& m_shared;
    const int m_index;
    qint16 m_state = SocketState::Closed;

    std::unique_ptr<TcpConnection> m_connection;
    std::unique_ptr<TcpListener> m_listener;
    std::shared_ptr<SendBacklog> m_backlog;
    qint64 m_allowance = 0; // after a stall, what may be queued before reading pauses again
    qint64 m_pausedAtMs = 0; // when reading from this sender was last paused
    IncomingText m_text;
    QString m_message;
    QTimer m_holdTimer;
    quint64 m_connectionSerial = 0;
    QElapsedTimer m_acceptedAt;
    bool m_heardFrom = false;
    SendQueueCut m_sendQueueExceeded = SendQueueCut::None;
    bool m_eventsHeld = false;

    QString m_remoteHostIP = QStringLiteral("0.0.0.0");
    qint32 m_remotePort = 0;
    qint32 m_localPort = 0;

    bool m_dataQueued = false;     // a delivery of DataArrival is queued
    bool m_inDataArrival = false;  // the program's DataArrival handler is running
    bool m_holdExpired = false;    // a held message waits no longer for its last character
    bool m_closePending = false;   // the peer has gone; Close is still to be raised
    bool m_closeClaimed = false;   // the program ends this connection itself
    bool m_closeQueued = false;    // a delivery of Close is queued
};
