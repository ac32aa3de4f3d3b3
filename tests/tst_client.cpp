// The client: connecting to servers that accept, refuse late, refuse at once or never answer,
// chatting through a server, and the two roles refusing each other.
#include "diagnostics/host_name.h"
#include "harness.h"

#include <QRegularExpression>
#include <sys/socket.h>
#include <unistd.h>

using namespace testing;

namespace {
// A server that takes every connection and keeps what it is sent; it may refuse like a full one.
struct Listener : QTcpServer {
    QByteArray received;
    explicit Listener(int refuseAfterMs = -1) {
        listen(QHostAddress::LocalHost, 0);
        connect(this, &QTcpServer::newConnection, this, [this, refuseAfterMs] {
            QTcpSocket* peer = nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [this, peer] { received += peer->readAll(); });
            if (refuseAfterMs >= 0) QTimer::singleShot(refuseAfterMs, peer, [peer] {
                peer->write("\r\n>>> No more Clients allowed. Goodbey <<<");
                peer->disconnectFromHost();
            });
        });
    }
};
const QString ClosedByServer = QStringLiteral("Connection closed by remote host.\r\n");
} // namespace

class ClientTest : public ScriptedTest {
    Q_OBJECT
private slots:

    void chatThroughAServerAndTheRolesRefuseEachOther() {
        Chat server, alice, bob;
        QVERIFY(startServer(server, 0));
        const quint16 port = quint16(server.session.Winsock1(0).LocalPort());
        script().button(platform::MsgResult::Ok);
        server.client.Command2_Click();
        QVERIFY2(QRegularExpression(QStringLiteral("^searching Server\\.\\.\\.\r\n>>> Parleon Server is: localhost <<<\r\n"
                                                   "\r\nConnecting\\.*\r\nConnected\r\nConnect OK to server 127\\.0\\.0\\.1\r\n$"))
                     .match(connectTo(alice, port)).hasMatch(), qPrintable(alice.output));
        QCOMPARE(alice.focused, 1);
        QVERIFY(waitUntil([&] { return alice.fresh() == ">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n"
                                                        "01. alice\r\n\r\n"; }));
        QVERIFY(waitUntil([&] { return alice.title == QStringLiteral("Parleon - Connected [localhost]"); }));
        script().button(platform::MsgResult::Ok);
        alice.server.Command3_Click();
        QCOMPARE(script().boxes[0].text + '|' + script().boxes[1].text,
                 QStringLiteral("Cannot connect. Server is running.|Cannot start Server. You are connected as Client."));
        connectTo(bob, port, "bob");
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral(">>> bob has joined <<<\r\n"); }));
        QVERIFY(waitUntil([&] { return bob.fresh().endsWith(QStringLiteral("02. bob\r\n\r\n")); }));
        bob.type(QStringLiteral("nickName=robert"));
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral(">>> bob has renamed to robert <<<\r\n"); }));
        // The client keeps its own name for its echo; the line goes out bare.
        bob.type(QStringLiteral("hi"));
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral("robert: hi\r\n"); }));
        QVERIFY(alice.attention == 4 && server.attention == 4); // each message that arrived asked for attention
        server.type(QStringLiteral("kickName=robert"));
        QVERIFY(waitUntil([&] { return bob.output.endsWith(ClosedByServer); }));
        QCOMPARE(bob.fresh(), "bob: nickName=robert\r\n>>> Your new nickName is robert <<<\r\nbob: hi\r\n"
                              ">>> You are kicked by SERVER <<<\r\n" + ClosedByServer);
        bob.type(QStringLiteral("anyone?"));
        QCOMPARE(bob.fresh() + bob.input, QStringLiteral("ERROR: Cannot send message, no connection.\r\nanyone?"));
        // Already connected: No keeps the connection, Yes closes it before the dialog.
        script().button(platform::MsgResult::No);
        alice.client.Command2_Click();
        QCOMPARE(script().boxes.back().text, "You are already connected to Server:\r\nlocalhost\r\n\r\nClose current connection?");
        QCOMPARE(alice.session.Winsock1(0).State(), SocketState::Connected);
        script().button(platform::MsgResult::Yes);
        script().dialog([] { return false; });
        alice.fresh();
        alice.client.Command2_Click();
        QCOMPARE(alice.fresh(), QStringLiteral("Connection closed.\r\n"));
        QVERIFY(alice.session.rHostIP.isEmpty() && !alice.client.connectFailed);
    }

    void aLateRefusalIsNoSuccess() {
        Listener full(30);
        Chat w;
        QString output = connectTo(w, full.serverPort());
        QVERIFY(waitUntil([&] { return (output += w.fresh()).endsWith(ClosedByServer); }));
        QVERIFY(output.endsWith("Connected\r\n\r\n>>> No more Clients allowed. Goodbey <<<\r\n" + ClosedByServer));
        QVERIFY(w.client.connectFailed && full.received.isEmpty());
    }

    void aRefusedConnectionIsReportedAndClosed() {
        Chat w;
        QString title;
        script().box([&] { return QTest::qWait(150), title = w.title, platform::MsgResult::Ok; });
        const QString output = connectTo(w, freeTcpPort());
        QVERIFY(script().boxes.back().text.startsWith("Socket Error\r\nError Nr.: 10061\r\nLast Dll Error: 0\r\n\r\n"
                                                      "Connection is forcefully rejected\r\n\r\nHelp:\r\nConnection refused. "));
        QCOMPARE(title, QStringLiteral("Parleon - Error [localhost]"));
        // The report follows the dots on their line; the wait ends when the socket has closed.
        QVERIFY2(QRegularExpression(QStringLiteral("\r\n\r\nConnecting\\.*Connection is forcefully rejected\r\n\r\n$")).match(output).hasMatch(),
                 qPrintable(output));
        QVERIFY(w.session.Winsock1(0).State() == SocketState::Closed && !w.session.connecting);
        QVERIFY(waitUntil([&] { return w.title == QStringLiteral("Parleon - Connection closed [localhost]"); }));
    }

    void timeOutAfterItsSecondsWithADotEach() {
        for (int seconds : {2, 0}) {
            StalledListener stalled;
            Chat w;
            w.session.connectTimeout = seconds;
            // Return while still connecting does nothing and keeps the text.
            QTimer::singleShot(300, &w.session, [&] { w.type(QStringLiteral("early")); });
            QElapsedTimer clock;
            clock.start();
            const QString output = connectTo(w, stalled.port);
            const double elapsed = double(clock.elapsed()) / 1000;
            const QRegularExpressionMatch match = QRegularExpression(QStringLiteral(
                "\r\nConnecting(\\.*)\r\nERROR: Connect timeout \\(%1 sec\\)\\.\r\nConnection closed\\.\r\n$").arg(seconds)).match(output);
            QVERIFY2(match.hasMatch() && elapsed >= seconds && elapsed < seconds + 0.5, qPrintable(output + QString::number(elapsed)));
            QVERIFY(match.captured(1).size() >= seconds && match.captured(1).size() <= seconds + 1);
            QCOMPARE(w.input, seconds ? QStringLiteral("early") : ChatSession::InputPrompt);
            if (seconds) QCOMPARE(w.title, QStringLiteral("Parleon - Connecting [localhost]"));
        }
    }

    void aLargeLineGoesWholeAndOnlyAServerThatReadsNothingIsCut() {
        StalledListener late;
        Chat w;
        QTimer::singleShot(100, &w.session, [&] { ::close(late.accept()); });
        QVERIFY(connectTo(w, late.port).endsWith(QStringLiteral("Connect OK to server 127.0.0.1\r\n")));
        // A receive buffer that stays small, as on a machine whose buffers do not grow to many MiB.
        const int fd = late.accept(), small = 64 * 1024;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        Peer server(Peer::Accepted{fd});
        QVERIFY(server.expect("nickName=alice"));
        const QString line(6 << 20, 'y');
        w.type(line);
        QByteArray got;
        QVERIFY(waitUntil([&] { return (got += server.take(1)).size() == line.size(); }, 20000));
        QVERIFY(got == line.toLatin1() && w.session.Winsock1(0).State() == SocketState::Connected);
        // The server stops reading: more than the system's buffers take, and the client gives up
        // once nothing has left for a while.
        QElapsedTimer clock; // started before anything can stall
        clock.start();
        for (int i = 0; i < 3; ++i) w.type(line);
        const QString cut = QStringLiteral("Send queue exceeded: the server took nothing for 2 s, the connection was cut.\r\n");
        QVERIFY(waitUntil([&] { return w.type(QStringLiteral("more")), w.output.contains(cut); }));
        QCOMPARE_GE(clock.elapsed(), SendQueueStalledMs);
        QCOMPARE(server.waitEnd(), Peer::End::Reset);
    }

    void closingDuringTheWaitClosesWhenItEnds() {
        StalledListener stalled;
        Chat w;
        QTimer::singleShot(200, &w.session, [&] { w.close(); });
        const QString hyphens(42, QLatin1Char('-'));
        QVERIFY(connectTo(w, stalled.port, "frank").endsWith("\r\n" + hyphens + "\r\nCannot exit while connecting. Please wait.\r\n" +
                                                               hyphens + "\r\n\r\n"));
        QVERIFY(w.closed && w.folder.read().contains("\"frank\""));
    }

    void aSecondClickDuringTheWaitTakesOverQuietly() {
        // The second attempt connects, or its dialog is cancelled; either way the program can be
        // closed afterwards, since no wait runs any more.
        for (const bool cancelled : {false, true}) {
            StalledListener stalled;
            Listener good;
            Chat w;
            QTimer::singleShot(300, &w.session, [&] {
                script().button(platform::MsgResult::Yes);
                if (cancelled) script().dialog([] { return false; }), w.client.Command2_Click();
                else connectTo(w, good.serverPort());
            });
            connectTo(w, stalled.port);
            QCOMPARE(w.output.count(QStringLiteral("Connect OK to server")), cancelled ? 0 : 1);
            QVERIFY(cancelled || waitUntil([&] { return good.received == "nickName=alice"; }));
            QTest::qWait(50);
            QCOMPARE(good.received, cancelled ? QByteArray() : QByteArray("nickName=alice"));
            QVERIFY(!w.session.connecting);
            w.close();
            QVERIFY(w.closed);
        }
    }

    void anUnreachableAddressFailsAtOnce() {
        const auto restore = qScopeGuard([] { setReverseLookupForTests(nullptr); });
        // The name takes a while to come: the program waits for it, yielding meanwhile.
        setReverseLookupForTests([](quint32) { return QThread::msleep(120), ReverseLookupResult{"broadcast", 0}; });
        Chat w;
        script().button(platform::MsgResult::Ok);
        QVERIFY(connectTo(w, 9843, "hana", "255.255.255.255").endsWith(QStringLiteral("Network is unreachable\r\n\r\n")));
        QVERIFY(script().boxes.back().text.startsWith(QStringLiteral("Socket Error\r\nError Nr.: 10051\r\n")));
        QVERIFY(!w.session.connecting && w.session.Winsock1(0).State() == SocketState::Closed);
    }

    void addressBytesAreDecimal() {
        QTcpServer ten; // read as octal, the address would be 127.0.0.8
        QVERIFY(ten.listen(QHostAddress(QStringLiteral("127.0.0.10")), 0));
        Chat w;
        script().button(platform::MsgResult::Ok); // 127.0.0.10 has no name of its own
        connectTo(w, ten.serverPort(), "hana", "127.000.0.010");
        QVERIFY(script().boxes.back().text.startsWith(QStringLiteral("Error while getting Host-Name\r\n")));
        QVERIFY(waitUntil([&] { return ten.hasPendingConnections(); }));
        QCOMPARE(w.session.Winsock1(0).RemoteHostIP(), QStringLiteral("127.0.0.10"));
    }

};

QTEST_GUILESS_MAIN(ClientTest)
#include "tst_client.moc"
