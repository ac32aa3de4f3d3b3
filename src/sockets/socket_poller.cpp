#include "socket_poller.h"

#include <QSocketNotifier>
#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

namespace {
// The generation tells a stale readiness report from one for a socket that reuses the same number.
quint64 key(int fd, quint32 generation) { return (quint64(generation) << 32) | quint32(fd); }
} // namespace

SocketPoller::SocketPoller(QObject* parent) : QObject(parent) {
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    if (m_epoll < 0) qFatal("epoll_create1 failed");
    m_notifier = new QSocketNotifier(m_epoll, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SocketPoller::dispatchReady);
}

SocketPoller::~SocketPoller() {
    delete m_notifier;
    ::close(m_epoll);
}

int SocketPoller::watch(int fd, Client& client, quint32 events) {
    const auto it = m_watched.find(fd);
    if (events == 0) {
        if (it != m_watched.end() && it->second.events != 0) epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        if (it != m_watched.end()) it->second.events = 0;
        else m_watched[fd] = {&client, ++m_generation, 0};
        return 0;
    }
    const bool added = it == m_watched.end() || it->second.events == 0;
    if (!added && it->second.events == events) return 0;
    const quint32 generation = it == m_watched.end() ? ++m_generation : it->second.generation;
    epoll_event event{};
    event.events = events;
    event.data.u64 = key(fd, generation);
    if (epoll_ctl(m_epoll, added ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, fd, &event) != 0) return errno;
    m_watched[fd] = {&client, generation, events};
    return 0;
}

void SocketPoller::forget(int fd) {
    const auto it = m_watched.find(fd);
    if (it == m_watched.end()) return;
    if (it->second.events != 0) epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    m_watched.erase(it);
}

void SocketPoller::dispatchReady() {
    epoll_event ready[64];
    const int count = epoll_wait(m_epoll, ready, 64, 0);
    for (int i = 0; i < count; ++i) {
        const int fd = int(quint32(ready[i].data.u64));
        const auto it = m_watched.find(fd);
        // A client handled earlier in this batch may have closed the socket, or its number may
        // already belong to a new one.
        if (it == m_watched.end() || it->second.generation != quint32(ready[i].data.u64 >> 32)) continue;
        it->second.client->onPollEvents(ready[i].events);
    }
}
