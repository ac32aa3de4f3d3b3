// The client: the connect dialog's rules and memory, and connecting to servers that accept,
// refuse late, refuse at once or never answer.
#include "harness.h"

#include <QRegularExpression>

using namespace testing;

namespace {
QLineEdit* box(QDialog& d, int i) { return d.findChild<QLineEdit*>(i < 4 ? QStringLiteral("TextIP%1").arg(i) : i == 4 ? "Text2" : "Text1"); }
QString boxes(QDialog& d) {
    QStringList texts;
    for (int i = 0; i < 6; ++i) texts << box(d, i)->text();
    return texts.join(' ');
}
void fill(QDialog& d, const QString& address, const QString& nick) {
    for (int i = 0; i < 4; ++i) box(d, i)->setText(address.section('.', i, i));
    box(d, 5)->setText(nick);
}
// "Connect to Server" with this port, address and nick name; the output it gained.
QString connectTo(Window& w, quint16 port, const QString& nick = "alice", const QString& address = "127.0.0.1") {
    w.form.parleonPort = port;
    w.fresh();
    modals().dialog([=](QDialog& d) { fill(d, address, nick), Modals::click(d, QStringLiteral("OK")); });
    w.form.Command2_Click();
    return w.fresh();
}
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

class ClientTest : public ModalTest {
    Q_OBJECT
private slots:

    void dialogChecksTheNickThenTheAddress_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("outcome");
        const QString nick = QStringLiteral("! Bad Nick Name. Minimum 3 characters required.|");
        const QString address = QStringLiteral("i Bad IP Address. Try something like that: 127.0.0.1|");
        QTest::newRow("two characters, before a bad address") << "ab" << "x.0.0.1" << nick + "x 0 0 1 9843 ab";
        QTest::newRow("two characters of two UTF-16 units") << "😀😀" << "127.0.0.1" << nick + "127 0 0 1 9843 😀😀";
        QTest::newRow("256") << "abc" << "127.0.0.256" << address + "127 0 0 256 9843 abc";
        QTest::newRow("-1") << "abc" << "-1.0.0.1" << address + "-1 0 0 1 9843 abc";
        QTest::newRow("an empty box") << "abc" << "127..0.1" << address + "127  0 1 9843 abc";
        QTest::newRow("letters") << "abc" << "127.0.a.1" << address + "127 0 a 1 9843 abc";
        QTest::newRow("spaces count; 0 and 255 are bytes") << " a " << "0.0.0.255" << "0.0.0.255 0.0.0.255  a ";
        QTest::newRow("leading zeros stay in the text") << "bob" << "10.0.0.007" << "10.0.0.007 10.0.0.7 bob";
    }
    void dialogChecksTheNickThenTheAddress() {
        QFETCH(QString, nick);
        QFETCH(QString, address);
        QFETCH(QString, outcome);
        Window w;
        QString kept;
        modals().dialog([&](QDialog& d) {
            fill(d, address, nick);
            if (outcome.contains('|')) modals().button(QStringLiteral("OK"));
            Modals::click(d, QStringLiteral("OK"));
            if (d.isVisible()) kept = boxes(d), d.reject();
        });
        w.form.connectDialog.Show(w.form);
        const frmLogin& login = w.form.connectDialog;
        if (!kept.isEmpty()) {
            const Modals::Box& refusal = modals().boxes.back();
            const QString icon = refusal.icon == QMessageBox::Warning ? "! " : refusal.icon == QMessageBox::Information ? "i " : "";
            QCOMPARE(icon + refusal.text + '|' + kept, outcome);
            QVERIFY(!login.settingsValid && w.form.rHostIP.isEmpty());
            return;
        }
        QVERIFY(modals().boxes.empty() && login.settingsValid);
        QCOMPARE(QStringLiteral("%1 %2.%3.%4.%5 %6").arg(w.form.rHostIP).arg(login.lastIP_Byte1).arg(login.lastIP_Byte2)
                     .arg(login.lastIP_Byte3).arg(login.lastIP_Byte4).arg(w.form.nickName), outcome);
    }

