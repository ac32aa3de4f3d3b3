// The main window and its dialogs as a user meets them: where everything is, what keys do, the
// output box, the title bar and the help text; starting, stopping and restarting the server, its
// refusals and failures; what start-up makes of each settings file, and the error report.
#include "diagnostics/error_codes.h"
#include "diagnostics/host_name.h"
#include "harness.h"
#include "main_window/output_box.h"
#include "main_window/program_icon.h"
#include "platform/err_object.h"
#include "platform/number_conversion.h"

#include <QAccessible>
#include <QCryptographicHash>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

using namespace testing;

namespace {
// A form's controls: name, caption and place in twips (15 to a pixel), then its title and the
// order in which Tab visits the controls from the first one named.
QString form(QWidget& f, const char* first, int count) {
    QStringList found;
    for (QWidget* w : f.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
        QString text;
        if (auto* b = qobject_cast<QPushButton*>(w)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
        if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text() + (e->isEnabled() ? "" : " (greyed)");
        // A label may grow to the right where the font runs wider than the design's.
        const QRect r = w->geometry();
        const QString width = qobject_cast<QLabel*>(w) ? QString() : QString::number(r.width() * 15);
        found << QStringLiteral("%1 \"%2\" %3,%4 %5x%6").arg(w->objectName(), text).arg(r.x() * 15).arg(r.y() * 15)
                     .arg(width).arg(r.height() * 15);
    }
    found.sort();
    found << f.windowTitle() << QStringLiteral("tab:");
    for (QWidget* w = f.findChild<QWidget*>(QLatin1String(first)); count; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus && w->isEnabled()) found.last() += ' ' + w->objectName(), --count;
    return found.join(QStringLiteral(" | "));
}
// What a screen reader says of each control that takes the focus, and of the pictures.
QString accessible(QWidget& f) {
    QStringList said;
    for (QWidget* w : f.findChildren<QWidget*>())
        if (w->focusPolicy() != Qt::NoFocus || w->objectName() == "Picture1") {
            const QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            said << a->text(QAccessible::Name) + (a->text(QAccessible::Description).isEmpty() ? "" : " / " + a->text(QAccessible::Description));
        }
    return said.join(QStringLiteral(" | "));
}
const QString Question = QStringLiteral(
    "Server is already running.\r\nInfo: %1 Clients are connected right now.\r\n\r\nClose running Server and start a new one?");
QString state(const Form1& f) {
    const frmLogin& d = f.connectDialog;
    return QStringLiteral("%1 %2 %3.%4.%5.%6 [%7] %8 /%9")
        .arg(f.parleonPort).arg(f.maxClients).arg(d.lastIP_Byte1).arg(d.lastIP_Byte2).arg(d.lastIP_Byte3).arg(d.lastIP_Byte4)
        .arg(f.nickName).arg(f.connectTimeout).arg(f.lastState.upperBound());
}
const QString Defaults = QStringLiteral("9843 10 127.0.0.1 [%1] 20 /10");
} // namespace

class WindowTest : public ModalTest {
    Q_OBJECT
private slots:
    void formsAsDesigned() {
        Window w;
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        QCOMPARE(form(w.form, "Command3", 5),
                 "Command1 \"?\" 1920,120 255x375 | Command2 \"Connect to Server\" 2280,120 1695x375 | Command3 \"Start Server\" "
                 "120,120 1695x375 | Text3 \"Enter message-text here and press return.\" 120,600 5790x285 | Text4 \"\" 120,960 "
                 "5790x2445 | Parleon | tab: Command3 Command2 Text3 Text4 Command1");
        // The program's icon as drawn for the windows and the desktop; changed only on purpose.
        const QImage icon = programIconPixmap(32).toImage();
        QCOMPARE(QCryptographicHash::hash(QByteArrayView(icon.constBits(), icon.sizeInBytes()), QCryptographicHash::Sha1).toHex(),
                 "aab1c8eb886b5c3770753905cdd7e9a21702f8b9");
        for (QWidget* box : {static_cast<QWidget*>(w.form.Text3), static_cast<QWidget*>(w.form.Text4)})
            QVERIFY(box->palette().color(QPalette::Base) == Qt::black && box->palette().color(QPalette::Text) == Qt::green);
        QCOMPARE(w.form.Text4->verticalScrollBar()->isVisible(), true); // even with nothing to scroll
        QCOMPARE(w.form.windowIcon().pixmap(32).toImage(), programIconPixmap(32).toImage());
        QCOMPARE(accessible(w.form), "Start Server / Run as chat server on this computer | Help / Show help and, on a server, "
                                     "its figures | Connect to Server / Run as chat client of a server | Message / Type a line and "
                                     "press Return to send it; Up and Down recall sent lines | Chat output / Everything received "
                                     "and all notices");
        QString login, settings;
        modals().dialog([&](QDialog& d) {
            login = form(d, "TextIP0", 7) + " || " + accessible(d);
            d.reject();
        });
        w.form.connectDialog.Show(w.form);
        QCOMPARE(login, "Label1_0 \".\" 2160,240 x255 | Label1_1 \".\" 2880,240 x255 | Label1_2 \".\" 3600,240 x255 | "
                        "Label2 \"Your Nick Name\" 120,840 x255 | Label3 \"Server Port\" 120,480 x255 | Picture1 \"\" 480,1200 "
                        "x615 | Text1 \"\" 1560,840 2655x285 | Text2 \"9843 (greyed)\" 1560,480 1215x285 | TextIP0 \"127\" "
                        "1560,120 495x285 | TextIP1 \"0\" 2280,120 495x285 | TextIP2 \"0\" 3000,120 495x285 | TextIP3 \"1\" "
                        "3720,120 495x285 | cmdCancel \"Cancel\" 2880,1320 1140x390 | cmdOK \"OK\" 1560,1320 1140x390 | lblLabels "
                        "\"Server IP Address\" 105,150 x270 | Parleon Connect to Server | tab: TextIP0 TextIP1 TextIP2 TextIP3 "
                        "Text1 cmdOK cmdCancel || Server IP address, first number / A number from 0 to 255 | Server IP address, "
                        "second number / A number from 0 to 255 | Server IP address, third number / A number from 0 to 255 | "
                        "Server IP address, fourth number / A number from 0 to 255 | Server port | Your nick name / At least 3 "
                        "characters | Suggest a nick name | OK | Cancel");
        modals().dialog([&](QDialog& d) {
            settings = form(d, "OKButton", 3) + " || " + accessible(d);
            d.reject();
        });
        w.form.Command3_Click();
        QCOMPARE(settings, "CancelButton \"Cancel\" 2520,1200 1215x375 | Label1 \"Run Server at Port:\" 360,240 x255 | Label2 "
                           "\"Allow max. Clients on Server:\" 360,720 x255 | OKButton \"OK\" 1080,1200 1215x375 | Picture1 \"\" "
                           "240,1080 x495 | Text1 \"9843 (greyed)\" 2760,240 975x285 | Text2 \"10\" 2760,720 975x285 | Parleon "
                           "Server Settings | tab: OKButton CancelButton Text2 || Server port | Maximum number of clients | "
                           "Parleon | OK | Cancel");
    }

