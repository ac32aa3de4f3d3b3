#include "socket_control.h"

#include "platform/err_object.h"
#include "socket_control_array.h"
#include "socket_errors.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>

namespace {
constexpr int ListenBacklog = 1024;

const QString wrongStateText =
    QStringLiteral("Wrong protocol or connection state for the requested transaction or request");

// Dotted text as the system's address conversion reads it: "007" is 7, "010" is octal 8.
bool toIPv4Address(const QString& text, QHostAddress& address) {
    in_addr converted{};
    if (inet_aton(text.toLocal8Bit().constData(), &converted) == 0) return false;
    address = QHostAddress(ntohl(converted.s_addr));
    return true;
}
} // namespace

SocketControl::SocketControl(SocketControlArray& array, int index)
    : QObject(&array), m_array(array), m_index(index) {}

SocketControl::~SocketControl() {
    releaseSocket();
    releaseServer();
}

qint32 SocketControl::LocalPort() const {
    if (m_server && m_server->isListening()) return m_server->serverPort();
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState) return m_socket->localPort();
    return m_localPort;
}

void SocketControl::setLocalPort(qint32 port) { m_localPort = port; }

void SocketControl::requireState(qint16 state) const {
    if (m_state != state) throw RuntimeError(RunTimeErrors::WrongSocketState, wrongStateText);
}

void SocketControl::Connect(const QString& remoteHost, qint32 remotePort) {
    requireState(SocketState::Closed);
    if (remotePort < 1 || remotePort > 65535)
        throw RuntimeError(RunTimeErrors::InvalidPropertyValue, QStringLiteral("Invalid property value"));

    auto* socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, &SocketControl::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &SocketControl::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &SocketControl::onPeerGone);
    connect(socket, &QTcpSocket::errorOccurred, this, &SocketControl::onSocketError);

    ++m_connectionSerial;
    m_decoder.resetState();
    m_remotePort = remotePort;
    m_state = SocketState::Connecting;
    QHostAddress address;
    if (toIPv4Address(remoteHost, address)) {
        m_remoteHostIP = address.toString();
        socket->connectToHost(address, static_cast<quint16>(remotePort));
    } else {
        m_remoteHostIP = remoteHost;
        socket->connectToHost(remoteHost, static_cast<quint16>(remotePort));
    }
}

