#include "socket_control.h"

#include "ipv4_address.h"
#include "platform/err_object.h"
#include "socket_control_array.h"
#include "socket_errors.h"
#include "socket_shared.h"
#include "tcp_listener.h"

namespace {
const QString wrongStateText =
    QStringLiteral("Wrong protocol or connection state for the requested transaction or request");

// How long a message that ends inside a character waits for the rest of it.
constexpr int HoldMs = 100;

// A sender stops being read while most of its readers are behind it, and is read again once most
// have caught up, or when none of its bytes has left for a while (the connections it waits at are
// not reading; they are cut at their own limit).
constexpr qint64 StalledMs = 250;
// After such a stall the sender may queue this much more before it waits again, so that a
// connection that never reads reaches its limit soon instead of slowing the sender for long.
constexpr qint64 StalledAllowanceBytes = 1024 * 1024;
} // namespace

SocketControl::SocketControl(SocketControlArray& array, SocketShared& shared, int index)
    : QObject(&array), m_array(array), m_shared(shared), m_index(index) {
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(HoldMs);
    connect(&m_holdTimer, &QTimer::timeout, this, [this] {
        m_holdExpired = true;
        scheduleData();
    });
}

SocketControl::~SocketControl() {
    if (m_backlog) m_backlog->onChanged = nullptr;
}

qint32 SocketControl::LocalPort() const { return m_listener ? m_listener->port() : m_localPort; }

void SocketControl::setLocalPort(qint32 port) { m_localPort = port; }

void SocketControl::requireState(qint16 state) const {
    if (m_state != state) throw RuntimeError(RunTimeErrors::WrongSocketState, wrongStateText);
}

