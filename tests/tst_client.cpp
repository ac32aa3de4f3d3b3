// The client: the connect dialog's rules and memory, and connecting to servers that accept,
// refuse late, refuse at once or never answer.
#include "harness.h"
#include "stalled_listener.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

using namespace testing;

namespace {
Modals& modals() { return Modals::instance(); }
QLineEdit* box(QDialog& d, const QString& name) { return d.findChild<QLineEdit*>(name); }
QStringList boxes(QDialog& d) {
    QStringList texts;
    for (const char* name : {"TextIP0", "TextIP1", "TextIP2", "TextIP3", "Text2", "Text1"}) texts << box(d, QLatin1String(name))->text();
    return texts;
}
// Confirms the connect dialog with this address and nick name.
void answerDialog(const QStringList& address, const QString& nick) {
    modals().dialog([address, nick](QDialog& d) {
        for (int i = 0; i < 4; ++i) box(d, QStringLiteral("TextIP%1").arg(i))->setText(address[i]);
        box(d, QStringLiteral("Text1"))->setText(nick);
        d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    });
}
const QStringList Loopback = {QStringLiteral("127"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1")};
} // namespace

class ClientTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        modals().boxes.clear();
        modals().unexpected.clear();
    }
    void cleanup() { QVERIFY(modals().done() && modals().unexpected.isEmpty()); }

