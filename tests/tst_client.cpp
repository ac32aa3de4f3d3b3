// The client end to end: connecting through the dialog, chatting with a server form in the same
// process, refusals, time-outs, closing during the wait, and the help text.
#include "server_fixture.h"
#include "stalled_listener.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

using testing::ModalAnswerer;
using testing::ProgramFolder;
using testing::ServerFixture;
using testing::waitUntil;

namespace {

// Clicks "Connect to Server" and confirms the dialog with 127.0.0.1 and the nick name.
void connectThroughDialog(Form1& client, ModalAnswerer& answerer, quint16 port, const QString& nick) {
    client.parleonPort = port;
    answerer.answerDialog([nick](QDialog& dialog) {
        testing::setBoxText(dialog, "Text1", nick);
        testing::clickButton(dialog, "cmdOK");
    });
    client.Command2_Click();
}

struct Client {
    ModalAnswerer answerer;
    Form1 form;
    qsizetype mark() const { return form.outputText().size(); }
    QString since(qsizetype mark) const { return testing::outputSince(form, mark); }
    bool waitForOutput(const QString& text, int timeoutMs = 5000) const {
        return waitUntil([&] { return form.outputText().contains(text); }, timeoutMs);
    }
    void type(const QString& line) {
        form.Text3->setFocus();
        form.Text3->setText(line);
        QTest::keyClick(form.Text3, Qt::Key_Return);
    }
};

const QRegularExpression connectedOutput(QStringLiteral(
    "^searching Server\\.\\.\\.\r\n>>> Parleon Server is: localhost <<<\r\n\r\nConnecting\\.*\r\nConnected\r\n"
    "Connect OK to server 127\\.0\\.0\\.1\r\n"));

} // namespace

class ClientTest : public QObject {
    Q_OBJECT
private slots:
    void twoClientsChatThroughAServer() {
        ServerFixture server;
        Client alice, bob;
        auto mark = alice.mark();
        connectThroughDialog(alice.form, alice.answerer, server.port, QStringLiteral("alice"));
        QVERIFY2(connectedOutput.match(alice.since(mark)).hasMatch(), qPrintable(alice.since(mark).replace("\r", "<CR>")));
        QCOMPARE(alice.form.Winsock1(0).Tag, QStringLiteral("alice"));
        QCOMPARE(alice.form.focusWidget(), alice.form.Text3);
        QVERIFY(alice.waitForOutput(QStringLiteral(
            ">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. alice\r\n\r\n")));
        QVERIFY(waitUntil([&] { return alice.form.windowTitle() == QStringLiteral("Parleon - Connected [localhost]"); }));

        connectThroughDialog(bob.form, bob.answerer, server.port, QStringLiteral("bob"));
        QVERIFY(bob.waitForOutput(QStringLiteral("List of online Clients:\r\n01. alice\r\n02. bob\r\n\r\n")));
        QVERIFY(alice.waitForOutput(QStringLiteral(">>> bob has joined <<<\r\n")));

        mark = alice.mark();
        auto bobMark = bob.mark();
        bob.type(QStringLiteral("hi"));
        QCOMPARE(bob.since(bobMark), QStringLiteral("bob: hi\r\n"));
        QCOMPARE(bob.form.Text3->text(), QString());
        QVERIFY(alice.waitForOutput(QStringLiteral("bob: hi\r\n")));
        alice.type(QStringLiteral("hello bob"));
        QVERIFY(bob.waitForOutput(QStringLiteral("alice: hello bob\r\n")));

        // A rename does not change the local echo's name.
        bobMark = bob.mark();
        bob.type(QStringLiteral("nickName=robert"));
        QVERIFY(bob.waitForOutput(QStringLiteral(">>> Your new nickName is robert <<<\r\n")));
        QVERIFY(alice.waitForOutput(QStringLiteral(">>> bob has renamed to robert <<<\r\n")));
        QVERIFY(bob.since(bobMark).startsWith(QStringLiteral("bob: nickName=robert\r\n")));
        bob.type(QStringLiteral("listNames"));
        QVERIFY(bob.waitForOutput(QStringLiteral("List of online Clients:\r\n01. alice\r\n02. robert\r\n\r\n")));

        // Kicked: the client sees the kick text and then its connection closed.
        server.type(QStringLiteral("kickName=robert"));
        QVERIFY(bob.waitForOutput(QStringLiteral(">>> You are kicked by SERVER <<<\r\nConnection closed by remote host.\r\n")));
        QCOMPARE(bob.form.Winsock1(0).State(), SocketState::Closed);
        QVERIFY(alice.waitForOutput(QStringLiteral(">>> robert was kicked by SERVER <<<")));
        bobMark = bob.mark();
        bob.type(QStringLiteral("anyone?"));
        QCOMPARE(bob.since(bobMark), QStringLiteral("ERROR: Cannot send message, no connection.\r\n"));

        // The server stops: the remaining client sees it.
        server.answerer.answerBox(QStringLiteral("Yes"));
        server.answerer.answerDialog([](QDialog& dialog) { testing::clickButton(dialog, "CancelButton"); });
        server.form->Command3_Click();
        QVERIFY(alice.waitForOutput(QStringLiteral("Connection closed by remote host.\r\n")));
        QVERIFY(alice.answerer.unexpected().isEmpty() && bob.answerer.unexpected().isEmpty());
    }

