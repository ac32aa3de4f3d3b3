// The person at the server: console lines, the kick command, the input rules, and the title bar.
#include "server_fixture.h"

#include <QHostInfo>
#include <QLineEdit>
#include <QTest>

using testing::RawPeer;
using testing::ServerFixture;
using testing::waitUntil;

class ServerConsoleTest : public QObject {
    Q_OBJECT
private slots:
    void consoleLineGoesToEveryClient() {
        ServerFixture server;
        auto [alice, bob] = server.joinAliceAndBob();
        QVERIFY(alice && bob);
        const auto mark = server.mark();
        server.type(QStringLiteral("hello all"));
        QVERIFY(alice->expect(QByteArray("SERVER: hello all")));
        QVERIFY(bob->expect(QByteArray("SERVER: hello all")));
        QCOMPARE(server.since(mark), QStringLiteral("SERVER: hello all\r\n"));
        QCOMPARE(server.form->Text3->text(), QString());

        // Not the command: another case, a leading space, and an empty line.
        server.type(QStringLiteral("kickname=bob"));
        QVERIFY(bob->expect(QByteArray("SERVER: kickname=bob")));
        server.type(QStringLiteral(" kickName=bob"));
        QVERIFY(bob->expect(QByteArray("SERVER:  kickName=bob")));
        server.type(QString());
        QVERIFY(bob->expect(QByteArray("SERVER: ")));
        QVERIFY(alice->expect(QByteArray("SERVER: kickname=bob")));
        QVERIFY(alice->expect(QByteArray("SERVER:  kickName=bob")));
        QVERIFY(alice->expect(QByteArray("SERVER: ")));
        QVERIFY(!bob->isClosed());
    }

    void inputRules() {
        ServerFixture server;
        const auto mark = server.mark();
        server.type(QStringLiteral("anyone?"));
        QCOMPARE(server.since(mark), QStringLiteral("ERROR: Cannot send message, no clients connected.\r\n"));
        QCOMPARE(server.form->Text3->text(), QStringLiteral("anyone?"));

        auto alice = server.join(QStringLiteral("alice"));
        QVERIFY(alice);
        const auto mark2 = server.mark();
        // The untouched prompt never goes out; other keys never send.
        server.type(QStringLiteral("Enter message-text here and press return."));
        server.form->Text3->setText(QStringLiteral("typed"));
        QTest::keyClick(server.form->Text3, Qt::Key_A);
        QTest::keyClick(server.form->Text3, Qt::Key_Tab);
        server.form->Text3->setFocus();
        QTest::qWait(20);
        QCOMPARE(server.since(mark2), QString());
        QCOMPARE(alice->received(), QByteArray());
        // Keypad Enter and Return with a modifier send like Return.
        QTest::keyClick(server.form->Text3, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(alice->expect(QByteArray("SERVER: typeda")));
        server.form->Text3->setText(QStringLiteral("shifted"));
        QTest::keyClick(server.form->Text3, Qt::Key_Return, Qt::ShiftModifier);
        QVERIFY(alice->expect(QByteArray("SERVER: shifted")));
    }

    void returnReleaseAfterADialogClosedDoesNotSend() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        QVERIFY(alice);
        server.form->Text3->setFocus();
        server.form->Text3->setText(QStringLiteral("not yet"));
        // The Return press went to a dialog that closed; only its release reaches the window.
        QTest::keyRelease(server.form->Text3, Qt::Key_Return);
        QTest::qWait(20);
        QCOMPARE(alice->received(), QByteArray());
        QCOMPARE(server.form->Text3->text(), QStringLiteral("not yet"));
    }

