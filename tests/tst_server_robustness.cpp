// A server keeps serving everyone, whatever its peers send or do.
#include "server_fixture.h"

#include <QSet>
#include <QTest>
#include <sys/socket.h>

using testing::RawPeer;
using testing::ServerFixture;
using testing::waitUntil;

namespace {

// The slot table is consistent: no more slots than allowed, all of them loaded, none above,
// and no nick name held twice.
bool slotTableIsConsistent(const Form1& form) {
    auto& sockets = const_cast<Form1&>(form).Winsock1;
    if (form.socketCount > form.maxClients) return false;
    if (sockets.loadedCount() != form.socketCount + 1) return false;
    QSet<QString> names;
    for (int i = 1; i <= form.socketCount; ++i) {
        if (!sockets.isLoaded(i)) return false;
        const QString tag = sockets(i).Tag;
        if (tag.isEmpty() || tag == QStringLiteral("__FREE__")) continue;
        if (names.contains(tag)) return false;
        names.insert(tag);
    }
    return true;
}

// alice and bob still chat, byte for byte.
bool stillChatting(RawPeer& alice, RawPeer& bob) {
    alice.takeAll();
    bob.takeAll();
    alice.send(QByteArray("still here?"));
    if (!bob.expect(QByteArray("alice: still here?"))) return false;
    bob.send(QByteArray("yes"));
    return alice.expect(QByteArray("bob: yes"));
}

} // namespace

class ServerRobustnessTest : public QObject {
    Q_OBJECT
private slots:
    void twoClientsTalkingAtOnceLoseNothing() {
        ServerFixture server;
        auto [alice, bob] = server.joinAliceAndBob();
        QVERIFY(alice && bob);
        QByteArray toAlice, toBob;
        for (int round = 0; round < 30; ++round) {
            const QByteArray a = "a" + QByteArray::number(round);
            const QByteArray b = "b" + QByteArray::number(round);
            alice->send(a);
            bob->send(b);
            toAlice += "bob: " + b;
            toBob += "alice: " + a;
            QVERIFY(alice->waitForBytes(toAlice.size()));
            QVERIFY(bob->waitForBytes(toBob.size()));
        }
        QCOMPARE(alice->received(), toAlice);
        QCOMPARE(bob->received(), toBob);
    }

    void garbageAndHugeSendsDisturbNobody() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        auto junk = server.join(QStringLiteral("junk"));
        QVERIFY(alice && bob && junk);

