// The socket control array over real loopback connections: states, events, errors, and the
// delivery rules the chat handlers rely on.
#include "platform/err_object.h"
#include "platform/yield.h"
#include "sockets/socket_control_array.h"
#include "test_support.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <sys/socket.h>

using testing::waitUntil;

namespace {

struct Events {
    QStringList log;
    QString data;
    explicit Events(SocketControlArray& array) {
        QObject::connect(&array, &SocketControlArray::DataArrival, [this, &array](int index, qint32) {
            data += array(index).GetData();
            log << QStringLiteral("data %1").arg(index);
        });
        QObject::connect(&array, &SocketControlArray::Close,
                         [this](int index) { log << QStringLiteral("close %1").arg(index); });
        QObject::connect(&array, &SocketControlArray::Error, [this](int index, qint32 number, const QString&) {
            log << QStringLiteral("error %1 %2").arg(index).arg(number);
        });
    }
};

qint32 runTimeErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// A listener and the server side of one accepted connection.
struct Listener {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    Listener() { server.listen(QHostAddress::LocalHost, 0); }
    bool acceptOne() {
        if (!waitUntil([this] { return server.hasPendingConnections(); })) return false;
        peer = server.nextPendingConnection();
        return true;
    }
};

// Element 0 connected to a listener, its events recorded.
struct OpenConnection {
    Listener listener;
    SocketControlArray array;
    Events events{array};
    bool open() {
        array(0).Connect(QStringLiteral("127.0.0.1"), listener.server.serverPort());
        return listener.acceptOne();
    }
};

} // namespace

class SocketLayerTest : public QObject {
    Q_OBJECT
private slots:
    void connectMovesThroughConnectingToConnected() {
        Listener listener;
        SocketControlArray array;
        QCOMPARE(array(0).State(), SocketState::Closed);
        array(0).Connect(QStringLiteral("127.0.0.1"), listener.server.serverPort());
        QCOMPARE(array(0).State(), SocketState::Connecting);
        QVERIFY(waitUntil([&] { return array(0).State() == SocketState::Connected; }));
        QCOMPARE(array(0).RemoteHostIP(), QStringLiteral("127.0.0.1"));
        QCOMPARE(array(0).RemotePort(), qint32(listener.server.serverPort()));
        QVERIFY(array(0).LocalPort() > 0);
        array(0).Close();
        QCOMPARE(array(0).State(), SocketState::Closed);
    }

    void leadingZerosReadAsTheSystemReadsThem() {
        Listener listener;
        SocketControlArray array;
        array(0).Connect(QStringLiteral("127.000.000.001"), listener.server.serverPort());
        QVERIFY(waitUntil([&] { return array(0).State() == SocketState::Connected; }));
        QCOMPARE(array(0).RemoteHostIP(), QStringLiteral("127.0.0.1"));
    }

    void refusedConnectRaisesErrorThenStaysInErrorUntilClose() {
        SocketControlArray array;
        Events events(array);
        array(0).Connect(QStringLiteral("127.0.0.1"), testing::freeTcpPort());
        QVERIFY(waitUntil([&] { return !events.log.isEmpty(); }));
        QCOMPARE(events.log, QStringList{QStringLiteral("error 0 10061")});
        QCOMPARE(array(0).State(), SocketState::Error);
        array(0).Close();
        QCOMPARE(array(0).State(), SocketState::Closed);
        QTest::qWait(20);
        QCOMPARE(events.log.size(), 1); // Close raises no event of its own
    }

