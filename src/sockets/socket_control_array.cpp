#include "socket_control_array.h"

#include "platform/err_object.h"

#include <QTcpSocket>
#include <QTimer>

namespace {
// How long a closed connection may take to hand its last queued data to a slow peer.
constexpr int DrainTimeoutMs = 30000;
} // namespace

SocketControlArray::SocketControlArray(QObject* parent) : QObject(parent) { Load(0); }

SocketControlArray::~SocketControlArray() {
    for (auto& [index, element] : m_elements) delete element;
    m_elements.clear();
}

SocketControl* SocketControlArray::find(int index) const {
    const auto it = m_elements.find(index);
    return it == m_elements.end() ? nullptr : it->second;
}

bool SocketControlArray::isLoaded(int index) const { return find(index) != nullptr; }

SocketControl& SocketControlArray::operator()(int index) {
    if (SocketControl* element = find(index)) return *element;
    throw RuntimeError(RunTimeErrors::ElementDoesNotExist,
                       QStringLiteral("Control array element '%1' doesn't exist").arg(index));
}

void SocketControlArray::Load(int index) {
    if (index < 0)
        throw RuntimeError(RunTimeErrors::ElementDoesNotExist,
                           QStringLiteral("Control array element '%1' doesn't exist").arg(index));
    if (isLoaded(index))
        throw RuntimeError(RunTimeErrors::ElementAlreadyLoaded, QStringLiteral("Object already loaded"));
    m_elements[index] = new SocketControl(*this, index);
}

void SocketControlArray::Unload(int index) {
    if (index == 0)
        throw RuntimeError(RunTimeErrors::CannotUnloadElementZero,
                           QStringLiteral("Can't unload controls created at design time"));
    SocketControl& element = (*this)(index);
    m_elements.erase(index);
    element.unload();
}

ConnectionRef SocketControlArray::refOf(int index) const {
    SocketControl* element = find(index);
    return element ? ConnectionRef{element, element->connectionSerial()} : ConnectionRef{};
}

bool SocketControlArray::stillCarries(int index, const ConnectionRef& ref) const {
    SocketControl* element = find(index);
    return element && element == ref.element && element->connectionSerial() == ref.serial &&
           element->State() != SocketState::Closed;
}

QString SocketControlArray::pendingPeerAddress(qint32 requestID) const {
    const auto it = m_pending.find(requestID);
    return it == m_pending.end() ? QString() : it->second.peerAddress;
}

qint32 SocketControlArray::registerPending(QTcpSocket* socket) {
    const qint32 requestID = ++m_nextRequestID;
    m_pending[requestID] = {socket, socket->peerAddress().toString(), socket->peerPort()};
    return requestID;
}

PendingConnection SocketControlArray::takePending(qint32 requestID) {
    const auto it = m_pending.find(requestID);
    if (it == m_pending.end()) return {};
    PendingConnection pending = it->second;
    m_pending.erase(it);
    return pending;
}

void SocketControlArray::dropPending(qint32 requestID) {
    if (QTcpSocket* socket = takePending(requestID).socket) {
        socket->abort();
        socket->deleteLater();
    }
}

void SocketControlArray::drainAndDispose(QTcpSocket* socket) {
    socket->setParent(this);
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0) {
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(DrainTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
        return;
    }
    socket->abort();
    socket->deleteLater();
}
