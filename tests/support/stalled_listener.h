#pragma once

#include <QtGlobal>
#include <arpa/inet.h>
#include <unistd.h>

namespace testing {

// A loopback listener whose accept queue is full, so that a further connection attempt never
// completes: the system drops its handshake and the attempt stays in "connecting".
class StalledListener {
public:
    StalledListener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        listen(m_listener, 0);
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), length); // the one connection the queue holds
    }
    ~StalledListener() { ::close(m_filler), ::close(m_listener); }
    quint16 port() const { return m_port; }

private:
    int m_listener = socket(AF_INET, SOCK_STREAM, 0);
    int m_filler = socket(AF_INET, SOCK_STREAM, 0);
    quint16 m_port = 0;
};

} // namespace testing