    void fullServerRefusesWithoutGreeting() {
        ProgramFolder folder;
        QTcpServer fullServer;
        fullServer.listen(QHostAddress::LocalHost, 0);
        QByteArray greeting;
        connect(&fullServer, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* peer = fullServer.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [&, peer] { greeting += peer->readAll(); });
            peer->write("\r\n>>> No more Clients allowed. Goodbey <<<");
        });
        Client client;
        const auto mark = client.mark();
        connectThroughDialog(client.form, client.answerer, fullServer.serverPort(), QStringLiteral("carol"));
        QTest::qWait(100);
        const QString output = client.since(mark);
        QVERIFY2(output.contains(QStringLiteral("\r\n>>> No more Clients allowed. Goodbey <<<\r\n")), qPrintable(output));
        QVERIFY(!output.contains(QStringLiteral("Connect OK")));
        QVERIFY(client.form.connectFailed);
        QCOMPARE(greeting, QByteArray());
    }

    void refusedConnectionIsReportedWithoutTimeOut() {
        ProgramFolder folder;
        Client client;
        client.answerer.answerDialog([](QDialog& dialog) {
            testing::setBoxText(dialog, "Text1", QStringLiteral("dave"));
            testing::clickButton(dialog, "cmdOK");
        });
        client.answerer.answerBox(QStringLiteral("OK"));
        client.form.parleonPort = testing::freeTcpPort();
        const auto mark = client.mark();
        client.form.Command2_Click();
        QCOMPARE(client.answerer.boxes().size(), size_t(1));
        QVERIFY(client.answerer.boxes()[0].text.contains(QStringLiteral("Error Nr.: 10061")));
        QVERIFY(client.answerer.boxes()[0].text.contains(QStringLiteral("Help:\r\nConnection refused.")));
        const QString output = client.since(mark);
        QVERIFY2(output.endsWith(QStringLiteral("Connection is forcefully rejected\r\n\r\n")), qPrintable(output));
        QVERIFY(!output.contains(QStringLiteral("timeout")));
        QCOMPARE(client.form.Winsock1(0).State(), SocketState::Closed);
        QVERIFY(!client.form.connecting);
    }

    void timeOut_data() {
        QTest::addColumn<int>("seconds");
        QTest::newRow("one second") << 1;
        QTest::newRow("zero") << 0;
    }
    void timeOut() {
        QFETCH(int, seconds);
        ProgramFolder folder;
        testing::StalledListener stalled;
        Client client;
        client.form.connectTimeout = seconds;
        const auto mark = client.mark();
        connectThroughDialog(client.form, client.answerer, stalled.port(), QStringLiteral("erin"));
        const QString output = client.since(mark);
        const QRegularExpression expected(QStringLiteral("\r\nConnecting\\.*\r\nERROR: Connect timeout \\(%1 sec\\)\\.\r\n"
                                                         "Connection closed\\.\r\n$").arg(seconds));
        QVERIFY2(expected.match(output).hasMatch(), qPrintable(output));
        QCOMPARE(client.form.Winsock1(0).State(), SocketState::Closed);
        QVERIFY(!client.form.connecting);
    }

    void closingDuringTheWaitClosesAfterIt() {
        ProgramFolder folder;
        testing::StalledListener stalled;
        Client client;
        client.form.show();
        QTimer::singleShot(300, &client.form, [&] { client.form.close(); });
        const auto mark = client.mark();
        connectThroughDialog(client.form, client.answerer, stalled.port(), QStringLiteral("frank"));
        const QString hyphens(42, QLatin1Char('-'));
        const QString output = client.since(mark);
        QVERIFY2(output.contains(QStringLiteral("\r\n") + hyphens + QStringLiteral("\r\nCannot exit while connecting. "
                                                                                   "Please wait.\r\n") + hyphens),
                 qPrintable(output));
        QVERIFY(!output.contains(QStringLiteral("timeout")));
        QVERIFY(!output.contains(QStringLiteral("Connect OK")));
        QVERIFY(!client.form.isVisible());
        QVERIFY(folder.readConfig().contains("\"frank\""));
    }

    void connectRefusedWhileServerRuns() {
        ServerFixture server;
        server.answerer.answerBox(QStringLiteral("OK"));
        server.form->Command2_Click();
        QCOMPARE(server.answerer.boxes().back().text, QStringLiteral("Cannot connect. Server is running."));
        QCOMPARE(server.answerer.boxes().back().icon, int(QMessageBox::NoIcon));
        QVERIFY(server.answerer.unexpected().isEmpty());
    }

    void alreadyConnectedAsksFirst() {
        ServerFixture server;
        Client client;
        connectThroughDialog(client.form, client.answerer, server.port, QStringLiteral("gina"));
        QVERIFY(client.waitForOutput(QStringLiteral("01. gina")));
        const QString question =
            QStringLiteral("You are already connected to Server:\r\nlocalhost\r\n\r\nClose current connection?");
        client.answerer.answerBox(QStringLiteral("No"));
        auto mark = client.mark();
        client.form.Command2_Click();
        QCOMPARE(client.answerer.boxes().back().text, question);
        QCOMPARE(client.since(mark), QString());
        QCOMPARE(client.form.Winsock1(0).State(), SocketState::Connected);

        client.answerer.answerBox(QStringLiteral("Yes"));
        client.answerer.answerDialog([](QDialog& dialog) { testing::clickButton(dialog, "cmdCancel"); });
        mark = client.mark();
        client.form.Command2_Click();
        QCOMPARE(client.since(mark), QStringLiteral("Connection closed.\r\n"));
        QCOMPARE(client.form.Winsock1(0).State(), SocketState::Closed);
        QVERIFY(client.form.rHostIP.isEmpty());
        QVERIFY(server.waitForOutput(0, QStringLiteral("Connection closed by client 127.0.0.1")));
    }

    void helpBeforeAnyRole() {
        ProgramFolder folder;
        Form1 form;
        const auto mark = form.outputText().size();
        form.Command1_Click();
        const QString separator(48, QLatin1Char('-'));
        const QStringList expected = {QString(),
                                      separator,
                                      QStringLiteral("Parleon - Version 0.3.2"),
                                      separator,
                                      QStringLiteral("Multi client chat via TCP/IP"),
                                      separator,
                                      QStringLiteral("Quick test:"),
                                      QStringLiteral("1. Run Parleon.exe and start a Server"),
                                      QStringLiteral("2. Run Parleon.exe and start a Client"),
                                      QStringLiteral("3. Enter 127.0.0.1 in the Popup-Dialog"),
                                      QStringLiteral("4. Chat with yourself"),
                                      separator,
                                      QStringLiteral("List of Commands:"),
                                      QStringLiteral("1. nickName=nnn /where nnn is your new nick name"),
                                      QStringLiteral("2. listNames    /list all online clients"),
                                      separator};
        QCOMPARE(testing::outputSince(form, mark), expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    }

    void helpOnAServer() {
        ServerFixture server;
        const QString separator(48, QLatin1Char('-'));
        auto mark = server.mark();
        server.form->Command1_Click();
        QString tail = server.since(mark).section(QStringLiteral("4. Chat with yourself\r\n") + separator + QStringLiteral("\r\n"), 1);
        const QString since = QLocale::system().toString(server.form->onlineSince, QLocale::ShortFormat);
        QCOMPARE(tail, QStringLiteral("Server Info:\r\nRunning port = %1\r\nOnline since = %2\r\nMaximum clients = 10\r\n"
                                      "Connected clients = 0\r\n(none)\r\n%3\r\nEnter 'kickName=nnn' /where nnn is the \r\n"
                                      "Client-Nick-Name to kick from this Server.\r\n%3\r\n")
                           .arg(server.port)
                           .arg(since, separator));
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        QVERIFY(alice && bob);
        mark = server.mark();
        server.form->Command1_Click();
        QVERIFY(server.since(mark).contains(QStringLiteral("Connected clients = 2\r\nList of online Clients:\r\n01. alice\r\n"
                                                           "02. bob\r\n\r\n") + separator));
    }
};

QTEST_MAIN(ClientTest)
#include "tst_client.moc"
