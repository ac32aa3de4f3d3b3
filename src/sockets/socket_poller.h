#pragma once

#include <QObject>
#include <unordered_map>

class QSocketNotifier;

// Readiness of every socket of the program through one epoll set, which Qt's event loop sees as a
// single socket notifier: a pass of the event loop costs the same whether two or two thousand
// connections are open, and only the sockets that are ready are looked at.
class SocketPoller : public QObject {
public:
    class Client {
    public:
        // events: the EPOLL* bits that are ready.
        virtual void onPollEvents(quint32 events) = 0;

    protected:
        ~Client() = default;
    };

    explicit SocketPoller(QObject* parent = nullptr);
    ~SocketPoller() override;

    // Interest in EPOLLIN and EPOLLOUT; an empty set takes the socket out of the epoll set, since
    // a hang-up would otherwise be reported again and again. 0, or the errno of a change the
    // system refused: the socket is then not watched for what was asked.
    int watch(int fd, Client& client, quint32 events);
    void forget(int fd);

private:
    void dispatchReady();

    struct Watched {
        Client* client;
        quint32 generation;
        quint32 events;
    };
    int m_epoll = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::unordered_map<int, Watched> m_watched;
    quint32 m_generation = 0;
};