    void dialogProposesRemembersAndMovesOn() {
        Window w;
        QStringList seen;
        modals().dialog([&](QDialog& d) {
            seen << boxes(d) << d.focusWidget()->objectName() + ' ' + box(d, 0)->selectedText();
            QVERIFY(!box(d, 4)->isEnabled());
            QTest::keyClicks(d.focusWidget(), QStringLiteral("10"));
            QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
            QTest::keyClicks(d.focusWidget(), QStringLiteral("200"));
            seen << d.focusWidget()->objectName() + ' ' + box(d, 2)->selectedText();
            box(d, 3)->setFocus();
            QTest::keyClicks(d.focusWidget(), QStringLiteral("2541"));
            seen << d.focusWidget()->objectName() + ' ' + box(d, 3)->text();
            for (int i = 0; i < 7; ++i) QTest::mouseClick(d.findChild<QWidget*>("Picture1"), Qt::LeftButton), seen << box(d, 5)->text();
            QTest::keyClick(d.focusWidget(), Qt::Key_Return);
        });
        w.form.connectDialog.Show(w.form);
        modals().dialog([&](QDialog& d) {
            seen << boxes(d);
            QTest::mouseClick(d.findChild<QWidget*>("Picture1"), Qt::LeftButton);
            seen << box(d, 5)->text();
            QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
        });
        w.form.connectDialog.Show(w.form);
        QCOMPARE(seen.mid(0, 4), (QStringList{"127 0 0 1 9843 ", "TextIP0 127", "TextIP2 0", "TextIP3 254"}));
        const QStringList names = seen.mid(4, 7);
        QVERIFY(names.first() == names.last() && QSet<QString>(names.begin(), names.end()).size() == 6);
        QCOMPARE(seen.mid(11), (QStringList{"10 200 0 254 9843 " + names.last(), names.at(1)}));
        QVERIFY(!w.form.connectDialog.settingsValid);
    }