    void dialogChecksNickThenAddress_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("refusal");
        const QString badNick = QStringLiteral("Bad Nick Name. Minimum 3 characters required.");
        const QString badAddress = QStringLiteral("Bad IP Address. Try something like that: 127.0.0.1");
        QTest::newRow("two characters, before a bad address") << "ab" << "x.0.0.1" << badNick;
        QTest::newRow("two characters of two UTF-16 units each") << "😀😀" << "127.0.0.1" << badNick;
        QTest::newRow("256") << "abc" << "127.0.0.256" << badAddress;
        QTest::newRow("-1") << "abc" << "-1.0.0.1" << badAddress;
        QTest::newRow("empty box") << "abc" << "127..0.1" << badAddress;
        QTest::newRow("letters") << "abc" << "127.0.a.1" << badAddress;
        QTest::newRow("spaces count, 0 and 255 are bytes") << " a " << "0.0.0.255" << "";
        QTest::newRow("leading zeros stay in the text") << "bob" << "10.0.0.007" << "";
    }
    void dialogChecksNickThenAddress() {
        QFETCH(QString, nick);
        QFETCH(QString, address);
        QFETCH(QString, refusal);
        Window w;
        QStringList kept;
        modals().dialog([&](QDialog& d) {
            const QStringList bytes = address.split(QLatin1Char('.'));
            for (int i = 0; i < 4; ++i) box(d, QStringLiteral("TextIP%1").arg(i))->setText(bytes[i]);
            box(d, QStringLiteral("Text1"))->setText(nick);
            if (!refusal.isEmpty()) modals().button(QStringLiteral("OK"));
            d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
            if (!d.isVisible()) return;
            kept = boxes(d);
            d.reject();
        });
        w.form.connectDialog.Show(w.form);
        QCOMPARE(w.form.connectDialog.settingsValid, refusal.isEmpty());
        if (!refusal.isEmpty()) {
            QCOMPARE(modals().boxes.back().text, refusal);
            QCOMPARE(modals().boxes.back().icon, int(refusal.startsWith(QLatin1String("Bad Nick")) ? QMessageBox::Warning : QMessageBox::Information));
            QCOMPARE(kept, address.split(QLatin1Char('.')) << QStringLiteral("9843") << nick);
            QCOMPARE(w.form.rHostIP, QString());
            return;
        }
        QCOMPARE(w.form.rHostIP, address);
        QCOMPARE(w.form.nickName, nick);
        // The next opening offers the bytes and the name; the picture suggests names in turn.
        QStringList offered, suggested;
        modals().dialog([&](QDialog& d) {
            offered = boxes(d);
            for (int i = 0; i < 7; ++i) {
                QTest::mouseClick(d.findChild<QWidget*>(QStringLiteral("Picture1")), Qt::LeftButton);
                suggested << box(d, QStringLiteral("Text1"))->text();
            }
            d.reject();
        });
        w.form.connectDialog.Show(w.form);
        QStringList bytes;
        for (const QString& b : address.split(QLatin1Char('.'))) bytes << QString::number(b.toInt());
        QCOMPARE(offered, bytes << QStringLiteral("9843") << nick);
        QCOMPARE(suggested.size(), 7);
        QCOMPARE(suggested.first(), suggested.last());
        QCOMPARE(QSet<QString>(suggested.begin(), suggested.end()).size(), 6);
    }

    void dialogFocusMovesOnAfterThreeCharacters() {
        Window w;
        QStringList seen;
        modals().dialog([&](QDialog& d) {
            seen << boxes(d).join(QLatin1Char(' ')) << d.focusWidget()->objectName() + '/' + box(d, QStringLiteral("TextIP0"))->selectedText();
            QVERIFY(!box(d, QStringLiteral("Text2"))->isEnabled());
            QTest::keyClicks(d.focusWidget(), QStringLiteral("192"));
            seen << d.focusWidget()->objectName() + '/' + box(d, QStringLiteral("TextIP1"))->selectedText();
            box(d, QStringLiteral("TextIP3"))->setFocus();
            QTest::keyClicks(d.focusWidget(), QStringLiteral("2541"));
            seen << d.focusWidget()->objectName() + '/' + box(d, QStringLiteral("TextIP3"))->text();
            for (int i = 0; i < 3; ++i) QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
            seen << d.focusWidget()->objectName();
            QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
        });
        w.form.connectDialog.Show(w.form);
        QCOMPARE(seen, (QStringList{QStringLiteral("127 0 0 1 9843 "), QStringLiteral("TextIP0/127"),
                                    QStringLiteral("TextIP1/0"), QStringLiteral("TextIP3/254"), QStringLiteral("cmdCancel")}));
        QVERIFY(!w.form.connectDialog.settingsValid);
    }

    void chatWithAServerInAnotherProcess() {
        ProgramServer server;
        QVERIFY(server.port);
        Window alice, bob;
        for (Window* w : {&alice, &bob}) w->form.parleonPort = server.port, w->fresh();
        QStringList titles;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] { if (titles.isEmpty() || titles.last() != alice.form.windowTitle()) titles << alice.form.windowTitle(); });
        watch.start(5);
        answerDialog(Loopback, QStringLiteral("alice"));
        alice.form.Command2_Click();
        QVERIFY2(QRegularExpression(QStringLiteral("^searching Server\\.\\.\\.\r\n>>> Parleon Server is: localhost <<<\r\n\r\n"
                                                   "Connecting\\.*\r\nConnected\r\nConnect OK to server 127\\.0\\.0\\.1\r\n$"))
                     .match(alice.fresh()).hasMatch(), qPrintable(alice.form.outputText()));
        QCOMPARE(alice.form.focusWidget(), alice.form.Text3);
        QVERIFY(server.waitForOutput(": nickName=alice\n"));
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. alice\r\n\r\n"); }));
        QVERIFY(waitUntil([&] { return titles.last() == QStringLiteral("Parleon - Connected [localhost]"); }));
        answerDialog(Loopback, QStringLiteral("bob"));
        bob.form.Command2_Click();
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral(">>> bob has joined <<<\r\n"); }));
        bob.fresh();
        bob.type(QStringLiteral("nickName=robert"));
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral(">>> bob has renamed to robert <<<\r\n"); }));
        // The client keeps its own name for its echo; the line goes out bare.
        bob.type(QStringLiteral("hi"));
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral("robert: hi\r\n"); }));
        QCOMPARE(bob.fresh(), QStringLiteral("bob: nickName=robert\r\n>>> Your new nickName is robert <<<\r\nbob: hi\r\n"));
        server.process.terminate();
        QVERIFY(waitUntil([&] { return alice.fresh() == QStringLiteral("Connection closed by remote host.\r\n"); }));
        alice.type(QStringLiteral("anyone?"));
        QCOMPARE(alice.fresh(), QStringLiteral("ERROR: Cannot send message, no connection.\r\n"));
        QCOMPARE(alice.form.Text3->text(), QStringLiteral("anyone?"));
    }

    void aLateRefusalIsNoSuccess() {
        QTcpServer full;
        QVERIFY(full.listen(QHostAddress::LocalHost, 0));
        QByteArray greeting;
        connect(&full, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* peer = full.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [&greeting, peer] { greeting += peer->readAll(); });
            QTimer::singleShot(30, peer, [peer] { peer->write("\r\n>>> No more Clients allowed. Goodbey <<<");
                peer->disconnectFromHost(); });
        });
        Window w;
        w.form.parleonPort = full.serverPort();
        w.fresh();
        answerDialog(Loopback, QStringLiteral("carol"));
        w.form.Command2_Click();
        QVERIFY(waitUntil([&] { return w.form.outputText().endsWith(QStringLiteral("Connection closed by remote host.\r\n")); }));
        QVERIFY(w.form.connectFailed);
        QVERIFY(w.fresh().endsWith(QStringLiteral("Connected\r\n\r\n>>> No more Clients allowed. Goodbey <<<\r\nConnection closed by remote host.\r\n")));
        QCOMPARE(greeting, QByteArray());
    }

    void aRefusedConnectionIsReportedAsSuchAndClosed() {
        Window w;
        w.form.show();
        w.form.parleonPort = freeTcpPort();
        w.fresh();
        answerDialog(Loopback, QStringLiteral("dave"));
        QString titleDuringBox;
        modals().dialog([&](QDialog& box) { QTest::qWait(150);
            titleDuringBox = w.form.windowTitle();
            box.accept(); });
        w.form.Command2_Click();
        QCOMPARE(modals().boxes.back().text.section(QStringLiteral("\r\n"), 0, 4),
                 QStringLiteral("Socket Error\r\nError Nr.: 10061\r\nLast Dll Error: 0\r\n\r\nConnection is forcefully rejected"));
        QVERIFY(modals().boxes.back().text.contains(QStringLiteral("\r\n\r\nHelp:\r\nConnection refused. ")));
        QCOMPARE(titleDuringBox, QStringLiteral("Parleon - Error [localhost]"));
        const QString output = w.fresh();
        QVERIFY2(output.contains(QStringLiteral("\r\n\r\nConnecting")) &&
                     output.endsWith(QStringLiteral("Connection is forcefully rejected\r\n\r\n")) && !output.contains(QStringLiteral("timeout")),
                 qPrintable(output));
        QCOMPARE(w.form.Winsock1(0).State(), SocketState::Closed);
        QVERIFY(!w.form.connecting);
        QVERIFY(waitUntil([&] { return w.form.windowTitle() == QStringLiteral("Parleon - Connection closed [localhost]"); }));
    }

    void timeOutAfterItsSecondsWithADotEach_data() {
        QTest::addColumn<int>("seconds");
        QTest::newRow("two") << 2;
        QTest::newRow("zero") << 0;
    }
    void timeOutAfterItsSecondsWithADotEach() {
        QFETCH(int, seconds);
        StalledListener stalled;
        Window w;
        w.form.show();
        w.form.connectTimeout = seconds;
        w.form.parleonPort = stalled.port();
        w.fresh();
        answerDialog(Loopback, QStringLiteral("erin"));
        // Return while still connecting does nothing and keeps the text.
        QTimer::singleShot(300, &w.form, [&] { w.type(QStringLiteral("early")); });
        QElapsedTimer clock;
        clock.start();
        w.form.Command2_Click();
        const double elapsed = double(clock.elapsed()) / 1000;
        const QString output = w.fresh();
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral(
            "\r\nConnecting(\\.*)\r\nERROR: Connect timeout \\(%1 sec\\)\\.\r\nConnection closed\\.\r\n$").arg(seconds)).match(output);
        QVERIFY2(match.hasMatch(), qPrintable(output));
        QVERIFY2(elapsed >= seconds && elapsed < seconds + 0.5, qPrintable(QString::number(elapsed)));
        QVERIFY(match.captured(1).size() >= seconds && match.captured(1).size() <= seconds + 1);
        QCOMPARE(w.form.Text3->text(), seconds ? QStringLiteral("early") : Form1::InputPrompt);
        if (seconds) QCOMPARE(w.form.windowTitle(), QStringLiteral("Parleon - Connecting [localhost]"));
    }

    void closingDuringTheWaitClosesWhenItEnds() {
        StalledListener stalled;
        Window w;
        w.form.show();
        w.form.parleonPort = stalled.port();
        w.fresh();
        answerDialog(Loopback, QStringLiteral("frank"));
        QTimer::singleShot(200, &w.form, [&] { w.form.close(); });
        w.form.Command2_Click();
        const QString hyphens(42, QLatin1Char('-'));
        QVERIFY(w.fresh().endsWith(QStringLiteral("\r\n") + hyphens + QStringLiteral("\r\nCannot exit while connecting. Please wait.\r\n") +
                                   hyphens + QStringLiteral("\r\n\r\n")));
        QVERIFY(!w.form.isVisible());
        QVERIFY(w.folder.read().contains("\"frank\""));
    }

    void aSecondClickDuringTheWaitTakesOverQuietly() {
        StalledListener stalled;
        QTcpServer good;
        QVERIFY(good.listen(QHostAddress::LocalHost, 0));
        QByteArray received;
        connect(&good, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* peer = good.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [&received, peer] { received += peer->readAll(); });
        });
        Window w;
        w.form.parleonPort = stalled.port();
        w.fresh();
        answerDialog(Loopback, QStringLiteral("gina"));
        QTimer::singleShot(300, &w.form, [&] {
            w.form.parleonPort = good.serverPort();
            modals().button(QStringLiteral("Yes"));
            answerDialog(Loopback, QStringLiteral("gina"));
            w.form.Command2_Click();
        });
        w.form.Command2_Click();
        QVERIFY(waitUntil([&] { return received == "nickName=gina"; }));
        QTest::qWait(50);
        QCOMPARE(received, QByteArray("nickName=gina"));
        QCOMPARE(w.fresh().count(QStringLiteral("Connect OK to server")), 1);
        QCOMPARE(modals().boxes.back().text, QStringLiteral("You are already connected to Server:\r\nlocalhost\r\n\r\nClose current connection?"));
    }

    void addressBytesAreDecimal() {
        QTcpServer ten, eight;
        QVERIFY(ten.listen(QHostAddress(QStringLiteral("127.0.0.10")), 0));
        QVERIFY(eight.listen(QHostAddress(QStringLiteral("127.0.0.8")), ten.serverPort()));
        Window w;
        w.form.parleonPort = ten.serverPort();
        answerDialog({QStringLiteral("127"), QStringLiteral("000"), QStringLiteral("0"), QStringLiteral("010")}, QStringLiteral("hana"));
        modals().button(QStringLiteral("OK")); // 127.0.0.10 has no name of its own
        w.form.Command2_Click();
        QVERIFY(modals().boxes.back().text.startsWith(QStringLiteral("Error while getting Host-Name\r\n")));
        QVERIFY(waitUntil([&] { return ten.hasPendingConnections(); }));
        QVERIFY(!eight.hasPendingConnections());
        QCOMPARE(w.form.Winsock1(0).RemoteHostIP(), QStringLiteral("127.0.0.10"));
    }

    void rolesRefuseEachOther() {
        Window server;
        QVERIFY(startServer(server.form, 0));
        modals().button(QStringLiteral("OK"));
        server.form.Command2_Click();
        QCOMPARE(modals().boxes.back().text, QStringLiteral("Cannot connect. Server is running."));
        Window client;
        client.form.parleonPort = quint16(server.form.Winsock1(0).LocalPort());
        answerDialog(Loopback, QStringLiteral("ivan"));
        client.form.Command2_Click();
        modals().button(QStringLiteral("OK"));
        client.form.Command3_Click();
        QCOMPARE(modals().boxes.back().text, QStringLiteral("Cannot start Server. You are connected as Client."));
        // Already connected: No keeps the connection, Yes closes it before the dialog.
        modals().button(QStringLiteral("No"));
        client.fresh();
        client.form.Command2_Click();
        QCOMPARE(client.form.Winsock1(0).State(), SocketState::Connected);
        modals().button(QStringLiteral("Yes"));
        modals().dialog([](QDialog& d) { d.reject(); });
        client.form.Command2_Click();
        QCOMPARE(client.fresh(), QStringLiteral("Connection closed.\r\n"));
        QVERIFY(client.form.rHostIP.isEmpty() && !client.form.connectFailed);
    }
};

QTEST_MAIN(ClientTest)
#include "tst_client.moc"
