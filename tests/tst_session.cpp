// What the server and the client share, without a window: start-up from each settings file and
// shut-down, starting, stopping and restarting the server with its refusals and failures, the
// title, the help text and the host-name lookup with its error report.
#include "diagnostics/host_name.h"
#include "harness.h"
#include "platform/err_object.h"
#include "platform/number_conversion.h"
#include "settings/settings_file.h"
#include "sockets/socket_state_text.h"

#include <atomic>
#include <thread>

using namespace testing;
using platform::MsgResult;

namespace {
const QString Question = QStringLiteral(
    "Server is already running.\r\nInfo: %1 Clients are connected right now.\r\n\r\nClose running Server and start a new one?");
QString state(const ChatSession& s) {
    return QStringLiteral("%1 %2 %3.%4.%5.%6 [%7] %8 /%9")
        .arg(s.parleonPort).arg(s.maxClients).arg(s.lastIP_Byte1).arg(s.lastIP_Byte2).arg(s.lastIP_Byte3).arg(s.lastIP_Byte4)
        .arg(s.nickName).arg(s.connectTimeout).arg(s.lastState.upperBound());
}
const QString Defaults = QStringLiteral("9843 10 127.0.0.1 [%1] 20 /10");
} // namespace

class SessionTest : public ScriptedTest {
    Q_OBJECT
private slots:
    void titleShowsTheChangeOfTheHighestSocket() {
        Chat w;
        w.session.Timer1.stop();
        QVERIFY(startServer(w, 0));
        // The listening root and a new client change before the same tick: the client wins.
        Peer one(w.port());
        QVERIFY(waitUntil([&] { return w.session.socketCount == 1; }));
        w.session.Timer1_Timer();
        QVERIFY(waitUntil([&] { return w.title == QStringLiteral("Parleon SERVER - Connected [localhost]"); }));
        w.title = QStringLiteral("unchanged");
        w.session.Timer1_Timer();
        QTest::qWait(20);
        QCOMPARE(w.title, QStringLiteral("unchanged"));
        QStringList texts;
        for (int state = -1; state <= 10; ++state) texts << socketStateText(state);
        QCOMPARE(texts.join('|'), "ERROR: Socket-state unknown|Connection closed|Connection open|Listening|Connection pending|"
                                  "Resolving host|Host resolved|Connecting|Connected|Closing|Error|ERROR: Socket-state unknown");
    }

    void helpBeforeAnyRoleListsTheClientsCommands() {
        Chat w;
        w.fresh();
        w.session.Command1_Click();
        const QString rule(48, QLatin1Char('-'));
        QVERIFY(w.fresh().endsWith(rule + "\r\nList of Commands:\r\n1. nickName=nnn /where nnn is your new nick name\r\n"
                                          "2. listNames    /list all online clients\r\n" + rule + "\r\n"));
    }