    void chatThroughAServerAndTheRolesRefuseEachOther() {
        Window server, alice, bob;
        QVERIFY(startServer(server.form, 0));
        const quint16 port = quint16(server.form.Winsock1(0).LocalPort());
        modals().button(QStringLiteral("OK"));
        server.form.Command2_Click();
        QVERIFY2(QRegularExpression(QStringLiteral("^searching Server\\.\\.\\.\r\n>>> Parleon Server is: localhost <<<\r\n"
                                                   "\r\nConnecting\\.*\r\nConnected\r\nConnect OK to server 127\\.0\\.0\\.1\r\n$"))
                     .match(connectTo(alice, port)).hasMatch(), qPrintable(alice.form.outputText()));
        QCOMPARE(alice.form.focusWidget(), alice.form.Text3);
        QVERIFY(waitUntil([&] { return alice.fresh() == ">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n"
                                                        "01. alice\r\n\r\n"; }));
        QVERIFY(waitUntil([&] { return alice.form.windowTitle() == QStringLiteral("Parleon - Connected [localhost]"); }));
        modals().button(QStringLiteral("OK"));
        alice.form.Command3_Click();
        QCOMPARE(modals().boxes[0].text + '|' + modals().boxes[1].text,
                 QStringLiteral("Cannot connect. Server is running.|Cannot start Server. You are connected as Client."));
        connectTo(bob, port, "bob");
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral(">>> bob has joined <<<\r\n"); }));
        QVERIFY(waitUntil([&] { return bob.fresh().endsWith(QStringLiteral("02. bob\r\n\r\n")); }));
        bob.type(QStringLiteral("nickName=robert"));
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral(">>> bob has renamed to robert <<<\r\n"); }));
        // The client keeps its own name for its echo; the line goes out bare.
        bob.type(QStringLiteral("hi"));
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral("robert: hi\r\n"); }));
        server.type(QStringLiteral("kickName=robert"));
        QVERIFY(waitUntil([&] { return bob.form.outputText().endsWith(ClosedByServer); }));
        QCOMPARE(bob.fresh(), "bob: nickName=robert\r\n>>> Your new nickName is robert <<<\r\nbob: hi\r\n"
                              ">>> You are kicked by SERVER <<<\r\n" + ClosedByServer);
        bob.type(QStringLiteral("anyone?"));
        QCOMPARE(bob.fresh() + bob.form.Text3->text(), QStringLiteral("ERROR: Cannot send message, no connection.\r\nanyone?"));
        // Already connected: No keeps the connection, Yes closes it before the dialog.
        modals().button(QStringLiteral("No"));
        alice.form.Command2_Click();
        QCOMPARE(modals().boxes.back().text, "You are already connected to Server:\r\nlocalhost\r\n\r\nClose current connection?");
        QCOMPARE(alice.form.Winsock1(0).State(), SocketState::Connected);
        modals().button(QStringLiteral("Yes"));
        modals().dialog([](QDialog& d) { d.reject(); });
        alice.fresh();
        alice.form.Command2_Click();
        QCOMPARE(alice.fresh(), QStringLiteral("Connection closed.\r\n"));
        QVERIFY(alice.form.rHostIP.isEmpty() && !alice.form.connectFailed);
    }

    void aLateRefusalIsNoSuccess() {
        Listener full(30);
        Window w;
        QString output = connectTo(w, full.serverPort());
        QVERIFY(waitUntil([&] { return (output += w.fresh()).endsWith(ClosedByServer); }));
        QVERIFY(output.endsWith("Connected\r\n\r\n>>> No more Clients allowed. Goodbey <<<\r\n" + ClosedByServer));
        QVERIFY(w.form.connectFailed && full.received.isEmpty());
    }

    void aRefusedConnectionIsReportedAndClosed() {
        Window w;
        w.form.show();
        QString title;
        modals().box([&](QDialog& box) { QTest::qWait(150), title = w.form.windowTitle(), box.accept(); });
        const QString output = connectTo(w, freeTcpPort());
        QVERIFY(modals().boxes.back().text.startsWith("Socket Error\r\nError Nr.: 10061\r\nLast Dll Error: 0\r\n\r\n"
                                                      "Connection is forcefully rejected\r\n\r\nHelp:\r\nConnection refused. "));
        QCOMPARE(title, QStringLiteral("Parleon - Error [localhost]"));
        QVERIFY2(output.contains("\r\n\r\nConnecting") && output.endsWith("Connection is forcefully rejected\r\n\r\n") &&
                     !output.contains("timeout"), qPrintable(output));
        QVERIFY(w.form.Winsock1(0).State() == SocketState::Closed && !w.form.connecting);
        QVERIFY(waitUntil([&] { return w.form.windowTitle() == QStringLiteral("Parleon - Connection closed [localhost]"); }));
    }

    void timeOutAfterItsSecondsWithADotEach() {
        for (int seconds : {2, 0}) {
            StalledListener stalled;
            Window w;
            w.form.show();
            w.form.connectTimeout = seconds;
            // Return while still connecting does nothing and keeps the text.
            QTimer::singleShot(300, &w.form, [&] { w.type(QStringLiteral("early")); });
            QElapsedTimer clock;
            clock.start();
            const QString output = connectTo(w, stalled.port);
            const double elapsed = double(clock.elapsed()) / 1000;
            const QRegularExpressionMatch match = QRegularExpression(QStringLiteral(
                "\r\nConnecting(\\.*)\r\nERROR: Connect timeout \\(%1 sec\\)\\.\r\nConnection closed\\.\r\n$").arg(seconds)).match(output);
            QVERIFY2(match.hasMatch() && elapsed >= seconds && elapsed < seconds + 0.5, qPrintable(output + QString::number(elapsed)));
            QVERIFY(match.captured(1).size() >= seconds && match.captured(1).size() <= seconds + 1);
            QCOMPARE(w.form.Text3->text(), seconds ? QStringLiteral("early") : Form1::InputPrompt);
            if (seconds) QCOMPARE(w.form.windowTitle(), QStringLiteral("Parleon - Connecting [localhost]"));
        }
    }

    void closingDuringTheWaitClosesWhenItEnds() {
        StalledListener stalled;
        Window w;
        w.form.show();
        QTimer::singleShot(200, &w.form, [&] { w.form.close(); });
        const QString hyphens(42, QLatin1Char('-'));
        QVERIFY(connectTo(w, stalled.port, "frank").endsWith("\r\n" + hyphens + "\r\nCannot exit while connecting. Please wait.\r\n" +
                                                               hyphens + "\r\n\r\n"));
        QVERIFY(!w.form.isVisible() && w.folder.read().contains("\"frank\""));
    }

    void aSecondClickDuringTheWaitTakesOverQuietly() {
        StalledListener stalled;
        Listener good;
        Window w;
        QTimer::singleShot(300, &w.form, [&] {
            modals().button(QStringLiteral("Yes"));
            connectTo(w, good.serverPort());
        });
        connectTo(w, stalled.port);
        QCOMPARE(w.form.outputText().count(QStringLiteral("Connect OK to server")), 1);
        QVERIFY(waitUntil([&] { return good.received == "nickName=alice"; }));
        QTest::qWait(50);
        QCOMPARE(good.received, QByteArray("nickName=alice"));
    }

    void addressBytesAreDecimal() {
        QTcpServer ten; // read as octal, the address would be 127.0.0.8
        QVERIFY(ten.listen(QHostAddress(QStringLiteral("127.0.0.10")), 0));
        Window w;
        modals().button(QStringLiteral("OK")); // 127.0.0.10 has no name of its own
        connectTo(w, ten.serverPort(), "hana", "127.000.0.010");
        QVERIFY(modals().boxes.back().text.startsWith(QStringLiteral("Error while getting Host-Name\r\n")));
        QVERIFY(waitUntil([&] { return ten.hasPendingConnections(); }));
        QCOMPARE(w.form.Winsock1(0).RemoteHostIP(), QStringLiteral("127.0.0.10"));
    }

};

QTEST_MAIN(ClientTest)
#include "tst_client.moc"