void SocketControl::Connect(const QString& remoteHost, qint32 remotePort) {
    requireState(SocketState::Closed);
    if (remotePort < 1 || remotePort > 65535)
        throw RuntimeError(RunTimeErrors::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    ++m_connectionSerial;
    m_remotePort = remotePort;
    m_remoteHostIP = remoteHost;
    const std::optional<quint32> address = parseDottedDecimal(remoteHost);
    if (!address) {
        m_state = SocketState::Error;
        QMetaObject::invokeMethod(
            this, [this] { deliverError(11001, QStringLiteral("Authoritative answer: Host not found")); },
            Qt::QueuedConnection);
        return;
    }
    m_remoteHostIP = ipv4ToText(*address);
    int error = 0;
    std::unique_ptr<TcpConnection> connection =
        TcpConnection::connectTo(m_shared.poller, *address, quint16(remotePort), error);
    if (!connection) {
        m_state = SocketState::Error;
        postError(error);
        return;
    }
    m_state = SocketState::Connecting;
    attach(std::move(connection));
}

void SocketControl::Bind(qint32 localPort) {
    requireState(SocketState::Closed);
    if (localPort < 0 || localPort > 65535)
        throw RuntimeError(RunTimeErrors::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_localPort = localPort;
}

void SocketControl::Listen() {
    requireState(SocketState::Closed);
    auto listener = std::make_unique<TcpListener>(m_shared.poller);
    if (const int error = listener->listen(quint16(m_localPort)); error != 0) {
        const SocketErrorInfo info = socketErrorInfo(error);
        throw RuntimeError(info.number, info.description);
    }
    listener->onAccepted = [this](int fd, const QString& address, quint16 port) {
        const qint32 requestID = m_shared.pending.add(fd, address, port, *this,
                                                      [this](qint32 id) { deliverConnectionRequest(id); });
        QMetaObject::invokeMethod(
            this, [this, requestID] { deliverConnectionRequest(requestID); }, Qt::QueuedConnection);
    };
    m_listener = std::move(listener);
    m_state = SocketState::Listening;
}

void SocketControl::Accept(qint32 requestID) {
    requireState(SocketState::Closed);
    const PendingRequests::Request pending = m_shared.pending.take(requestID);
    if (pending.fd < 0)
        throw RuntimeError(RunTimeErrors::InvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
    ++m_connectionSerial;
    m_remoteHostIP = pending.peerAddress;
    m_remotePort = pending.peerPort;
    m_state = SocketState::Connected;
    m_acceptedAt.start();
    m_heardFrom = false;
    // Whatever the peer sent, or a close, while it waited is reported by the poller as usual.
    attach(std::make_unique<TcpConnection>(m_shared.poller, pending.fd, false));
    m_connection->limitSendBuffer();
}

void SocketControl::attach(std::unique_ptr<TcpConnection> connection) {
    m_closeClaimed = false;
    m_sendQueueExceeded = SendQueueCut::None;
    m_eventsHeld = false; // a hold was for the connection before
    m_connection = std::move(connection);
    m_connection->onReadable = [this] { onReadable(); };
    m_connection->onGone = [this](int) { onGone(); };
    m_connection->onConnected = [this](int error) { onConnected(error); };
    m_backlog = std::make_shared<SendBacklog>();
    m_backlog->onChanged = [this] { updateReadPause(); };
    m_allowance = 0;
    // It broke before it could report anything: the poller could not watch it.
    if (m_connection->broken()) {
        if (m_state == SocketState::Connecting) onConnected(m_connection->failure());
        else onGone();
    }
}

void SocketControl::SendData(const QString& text) {
    if (m_state != SocketState::Connected && m_state != SocketState::Closing)
        throw RuntimeError(RunTimeErrors::WrongSocketState, wrongStateText);
    if (!m_connection || m_connection->broken()) return;
    const std::shared_ptr<SendBacklog> origin = m_shared.senders.current();
    const bool relayed = origin && origin != m_backlog;
    // A reader that has fallen far behind the others loses its connection, as if it had gone away:
    // far behind on this sender, or behind here while the messages of many senders pile up. So
    // does a peer that has stopped reading.
    if (relayed && !origin->mostReadersBehind()) {
        const qint64 fromSender = m_connection->queuedFrom(*origin);
        if (fromSender > MaxQueuedBytesPerConnection ||
            (fromSender > BehindAboveBytes && m_connection->relayedQueued() > 2 * MaxQueuedBytesPerConnection))
            return cut(SendQueueCut::FellBehind);
    }
    if (relayed) origin->passedOnTo();
    m_connection->write(m_shared.encodeCache.encode(text), origin);
    if (!lookAgainAtSendQueue()) return;
    // Its senders may wait for it now: the stall is looked for without further sends.
    watchAgain();
}

bool SocketControl::lookAgainAtSendQueue() {
    if (m_connection->broken() || m_connection->queuedCost() <= MaxQueuedBytesPerConnection) return false;
    if (m_connection->stalledForMs() < SendQueueStalledMs) return true;
    cut(SendQueueCut::Stalled);
    return false;
}

void SocketControl::cut(SendQueueCut why) {
    m_sendQueueExceeded = why;
    m_connection->abort();
}

QString SocketControl::GetData() {
    QString message;
    message.swap(m_message);
    return message;
}

void SocketControl::Close() {
    const bool wasWaitingToClose = m_closePending;
    m_closePending = false;
    m_message.clear();
    m_text.clear();
    m_holdTimer.stop();
    m_holdExpired = false;
    m_acceptedAt.invalidate();
    releaseConnection();
    m_listener.reset();
    m_state = SocketState::Closed;
    if (wasWaitingToClose) m_shared.closeOrder.schedule();
}

void SocketControl::claimClose() {
    m_closeClaimed = true;
    if (!m_closePending) return;
    m_closePending = false;
    m_shared.closeOrder.schedule();
}

bool SocketControl::peerHasLeft() {
    if (m_connection && m_state == SocketState::Connected) m_connection->readNow();
    return m_state == SocketState::Closing;
}

qint64 SocketControl::silentForMs() const {
    if (m_heardFrom || m_state != SocketState::Connected || !m_acceptedAt.isValid()) return -1;
    return m_acceptedAt.elapsed();
}

void SocketControl::holdEvents(bool held) {
    m_eventsHeld = held;
    if (held) return;
    scheduleData();
    m_shared.closeOrder.schedule();
}

bool SocketControl::unloaded() const { return m_array.find(m_index) != this; }

void SocketControl::releaseConnection() {
    if (m_backlog) m_backlog->onChanged = nullptr;
    m_backlog.reset();
    if (m_connection) m_shared.drain.dispose(std::move(m_connection));
}

void SocketControl::onReadable() { scheduleData(); }

void SocketControl::onGone() {
    if (m_state != SocketState::Connected) return;
    m_state = SocketState::Closing;
    if (m_closeClaimed) return;
    m_closePending = true;
    m_shared.closeOrder.queue({this, [this] { return !unloaded() && m_closePending; },
                               [this] { return readyToClose(); }, [this] { scheduleClose(); }});
    // What arrived before the close still goes out first.
    scheduleData();
}

void SocketControl::onConnected(int error) {
    if (m_state != SocketState::Connecting) return;
    if (error == 0) {
        m_state = SocketState::Connected;
        return;
    }
    m_state = SocketState::Error;
    releaseConnection();
    postError(error);
}

void SocketControl::updateReadPause() {
    if (!m_connection) return; // a connection always has its backlog
    const qint64 queued = m_backlog->queued;
    // A reader far behind the rest is cut, not waited for.
    bool paused = m_connection->readPaused();
    if (!paused && m_backlog->mostReadersBehind() && queued > m_allowance) {
        paused = true;
        m_pausedAtMs = socketClockMs();
    } else if (paused && m_backlog->mostReadersCaughtUp()) {
        paused = false;
        m_allowance = 0;
    } else if (paused && m_backlog->readersAtTheCap == 0 &&
               socketClockMs() - qMax(m_backlog->lastDrainMs, m_pausedAtMs) > StalledMs) {
        // The stall is counted from the pause too: a sender whose bytes wait only at readers
        // that never take any gains one allowance per stall, not one at every look. Readers that
        // take little now and then gain none past the cap: the sender waits for them.
        paused = false;
        m_allowance = queued + StalledAllowanceBytes;
    }
    m_connection->setReadPaused(paused);
    if (paused) watchAgain();
}

void SocketControl::watchAgain() { m_shared.pausedReaders.watch(m_index, *this, [this] { return lookAgain(); }); }

bool SocketControl::lookAgain() {
    // Only the array's own elements are looked at again.
    if (unloaded() || !m_connection) return false;
    if (m_connection->readPaused()) updateReadPause();
    const bool paused = m_connection->readPaused();
    return lookAgainAtSendQueue() || paused;
}

void SocketControl::scheduleData() {
    if (m_dataQueued || m_inDataArrival) return;
    m_dataQueued = true;
    QMetaObject::invokeMethod(this, &SocketControl::deliverData, Qt::QueuedConnection);
}

void SocketControl::deliverData() {
    m_dataQueued = false;
    if (m_eventsHeld) return; // the release schedules it again
    const bool readable = m_state == SocketState::Connected || m_state == SocketState::Closing;
    if (unloaded() || !readable || m_inDataArrival) {
        m_shared.closeOrder.schedule();
        return;
    }
    const DataTurns::Turn turn = m_shared.turns.take(this, [this] { deliverData(); });
    if (!turn) {
        m_dataQueued = true; // its turn comes; until then its close waits too
        return;
    }
    if (m_connection && m_connection->hasInput()) {
        m_text.append(m_connection->takeInput());
        m_heardFrom = true;
    }
    std::optional<QString> message = m_text.takeMessage(m_holdExpired || m_closePending);
    if (!message) {
        if (m_text.holding() && !m_holdTimer.isActive()) m_holdTimer.start();
        m_shared.closeOrder.schedule();
        return;
    }
    m_holdTimer.stop();
    m_holdExpired = false;
    m_message = *message;

    QPointer<SocketControl> self(this);
    SocketControlArray& sockets = m_array;
    SenderStack& senders = m_shared.senders;
    m_inDataArrival = true;
    senders.push(m_backlog);
    emit sockets.DataArrival(m_index, qint32(qMin<qsizetype>(m_message.size(), INT32_MAX)));
    senders.pop();
    if (!self) return;
    m_inDataArrival = false;
    m_message.clear();
    // Data that came in while the handler yielded gets an event of its own.
    if (m_text.hasPending() || (m_connection && m_connection->hasInput()))
        scheduleData();
    else if (m_text.holding())
        m_holdTimer.start();
    m_shared.closeOrder.schedule();
}

bool SocketControl::readyToClose() const {
    return !m_eventsHeld && !m_inDataArrival && !m_dataQueued && !m_text.hasPending() && !m_text.holding() &&
           !(m_connection && m_connection->hasInput());
}

void SocketControl::scheduleClose() {
    if (m_closeQueued) return;
    m_closeQueued = true;
    QMetaObject::invokeMethod(this, &SocketControl::deliverClose, Qt::QueuedConnection);
}

void SocketControl::deliverClose() {
    m_closeQueued = false;
    if (unloaded() || !m_closePending || m_state != SocketState::Closing) {
        m_shared.closeOrder.schedule();
        return;
    }
    if (!readyToClose()) {
        scheduleData();
        return;
    }
    const DataTurns::Turn turn = m_shared.turns.take(this, [this] { deliverClose(); });
    if (!turn) {
        m_closeQueued = true; // its turn comes
        return;
    }
    if (!m_shared.closeOrder.takeIfNext(this)) {
        m_shared.closeOrder.schedule();
        return;
    }
    m_closePending = false;
    SocketControlArray& sockets = m_array;
    CloseOrder& closeOrder = m_shared.closeOrder;
    PendingRequests& pending = m_shared.pending;
    emit sockets.Close(m_index);
    closeOrder.schedule();
    pending.raiseDeferred();
}

void SocketControl::postError(int systemError) {
    const SocketErrorInfo info = socketErrorInfo(systemError);
    QMetaObject::invokeMethod(
        this, [this, info] { deliverError(info.number, info.description); }, Qt::QueuedConnection);
}

void SocketControl::deliverError(qint32 number, const QString& description) {
    if (unloaded() || m_state != SocketState::Error) return;
    emit m_array.Error(m_index, number, description);
}

void SocketControl::deliverConnectionRequest(qint32 requestID) {
    PendingRequests& pending = m_shared.pending;
    if (!unloaded() && m_state == SocketState::Listening) emit m_array.ConnectionRequest(m_index, requestID);
    // A request the handler neither accepted nor put off is turned down.
    pending.turnDown(requestID);
}
