// The yardstick: a minimal single-threaded epoll relay. Whatever one client sends goes to every
// other client as it is; no parsing, no window. Prints "READY <port>" once listening.
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <set>
#include <sys/epoll.h>
#include <unistd.h>

static void sendAll(int fd, const char* data, ssize_t length) {
    while (length > 0) {
        const ssize_t sent = send(fd, data, size_t(length), MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            length -= sent;
        } else if (sent < 0 && errno == EAGAIN) {
            pollfd writable{fd, POLLOUT, 0};
            poll(&writable, 1, 1000);
        } else {
            return;
        }
    }
}

int main() {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener, 1024);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("READY %d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    const int poller = epoll_create1(0);
    epoll_event event{EPOLLIN, {.fd = listener}};
    epoll_ctl(poller, EPOLL_CTL_ADD, listener, &event);
    std::set<int> clients;
    static char buffer[65536];
    epoll_event ready[64];
    for (;;) {
        const int count = epoll_wait(poller, ready, 64, -1);
        for (int i = 0; i < count; ++i) {
            const int fd = ready[i].data.fd;
            if (fd == listener) {
                for (int client; (client = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
                    const int on = 1;
                    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                    epoll_event added{EPOLLIN, {.fd = client}};
                    epoll_ctl(poller, EPOLL_CTL_ADD, client, &added);
                    clients.insert(client);
                }
                continue;
            }
            const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
            if (received <= 0) {
                if (received < 0 && errno == EAGAIN) continue;
                epoll_ctl(poller, EPOLL_CTL_DEL, fd, nullptr);
                clients.erase(fd);
                close(fd);
                continue;
            }
            for (const int other : clients)
                if (other != fd) sendAll(other, buffer, received);
        }
    }
}
