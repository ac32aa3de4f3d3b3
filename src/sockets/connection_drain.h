#pragma once

#include "tcp_connection.h"

#include <QObject>
#include <map>
#include <memory>

// Keeps each closed connection until its queued data has gone out and its peer has closed too, or
// until it has had long enough for that: a close on our side does not cut off what was sent last.
class ConnectionDrain : public QObject {
public:
    void dispose(std::unique_ptr<TcpConnection> connection);

private:
    std::map<quint64, std::unique_ptr<TcpConnection>> m_draining;
    quint64 m_nextID = 0;
};
