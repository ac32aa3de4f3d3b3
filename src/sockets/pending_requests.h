#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>

// Connections the listeners have taken from the system that wait for the program's Accept. A
// request the program cannot take yet is put off; it is raised again once a connection's close has
// been handled, or after a moment.
class PendingRequests : public QObject {
public:
    struct Request {
        int fd = -1; // -1: there is no such request
        QString peerAddress;
        quint16 peerPort = 0;
    };
    // Raises the ConnectionRequest event of a request once more.
    using Raise = std::function<void(qint32 requestID)>;

    PendingRequests();
    ~PendingRequests() override;

    // A request put off is raised through raise, from the event loop, while its listener exists.
    qint32 add(int fd, const QString& peerAddress, quint16 peerPort, QObject& listener, Raise raise);
    // Hands the connection over; fd -1 when there is none.
    Request take(qint32 requestID);
    // Closes the connection, unless the request was put off meanwhile.
    void turnDown(qint32 requestID);
    // The peer address, or "" when there is no such request.
    QString peerAddress(qint32 requestID) const;
    void defer(qint32 requestID);
    // Raises every request put off again; one whose listener has gone is turned down.
    void raiseDeferred();

private:
    struct Pending {
        Request request;
        QPointer<QObject> listener;
        Raise raise;
        bool deferred = false;
    };

    std::map<qint32, Pending> m_pending;
    qint32 m_nextRequestID = 0;
    QTimer m_retry;
};
