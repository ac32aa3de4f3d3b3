#include "tcp_listener.h"

#include "ipv4_address.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <climits>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A burst of clients must not overflow the system's queue of connections not yet taken.
constexpr int ListenBacklog = 1024;
constexpr int AcceptPauseMs = 100;

// The highest descriptor a connection may take: the rest are kept for the program's own needs
// (the window system and its boxes, the hosts file for a lookup, the settings file), so that a
// burst of connections cannot starve it.
int descriptorCeiling() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return INT_MAX;
    const rlim_t reserve = qMin<rlim_t>(64, limit.rlim_cur / 4);
    return int(qMin<rlim_t>(limit.rlim_cur - reserve, INT_MAX));
}
} // namespace

TcpListener::TcpListener(SocketPoller& poller) : m_poller(poller), m_ceiling(descriptorCeiling()) {
    m_resume.setSingleShot(true);
    m_resume.setInterval(AcceptPauseMs);
    QObject::connect(&m_resume, &QTimer::timeout, [this] {
        if (m_poller.watch(m_fd, *this, EPOLLIN) != 0) m_resume.start();
    });
}

TcpListener::~TcpListener() {
    if (m_fd < 0) return;
    m_poller.forget(m_fd);
    ::close(m_fd);
}

int TcpListener::listen(quint16 port) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return errno;
    const int on = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    int error = 0;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || ::listen(m_fd, ListenBacklog) != 0)
        error = errno;
    else
        error = m_poller.watch(m_fd, *this, EPOLLIN);
    if (error != 0) {
        m_poller.forget(m_fd);
        ::close(m_fd);
        m_fd = -1;
        return error;
    }
    return 0;
}

void TcpListener::pause() {
    m_poller.watch(m_fd, *this, 0);
    m_resume.start();
}

quint16 TcpListener::port() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (m_fd < 0 || getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
    return ntohs(local.sin_port);
}

bool TcpListener::descriptorsToSpare() const {
    // The next descriptor is the lowest free one: a duplicate shows which it would be.
    const int probe = fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (probe < 0) return false;
    ::close(probe);
    return probe < m_ceiling;
}

void TcpListener::onPollEvents(quint32) {
    for (;;) {
        // Near the end of the descriptors, the next ones wait in the system's queue.
        if (m_lastAccepted >= m_ceiling - 16 && !descriptorsToSpare()) {
            pause();
            return;
        }
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = accept4(m_fd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) pause();
            return;
        }
        m_lastAccepted = fd;
        if (onAccepted) onAccepted(fd, ipv4ToText(ntohl(peer.sin_addr.s_addr)), ntohs(peer.sin_port));
    }
}