    void startStopAndRestart() {
        Chat w;
        w.fresh();
        QVERIFY(startServer(w, 0));
        const quint16 port = w.port();
        QCOMPARE(w.fresh(), QStringLiteral("Server start OK on port %1.\r\n").arg(port));
        QVERIFY(w.session.isServer && w.focused == 1);
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < 2; ++i) peers.push_back(std::make_unique<Peer>(port));
        QVERIFY(waitUntil([&] { return w.session.socketCount == 2; }));
        // While the question is open, clients are still served; No changes nothing.
        script().box([&] {
            Peer late(port);
            late.send("nickName=late");
            const bool welcomed = late.expect(">>> Wellcome to Parleon V.0.2 <<<\r\n");
            late.shutdownWrite();
            return welcomed && waitUntil([&] { return w.session.socketCount == 2; }) ? MsgResult::No : MsgResult::Yes;
        });
        w.server.Command3_Click();
        QCOMPARE(script().boxes.back().text, Question.arg(2));
        QVERIFY(script().boxes.back().buttons == platform::MsgButtons::YesNo && script().boxes.back().icon == platform::MsgIcon::None);
        QCOMPARE(w.session.Winsock1(0).State(), SocketState::Listening);
        // Yes stops the server and closes every client; one that connects the moment Yes is clicked
        // is not left behind above the table. Cancel in the dialog leaves the server stopped.
        w.fresh();
        script().box([&] { return peers.push_back(std::make_unique<Peer>(port)), MsgResult::Yes; });
        script().dialog([] { return false; });
        w.server.Command3_Click();
        for (int i = 0; i < 2; ++i) QCOMPARE(peers[i]->waitEnd(), Peer::End::Fin);
        QVERIFY(w.fresh().endsWith(QStringLiteral("Server stop OK.\r\n")));
        QVERIFY(w.session.isServer && w.session.socketCount == 0 && w.session.Winsock1.loadedCount() == 1);
        QCOMPARE(w.session.Winsock1(0).State(), SocketState::Closed);
        // Stopped, the next click goes straight to the dialog; the new server takes clients.
        QVERIFY(startServer(w, port));
        Peer after(port);
        after.send("nickName=after");
        QVERIFY(after.expect(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. after\r\n"));
        QCOMPARE(script().boxes.size(), size_t(2));
    }

    void startFailures() {
        const QString inUse = QStringLiteral("Error while starting server at port {port}\r\nError Nr.: 10048\r\nLast Dll Error: 0"
                                             "\r\n\r\nAddress in use\r\n\r\nHelp:\r\nAddress already in use. ");
        const std::tuple<qint32, bool, bool, QString> rows[] = { // maximum, port in use, after a start (the role stays), box
            {-1, false, false, "Error while starting server at port 0\r\nError Nr.: 9\r\nLast Dll Error: 0\r\n\r\n"
                               "Subscript out of range\r\n\r\nHelp:\r\nError unknown."},
            {10, true, false, inUse},
            {10, true, true, inUse}};
        for (auto [maximum, portInUse, afterAStart, box] : rows) {
            script().reset();
            QTcpServer other;
            QVERIFY(other.listen(QHostAddress::AnyIPv4, 0));
            Chat w;
            QVERIFY(!afterAStart || startServer(w, 0));
            if (afterAStart) script().button(MsgResult::Yes);
            script().button(MsgResult::Ok);
            if (portInUse) w.session.parleonPort = other.serverPort();
            w.fresh();
            QVERIFY(!startServer(w, quint16(w.session.parleonPort), maximum));
            QCOMPARE(script().boxes.size(), size_t(afterAStart ? 2 : 1));
            QVERIFY2(script().boxes.back().text.startsWith(box.replace("{port}", QString::number(other.serverPort()))),
                     qPrintable(script().boxes.back().text));
            QVERIFY(script().boxes.back().icon == platform::MsgIcon::Exclamation);
            QCOMPARE(w.session.isServer, afterAStart);
            QCOMPARE(w.fresh().endsWith(QStringLiteral("Address in use\r\n")), portInUse);
        }
    }

    void startUpReadsTheSettingsFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QByteArray>("written");
        const QString safe = QStringLiteral("File 'ParleonConfig.dat' not found.\r\nLoading safe settings.\r\n");
        QTest::newRow("no file") << QByteArray() << safe + Defaults.arg(QString()) << QByteArray("9843\r\n10\r\n127\r\n0\r\n0\r\n1\r\n\"\"\r\n20\r\n");
        QTest::newRow("eight lines; more are dropped") << QByteArray("4000\r\n3\r\n10\r\n0\r\n0\r\n7\r\n\"alice, the 1st\"\r\n5\r\nmore\r\n")
                                                       << "4000 3 10.0.0.7 [alice, the 1st] 5 /3" << QByteArray("4000\r\n3\r\n10\r\n0\r\n0\r\n7\r\n\"alice, the 1st\"\r\n5\r\n");
        // An 8-bit file from an older program is read as Windows-1252 and written back as UTF-8.
        QTest::newRow("an 8-bit nick name") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"Jos\xe9\"\r\n7\r\n")
                                            << "1 2 3.4.5.6 [Jos\u00e9] 7 /2" << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"Jos\xc3\xa9\"\r\n7\r\n");
        QTest::newRow("CR alone ends a line") << QByteArray("1\r2\r3\r4\r5\r6\r\"n\"\r7\r") << "1 2 3.4.5.6 [n] 7 /2" << QByteArray();
        QTest::newRow("commas, blanks, LF, no last line end") << QByteArray("  1, 2,\t3\n4\n5\n6\n \"n m\"\n7") << "1 2 3.4.5.6 [n m] 7 /2" << QByteArray();
        QTest::newRow("text after a closing quote") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"ab\"c\"\r\n8\r\n") << "1 2 3.4.5.6 [ab] 8 /2" << QByteArray();
        QTest::newRow("negatives are taken as they are") << QByteArray("-5\r\n0\r\n0\r\n0\r\n0\r\n0\r\n\"\"\r\n-3\r\n") << "-5 0 0.0.0.0 [] -3 /0" << QByteArray();
        QTest::newRow("seven values: the nick read stays") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"bob\"\r\n") << safe + Defaults.arg("bob") << QByteArray();
        QTest::newRow("byte 256") << QByteArray("1\r\n2\r\n256\r\n0\r\n0\r\n1\r\n\"x\"\r\n20\r\n") << safe + Defaults.arg("") << QByteArray();
        QTest::newRow("byte -1") << QByteArray("1\r\n2\r\n0\r\n0\r\n-1\r\n1\r\n\"x\"\r\n20\r\n") << safe + Defaults.arg("") << QByteArray();
        QTest::newRow("maximum -1 cannot size the table") << QByteArray("1\r\n-1\r\n1\r\n1\r\n1\r\n1\r\n\"carol\"\r\n20\r\n") << safe + Defaults.arg("carol") << QByteArray();
        QTest::newRow("the largest maximum a table takes") << QByteArray("1\r\n536870911\r\n1\r\n1\r\n1\r\n1\r\n\"e\"\r\n2\r\n")
                                                           << "1 536870911 1.1.1.1 [e] 2 /536870911" << QByteArray();
        QTest::newRow("a maximum no program could hold") << QByteArray("1\r\n2147483647\r\n1\r\n1\r\n1\r\n1\r\n\"d\"\r\n2\r\n") << safe + Defaults.arg("d") << QByteArray();
        QTest::newRow("beyond 32 bits") << QByteArray("2147483648\r\n10\r\n1\r\n1\r\n1\r\n1\r\n\"\"\r\n1\r\n") << safe + Defaults.arg("") << QByteArray();
        QTest::newRow("no digits") << QByteArray("1\r\nabc\r\n1\r\n1\r\n1\r\n1\r\n\"\"\r\n1\r\n") << safe + Defaults.arg("") << QByteArray();
        QTest::newRow("unterminated quote") << QByteArray("1\r\n2\r\n1\r\n1\r\n1\r\n1\r\n\"abc\r\n20\r\n") << safe + Defaults.arg("") << QByteArray();
        QTest::newRow("eight values, then megabytes") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"z\"\r\n7\r\n") + QByteArray(8 << 20, '"')
                                                      << "1 2 3.4.5.6 [z] 7 /2" << QByteArray();
    }
    void startUpReadsTheSettingsFile() {
        QFETCH(QByteArray, file);
        QFETCH(QString, loaded);
        QFETCH(QByteArray, written);
        Chat w(file);
        QCOMPARE(w.output + state(w.session), loaded);
        w.close();
        QVERIFY(w.closed);
        if (!written.isEmpty()) QCOMPARE(w.folder.read(), written);
    }

    void settingsFolder() {
        // Writable program folder, user's folder = where the file is written.
        const QStringList rows = {"/home/u/parleon 1 /home/u/.config/Parleon=/home/u/parleon",
                                  "/home/u/parleon 0 /home/u/.config/Parleon=/home/u/.config/Parleon",
                                  "/home/u/parleon 0 =/home/u/parleon",
                                  // An installed program never writes beside itself, not even as root.
                                  "/usr/bin 1 /root/.config/Parleon=/root/.config/Parleon",
                                  "/usr/local/bin 1 /root/.config/Parleon=/root/.config/Parleon",
                                  "/opt/parleon/bin 1 /root/.config/Parleon=/root/.config/Parleon",
                                  "/usrlocal/parleon 1 /root/.config/Parleon=/usrlocal/parleon"};
        for (const QString& row : rows) {
            const QStringList given = row.section('=', 0, 0).split(' ');
            QCOMPARE(row.section('=', 0, 0) + '=' + settings::configFolder(given[0], given[1] == "1", given[2]), row);
        }
    }

    void numbersAsTheDialogsAndTheFileReadThem() {
        const QStringList rows = {"12", " \t12 ", "+7", "-7", "2.5=2", "3.5=4", "2.51=3", "2.49=2", "-2.5=-2", "-3.5=-4", ".5=0",
                                  "7.=7", "2147483647", "-2147483648", "2147483648=-", "-2147483649=-", "2147483647.5=-", "=-",
                                  " =-", "+=-", "1e3=-", "1 2=-", "12a=-", "１２=-", "--1=-"};
        for (const QString& row : rows) {
            const std::optional<qint32> value = platform::toLong(row.section('=', 0, 0));
            const QString expected = row.contains('=') ? row.section('=', 1) : QString::number(row.trimmed().toInt());
            QCOMPARE(value ? QString::number(*value) : QStringLiteral("-"), expected);
        }
    }

    void aSlowLookupHoldsUpNobodyButItsNewcomer() {
        const auto restore = qScopeGuard([] { setReverseLookupForTests(nullptr); });
        Chat w;
        QVERIFY(startServer(w, 0));
        auto alice = joinAs(w.port(), "alice"), bob = joinAs(w.port(), "bob");
        QVERIFY(alice && bob && alice->expect(">>> bob has joined <<<"));
        w.session.Timer1.stop(); // no lookups for the title meanwhile
        // While the resolver thinks, alice and bob chat; then it answers.
        std::atomic<bool> answer = false;
        bool relayed = false, idle = false;
        QString meanwhile;
        std::unique_ptr<Peer> carol;
        setReverseLookupForTests([&](quint32) {
            QMetaObject::invokeMethod(&w.session, [&] {
                w.fresh();
                alice->send("hi");
                relayed = bob->expect("alice: hi");
                carol->shutdownWrite(); // and the newcomer leaves: her departure waits, idle
                const qint64 cpu = threadCpuMs();
                QTest::qWait(300);
                idle = threadCpuMs() - cpu < 150;
                meanwhile = w.fresh();
                answer = true;
            }, Qt::QueuedConnection);
            for (int i = 0; i < 200 && !answer; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return ReverseLookupResult{"slowhost", 0};
        });
        carol = std::make_unique<Peer>(w.port());
        carol->send("nickName=carol");
        // Accepted, she is relayed to like any newcomer; her own line and her departure wait for
        // her acceptance.
        QVERIFY(carol->expect("alice: hi") && carol->expect(">>> Wellcome to Parleon V.0.2 <<<\r\n"));
        QVERIFY(relayed && idle);
        QCOMPARE(meanwhile, QStringLiteral("alice: hi\r\n"));
        QVERIFY(waitUntil([&] { return w.output.endsWith(QStringLiteral("closed by client 127.0.0.1\r\n")); }));
        QCOMPARE(w.fresh(), QStringLiteral("Connection accepted with:\r\n IP=127.0.0.1\r\n Name=slowhost\r\n Port=%1\r\n"
                                           ": nickName=carol\r\nConnection closed by client 127.0.0.1\r\n").arg(carol->localPort()));
    }

    void failedLookupsOpenOneBoxAtATime() {
        const auto restore = qScopeGuard([] { setReverseLookupForTests(nullptr); });
        Chat w;
        QVERIFY(startServer(w, 0));
        QCOMPARE(w.session.getHostName(QStringLiteral("127.0.0.1")), QStringLiteral("localhost"));
        setReverseLookupForTests([](quint32) { return ReverseLookupResult{nullptr, 11004}; });
        std::vector<std::unique_ptr<Peer>> more;
        // While the first box is open, its newcomer leaves and three more fail their lookups.
        std::unique_ptr<Peer> first = std::make_unique<Peer>(w.port());
        const quint16 firstPort = first->localPort();
        script().box([&] {
            first.reset();
            for (int i = 0; i < 3; ++i) more.push_back(std::make_unique<Peer>(w.port()));
            waitUntil([&] { return w.output.count(QStringLiteral(" Port=")) == 3; });
            return MsgResult::Ok;
        });
        QVERIFY(waitUntil([&] { return w.output.count(QStringLiteral(" Port=")) == 4 && w.output.contains(QStringLiteral("closed")); }));
        QCOMPARE(script().boxes.size(), size_t(1));
        QVERIFY(script().boxes[0].text.startsWith(QStringLiteral("Error while getting Host-Name\r\nError Nr.: 11004\r\n"
                                                                 "Last Dll Error: 11004\r\n\r\nCannot resolve IP-Address to Host-Name.\r\n")));
        QVERIFY(script().boxes[0].icon == platform::MsgIcon::Exclamation && Err().lastDllError == 0);
        const QString unknown = QStringLiteral("Cannot resolve IP-Address to Host-Name.\r\n Name=(unknown)\r\n Port=%1\r\n");
        for (const auto& peer : more)
            QVERIFY(w.output.contains("Connection accepted with:\r\n IP=127.0.0.1\r\n" + unknown.arg(peer->localPort())));
        // The first one's newcomer went on while its box was open: its departure came then, and
        // its lines end after the box.
        QVERIFY(w.output.contains(QStringLiteral("Connection accepted with:\r\n IP=127.0.0.1\r\nConnection closed by client 127.0.0.1\r\n")));
        QVERIFY2(w.output.endsWith(unknown.arg(firstPort)), qPrintable(w.output));
        // The title's own lookups fail quietly: the acceptances have told.
        w.session.Timer1_Timer();
        QVERIFY(waitUntil([&] { return w.title == QStringLiteral("Parleon SERVER - Connected [(unknown)]"); }));
        QCOMPARE(script().boxes.size(), size_t(1));
    }
};

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
