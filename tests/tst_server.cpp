// Starting, stopping and restarting the server: the settings dialog, its refusals and the start's
// failures.
#include "harness.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

using namespace testing;

namespace {
const QString Question = QStringLiteral(
    "Server is already running.\r\nInfo: %1 Clients are connected right now.\r\n\r\nClose running Server and start a new one?");
} // namespace

class ServerTest : public ModalTest {
    Q_OBJECT
private slots:

    void startStopAndRestart() {
        Window w;
        w.form.show();
        QString shown;
        modals().dialog([&](QDialog& d) {
            const auto* maximum = d.findChild<QLineEdit*>(QStringLiteral("Text2"));
            shown = d.findChild<QLineEdit*>(QStringLiteral("Text1"))->text() + '/' + maximum->selectedText() + '/' +
                    QString::number(d.focusWidget() == maximum);
            QTest::keyClick(&d, Qt::Key_Return);
        });
        w.form.parleonPort = freeTcpPort();
        w.fresh();
        w.form.Command3_Click();
        QCOMPARE(shown, QStringLiteral("%1/10/1").arg(w.form.parleonPort));
        QCOMPARE(w.fresh(), QStringLiteral("Server start OK on port %1.\r\n").arg(w.form.parleonPort));
        QVERIFY(w.form.isServer && w.form.focusWidget() == w.form.Text3);
        QCOMPARE(w.form.Text3->selectedText(), Form1::InputPrompt);
        QVERIFY(waitUntil([&] { return w.form.windowTitle().startsWith(QStringLiteral("Parleon SERVER - Listening [")); }));

        // While the question is open, clients are still served; No changes nothing.
        Peer alice(w.form.parleonPort), bob(w.form.parleonPort);
        QVERIFY(waitUntil([&] { return w.form.socketCount == 2; }));
        modals().box([&](QDialog& box) {
            Peer late(w.form.parleonPort);
            late.send("nickName=late");
            QVERIFY(late.expect(">>> Wellcome to Parleon V.0.2 <<<\r\n"));
            late.shutdownWrite();
            QVERIFY(waitUntil([&] { return w.form.socketCount == 2; }));
            Modals::click(box, "No");
        });
        w.form.Command3_Click();
        QCOMPARE(modals().boxes.back().text, Question.arg(2));
        QCOMPARE(modals().boxes.back().buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
        QCOMPARE(modals().boxes.back().icon, int(QMessageBox::NoIcon));
        QCOMPARE(w.form.Winsock1(0).State(), SocketState::Listening);

        // Yes stops the server and closes every client; Esc in the dialog leaves it stopped.
        w.fresh();
        modals().button(QStringLiteral("Yes"));
        modals().dialog([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
        w.form.Command3_Click();
        QCOMPARE(alice.waitEnd(), Peer::End::Fin);
        QCOMPARE(bob.waitEnd(), Peer::End::Fin);
        QVERIFY(w.fresh().endsWith(QStringLiteral("Server stop OK.\r\n")));
        QVERIFY(w.form.isServer && w.form.socketCount == 0);
        QCOMPARE(w.form.Winsock1(0).State(), SocketState::Closed);
        // Stopped: the next click goes straight to the dialog; its close box cancels too.
        modals().dialog([](QDialog& d) { d.close(); });
        w.form.Command3_Click();
        QVERIFY(!w.form.settingsDialog.settingsValid && w.fresh().isEmpty());
    }

    void dialogRefusals_data() {
        QTest::addColumn<QString>("maximum");
        QTest::addColumn<QString>("box");
        QTest::newRow("letters") << "ten" << "Cannot apply settings.\r\nTry something like that: Port=9843 and Max=10";
        QTest::newRow("negative") << "-1" << "Error while starting server at port 0\r\nError Nr.: 9\r\nLast Dll Error: 0\r\n\r\n"
                                             "Subscript out of range\r\n\r\nHelp:\r\nError unknown.";
    }
    void dialogRefusals() {
        QFETCH(QString, maximum);
        QFETCH(QString, box);
        Window w;
        modals().dialog([&](QDialog& d) {
            modals().setText("Text2", maximum);
            modals().button(QStringLiteral("OK"));
            Modals::click(d, "OK");
            if (!d.isVisible()) return;
            QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), maximum);
            d.reject();
        });
        w.form.Command3_Click();
        QCOMPARE(modals().boxes.size(), size_t(1));
        QCOMPARE(modals().boxes[0].text, box);
        QCOMPARE(modals().boxes[0].icon, int(QMessageBox::Warning));
        QVERIFY(!w.form.isServer);
        QCOMPARE(w.form.Winsock1(0).State(), SocketState::Closed);
    }

    void portInUseBeforeAndAfterAStart() {
        QTcpServer other;
        QVERIFY(other.listen(QHostAddress::AnyIPv4, 0));
        Window w;
        modals().dialog([](QDialog& d) { Modals::click(d, "OK"); });
        modals().button(QStringLiteral("OK"));
        w.form.parleonPort = other.serverPort();
        w.form.Command3_Click();
        const QString failure = QStringLiteral("Error while starting server at port %1\r\nError Nr.: 10048\r\n").arg(other.serverPort());
        QVERIFY(modals().boxes.back().text.startsWith(failure));
        QVERIFY(modals().boxes.back().text.contains(QStringLiteral("Help:\r\nAddress already in use. ")));
        QVERIFY(!w.form.isServer && w.fresh().endsWith(QStringLiteral("Address in use\r\n")));
        // After a good start the failure keeps the role: nothing more is closed.
        QVERIFY(startServer(w.form, 0));
        modals().button(QStringLiteral("Yes"));
        modals().dialog([](QDialog& d) { Modals::click(d, "OK"); });
        modals().button(QStringLiteral("OK"));
        w.form.parleonPort = other.serverPort();
        w.form.Command3_Click();
        QVERIFY(modals().boxes.back().text.startsWith(failure));
        QVERIFY(w.form.isServer);
    }

    void aClientArrivingDuringARestartIsNotLeftBehind() {
        Window w;
        QVERIFY(startServer(w.form, 0));
        const quint16 port = quint16(w.form.Winsock1(0).LocalPort());
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < 3; ++i) peers.push_back(std::make_unique<Peer>(port));
        QVERIFY(waitUntil([&] { return w.form.socketCount == 3; }));
        // A client connects the moment Yes is clicked, before the server can take it.
        modals().box([&](QDialog& box) {
            peers.push_back(std::make_unique<Peer>(port));
            Modals::click(box, "Yes");
        });
        modals().dialog([&](QDialog& d) { Modals::click(d, "OK"); });
        w.form.parleonPort = port;
        w.form.Command3_Click();
        QCOMPARE(w.form.socketCount, 0);
        QCOMPARE(w.form.Winsock1.loadedCount(), 1);
        Peer after(port);
        after.send("nickName=after");
        QVERIFY(after.expect(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. after\r\n"));
        QVERIFY(modals().boxes.size() == 1);
    }
};

QTEST_MAIN(ServerTest)
#include "tst_server.moc"
