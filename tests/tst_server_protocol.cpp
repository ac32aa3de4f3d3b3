// The chat protocol on the server, byte for byte on the wire and line for line in the output box,
// with raw TCP peers as the clients.
#include "server_fixture.h"

#include <QLineEdit>
#include <QTest>

using testing::RawPeer;
using testing::ServerFixture;
using testing::waitUntil;

namespace {
const QByteArray welcome = ">>> Wellcome to Parleon V.0.2 <<<\r\n";
} // namespace

class ServerProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void workedExample() {
        ServerFixture server;
        QVERIFY(server.started);
        auto mark = server.mark();

        RawPeer alice;
        QVERIFY(alice.connectTo(server.port));
        QVERIFY(server.waitForOutput(mark, QStringLiteral(" Port=")));
        alice.send(QByteArray("nickName=alice"));
        QVERIFY(alice.expect(welcome + "List of online Clients:\r\n01. alice\r\n"));
        QCOMPARE(server.since(mark), testing::acceptanceLines(alice) + QStringLiteral(": nickName=alice\r\n"));

        mark = server.mark();
        RawPeer bob;
        QVERIFY(bob.connectTo(server.port));
        QVERIFY(server.waitForOutput(mark, QStringLiteral(" Port=")));
        bob.send(QByteArray("nickName=bob"));
        QVERIFY(bob.expect(welcome + "List of online Clients:\r\n01. alice\r\n02. bob\r\n"));
        QVERIFY(alice.expect(QByteArray(">>> bob has joined <<<")));
        QCOMPARE(server.since(mark), testing::acceptanceLines(bob) + QStringLiteral(": nickName=bob\r\n"));