    void resizeRule() {
        // "width height minimized" of the window's inner area = the boxes' width, the output box's height
        for (const QString row : {"6015 3555 0=5795 2445", "221 3555 0=1 2445", "220 3555 0=5000 2445", "6015 1111 0=5795 1",
                                  "6015 1110 0=5795 2000", "900 900 1=5000 2000"}) {
            Window w;
            w.form.layoutTextBoxes(5220, 3110, false);
            const QStringList a = row.section('=', 0, 0).split(' ');
            w.form.layoutTextBoxes(a[0].toFloat(), a[1].toFloat(), a[2] == "1");
            QCOMPARE(w.form.text3WidthTwips(), w.form.text4WidthTwips());
            QCOMPARE(row.section('=', 0, 0) + '=' + QString::number(w.form.text4WidthTwips()) + ' ' +
                         QString::number(w.form.text4HeightTwips()), row);
        }
    }

    void returnSendsFromAnyControlAndUpDownRecall() {
        Window w;
        QVERIFY(startServer(w.form, 0));
        Peer alice(quint16(w.form.Winsock1(0).LocalPort()));
        QVERIFY(waitUntil([&] { return w.form.socketCount == 1; }));
        w.form.show();
        const std::tuple<const char*, Qt::Key, Qt::KeyboardModifiers, bool> keys[] = { // focus, key, modifiers, sent?
            {"Text3", Qt::Key_Return, Qt::NoModifier, true}, {"Command1", Qt::Key_Enter, Qt::NoModifier, true},
            {"Text4", Qt::Key_Return, Qt::ShiftModifier, true}, {"Text3", Qt::Key_Return, Qt::ControlModifier, true},
            {"Text3", Qt::Key_Escape, Qt::NoModifier, false}};
        for (auto [focus, key, modifiers, sent] : keys) {
            w.form.Text3->setText(QStringLiteral("hello"));
            QWidget* target = w.form.findChild<QWidget*>(focus);
            target->setFocus();
            QTest::keyClick(target, key, modifiers);
            QVERIFY2(alice.expect(sent ? "SERVER: hello" : "", 300) && alice.take(30).isEmpty(), focus);
            QCOMPARE(w.form.Text3->text(), sent ? QString() : QStringLiteral("hello"));
        }
        // A box closed by the Return press leaves the release to the window: nothing is sent.
        w.form.Text3->setText(QStringLiteral("hello"));
        modals().box([](QDialog& box) { QTest::keyPress(&box, Qt::Key_Return); });
        w.form.Command2_Click();
        QTest::keyRelease(w.form.Text3, Qt::Key_Return);
        QVERIFY(alice.take(100).isEmpty() && modals().boxes.size() == 1);
        for (const char* line : {"two", "three"}) w.type(QString::fromLatin1(line));
        w.form.Text3->setText(QStringLiteral("draft"));
        QStringList shown;
        for (Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down})
            QTest::keyClick(w.form.Text3, k), shown << w.form.Text3->text();
        QCOMPARE(shown, (QStringList{"three", "two", "hello", "hello", "two", "three", "draft", "draft"}));
    }

