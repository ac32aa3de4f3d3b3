#include "pending_requests.h"

#include <unistd.h>

namespace {
// How soon a connection request put off is raised again when no close comes first.
constexpr int DeferredRetryMs = 50;
} // namespace

PendingRequests::PendingRequests() {
    m_retry.setInterval(DeferredRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &PendingRequests::raiseDeferred); // which stops it
}

PendingRequests::~PendingRequests() {
    for (auto& [requestID, pending] : m_pending) ::close(pending.request.fd);
}

qint32 PendingRequests::add(int fd, const QString& peerAddress, quint16 peerPort, QObject& listener,
                            Raise raise) {
    const qint32 requestID = ++m_nextRequestID;
    m_pending[requestID] = {{fd, peerAddress, peerPort}, &listener, std::move(raise), false};
    return requestID;
}

PendingRequests::Request PendingRequests::take(qint32 requestID) {
    const auto it = m_pending.find(requestID);
    if (it == m_pending.end()) return {};
    Request request = it->second.request;
    m_pending.erase(it);
    return request;
}

void PendingRequests::turnDown(qint32 requestID) {
    const auto it = m_pending.find(requestID);
    if (it == m_pending.end() || it->second.deferred) return;
    ::close(it->second.request.fd);
    m_pending.erase(it);
}

QString PendingRequests::peerAddress(qint32 requestID) const {
    const auto it = m_pending.find(requestID);
    return it == m_pending.end() ? QString() : it->second.request.peerAddress;
}

void PendingRequests::defer(qint32 requestID) {
    const auto it = m_pending.find(requestID);
    if (it == m_pending.end()) return;
    it->second.deferred = true;
    if (!m_retry.isActive()) m_retry.start();
}

void PendingRequests::raiseDeferred() {
    m_retry.stop();
    for (auto& [requestID, pending] : m_pending) {
        if (!pending.deferred) continue;
        pending.deferred = false;
        const qint32 id = requestID;
        if (QObject* listener = pending.listener)
            QMetaObject::invokeMethod(
                listener, [raise = pending.raise, id] { raise(id); }, Qt::QueuedConnection);
        else
            QMetaObject::invokeMethod(this, [this, id] { turnDown(id); }, Qt::QueuedConnection);
    }
}