    void peerCloseRaisesCloseAndState8_data() {
        QTest::addColumn<bool>("reset");
        QTest::newRow("graceful") << false;
        QTest::newRow("reset") << true;
    }
    void peerCloseRaisesCloseAndState8() {
        QFETCH(bool, reset);
        OpenConnection connection;
        auto& [listener, array, events] = connection;
        QVERIFY(connection.open());
        QVERIFY(waitUntil([&] { return array(0).State() == SocketState::Connected; }));
        if (reset) {
            const linger abortive{1, 0};
            setsockopt(int(listener.peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        }
        listener.peer->close();
        QVERIFY(waitUntil([&] { return !events.log.isEmpty(); }));
        QCOMPARE(events.log, QStringList{QStringLiteral("close 0")});
        QCOMPARE(array(0).State(), SocketState::Closing);
        array(0).Close();
        QCOMPARE(array(0).State(), SocketState::Closed);
    }

    void dataBeforeThePeerClosesComesFirst() {
        OpenConnection connection;
        auto& [listener, array, events] = connection;
        QVERIFY(connection.open());
        listener.peer->write("last words");
        listener.peer->flush();
        listener.peer->close();
        QVERIFY(waitUntil([&] { return events.log.contains(QStringLiteral("close 0")); }));
        QCOMPARE(events.log, (QStringList{QStringLiteral("data 0"), QStringLiteral("close 0")}));
        QCOMPARE(events.data, QStringLiteral("last words"));
    }

    void dataArrivingWhileTheHandlerYieldsGetsItsOwnEvent() {
        Listener listener;
        SocketControlArray array;
        QStringList messages;
        bool firstEvent = true;
        connect(&array, &SocketControlArray::DataArrival, this, [&](int index, qint32) {
            messages << array(index).GetData();
            if (!firstEvent) return;
            firstEvent = false;
            // While this handler yields, the peer sends again.
            listener.peer->write("second");
            listener.peer->flush();
            for (int i = 0; i < 50; ++i) {
                platform::doEvents();
                QTest::qSleep(1);
            }
        });
        array(0).Connect(QStringLiteral("127.0.0.1"), listener.server.serverPort());
        QVERIFY(listener.acceptOne());
        listener.peer->write("first");
        listener.peer->flush();
        QVERIFY(waitUntil([&] { return messages.size() == 2; }));
        QCOMPARE(messages, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    }

    void characterSplitAcrossTwoReadsIsNotCorrupted() {
        OpenConnection connection;
        auto& [listener, array, events] = connection;
        QVERIFY(connection.open());
        const QByteArray umlaut = QStringLiteral("ü").toUtf8();
        listener.peer->write(umlaut.left(1));
        listener.peer->flush();
        QTest::qWait(20);
        QCOMPARE(events.log.size(), 0);
        listener.peer->write(umlaut.mid(1) + "x");
        listener.peer->flush();
        QVERIFY(waitUntil([&] { return events.log.size() == 2; }));
        QCOMPARE(events.data, QStringLiteral("üx"));
    }

    void anyBytesAreAccepted() {
        OpenConnection connection;
        auto& [listener, array, events] = connection;
        QVERIFY(connection.open());
        listener.peer->write(QByteArray("\x00\xff\xfe\xc3(\r\n\x80", 8));
        listener.peer->flush();
        QVERIFY(waitUntil([&] { return !events.log.isEmpty(); }));
        QCOMPARE(events.data.size(), 8);
        QCOMPARE(events.data.at(0), QChar(0));
    }

    void dataSentJustBeforeCloseReachesThePeer() {
        Listener listener;
        SocketControlArray array;
        array(0).Connect(QStringLiteral("127.0.0.1"), listener.server.serverPort());
        QVERIFY(listener.acceptOne());
        QVERIFY(waitUntil([&] { return array(0).State() == SocketState::Connected; }));
        const QString big(1000000, QLatin1Char('z'));
        array(0).SendData(big + QStringLiteral("END"));
        array(0).Close();
        QCOMPARE(array(0).State(), SocketState::Closed);
        QByteArray received;
        bool closed = false;
        connect(listener.peer, &QTcpSocket::disconnected, this, [&] { closed = true; });
        QVERIFY(waitUntil([&] {
            received += listener.peer->readAll();
            return closed;
        }, 10000));
        received += listener.peer->readAll();
        QCOMPARE(received.size(), 1000003);
        QVERIFY(received.endsWith("END"));
    }

    void listenAcceptAndTurnDown() {
        SocketControlArray array;
        const quint16 port = testing::freeTcpPort();
        array(0).Bind(port);
        QCOMPARE(array(0).LocalPort(), qint32(port));
        array(0).Listen();
        QCOMPARE(array(0).State(), SocketState::Listening);

        int requests = 0;
        connect(&array, &SocketControlArray::ConnectionRequest, this, [&](int index, qint32 requestID) {
            QCOMPARE(index, 0);
            if (++requests == 1) {
                array.Load(1);
                array(1).Accept(requestID);
            }
            // The second request is not accepted: it is turned down.
        });
        testing::RawPeer accepted, refused;
        QVERIFY(accepted.connectTo(port));
        QVERIFY(waitUntil([&] { return requests == 1; }));
        QCOMPARE(array(1).State(), SocketState::Connected);
        QCOMPARE(array(1).RemoteHostIP(), QStringLiteral("127.0.0.1"));
        QCOMPARE(array(1).RemotePort(), qint32(accepted.socket().localPort()));
        QVERIFY(refused.connectTo(port));
        QVERIFY(refused.waitForClose());
        QVERIFY(!accepted.isClosed());
    }

    void listenOnAPortInUseFails() {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::AnyIPv4, 0));
        SocketControlArray array;
        array(0).Bind(other.serverPort());
        QCOMPARE(runTimeErrorOf([&] { array(0).Listen(); }), 10048);
        QCOMPARE(array(0).State(), SocketState::Closed);
        QCOMPARE(array(0).LocalPort(), qint32(other.serverPort()));
    }

    void misuseRaisesRunTimeErrors() {
        SocketControlArray array;
        QCOMPARE(runTimeErrorOf([&] { array(0).SendData(QStringLiteral("x")); }), 40006);
        QCOMPARE(runTimeErrorOf([&] { array(0).Connect(QStringLiteral("127.0.0.1"), 0); }), 380);
        QCOMPARE(runTimeErrorOf([&] { array(0).Connect(QStringLiteral("127.0.0.1"), 65536); }), 380);
        QCOMPARE(runTimeErrorOf([&] { array(0).Bind(-1); }), 380);
        QCOMPARE(runTimeErrorOf([&] { array(0).Bind(65536); }), 380);
        QCOMPARE(runTimeErrorOf([&] { array(0).Accept(12345); }), 5);
        QCOMPARE(runTimeErrorOf([&] { array(3); }), 340);
        QCOMPARE(runTimeErrorOf([&] { array.Unload(0); }), 362);
        QCOMPARE(runTimeErrorOf([&] { array.Unload(2); }), 340);
        array.Load(2);
        QCOMPARE(runTimeErrorOf([&] { array.Load(2); }), 360);
        array(2).Tag = QStringLiteral("kept");
        QCOMPARE(array(2).Tag, QStringLiteral("kept"));
        array.Unload(2);
        QVERIFY(!array.isLoaded(2));

        array(0).Bind(testing::freeTcpPort());
        array(0).Listen();
        QCOMPARE(runTimeErrorOf([&] { array(0).Connect(QStringLiteral("127.0.0.1"), 1); }), 40006);
        QCOMPARE(runTimeErrorOf([&] { array(0).Listen(); }), 40006);
    }

    void connectionRefIsInvalidatedByCloseAndReuse() {
        Listener listener;
        SocketControlArray array;
        array(0).Connect(QStringLiteral("127.0.0.1"), listener.server.serverPort());
        const ConnectionRef first = array.refOf(0);
        QVERIFY(array.stillCarries(0, first));
        array(0).Close();
        QVERIFY(!array.stillCarries(0, first));
        array(0).Connect(QStringLiteral("127.0.0.1"), listener.server.serverPort());
        QVERIFY(!array.stillCarries(0, first));
    }
};

QTEST_MAIN(SocketLayerTest)
#include "tst_socket_layer.moc"