    void outputBoxStartsAfreshPast25000() {
        Window w;
        w.form.Text4->setText(QString());
        w.form.printText(QString(24998, QLatin1Char('x')));
        w.form.printText(QStringLiteral("ab"));
        w.form.printLine(QString());
        QCOMPARE(w.form.outputText().size(), 25002);
        w.form.printLine(QStringLiteral("next"));
        QCOMPARE(w.form.outputText(), QStringLiteral(">>> Reset output-text. Too much text. <<<\r\nnext\r\n"));
        // A very long line shows its start only; the box holds it whole, and what the user types joins it.
        w.form.printLine(QString(100000, QLatin1Char('y')));
        w.form.show();
        w.form.Text4->showNow();
        const QStringList shown = w.form.Text4->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(shown.value(2), QString(OutputBox::ShownLineLimit, QLatin1Char('y')) + QChar(0x2026));
        QCOMPARE(w.form.outputText().size(), 43 + 6 + 100002);
        QTest::keyClicks(w.form.Text4, QStringLiteral("z"));
        QVERIFY(w.form.outputText().endsWith(QStringLiteral("\r\nz")));
    }

    void titleBarShowsTheChangeOfTheHighestSocket() {
        Window w;
        w.form.Timer1->stop();
        QVERIFY(startServer(w.form, 0));
        // The listening root and a new client change before the same tick: the client wins.
        Peer one(quint16(w.form.Winsock1(0).LocalPort()));
        QVERIFY(waitUntil([&] { return w.form.socketCount == 1; }));
        w.form.Timer1_Timer();
        QCOMPARE(w.form.windowTitle(), QStringLiteral("Parleon SERVER - Connected [localhost]"));
        w.form.setWindowTitle(QStringLiteral("unchanged"));
        w.form.Timer1_Timer();
        QCOMPARE(w.form.windowTitle(), QStringLiteral("unchanged"));
        QCOMPARE(Form1::socketStateText(10) + Form1::socketStateText(-1), QString(2, '.').replace('.', "ERROR: Socket-state unknown"));
    }

