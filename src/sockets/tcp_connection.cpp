#include "tcp_connection.h"

#include "platform/memory.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int SendBufferBytes = 256 * 1024;
// Small messages for one peer are joined in one piece up to this size: a peer that reads nothing
// then costs the bytes queued for it, not a queue entry and a buffer for each message. Larger ones
// stay pieces of their own, whose bytes every reader of a broadcast shares.
constexpr qsizetype JoinBelowBytes = 64 * 1024;
constexpr qsizetype SmallMessageBytes = 1024;
// The memory a queued piece costs beside its bytes: the entry, the buffer's header, the
// allocator's own.
constexpr qint64 PieceCostBytes = 128;
} // namespace

qint64 socketClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TcpConnection::TcpConnection(SocketPoller& poller, int fd, bool connecting)
    : m_poller(poller), m_fd(fd), m_connecting(connecting) {
    // Chat lines are small and should leave at once.
    const int on = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    updateInterest();
}

TcpConnection::~TcpConnection() {
    dropOutput();
    m_poller.forget(m_fd);
    ::close(m_fd);
}

std::unique_ptr<TcpConnection> TcpConnection::connectTo(SocketPoller& poller, quint32 address, quint16 port,
                                                        int& error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(address);
    peer.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0 && errno != EINPROGRESS) {
        error = errno;
        ::close(fd);
        return nullptr;
    }
    // Even an immediate success is reported from the poller, like every other outcome.
    return std::make_unique<TcpConnection>(poller, fd, true);
}

QByteArray TcpConnection::takeInput() {
    QByteArray input;
    input.swap(m_input);
    updateInterest();
    return input;
}

void TcpConnection::write(const QByteArray& bytes, const std::shared_ptr<SendBacklog>& origin) {
    if (m_broken || bytes.isEmpty()) return;
    qsizetype sent = 0;
    if (m_output.empty() && !m_connecting) {
        // The usual case: nothing waits here and the system takes it all, with nothing to count.
        sent = sendSome(bytes.constData(), bytes.size());
        if (sent < 0) return;
        if (sent > 0) {
            m_lastProgressMs = socketClockMs();
            if (origin) origin->lastDrainMs = m_lastProgressMs;
        }
        if (sent == bytes.size()) return;
    }
    const qsizetype left = bytes.size() - sent;
    if (origin && origin->queued == 0) origin->lastDrainMs = socketClockMs();
    account(origin, left);
    std::shared_ptr<SendBacklog> grown = origin;
    if (m_output.empty()) m_lastProgressMs = socketClockMs();
    if (bytes.size() < SmallMessageBytes && !m_output.empty() && m_output.back().origin == origin &&
        m_output.back().bytes.size() < JoinBelowBytes)
        m_output.back().bytes += bytes;
    else
        m_output.push_back({bytes, sent, origin});
    m_queued += left;
    if (!m_connecting) flushOutput();
    if (grown && grown->onChanged) grown->onChanged();
}

qsizetype TcpConnection::sendSome(const char* data, qsizetype size) {
    ssize_t n;
    do n = ::send(m_fd, data, size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    fail(errno);
    return -1;
}

void TcpConnection::account(const std::shared_ptr<SendBacklog>& origin, qint64 delta) {
    if (!origin) return;
    origin->queued += delta;
    m_relayed += delta;
    qint64& here = m_perSender[origin.get()];
    const qint64 before = here;
    here += delta;
    origin->readersBehind += int(here > BehindAboveBytes) - int(before > BehindAboveBytes);
    origin->readersNotCaughtUp += int(here >= CaughtUpBelowBytes) - int(before >= CaughtUpBelowBytes);
    origin->readersAtTheCap += int(here > MaxQueuedBytesPerConnection) - int(before > MaxQueuedBytesPerConnection);
    if (here == 0) m_perSender.erase(origin.get());
}

qint64 TcpConnection::queuedFrom(const SendBacklog& sender) const {
    const auto it = m_perSender.find(&sender);
    return it == m_perSender.end() ? 0 : it->second;
}

qint64 TcpConnection::queuedCost() const { return m_queued + qint64(m_output.size()) * PieceCostBytes; }

qint64 TcpConnection::stalledForMs() {
    if (m_output.empty()) return 0;
    // A slow reader takes from the system's buffers long before our queue moves: that counts too.
    int unsent = 0;
    if (ioctl(m_fd, SIOCOUTQ, &unsent) == 0 && unsent != m_systemQueued) {
        m_systemQueued = unsent;
        m_lastProgressMs = socketClockMs();
    }
    return socketClockMs() - m_lastProgressMs;
}

void TcpConnection::setReadPaused(bool paused) {
    if (m_readPaused == paused) return;
    m_readPaused = paused;
    updateInterest();
}

void TcpConnection::finish(std::function<void()> done) {
    m_finishing = true;
    m_done = std::move(done);
    m_input.clear();
    m_readPaused = false;
    checkFinished();
    updateInterest();
}

void TcpConnection::abort() {
    const linger reset{1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    fail(0);
}

void TcpConnection::limitSendBuffer() {
    const int bytes = SendBufferBytes;
    setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes);
}

void TcpConnection::onPollEvents(quint32 events) {
    if (m_connecting) {
        if (!(events & (EPOLLOUT | EPOLLERR | EPOLLHUP))) return;
        int error = 0;
        socklen_t length = sizeof error;
        // A connection whose outcome cannot even be read has failed.
        if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        m_connecting = false;
        m_broken = error != 0;
        updateInterest();
        if (onConnected) onConnected(error);
        if (error == 0) flushOutput();
        return;
    }
    // The peer's end is seen in the same pass as the bytes before it.
    if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) readSome(events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR));
    if (events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) flushOutput();
    checkFinished();
}