void SocketControl::Bind(qint32 localPort) {
    requireState(SocketState::Closed);
    if (localPort < 0 || localPort > 65535)
        throw RuntimeError(RunTimeErrors::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    m_localPort = localPort;
}

void SocketControl::Listen() {
    requireState(SocketState::Closed);
    auto* server = new QTcpServer(this);
    // A burst of clients must not overflow the system's queue of connections not yet taken.
    server->setListenBacklogSize(ListenBacklog);
    if (!server->listen(QHostAddress::AnyIPv4, static_cast<quint16>(m_localPort))) {
        const SocketErrorInfo info = socketErrorInfo(server->serverError(), server->errorString());
        delete server;
        throw RuntimeError(info.number, info.description);
    }
    m_server = server;
    connect(server, &QTcpServer::newConnection, this, &SocketControl::onNewConnection);
    m_state = SocketState::Listening;
}

void SocketControl::Accept(qint32 requestID) {
    requireState(SocketState::Closed);
    const PendingConnection pending = m_array.takePending(requestID);
    if (!pending.socket)
        throw RuntimeError(RunTimeErrors::InvalidProcedureCall,
                           QStringLiteral("Invalid procedure call or argument"));
    attach(pending);
}

void SocketControl::attach(const PendingConnection& pending) {
    QTcpSocket* socket = pending.socket;
    socket->setParent(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, &SocketControl::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &SocketControl::onPeerGone);
    connect(socket, &QTcpSocket::errorOccurred, this, &SocketControl::onSocketError);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    ++m_connectionSerial;
    m_decoder.resetState();
    m_remoteHostIP = pending.peerAddress;
    m_remotePort = pending.peerPort;
    m_state = SocketState::Connected;

    // The peer may have sent data, or even gone, while the connection waited for Accept.
    if (socket->bytesAvailable() > 0) {
        m_dataPending = true;
        scheduleData();
    }
    if (socket->state() != QAbstractSocket::ConnectedState) onPeerGone();
}

void SocketControl::SendData(const QString& text) {
    requireState(SocketState::Connected);
    m_socket->write(text.toLocal8Bit());
    // Hand the text to the system now rather than at the next writable notification: a chat
    // line should leave at once, and it saves the event loop a round per send.
    m_socket->flush();
    if (m_socket->bytesToWrite() > MaxQueuedBytesPerConnection) {
        // The peer has stopped reading: end the connection as if it had gone away.
        m_socket->abort();
        onPeerGone();
    }
}

QString SocketControl::GetData() {
    if (!m_socket) return {};
    return m_decoder.decode(m_socket->readAll());
}

void SocketControl::Close() {
    m_closePending = false;
    m_dataPending = false;
    releaseSocket();
    releaseServer();
    m_state = SocketState::Closed;
}

void SocketControl::unload() {
    Close();
    m_unloaded = true;
    deleteLater();
}

void SocketControl::releaseSocket() {
    if (!m_socket) return;
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    m_array.drainAndDispose(socket);
}

void SocketControl::releaseServer() {
    if (!m_server) return;
    QTcpServer* server = m_server;
    m_server = nullptr;
    server->disconnect(this);
    server->close();
    server->deleteLater();
}

void SocketControl::onConnected() {
    if (m_state != SocketState::Connecting || !m_socket) return;
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_remoteHostIP = m_socket->peerAddress().toString();
    m_state = SocketState::Connected;
}

void SocketControl::onReadyRead() {
    m_dataPending = true;
    if (!m_inDataArrival) scheduleData();
}

void SocketControl::onPeerGone() {
    if (m_state != SocketState::Connected) return;
    m_state = SocketState::Closing;
    m_closePending = true;
    maybeScheduleClose();
}

void SocketControl::onSocketError() {
    if (!m_socket) return;
    if (m_state == SocketState::Connected) {
        // An established connection that fails has ended, whatever the cause.
        onPeerGone();
        return;
    }
    if (m_state != SocketState::Connecting) return;
    const SocketErrorInfo info = socketErrorInfo(m_socket->error(), m_socket->errorString());
    m_state = SocketState::Error;
    QMetaObject::invokeMethod(
        this, [this, info] { deliverError(info.number, info.description); }, Qt::QueuedConnection);
}

void SocketControl::onNewConnection() {
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        if (socket->peerAddress().isNull()) {
            // Reset by its peer before it could be taken: there is nobody left to accept.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const qint32 requestID = m_array.registerPending(socket);
        QMetaObject::invokeMethod(
            this, [this, requestID] { deliverConnectionRequest(requestID); }, Qt::QueuedConnection);
    }
}

void SocketControl::scheduleData() {
    if (m_dataQueued) return;
    m_dataQueued = true;
    QMetaObject::invokeMethod(this, &SocketControl::deliverData, Qt::QueuedConnection);
}

void SocketControl::deliverData() {
    m_dataQueued = false;
    const bool readable = m_state == SocketState::Connected || m_state == SocketState::Closing;
    if (m_unloaded || !m_socket || !readable || m_inDataArrival || !m_dataPending) {
        maybeScheduleClose();
        return;
    }
    m_dataPending = false;
    const qint64 available = m_socket->bytesAvailable();
    if (available <= 0) {
        maybeScheduleClose();
        return;
    }

    QPointer<SocketControl> self(this);
    m_inDataArrival = true;
    emit m_array.DataArrival(m_index, static_cast<qint32>(qMin<qint64>(available, INT32_MAX)));
    if (!self) return;
    m_inDataArrival = false;
    // Data that came in while the handler yielded gets an event of its own.
    if (m_dataPending && m_socket && m_socket->bytesAvailable() > 0)
        scheduleData();
    else
        maybeScheduleClose();
}

void SocketControl::maybeScheduleClose() {
    if (!m_closePending || m_inDataArrival || m_dataQueued) return;
    QMetaObject::invokeMethod(this, &SocketControl::deliverClose, Qt::QueuedConnection);
}

void SocketControl::deliverClose() {
    if (m_unloaded || !m_closePending || m_state != SocketState::Closing) return;
    if (m_inDataArrival || m_dataQueued) return; // raised once the data has been handed over
    if (m_dataPending && m_socket && m_socket->bytesAvailable() > 0) {
        scheduleData();
        return;
    }
    m_closePending = false;
    emit m_array.Close(m_index);
}

void SocketControl::deliverError(qint32 number, const QString& description) {
    if (m_unloaded || m_state != SocketState::Error) return;
    emit m_array.Error(m_index, number, description);
}

void SocketControl::deliverConnectionRequest(qint32 requestID) {
    if (!m_unloaded && m_state == SocketState::Listening) emit m_array.ConnectionRequest(m_index, requestID);
    // A request the handler did not accept is turned down.
    m_array.dropPending(requestID);
}