        junk->send(QByteArray("\x00\xff\xfe\xc3\x28\xa0\xa1\xe2\x82\r\n\x00", 12));
        QVERIFY(alice->waitForBytes(1));
        const QByteArray oneMiB(1024 * 1024, 'M');
        junk->send(oneMiB);
        // Relayed in whatever pieces it arrived in, each behind the sender's name.
        QVERIFY(waitUntil([&] { return alice->received().count('M') == oneMiB.size(); }, 30000));
        QVERIFY(waitUntil([&] { return bob->received().count('M') == oneMiB.size(); }, 30000));
        QVERIFY(stillChatting(*alice, *bob));
        QVERIFY(slotTableIsConsistent(*server.form));
    }

    void peersThatComeAndGoAtOnce() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        QVERIFY(alice && bob);
        for (int i = 0; i < 20; ++i) {
            QTcpSocket hitAndRun;
            hitAndRun.connectToHost(QHostAddress::LocalHost, server.port);
            QVERIFY(hitAndRun.waitForConnected(5000));
            if (i % 2) {
                const linger abortive{1, 0};
                setsockopt(int(hitAndRun.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            }
            hitAndRun.close();
        }
        QVERIFY(waitUntil([&] { return server.form->clientSlots.countClients() == 2; }));
        QVERIFY(slotTableIsConsistent(*server.form));
        QVERIFY(stillChatting(*alice, *bob));
        QVERIFY2(server.answerer.boxes().empty(), qPrintable(server.answerer.boxes().empty() ? QString() : server.answerer.boxes()[0].text));
    }

    void aStormOfShortConnectionsLeavesTheServerServing() {
        ServerFixture server(QStringLiteral("20"));
        auto [alice, bob] = server.joinAliceAndBob();
        QVERIFY(alice && bob);
        // Peers that connect, name themselves and leave at once, many at a time: the handlers
        // nest through their yields, and the server must neither crash nor lose its clients.
        std::vector<std::unique_ptr<QTcpSocket>> storm;
        for (int round = 0; round < 10; ++round) {
            for (int i = 0; i < 30; ++i) {
                auto peer = std::make_unique<QTcpSocket>();
                peer->connectToHost(QHostAddress::LocalHost, server.port);
                QTcpSocket* raw = peer.get();
                connect(raw, &QTcpSocket::connected, raw, [raw, round, i] {
                    raw->write("nickName=storm" + QByteArray::number(round * 100 + i));
                    raw->disconnectFromHost();
                });
                storm.push_back(std::move(peer));
            }
            QTest::qWait(20);
        }
        QVERIFY(waitUntil([&] {
            for (auto& peer : storm)
                if (peer->state() != QAbstractSocket::UnconnectedState) return false;
            return true;
        }, 20000));
        QVERIFY(waitUntil([&] { return server.form->clientSlots.countClients() == 2; }, 20000));
        QVERIFY(slotTableIsConsistent(*server.form));
        QVERIFY(stillChatting(*alice, *bob));
    }

    void floodOfLines() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        auto flood = server.join(QStringLiteral("flood"));
        QVERIFY(alice && bob && flood);
        QByteArray all;
        for (int i = 0; i < 2000; ++i) all += "line " + QByteArray::number(i) + "\r\n";
        for (int i = 0; i < 2000; i += 100) flood->send(all.mid(all.indexOf("line " + QByteArray::number(i) + "\r\n"), 100));
        flood->send(all);
        QVERIFY(waitUntil([&] { return alice->received().contains("line 1999\r\n"); }, 30000));
        QVERIFY(stillChatting(*alice, *bob));
        QVERIFY(slotTableIsConsistent(*server.form));
    }

    void burstBeyondTheLimit() {
        ServerFixture server(QStringLiteral("10"));
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        QVERIFY(alice && bob);
        std::vector<std::unique_ptr<RawPeer>> burst;
        for (int i = 0; i < 200; ++i) {
            burst.push_back(std::make_unique<RawPeer>());
            burst.back()->socket().connectToHost(QHostAddress::LocalHost, server.port);
        }
        // Eight of them get the free slots; every other one is refused with the text, or closed.
        const auto closedCount = [&] {
            int closed = 0;
            for (auto& peer : burst) closed += peer->isClosed() ? 1 : 0;
            return closed;
        };
        const bool settled = waitUntil([&] { return closedCount() == 192; }, 30000);
        if (!settled) {
            QMap<int, int> states;
            for (auto& peer : burst) states[peer->socket().state()]++;
            qWarning() << "closed" << closedCount() << "states" << states << "socketCount" << server.form->socketCount;
        }
        QVERIFY(settled);
        for (auto& peer : burst) {
            if (!peer->isClosed()) continue;
            const QByteArray got = peer->received();
            QVERIFY2(got.isEmpty() || got == "\r\n>>> No more Clients allowed. Goodbey <<<", got.constData());
        }
        QCOMPARE(server.form->socketCount, 10);
        QVERIFY(waitUntil([&] { return slotTableIsConsistent(*server.form); }));
        QVERIFY(stillChatting(*alice, *bob));
        QVERIFY2(server.answerer.boxes().empty(), qPrintable(server.answerer.boxes().empty() ? QString() : server.answerer.boxes()[0].text));
    }

    void aClientThatStopsReadingIsDroppedAndNobodyStalls() {
        ServerFixture server;
        auto [alice, bob] = server.joinAliceAndBob();
        QVERIFY(alice && bob);
        // slow joins, then never reads again: its receive window fills and the server's queue grows.
        QTcpSocket slow;
        slow.setReadBufferSize(1);
        slow.connectToHost(QHostAddress::LocalHost, server.port);
        QVERIFY(slow.waitForConnected(5000));
        QVERIFY(waitUntil([&] { return server.form->socketCount == 3; }));
        slow.write("nickName=slow");
        QVERIFY(alice->expect(QByteArray(">>> slow has joined <<<")));

        const QByteArray chunk(512 * 1024, 'x');
        bool dropped = false;
        for (int i = 0; i < 200 && !dropped; ++i) {
            bob->send(chunk);
            QVERIFY2(waitUntil([&] { return alice->received().count('x') >= chunk.size(); }, 10000), "alice stalled");
            dropped = alice->received().contains(">>> slow has left <<<");
            alice->takeAll();
        }
        QVERIFY(dropped);
        QVERIFY(waitUntil([&] { return server.form->clientSlots.countClients() == 2; }));
        QVERIFY(stillChatting(*alice, *bob));
    }

    void nickNameOfControlBytes() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        QVERIFY(alice && bob);
        RawPeer odd;
        const auto mark = server.mark();
        QVERIFY(odd.connectTo(server.port));
        QVERIFY(server.waitForOutput(mark, QStringLiteral(" Port=")));
        const QByteArray nick = QByteArray("\r\n") + QByteArray(1, '\0');
        odd.send("nickName=" + nick);
        QVERIFY(odd.expect(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. alice\r\n"
                           "02. bob\r\n03. " + nick + "\r\n"));
        QVERIFY(alice->expect(QByteArray(">>> bob has joined <<<")));
        QVERIFY(alice->expect(">>> " + nick + " has joined <<<"));
        odd.send(QByteArray("x"));
        QVERIFY(bob->expect(">>> " + nick + " has joined <<<"));
        QVERIFY(bob->expect(nick + ": x"));
        QVERIFY(alice->expect(nick + ": x"));
        QVERIFY(stillChatting(*alice, *bob));
    }
};

QTEST_MAIN(ServerRobustnessTest)
#include "tst_server_robustness.moc"
