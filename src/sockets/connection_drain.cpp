#include "connection_drain.h"

#include <QTimer>

namespace {
// How long a closed connection may take to hand its last queued data to a slow peer, and how
// long it then waits for the peer's own close.
constexpr int DrainTimeoutMs = 30000;
constexpr int LingerMs = 2000;
} // namespace

void ConnectionDrain::dispose(std::unique_ptr<TcpConnection> connection) {
    TcpConnection* raw = connection.get();
    raw->onReadable = nullptr;
    raw->onGone = nullptr;
    raw->onConnected = nullptr;
    const quint64 id = ++m_nextID;
    const int limitMs = raw->queuedBytes() > 0 ? DrainTimeoutMs : LingerMs;
    m_draining.emplace(id, std::move(connection));
    const auto dispose = [this, id] { m_draining.erase(id); };
    QTimer::singleShot(limitMs, this, dispose);
    // Called from inside the connection's own poll handling: it is deleted from the event loop.
    raw->finish([this, dispose] { QMetaObject::invokeMethod(this, dispose, Qt::QueuedConnection); });
}