        mark = server.mark();
        bob.send(QByteArray("hi"));
        QVERIFY(alice.expect(QByteArray("bob: hi")));
        QCOMPARE(server.since(mark), QStringLiteral("bob: hi\r\n"));
        QTest::qWait(20);
        QCOMPARE(bob.received(), QByteArray());
        QCOMPARE(server.form->socketCount, 2);
        QCOMPARE(server.form->Winsock1(1).Tag, QStringLiteral("alice"));
        QCOMPARE(server.form->Winsock1(2).Tag, QStringLiteral("bob"));
    }

    void shortNickNamesAreRefusedAndTheConnectionStays() {
        ServerFixture server;
        auto peer = server.connectUnnamed();
        QVERIFY(peer);
        for (const QByteArray& nick : {QByteArray("nickName="), QByteArray("nickName=ab")}) {
            peer->send(nick);
            QVERIFY(peer->expect(QByteArray(">>> Bad nickName. At last 3 characters required. <<<")));
        }
        QCOMPARE(server.form->Winsock1(1).Tag, QString());
        peer->send(QByteArray("nickName=a b"));
        QVERIFY(peer->expect(welcome + "List of online Clients:\r\n01. a b\r\n"));
        QVERIFY(!peer->isClosed());
    }

    void nameInUseIsRefusedAndTheConnectionEnds() {
        ServerFixture server;
        auto [alice, bob] = server.joinAliceAndBob();
        QVERIFY(alice && bob);
        const auto mark = server.mark();
        bob->send(QByteArray("nickName=alice"));
        QVERIFY(bob->expect(QByteArray(">>> Bad nickName. Name is allready in use. <<<\r\n"
                                       ">>> Connect again with different nickName. <<<")));
        QVERIFY(bob->waitForClose());
        // Announced as leaving under the name it had.
        QVERIFY(alice->expect(QByteArray(">>> bob has left <<<")));
        QCOMPARE(server.since(mark),
                 QStringLiteral("bob: nickName=alice\r\nConnection closed by client 127.0.0.1\r\n"));
        QCOMPARE(server.form->socketCount, 1);

        // Asking for the name one holds already is refused as well.
        alice->send(QByteArray("nickName=alice"));
        QVERIFY(alice->expect(QByteArray(">>> Bad nickName. Name is allready in use. <<<\r\n"
                                         ">>> Connect again with different nickName. <<<")));
        QVERIFY(alice->waitForClose());
        QVERIFY(waitUntil([&] { return server.form->socketCount == 0; }));
    }

    void renameTellsTheOthers() {
        ServerFixture server;
        auto [alice, bob] = server.joinAliceAndBob();
        QVERIFY(alice && bob);
        alice->send(QByteArray("nickName=Alice"));
        QVERIFY(alice->expect(QByteArray(">>> Your new nickName is Alice <<<")));
        QVERIFY(bob->expect(QByteArray(">>> alice has renamed to Alice <<<")));
        bob->send(QByteArray("yo"));
        QVERIFY(alice->expect(QByteArray("bob: yo")));
        alice->send(QByteArray("hey"));
        QVERIFY(bob->expect(QByteArray("Alice: hey")));
    }

    void listWithAFreedSlotAndLowestFirstReuse() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        auto carol = server.join(QStringLiteral("carol"));
        QVERIFY(alice && bob && carol);
        alice->takeAll();
        bob->socket().disconnectFromHost();
        QVERIFY(alice->expect(QByteArray(">>> bob has left <<<")));
        QCOMPARE(server.form->socketCount, 3);
        QCOMPARE(server.form->Winsock1(2).Tag, QStringLiteral("__FREE__"));

        alice->send(QByteArray("listNamesXYZ"));
        QVERIFY(alice->expect(QByteArray("List of online Clients:\r\n01. alice\r\n02. carol\r\n")));

        // The free slot below is reused first; its first message shows the free marker.
        const auto mark = server.mark();
        RawPeer dave;
        QVERIFY(dave.connectTo(server.port));
        QVERIFY(server.waitForOutput(mark, QStringLiteral(" Port=")));
        QCOMPARE(server.form->socketCount, 3);
        // Unnamed in a reused slot: neither counted nor listed.
        alice->send(QByteArray("listNames"));
        QVERIFY(alice->expect(QByteArray("List of online Clients:\r\n01. alice\r\n02. carol\r\n")));
        dave.send(QByteArray("nickName=dave"));
        QVERIFY(dave.expect(welcome + "List of online Clients:\r\n01. alice\r\n02. dave\r\n03. carol\r\n"));
        QVERIFY(server.since(mark).contains(QStringLiteral("\r\n__FREE__: nickName=dave\r\n")));
        QCOMPARE(server.form->Winsock1(2).Tag, QStringLiteral("dave"));
    }

    void topSlotIsRemovedAndTheFreeSlotBelowStays() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        auto carol = server.join(QStringLiteral("carol"));
        QVERIFY(alice && bob && carol);
        bob->socket().disconnectFromHost();
        QVERIFY(waitUntil([&] { return server.form->Winsock1(2).Tag == QStringLiteral("__FREE__"); }));
        carol->socket().disconnectFromHost();
        QVERIFY(waitUntil([&] { return server.form->socketCount == 2; }));
        QVERIFY(server.form->Winsock1.isLoaded(2));
        QVERIFY(!server.form->Winsock1.isLoaded(3));
        QCOMPARE(server.form->clientSlots.countClients(), 1);
    }

    void unnamedConnectionsInNewSlots() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto anon = server.connectUnnamed();
        QVERIFY(alice && anon);
        const auto mark = server.mark();
        // Relayed under its empty name, counted and listed with an empty name.
        anon->send(QByteArray("hello"));
        QVERIFY(alice->expect(QByteArray(": hello")));
        QCOMPARE(server.since(mark), QStringLiteral(": hello\r\n"));
        anon->send(QByteArray("listNames"));
        QVERIFY(anon->expect(QByteArray("List of online Clients:\r\n01. alice\r\n02. \r\n")));
        // Leaving without a name sends no notice.
        const auto closeMark = server.mark();
        anon->socket().disconnectFromHost();
        QVERIFY(server.waitForOutput(closeMark, QStringLiteral("Connection closed by client 127.0.0.1\r\n")));
        QTest::qWait(30);
        QCOMPARE(alice->received(), QByteArray());
    }

    void commandsAreTheirFirstNineCharacters() {
        ServerFixture server;
        auto [alice, bob] = server.joinAliceAndBob();
        QVERIFY(alice && bob);
        bob->send(QByteArray("listnames"));
        QVERIFY(alice->expect(QByteArray("bob: listnames")));
        bob->send(QByteArray("NickName=x"));
        QVERIFY(alice->expect(QByteArray("bob: NickName=x")));
        bob->send(QByteArray("nickName=bob\r\n"));
        QVERIFY(bob->expect(QByteArray(">>> Your new nickName is bob\r\n <<<")));
        QVERIFY(alice->expect(QByteArray(">>> bob has renamed to bob\r\n <<<")));
        // Names differing in case are different names.
        bob->send(QByteArray("nickName=ALICE"));
        QVERIFY(bob->expect(QByteArray(">>> Your new nickName is ALICE <<<")));
    }

    void fullServerRefusesOnATemporaryElement() {
        ServerFixture server(QStringLiteral("1"));
        auto alice = server.join(QStringLiteral("alice"));
        QVERIFY(alice);
        const auto mark = server.mark();
        RawPeer refused;
        QVERIFY(refused.connectTo(server.port));
        QVERIFY(refused.waitForClose());
        QCOMPARE(refused.received(), QByteArray("\r\n>>> No more Clients allowed. Goodbey <<<"));
        QTest::qWait(20);
        QCOMPARE(server.since(mark), QString());
        QCOMPARE(server.form->socketCount, 1);
        QVERIFY(!server.form->Winsock1.isLoaded(2));
        alice->send(QByteArray("listNames"));
        QVERIFY(alice->expect(QByteArray("List of online Clients:\r\n01. alice\r\n")));
    }

    void maximumZeroRefusesEveryone() {
        ServerFixture server(QStringLiteral("0"));
        QVERIFY(server.started);
        RawPeer refused;
        QVERIFY(refused.connectTo(server.port));
        QVERIFY(refused.waitForClose());
        QCOMPARE(refused.received(), QByteArray("\r\n>>> No more Clients allowed. Goodbey <<<"));
        QCOMPARE(server.form->socketCount, 0);
        QVERIFY(!server.form->Winsock1.isLoaded(1));
    }
};

QTEST_MAIN(ServerProtocolTest)
#include "tst_server_protocol.moc"