    void kickAKnownClientInALowerSlot() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        auto carol = server.join(QStringLiteral("carol"));
        QVERIFY(alice && bob && carol);
        alice->takeAll();
        bob->takeAll();
        const auto mark = server.mark();
        server.type(QStringLiteral("kickName=bob"));
        QVERIFY(bob->expect(QByteArray(">>> You are kicked by SERVER <<<")));
        QVERIFY(bob->waitForClose());
        QVERIFY(alice->expect(QByteArray(">>> bob was kicked by SERVER <<<>>> bob has left <<<")));
        QVERIFY(carol->expect(QByteArray(">>> bob was kicked by SERVER <<<>>> bob has left <<<")));
        QCOMPARE(server.since(mark), QStringLiteral("SERVER: kickName=bob\r\nConnection closed by client 127.0.0.1\r\n"
                                                    "bob was kicked.\r\n"));
        QCOMPARE(server.form->socketCount, 3);
        QCOMPARE(server.form->Winsock1(2).Tag, QStringLiteral("__FREE__"));
    }

    void kickTheTopSlotRemovesIt() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        QVERIFY(alice && bob);
        server.type(QStringLiteral("kickName=bob"));
        QVERIFY(bob->waitForClose());
        QVERIFY(waitUntil([&] { return server.form->socketCount == 1; }));
        QVERIFY(!server.form->Winsock1.isLoaded(2));
    }

    void kickUnknownAndCaseSensitive() {
        ServerFixture server;
        auto bob = server.join(QStringLiteral("Bob"));
        QVERIFY(bob);
        const auto mark = server.mark();
        server.type(QStringLiteral("kickName=bob"));
        QCOMPARE(server.since(mark),
                 QStringLiteral("SERVER: kickName=bob\r\nCannot kick bob. Name unknown. Press ?-button.\r\n"));
        QTest::qWait(20);
        QCOMPARE(bob->received(), QByteArray());
        QVERIFY(!bob->isClosed());
    }

    void kickWithAnEmptyName() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto anon = server.connectUnnamed();
        QVERIFY(alice && anon);
        const auto mark = server.mark();
        server.type(QStringLiteral("kickName="));
        QVERIFY(anon->expect(QByteArray(">>> You are kicked by SERVER <<<")));
        QVERIFY(anon->waitForClose());
        QVERIFY(alice->expect(QByteArray(">>>  was kicked by SERVER <<<")));
        QVERIFY(server.waitForOutput(mark, QStringLiteral(" was kicked.\r\n")));
        QTest::qWait(20);
        QCOMPARE(alice->received(), QByteArray()); // no departure notice for a nameless client

        const auto mark2 = server.mark();
        server.type(QStringLiteral("kickName="));
        QCOMPARE(server.since(mark2), QStringLiteral("SERVER: kickName=\r\nCannot kick . Name unknown. Press ?-button.\r\n"));
    }

    void titleBarFollowsTheSockets() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        Form1 form;
        QTest::qWait(250);
        QCOMPARE(form.windowTitle(), QStringLiteral("Parleon"));
        const quint16 port = testing::freeTcpPort();
        QVERIFY(testing::startServer(form, answerer, port));
        const QString listening =
            QStringLiteral("Parleon SERVER - Listening [") + QHostInfo::localHostName() + QStringLiteral("]");
        QVERIFY(waitUntil([&] { return form.windowTitle() == listening; }));
        auto alice = testing::joinAs(form, port, QStringLiteral("alice"));
        QVERIFY(alice);
        QVERIFY(waitUntil([&] { return form.windowTitle() == QStringLiteral("Parleon SERVER - Connected [localhost]"); }));
        alice->socket().disconnectFromHost();
        QVERIFY(waitUntil([&] { return form.socketCount == 0; }));
        QTest::qWait(250);
        QVERIFY(answerer.boxes().empty());
    }

    void stateTexts_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        const char* texts[] = {"Connection closed", "Connection open", "Listening", "Connection pending",
                               "Resolving host", "Host resolved", "Connecting", "Connected", "Closing", "Error"};
        for (int i = 0; i < 10; ++i) QTest::addRow("%d", i) << i << QString::fromLatin1(texts[i]);
        QTest::newRow("-1") << -1 << "ERROR: Socket-state unknown";
        QTest::newRow("10") << 10 << "ERROR: Socket-state unknown";
    }
    void stateTexts() {
        QFETCH(int, state);
        QFETCH(QString, text);
        QCOMPARE(Form1::socketStateText(state), text);
    }

    void closingTheServerEndsEveryConnectionAndSaves() {
        ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        QVERIFY(alice && bob);
        QVERIFY(server.form->close());
        QVERIFY(alice->waitForClose());
        QVERIFY(bob->waitForClose());
        QCOMPARE(server.form->socketCount, 0);
        QCOMPARE(server.form->Winsock1.loadedCount(), 1);
        QCOMPARE(server.form->Winsock1(0).State(), SocketState::Closed);
        QVERIFY(server.folder.configExists());
    }

    void closeIsRefusedWhileConnecting() {
        testing::ProgramFolder folder;
        Form1 form;
        form.show();
        form.connecting = true;
        const auto mark = form.outputText().size();
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        QVERIFY(form.exitPending);
        const QString hyphens(42, QLatin1Char('-'));
        QCOMPARE(testing::outputSince(form, mark), QStringLiteral("\r\n") + hyphens +
                                                       QStringLiteral("\r\nCannot exit while connecting. Please wait.\r\n") +
                                                       hyphens + QStringLiteral("\r\n"));
        QVERIFY(!folder.configExists());
        form.connecting = false;
        QVERIFY(form.close());
        QVERIFY(folder.configExists());
    }
};

QTEST_MAIN(ServerConsoleTest)
#include "tst_server_console.moc"