void TcpConnection::readSome(bool untilDrained) {
    // A reader paused earlier in the same batch of readiness reports reads nothing now.
    if (m_readEnded || m_broken || (m_readPaused && !m_finishing)) return;
    char buffer[16 * 1024];
    bool grew = false;
    while (m_finishing || m_input.size() < InputLimit) {
        const qint64 room = m_finishing ? qint64(sizeof buffer) : InputLimit - m_input.size();
        const size_t asked = size_t(qMin<qint64>(room, sizeof buffer));
        const ssize_t n = ::recv(m_fd, buffer, asked, 0);
        if (n > 0) {
            if (!m_finishing) m_input.append(buffer, n), grew = true;
            // Less than asked for is all there is now: the poller reports the socket again when
            // more comes, and a look to find nothing would cost a system call for every message.
            if (size_t(n) < asked && !untilDrained) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (grew && onReadable) onReadable();
        if (n < 0) return fail(errno);
        // The peer has finished sending; it may still read what is sent to it until we close.
        m_readEnded = true;
        updateInterest();
        if (onGone) onGone(0);
        return;
    }
    updateInterest();
    if (grew && onReadable) onReadable();
}

void TcpConnection::flushOutput() {
    while (!m_output.empty() && !m_broken) {
        Chunk& chunk = m_output.front();
        const qsizetype n = sendSome(chunk.bytes.constData() + chunk.offset, chunk.bytes.size() - chunk.offset);
        if (n < 0) return;
        if (n == 0) break;
        chunk.offset += n;
        m_queued -= n;
        m_lastProgressMs = socketClockMs();
        std::shared_ptr<SendBacklog> origin = chunk.origin;
        if (chunk.offset == chunk.bytes.size()) m_output.pop_front();
        if (origin) {
            account(origin, -n);
            origin->lastDrainMs = m_lastProgressMs;
            if (origin->onChanged) origin->onChanged();
        }
    }
    updateInterest();
}

void TcpConnection::fail(int error) {
    // A send may notice the end first: what the peer sent before it is still read, beyond the
    // input limit too (the system holds no more than its receive buffer).
    bool grew = false;
    if (error != 0 && !m_broken && !m_readEnded) {
        char buffer[16 * 1024];
        ssize_t n;
        while ((n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0 && !m_finishing) m_input.append(buffer, n), grew = true;
    }
    m_broken = true;
    m_failure = error;
    dropOutput();
    updateInterest();
    if (grew && onReadable) onReadable();
    if (onGone) onGone(error);
}

void TcpConnection::dropOutput() {
    const bool large = m_queued > JoinBelowBytes;
    for (Chunk& chunk : m_output) {
        if (!chunk.origin) continue;
        account(chunk.origin, -(chunk.bytes.size() - chunk.offset));
        if (chunk.origin->onChanged) chunk.origin->onChanged();
    }
    m_output.clear();
    m_queued = 0;
    if (large) platform::releaseFreedMemory();
}

void TcpConnection::checkFinished() {
    if (!m_finishing || (!m_broken && !m_output.empty())) return;
    if (!m_broken && !m_shutDown) {
        // All sent: tell the peer, then wait for its own close, so that it reads everything.
        ::shutdown(m_fd, SHUT_WR);
        m_shutDown = true;
    }
    if ((m_readEnded || m_broken) && m_done) {
        auto done = std::move(m_done);
        m_done = nullptr;
        done();
    }
}

void TcpConnection::updateInterest() {
    quint32 events = 0;
    if (m_connecting) {
        events = EPOLLOUT;
    } else if (!m_broken) {
        if (!m_readEnded && (m_finishing || (!m_readPaused && m_input.size() < InputLimit))) events |= EPOLLIN | EPOLLRDHUP;
        if (!m_output.empty()) events |= EPOLLOUT;
    }
    // A socket the poller cannot watch would never be heard of again: it fails instead.
    if (const int error = m_poller.watch(m_fd, *this, events); error != 0 && !m_broken) fail(error);
}
