#pragma once

#include "send_backlog.h"
#include "socket_poller.h"

#include <QByteArray>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>

// A non-blocking TCP connection watched by the poller. It reads into a bounded buffer, writes at
// once and queues the rest, and reports through callbacks, which must not run program handlers.
class TcpConnection : public SocketPoller::Client {
public:
    static constexpr qint64 InputLimit = 64 * 1024;

    std::function<void()> onReadable;          // new bytes in the input buffer
    std::function<void(int error)> onGone;     // the peer finished sending (0) or the connection failed (errno)
    std::function<void(int error)> onConnected; // an outgoing connection is up (0) or failed (errno)

    TcpConnection(SocketPoller& poller, int fd, bool connecting);
    virtual ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Starts a connection to an IPv4 address (host byte order); nullptr and errno when it cannot.
    static std::unique_ptr<TcpConnection> connectTo(SocketPoller& poller, quint32 address, quint16 port, int& error);

    // Reads what the system holds for us now, without waiting for the poller.
    void readNow() { readSome(true); }
    QByteArray takeInput();
    bool hasInput() const { return !m_input.isEmpty(); }
    bool broken() const { return m_broken; } // nothing more can be sent
    int failure() const { return m_failure; } // the errno it broke with; 0 when aborted

    void write(const QByteArray& bytes, const std::shared_ptr<SendBacklog>& origin);
    qint64 queuedBytes() const { return m_queued; }
    // What waits here of this sender's messages, and of all senders'.
    qint64 queuedFrom(const SendBacklog& sender) const;
    qint64 relayedQueued() const { return m_relayed; }
    // What the queue costs in memory: its bytes and the bookkeeping of each queued piece.
    qint64 queuedCost() const;
    // How long the peer has taken none of what is queued for it; 0 while nothing is queued.
    qint64 stalledForMs();

    // While paused nothing more is read: the peer is held back by TCP.
    void setReadPaused(bool paused);
    bool readPaused() const { return m_readPaused; }

    // Ends the connection the polite way: what is queued goes out, then a FIN, then whatever the
    // peer still sends is read and dropped until it closes too; done() runs at that point.
    void finish(std::function<void()> done);
    // Ends it at once, as a failure; the peer sees a reset.
    void abort();

    // Keeps what the system holds for a slow peer small; the rest waits in our own queue, where
    // it is counted against the connection's limit.
    void limitSendBuffer();

    void onPollEvents(quint32 events) override;

private:
    void readSome(bool untilDrained);
    void flushOutput();
    // What the system took of it at once (0 when it took nothing), or -1 when the connection
    // failed.
    qsizetype sendSome(const char* data, qsizetype size);
    void fail(int error);
    void dropOutput();
    void account(const std::shared_ptr<SendBacklog>& origin, qint64 delta);
    void updateInterest();
    void checkFinished();

    struct Chunk {
        QByteArray bytes;
        qsizetype offset;
        std::shared_ptr<SendBacklog> origin;
    };

    SocketPoller& m_poller;
    int m_fd;
    bool m_connecting;
    bool m_readEnded = false;    // the peer has finished sending
    bool m_broken = false;       // reading or writing failed, or the connection was aborted
    int m_failure = 0;
    bool m_readPaused = false;
    bool m_finishing = false;
    bool m_shutDown = false;
    QByteArray m_input;
    std::deque<Chunk> m_output;
    qint64 m_queued = 0;
    qint64 m_relayed = 0;                                       // the queued bytes that have a sender
    std::unordered_map<const SendBacklog*, qint64> m_perSender; // senders with bytes queued here
    qint64 m_lastProgressMs = 0; // when the queue last shrank, or last began to fill
    int m_systemQueued = 0;      // what the system held for the peer at the last look
    std::function<void()> m_done;
};

// A monotonic clock in milliseconds for the socket layer's own timing.
qint64 socketClockMs();
