// Peers that try to stall, starve or corrupt the server: a huge line, churn, a client that
// stops reading, clients that read nothing. The flood is measured in bench/.
#include "harness.h"

using namespace testing;

class HostileTest : public QObject {
    Q_OBJECT
    Chat server;
    quint16 port = 0;
private slots:
    void init() {
        QVERIFY(startServer(server, 0, 30));
        port = server.port();
    }
    void cleanup() {
        script().button(platform::MsgResult::Yes);
        script().dialog([] { return false; });
        server.server.Command3_Click();
        QVERIFY(script().boxes.size() == 1 && script().done() && script().unexpected.isEmpty());
        script().reset();
    }

    void aHugeLineDoesNotHoldUpTheOthers() {
        auto xavier = joinAs(port, "xavier"), alice = joinAs(port, "alice"), bob = joinAs(port, "bob");
        QVERIFY(xavier && alice && bob);
        QVERIFY(alice->expect(">>> bob has joined <<<") && xavier->take(50).size() > 0);
        // As much of 4 MiB as the system takes at once, then a line from alice, while bob reads.
        const QByteArray huge(4 << 20, 'y');
        qsizetype sent = xavier->sendSome(huge);
        alice->send("ping");
        QElapsedTimer clock;
        clock.start();
        QByteArray atBob;
        while (!atBob.contains("alice: ping") && clock.elapsed() < 3000) {
            sent += xavier->sendSome(huge.mid(sent));
            atBob += bob->take(1);
        }
        QVERIFY2(atBob.contains("alice: ping") && atBob.count('y') < huge.size(), "alice's line waited for xavier's");
        while (sent < huge.size()) sent += xavier->sendSome(huge.mid(sent)), atBob += bob->take(1);
        QVERIFY(waitUntil([&] { return (atBob += bob->take(5)).count('y') == huge.size(); }, 20000));
    }

    void churnLosesNoLineAndRefusesNobodyBelowTheLimit() {
        auto observer = joinAs(port, "observer");
        QVERIFY(observer);
        std::vector<std::pair<std::unique_ptr<Peer>, bool>> churners(20); // a peer, and whether its line is out
        int started = 0, sent = 0;
        QByteArray seen;
        QElapsedTimer clock;
        clock.start();
        while ((started < 300 || sent < started) && clock.elapsed() < 30000) {
            for (auto& [peer, lineOut] : churners) {
                if (!peer && started < 300)
                    peer = std::make_unique<Peer>(port), peer->send("nickName=nick" + QByteArray::number(++started)), lineOut = false;
                if (!peer) continue;
                peer->received += peer->take();
                QVERIFY2(!peer->received.contains("Goodbey"), "refused below the limit");
                QVERIFY2(lineOut || peer->end == Peer::End::Open, "a newcomer was thrown out");
                // The line, and at once the close: what the peer sent must still go out.
                if (!lineOut && peer->received.contains("Wellcome"))
                    peer->send("line" + QByteArray::number(++sent) + ";"), peer->shutdownWrite(), lineOut = true;
                if (lineOut && peer->end != Peer::End::Open) peer.reset();
            }
            seen += observer->take(1);
        }
        QVERIFY(waitUntil([&] { return (seen += observer->take(5)).count("line") == sent; }, 10000) && sent == 300);
    }

    void aClientThatStopsReadingIsCutAndNobodyStalls() {
        auto alice = joinAs(port, "alice"), bob = joinAs(port, "bob"), slow = joinAs(port, "slow");
        QVERIFY(alice && bob && slow);
        const QByteArray chunk(256 * 1024, 'z');
        QByteArray atAlice;
        for (int i = 0; i < 200 && !atAlice.contains(">>> slow has left <<<"); ++i) {
            bob->send(chunk);
            QVERIFY2(waitUntil([&] { return (atAlice += alice->take(1)).count('z') >= qsizetype(i + 1) * chunk.size(); }, 10000), "alice stalled");
            bob->take();
        }
        QVERIFY(atAlice.contains(">>> slow has left <<<"));
        QCOMPARE(alice->end, Peer::End::Open);
        QCOMPARE(server.server.clientSlots.countClients(), 2);
        QVERIFY(server.shortTexts.contains("\r\nSend queue exceeded: client 127.0.0.1 took nothing for 2 s, its connection was cut.\r\n"
                                       "Connection closed by client 127.0.0.1\r\n"));
    }

    void aLineLargerThanTheCapReachesEveryReaderWhole() {
        auto alice = joinAs(port, "alice"), bob = joinAs(port, "bob");
        QVERIFY(alice && bob && alice->expect(">>> bob has joined <<<"));
        const QString line(6 << 20, 'w');
        server.type(line);
        QByteArray atAlice, atBob;
        QVERIFY(waitUntil([&] { return (atAlice += alice->take(1)).size() + (atBob += bob->take(1)).size() == 2 * (line.size() + 8); }, 20000));
        QCOMPARE(atAlice, "SERVER: " + line.toLatin1());
        QVERIFY(atAlice == atBob && alice->end == Peer::End::Open && bob->end == Peer::End::Open);
    }

    void nonReadersCostNoMoreThanTheCapAndGiveItBack() {
        std::vector<std::unique_ptr<Peer>> deaf;
        for (int i = 0; i < 10; ++i) deaf.push_back(joinAs(port, "deaf" + QByteArray::number(i)));
        QVERIFY(deaf.back());
        const qint64 idle = statusKb("VmRSS:");
        qint64 peak = idle;
        // Many small messages: each queued one must not cost much more than its bytes.
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 200000 && clock.elapsed() < 10000; ++i) {
            server.type(QStringLiteral("hi"));
            if (i % 256 == 0) peak = qMax(peak, statusKb("VmRSS:"));
        }
        QCOMPARE_LT(peak - idle, 64 * 1024);
        // Gone with their queues, they leave the memory to the system.
        deaf.clear();
        QVERIFY(waitUntil([&] { return server.server.clientSlots.countClients() == 0; }));
#ifndef __SANITIZE_ADDRESS__ // whose allocator keeps freed memory for itself
        QCOMPARE_LT(statusKb("VmRSS:") - idle, 16 * 1024);
#endif
    }
};

QTEST_GUILESS_MAIN(HostileTest)
#include "tst_hostile.moc"
