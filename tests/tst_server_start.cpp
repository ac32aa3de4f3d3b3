// Starting, stopping and restarting the server through "Start Server" and its settings dialog.
#include "server_fixture.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTcpServer>
#include <QTest>

using testing::ModalAnswerer;
using testing::ProgramFolder;
using testing::waitUntil;

class ServerStartTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithTheDialogsValues() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        form.show();
        const quint16 port = testing::freeTcpPort();
        form.parleonPort = port;
        QString portShown, maximumShown, selected;
        bool maximumFocused = false;
        answerer.answerDialog([&](QDialog& dialog) {
            auto* portBox = dialog.findChild<QLineEdit*>("Text1");
            auto* maximumBox = dialog.findChild<QLineEdit*>("Text2");
            portShown = portBox->text();
            maximumShown = maximumBox->text();
            selected = maximumBox->selectedText();
            maximumFocused = dialog.focusWidget() == maximumBox;
            QTest::keyClick(&dialog, Qt::Key_Return); // Return presses OK
        });
        const auto mark = form.outputText().size();
        form.Command3_Click();
        QCOMPARE(portShown, QString::number(port));
        QCOMPARE(maximumShown, QStringLiteral("10"));
        QCOMPARE(selected, QStringLiteral("10"));
        QVERIFY(maximumFocused);
        QVERIFY(form.settingsDialog.settingsValid);
        QCOMPARE(testing::outputSince(form, mark), QStringLiteral("Server start OK on port %1.\r\n").arg(port));
        QCOMPARE(form.Winsock1(0).State(), SocketState::Listening);
        QVERIFY(form.isServer);
        QVERIFY(form.onlineSince.isValid());
        QCOMPARE(form.focusWidget(), form.Text3);
        QCOMPARE(form.Text3->selectedText(), form.Text3->text());
        QVERIFY(answerer.unexpected().isEmpty());
    }

    void lettersAsMaximumAreRefusedAndCancelLeavesAllAsItWas() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        answerer.answerDialog([&](QDialog& dialog) {
            testing::setBoxText(dialog, "Text2", QStringLiteral("ten"));
            answerer.answerBox(QStringLiteral("OK"));
            testing::clickButton(dialog, "OKButton");
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.findChild<QLineEdit*>("Text2")->text(), QStringLiteral("ten"));
            testing::clickButton(dialog, "CancelButton");
        });
        const auto mark = form.outputText().size();
        form.Command3_Click();
        QCOMPARE(answerer.boxes().size(), size_t(1));
        QCOMPARE(answerer.boxes()[0].text,
                 QStringLiteral("Cannot apply settings.\r\nTry something like that: Port=9843 and Max=10"));
        QCOMPARE(answerer.boxes()[0].icon, int(QMessageBox::Warning));
        QVERIFY(!form.settingsDialog.settingsValid);
        QCOMPARE(form.maxClients, 10);
        QVERIFY(!form.isServer);
        QCOMPARE(form.Winsock1(0).State(), SocketState::Closed);
        QCOMPARE(testing::outputSince(form, mark), QString());
    }

    void negativeMaximumEndsInTheStartError() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        answerer.answerDialog([](QDialog& dialog) {
            testing::setBoxText(dialog, "Text2", QStringLiteral("-1"));
            testing::clickButton(dialog, "OKButton");
        });
        answerer.answerBox(QStringLiteral("OK"));
        form.parleonPort = testing::freeTcpPort();
        form.Command3_Click();
        QCOMPARE(form.maxClients, -1);
        QVERIFY(!form.isServer);
        QCOMPARE(answerer.boxes().size(), size_t(1));
        QVERIFY(answerer.boxes()[0].text.startsWith(QStringLiteral("Error while starting server at port 0\r\nError Nr.: 9\r\n")));
        QVERIFY(form.outputText().endsWith(QStringLiteral("Subscript out of range\r\n")));
    }

    void portInUseEndsInTheStartError() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::AnyIPv4, 0));
        Form1 form;
        answerer.answerDialog([](QDialog& dialog) { testing::clickButton(dialog, "OKButton"); });
        answerer.answerBox(QStringLiteral("OK"));
        form.parleonPort = other.serverPort();
        form.Command3_Click();
        QVERIFY(!form.isServer);
        QVERIFY(answerer.boxes()[0].text.startsWith(
            QStringLiteral("Error while starting server at port %1\r\nError Nr.: 10048\r\n").arg(other.serverPort())));
        QVERIFY(answerer.boxes()[0].text.contains(QStringLiteral("Help:\r\nAddress already in use.")));
        QCOMPARE(form.Winsock1(0).State(), SocketState::Closed);
        QVERIFY(!form.outputText().contains(QStringLiteral("Server start OK")));
    }

    void restartWhileClientsAreConnected() {
        testing::ServerFixture server;
        auto alice = server.join(QStringLiteral("alice"));
        auto bob = server.join(QStringLiteral("bob"));
        QVERIFY(alice && bob);
        const QString question = QStringLiteral("Server is already running.\r\nInfo: 2 Clients are connected right now."
                                                "\r\n\r\nClose running Server and start a new one?");
        // No changes nothing.
        server.answerer.answerBox(QStringLiteral("No"));
        const auto mark = server.mark();
        server.form->Command3_Click();
        QCOMPARE(server.answerer.boxes().back().text, question);
        QCOMPARE(server.answerer.boxes().back().buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
        QCOMPARE(server.answerer.boxes().back().icon, int(QMessageBox::NoIcon));
        QCOMPARE(server.since(mark), QString());
        QCOMPARE(server.form->socketCount, 2);

        // Yes stops the server; the dialog follows, and Cancel leaves no server running.
        server.answerer.answerBox(QStringLiteral("Yes"));
        server.answerer.answerDialog([](QDialog& dialog) { testing::clickButton(dialog, "CancelButton"); });
        server.form->Command3_Click();
        QVERIFY(alice->waitForClose());
        QVERIFY(bob->waitForClose());
        QCOMPARE(server.since(mark), QStringLiteral("Server stop OK.\r\n"));
        QCOMPARE(server.form->socketCount, 0);
        QCOMPARE(server.form->Winsock1(0).State(), SocketState::Closed);
        QVERIFY(server.form->isServer);

        // A stopped server opens the dialog at once.
        QVERIFY(testing::startServer(*server.form, server.answerer, server.port));
        QVERIFY(server.answerer.allAnswered());
        QVERIFY(server.answerer.unexpected().isEmpty());
    }

    void refusedWhileConnectedAsClient() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        QTcpServer listener;
        listener.listen(QHostAddress::LocalHost, 0);
        Form1 form;
        form.Winsock1(0).Connect(QStringLiteral("127.0.0.1"), listener.serverPort());
        answerer.answerBox(QStringLiteral("OK"));
        form.Command3_Click();
        QCOMPARE(answerer.boxes().size(), size_t(1));
        QCOMPARE(answerer.boxes()[0].text, QStringLiteral("Cannot start Server. You are connected as Client."));
        QCOMPARE(answerer.boxes()[0].icon, int(QMessageBox::NoIcon));
        QVERIFY(answerer.unexpected().isEmpty());
        QVERIFY(!form.isServer);
    }
};

QTEST_MAIN(ServerStartTest)
#include "tst_server_start.moc"