    void helpBeforeAnyRole() {
        Window w;
        w.fresh();
        w.form.Command1_Click();
        const QString rule(48, QLatin1Char('-'));
        QCOMPARE(w.fresh(), (QStringList{"", rule, "Parleon - Version 0.3.2", rule, "Multi client chat via TCP/IP", rule,
                                         "Quick test:", "1. Run Parleon.exe and start a Server", "2. Run Parleon.exe and start a "
                                         "Client", "3. Enter 127.0.0.1 in the Popup-Dialog", "4. Chat with yourself", rule,
                                         "List of Commands:", "1. nickName=nnn /where nnn is your new nick name",
                                         "2. listNames    /list all online clients", rule, ""}).join(QStringLiteral("\r\n")));
    }

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

    void startFailures() {
        const QString inUse = QStringLiteral("Error while starting server at port {port}\r\nError Nr.: 10048\r\nLast Dll Error: 0"
                                             "\r\n\r\nAddress in use\r\n\r\nHelp:\r\nAddress already in use. ");
        const std::tuple<QString, bool, bool, QString> rows[] = { // maximum, port in use, after a start (the role stays), box
            {"ten", false, false, "Cannot apply settings.\r\nTry something like that: Port=9843 and Max=10"},
            {"-1", false, false, "Error while starting server at port 0\r\nError Nr.: 9\r\nLast Dll Error: 0\r\n\r\n"
                                 "Subscript out of range\r\n\r\nHelp:\r\nError unknown."},
            {"10", true, false, inUse},
            {"10", true, true, inUse}};
        for (auto [maximum, portInUse, afterAStart, box] : rows) {
            modals().reset();
            QTcpServer other;
            QVERIFY(other.listen(QHostAddress::AnyIPv4, 0));
            Window w;
            QVERIFY(!afterAStart || startServer(w.form, 0));
            if (afterAStart) modals().button(QStringLiteral("Yes"));
            modals().dialog([&](QDialog& d) {
                Modals::setText("Text2", maximum);
                modals().button(QStringLiteral("OK"));
                Modals::click(d, "OK");
                if (!d.isVisible()) return;
                QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), maximum);
                d.reject();
            });
            if (portInUse) w.form.parleonPort = other.serverPort();
            w.fresh();
            w.form.Command3_Click();
            QCOMPARE(modals().boxes.size(), size_t(afterAStart ? 2 : 1));
            QVERIFY2(modals().boxes.back().text.startsWith(box.replace("{port}", QString::number(other.serverPort()))),
                     qPrintable(modals().boxes.back().text));
            QCOMPARE(modals().boxes.back().icon, int(QMessageBox::Warning));
            QCOMPARE(w.form.isServer, afterAStart);
            QCOMPARE(w.form.Winsock1(0).State(), SocketState::Closed);
            QCOMPARE(w.fresh().endsWith(QStringLiteral("Address in use\r\n")), portInUse);
        }
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

    void startUpReadsTheSettingsFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QByteArray>("written");
        const QString safe = QStringLiteral("File 'ParleonConfig.dat' not found.\r\nLoading safe settings.\r\n");
        QTest::newRow("no file") << QByteArray() << safe + Defaults.arg(QString()) << QByteArray("9843\r\n10\r\n127\r\n0\r\n0\r\n1\r\n\"\"\r\n20\r\n");
        QTest::newRow("eight lines; more are dropped") << QByteArray("4000\r\n3\r\n10\r\n0\r\n0\r\n7\r\n\"alice, the 1st\"\r\n5\r\nmore\r\n")
                                                       << "4000 3 10.0.0.7 [alice, the 1st] 5 /3" << QByteArray("4000\r\n3\r\n10\r\n0\r\n0\r\n7\r\n\"alice, the 1st\"\r\n5\r\n");
        QTest::newRow("CR alone ends a line") << QByteArray("1\r2\r3\r4\r5\r6\r\"n\"\r7\r") << "1 2 3.4.5.6 [n] 7 /2" << QByteArray();
        QTest::newRow("commas, blanks, LF, no last line end") << QByteArray("  1, 2,\t3\n4\n5\n6\n \"n m\"\n7") << "1 2 3.4.5.6 [n m] 7 /2" << QByteArray();
        QTest::newRow("text after a closing quote") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"ab\"c\"\r\n8\r\n") << "1 2 3.4.5.6 [ab] 8 /2" << QByteArray();
        QTest::newRow("negatives are taken as they are") << QByteArray("-5\r\n0\r\n0\r\n0\r\n0\r\n0\r\n\"\"\r\n-3\r\n") << "-5 0 0.0.0.0 [] -3 /0" << QByteArray();
        QTest::newRow("seven values: the nick read stays") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"bob\"\r\n") << safe + Defaults.arg("bob") << QByteArray();
        QTest::newRow("byte 256") << QByteArray("1\r\n2\r\n256\r\n0\r\n0\r\n1\r\n\"x\"\r\n20\r\n") << safe + Defaults.arg("") << QByteArray();
        QTest::newRow("byte -1") << QByteArray("1\r\n2\r\n0\r\n0\r\n-1\r\n1\r\n\"x\"\r\n20\r\n") << safe + Defaults.arg("") << QByteArray();
        QTest::newRow("maximum -1 cannot size the table") << QByteArray("1\r\n-1\r\n1\r\n1\r\n1\r\n1\r\n\"carol\"\r\n20\r\n") << safe + Defaults.arg("carol") << QByteArray();
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
        ProgramFolder folder;
        if (!file.isEmpty()) folder.write(file);
        {
            Form1 form;
            QCOMPARE(form.outputText() + state(form), loaded);
            QVERIFY(form.close());
        }
        if (!written.isEmpty()) QCOMPARE(folder.read(), written);
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

    void theReport() {
        // A client's connection closes; a server's sockets stay as they are; a number may have no help.
        for (const auto& [server, number, help] : {std::tuple(false, 10061, "Connection refused. "),
                                                   std::tuple(true, 10054, "Connection reset by peer. "),
                                                   std::tuple(true, 10059, "Error unknown.")}) {
            Window w;
            QTcpServer listener;
            QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
            if (server) QVERIFY(startServer(w.form, 0));
            else w.form.Winsock1(0).Connect(QStringLiteral("127.0.0.1"), listener.serverPort());
            QVERIFY(waitUntil([&] { return w.form.Winsock1(0).State() > SocketState::Open; }));
            w.fresh();
            Err().set(number, QStringLiteral("what happened"));
            Err().lastDllError = 77;
            // The description printed is read after the box has closed.
            modals().box([](QDialog& box) { Err().description = QStringLiteral("read again"), box.accept(); });
            w.form.errorHandler(QStringLiteral("Error while doing it"));
            QCOMPARE(modals().boxes.back().text, QStringLiteral("Error while doing it\r\nError Nr.: %1\r\nLast Dll Error: 77\r\n\r\n"
                                                                "what happened\r\n\r\nHelp:\r\n").arg(number) +
                                                     getErrorText(number));
            QVERIFY(getErrorText(number).startsWith(QLatin1String(help)));
            QCOMPARE(modals().boxes.back().icon, int(QMessageBox::Warning));
            QCOMPARE(w.fresh(), QStringLiteral("read again\r\n"));
            QCOMPARE(w.form.Winsock1(0).State(), server ? SocketState::Listening : SocketState::Closed);
            QVERIFY(Err().number == 0 && Err().description.isEmpty() && Err().lastDllError == 0);
        }
    }

    void aFailedLookupIsReportedAndNamedUnknown() {
        const auto restore = qScopeGuard([] { setReverseLookupForTests(nullptr); });
        Window w;
        QCOMPARE(w.form.getHostName(QStringLiteral("127.0.0.1")), QStringLiteral("localhost"));
        quint32 asked = 0;
        setReverseLookupForTests([&](quint32 address) {
            asked = address;
            return ReverseLookupResult{nullptr, 11004};
        });
        w.fresh();
        modals().button(QStringLiteral("OK"));
        QCOMPARE(w.form.getHostName(QStringLiteral("not an address")), QStringLiteral("(unknown)"));
        QCOMPARE(asked, 0xffffffffu);
        QVERIFY(modals().boxes.back().text.startsWith(QStringLiteral("Error while getting Host-Name\r\nError Nr.: 11004\r\n"
                                                                     "Last Dll Error: 11004\r\n\r\nCannot resolve IP-Address to Host-Name.\r\n")));
        QCOMPARE(w.fresh(), QStringLiteral("Cannot resolve IP-Address to Host-Name.\r\n"));
        QCOMPARE(Err().lastDllError, 0);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
