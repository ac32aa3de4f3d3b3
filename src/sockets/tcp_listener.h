#pragma once

#include "socket_poller.h"

#include <QString>
#include <QTimer>
#include <functional>

// A listening TCP socket on all IPv4 addresses. Connections are taken from the system as they
// come and handed on with their peer's address, which is noted at once.
class TcpListener : public SocketPoller::Client {
public:
    std::function<void(int fd, const QString& peerAddress, quint16 peerPort)> onAccepted;

    explicit TcpListener(SocketPoller& poller);
    virtual ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Returns 0, or the errno of the failed step.
    int listen(quint16 port);
    quint16 port() const;

    void onPollEvents(quint32 events) override;

private:
    // Out of file descriptors, or near the end of them: the listening socket stays readable, so
    // accepting pauses a moment instead of spinning.
    void pause();
    bool descriptorsToSpare() const;

    SocketPoller& m_poller;
    int m_fd = -1;
    const int m_ceiling;     // connections take descriptors below this one
    int m_lastAccepted = -1; // the descriptor the last connection took
    QTimer m_resume;
};
