// The main window and its dialogs as a user meets them: where everything is, what keys do, the
// output box, the title bar, the server settings dialog and the connect dialog's rules and memory.
#include "main_window/output_box.h"
#include "platform/yield.h"
#include "window_harness.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>

using namespace testing;

namespace {
// A form's controls with their captions, its title and the order in which Tab visits the
// controls from the first one named.
QString form(QWidget& f, const char* first, int count) {
    QStringList found;
    for (QWidget* w : f.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))) continue;
        QString text;
        if (auto* b = qobject_cast<QPushButton*>(w)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
        if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text() + (e->isEnabled() ? "" : " (greyed)");
        found << QStringLiteral("%1 \"%2\"").arg(w->objectName(), text);
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
// Counts the times a widget is drawn (while `when` holds, if given).
struct Paints : QObject {
    explicit Paints(QWidget* w, std::function<bool()> when = {}) : when(std::move(when)) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        count += e->type() == QEvent::Paint && (!when || when());
        return false;
    }
    std::function<bool()> when;
    int count = 0;
};
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
} // namespace

class WindowTest : public ModalTest {
    Q_OBJECT
private slots:
    void formsAsDesigned() {
        Window w;
        w.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form));
        QCOMPARE(form(w.form, "Command3", 5), "Command1 \"?\" | Command2 \"Connect to Server\" | Command3 \"Start Server\" | Text3 "
                                              "\"Enter message-text here and press return.\" | Text4 \"\" | Parleon | tab: Command3 "
                                              "Command2 Text3 Text4 Command1");
        for (QWidget* box : {static_cast<QWidget*>(w.form.Text3), static_cast<QWidget*>(w.form.Text4)})
            QVERIFY(box->palette().color(QPalette::Base) == Qt::black && box->palette().color(QPalette::Text) == Qt::green);
        QCOMPARE(w.form.Text4->verticalScrollBar()->isVisible(), true); // even with nothing to scroll
        // The boxes follow the window's size; a window too small for them leaves them as they were.
        for (const auto& [size, output] : {std::pair(QSize(600, 400), QRect(8, 64, 585, 326)), {QSize(10, 10), QRect(8, 64, 585, 326)},
                                            {QSize(700, 300), QRect(8, 64, 685, 226)}}) {
            w.form.resize(size);
            QVERIFY(w.form.Text4->geometry() == output && w.form.Text3->geometry() == QRect(8, 40, output.width(), 19));
        }
        // Tab moves on from the output box to "?"; it types nothing into the box.
        w.form.Text4->setFocus();
        QTest::keyClick(w.form.Text4, Qt::Key_Tab);
        QVERIFY(w.form.focusWidget() == w.form.Command1 && !w.form.outputText().contains('\t'));
        QCOMPARE(accessible(w.form), "Start Server / Run as chat server on this computer | Help / Show help and, on a server, "
                                     "its figures | Connect to Server / Run as chat client of a server | Message / Type a line and "
                                     "press Return to send it; Up and Down recall sent lines | Chat output / Everything received "
                                     "and all notices");
        QString login, settings;
        modals().dialog([&](QDialog& d) {
            QCOMPARE(d.font(), w.form.font());
            QVERIFY(!d.windowIcon().isNull());
            login = d.objectName() + ": " + form(d, "TextIP0", 7) + " || " + accessible(d);
            d.reject();
        });
        w.form.connectDialog.Show(&w.form, w.form.session);
        QCOMPARE(login, "frmLogin: Label1_0 \".\" | Label1_1 \".\" | Label1_2 \".\" | Label2 \"Your Nick Name\" | Label3 \"Server Port\" | "
                        "Picture1 \"\" | Text1 \"\" | Text2 \"9843 (greyed)\" | TextIP0 \"127\" | TextIP1 \"0\" | TextIP2 \"0\" | TextIP3 "
                        "\"1\" | cmdCancel \"Cancel\" | cmdOK \"OK\" | lblLabels \"Server IP Address\" | Parleon Connect to Server | "
                        "tab: TextIP0 TextIP1 TextIP2 TextIP3 Text1 cmdOK cmdCancel || Server IP address, first number / A number "
                        "from 0 to 255 | Server IP address, second number / A number from 0 to 255 | Server IP address, third "
                        "number / A number from 0 to 255 | Server IP address, fourth number / A number from 0 to 255 | Server "
                        "port | Your nick name / At least 3 characters | Suggest a nick name | OK | Cancel");
        modals().dialog([&](QDialog& d) {
            settings = d.objectName() + ": " + form(d, "OKButton", 3) + " || " + accessible(d);
            d.reject();
        });
        w.form.Command3->click();
        QCOMPARE(settings, "Dialog: CancelButton \"Cancel\" | Label1 \"Run Server at Port:\" | Label2 \"Allow max. Clients on Server:\" | "
                           "OKButton \"OK\" | Picture1 \"\" | Text1 \"9843 (greyed)\" | Text2 \"10\" | Parleon Server Settings | tab: "
                           "OKButton CancelButton Text2 || Server port | Maximum number of clients | Parleon | OK | Cancel");
    }

    void returnSendsFromAnyControlAndUpDownRecall() {
        Window w;
        QVERIFY(startServer(w.form, 0));
        Peer alice(quint16(w.form.session.Winsock1(0).LocalPort()));
        QVERIFY(waitUntil([&] { return w.form.session.socketCount == 1; }));
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
        w.form.Command2->click();
        QTest::keyRelease(w.form.Text3, Qt::Key_Return);
        QVERIFY(alice.take(100).isEmpty() && modals().boxes.size() == 1);
        for (const char* line : {"two", "three"}) w.type(QString::fromLatin1(line));
        w.form.Text3->setText(QStringLiteral("draft"));
        QStringList shown;
        for (Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down})
            QTest::keyClick(w.form.Text3, k), shown << w.form.Text3->text();
        QCOMPARE(shown, (QStringList{"three", "two", "hello", "hello", "two", "three", "draft", "draft"}));
    }

    void outputBoxKeepsEveryLineWhateverTheUserDoes() {
        Window w;
        w.form.show();
        OutputBox& box = *w.form.Text4;
        box.setText(QString());
        // A long line is shown in pieces, copied whole, and edited where the user types.
        const QString line = QString(5000, QLatin1Char('a')) + QString(5000, QLatin1Char('b'));
        w.form.session.printLine(line);
        box.showNow();
        QCOMPARE(box.toPlainText().count(QLatin1Char('\n')), 3);
        box.selectAll();
        box.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), line + '\n');
        QTextCursor caret = box.textCursor();
        caret.setPosition(5001); // past the first piece's break: between the a's and the b's
        box.setTextCursor(caret);
        QTest::keyClicks(&box, QStringLiteral("|"));
        QCOMPARE(box.text(), QString(5000, QLatin1Char('a')) + '|' + QString(5000, QLatin1Char('b')) + "\r\n");
        // Lines that arrive while the user drops text into the box all stay, after the drop.
        for (int i = 0; i < 3; ++i) w.form.session.printLine(QStringLiteral("late%1").arg(i));
        QMimeData dropped;
        dropped.setText(QStringLiteral("dropped"));
        const QPoint at = box.cursorRect(box.textCursor()).center();
        QDragEnterEvent enter(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(at, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box.viewport(), &enter);
        QApplication::sendEvent(box.viewport(), &drop);
        QVERIFY(waitUntil([&] { return box.toPlainText().contains(QStringLiteral("late2")); }));
        QVERIFY2(box.text().contains(QStringLiteral("dropped")) && box.text().endsWith(QStringLiteral("\r\nlate0\r\nlate1\r\nlate2\r\n")),
                 qPrintable(box.text().right(100)));
        QCOMPARE(box.toPlainText().remove(QLatin1Char('\n')), QString(box.text()).remove(QStringLiteral("\r\n")));
        // Whatever ends a line (CR LF, even split between two texts, CR or LF), it shows as one
        // break, and a selection copies the content it shows.
        box.setText(QString());
        w.form.session.printText(QStringLiteral("one\r\ntwo\rthree\nfour\r"));
        w.form.session.printText(QStringLiteral("\nfive"));
        box.showNow();
        QCOMPARE(box.toPlainText(), QStringLiteral("one\ntwo\nthree\nfour\nfive"));
        caret.setPosition(4);
        caret.setPosition(18, QTextCursor::KeepAnchor);
        box.setTextCursor(caret);
        w.form.hide(); // the window shown again keeps the selection
        w.form.show();
        box.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("two\nthree\nfour"));
        // The reset follows the content as it stands: 25,000 characters and more start afresh.
        box.setText(QString());
        w.form.session.printText(QString(24998, QLatin1Char('x')));
        w.form.session.printText(QStringLiteral("ab"));
        w.form.session.printLine(QString());
        QCOMPARE(box.text().size(), 25002);
        w.form.session.printLine(QStringLiteral("next"));
        QCOMPARE(box.text(), QStringLiteral(">>> Reset output-text. Too much text. <<<\r\nnext\r\n"));
        // A CR before a reset waits for no LF after it: that LF is a line break of its own.
        w.form.session.printText(QStringLiteral("cr\r"));
        box.showNow();
        box.setText(QString());
        w.form.session.printText(QStringLiteral("\nfresh"));
        box.showNow();
        QCOMPARE(box.toPlainText(), QStringLiteral("\nfresh"));
        // What the user types into an emptied box is kept, even before anything arrives.
        box.setText(QString());
        QTest::keyClicks(&box, QStringLiteral("typed"));
        QCOMPARE(box.text(), QStringLiteral("typed"));
        QTest::keyClick(&box, Qt::Key_Return); // a line break typed is one in the content too
        QCOMPARE(box.text(), QStringLiteral("typed\r\n"));
        QTest::keyClick(&box, Qt::Key_Backspace);
        // A line continued after the typing breaks into pieces of the full width; a long last
        // line deleted whole leaves a line break that comes next a break.
        const QString d(OutputBox::ShownLineLimit, QLatin1Char('d'));
        w.form.session.printText(d + "\r\n" + d + d);
        box.showNow();
        caret.setPosition(OutputBox::ShownLineLimit + 7);
        caret.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        box.setTextCursor(caret);
        QTest::keyClick(&box, Qt::Key_Delete);
        QTest::qWait(0);
        w.form.session.printText(QStringLiteral("\nnext"));
        box.showNow();
        QCOMPARE(box.toPlainText(), "typed" + d.chopped(5) + "\nddddd\n\nnext");
        // A line after a quiet spell shows at once; one right after it waits for the next redraw.
        QTest::qWait(150);
        w.form.session.printLine(QStringLiteral(" at once"));
        QTest::qWait(30);
        QVERIFY(box.toPlainText().endsWith(QStringLiteral("next at once\n")));
        w.form.session.printLine(QStringLiteral("soon"));
        QCoreApplication::processEvents();
        QVERIFY(!box.toPlainText().contains(QStringLiteral("soon")));
        QVERIFY(waitUntil([&] { return box.toPlainText().endsWith(QStringLiteral("soon\n")); }, 1000));
        // The box follows the newest line.
        for (int i = 0; i < 100; ++i) w.form.session.printLine(QStringLiteral("line"));
        box.showNow();
        QTextCursor end(box.document());
        end.movePosition(QTextCursor::End);
        QVERIFY(box.verticalScrollBar()->value() > 0 && box.viewport()->rect().contains(box.cursorRect(end)));
        QCOMPARE(box.verticalScrollBar()->value(), box.verticalScrollBar()->maximum()); // nothing more below
        // What comes while the window is hidden shows once it is shown again.
        w.form.hide();
        w.form.session.printLine(QStringLiteral("while hidden"));
        w.form.show();
        QVERIFY(waitUntil([&] { return box.toPlainText().endsWith(QStringLiteral("line\nwhile hidden\n")); }, 1000));
    }

    void outputBoxDrawsAStreamOnceAFrame() {
        Window w;
        w.form.show();
        OutputBox& box = *w.form.Text4;
        QScrollBar& bar = *box.verticalScrollBar();
        box.setText(QString());
        // A handle that must move or shrink is drawn again; one pinned to the end at its least
        // size is not.
        for (int i = 0; i < 3; ++i) w.form.session.printLine(QStringLiteral("few"));
        box.showNow();
        QVERIFY(waitUntil([&] { return bar.maximum() == 0; }));
        QTest::qWait(50);
        Paints barPaints(&bar), textPaints(box.viewport());
        for (int i = 0; i < 20; ++i) w.form.session.printLine(QStringLiteral("more"));
        box.showNow();
        QVERIFY(waitUntil([&] { return barPaints.count > 0; }, 1000));
        for (int i = 0; i < 500; ++i) w.form.session.printLine(QStringLiteral("many"));
        box.showNow();
        QTest::qWait(50);
        barPaints.count = textPaints.count = 0;
        for (int i = 0; i < 20; ++i) w.form.session.printLine(QStringLiteral("many"));
        box.showNow();
        QVERIFY(waitUntil([&] { return textPaints.count > 0; }, 1000));
        QCOMPARE(barPaints.count, 0);
        bar.setValue(0);
        QVERIFY(waitUntil([&] { return barPaints.count > 0; }, 1000));
        // A stream's frame goes into the widget a little at a time, other work done in between,
        // and the text is drawn once, when all of it is in.
        QTest::qWait(150);
        box.setText(QString());
        QTest::qWait(150);
        textPaints.count = 0;
        for (int i = 0; i < 400; ++i) w.form.session.printLine(QStringLiteral("line %1").arg(i));
        QList<int> shown;
        int paintsWhileComing = 0;
        QTimer between;
        connect(&between, &QTimer::timeout, [&] {
            shown << box.document()->blockCount();
            if (shown.last() < 401) paintsWhileComing = textPaints.count;
        });
        between.start(0);
        QVERIFY(waitUntil([&] { return box.toPlainText().endsWith(QStringLiteral("line 399\n")) && textPaints.count > 0; }, 1000));
        shown.removeAll(1);
        shown.removeAll(401);
        QVERIFY2(shown.size() >= 3, qPrintable(QString::number(shown.size())));
        QCOMPARE(paintsWhileComing, 0);
        // After a flood's frame the box waits longer for the next.
        QElapsedTimer sinceFrame;
        sinceFrame.start();
        w.form.session.printLine(QStringLiteral("after the flood"));
        QVERIFY(waitUntil([&] { return box.toPlainText().endsWith(QStringLiteral("after the flood\n")); }, 1000));
        QVERIFY2(sinceFrame.elapsed() >= 120, qPrintable(QString::number(sinceFrame.elapsed())));
        // A reset shows the old text until the new one is drawn, never an empty box.
        Paints blank(box.viewport(), [&] { return box.document()->isEmpty(); });
        textPaints.count = 0;
        w.form.session.printText(QString(25001, QLatin1Char('y')));
        box.showNow();
        w.form.session.printLine(QStringLiteral("after the reset"));
        QVERIFY(waitUntil([&] { return box.toPlainText().endsWith(QStringLiteral("<<<\nafter the reset\n")) && textPaints.count > 0; }, 1000));
        QCOMPARE(blank.count, 0);
    }

    void outputBoxWaitsForAHandlerToReturn_data() {
        QTest::addColumn<bool>("waiting");
        QTest::addColumn<int>("yieldsForMs");
        QTest::addColumn<int>("earliest"); // when the line shows, in ms into the handler; -1: not
        QTest::addColumn<int>("latest");   // while it runs
        QTest::newRow("a handler at work") << false << 60 << -1 << -1;
        QTest::newRow("one at work for longer than a frame") << false << 400 << 100 << 400;
        QTest::newRow("a loop that waits") << true << 300 << 0 << 100;
    }
    void outputBoxWaitsForAHandlerToReturn() {
        QFETCH(bool, waiting);
        QFETCH(int, yieldsForMs);
        QFETCH(int, earliest);
        QFETCH(int, latest);
        Window w;
        w.form.show();
        OutputBox& box = *w.form.Text4;
        box.setText(QString());
        QTest::qWait(150);
        w.form.session.printLine(QStringLiteral("news"));
        QElapsedTimer handler;
        handler.start();
        qint64 shownAt = -1;
        while (handler.elapsed() < yieldsForMs) {
            waiting ? platform::doEventsWaiting(5) : platform::doEvents();
            if (shownAt < 0 && box.toPlainText().contains(QStringLiteral("news"))) shownAt = handler.elapsed();
        }
        QVERIFY2(earliest < 0 ? shownAt == -1 : shownAt >= earliest && shownAt < latest, qPrintable(QString::number(shownAt)));
        QVERIFY(waitUntil([&] { return box.toPlainText().contains(QStringLiteral("news")); }, 1000));
    }

    void serverSettingsDialog() {
        Window w;
        w.form.show();
        QString shown;
        modals().dialog([&](QDialog& d) {
            const auto* maximum = d.findChild<QLineEdit*>(QStringLiteral("Text2"));
            shown = d.findChild<QLineEdit*>(QStringLiteral("Text1"))->text() + '/' + maximum->selectedText() + '/' +
                    QString::number(d.focusWidget() == maximum);
            QTest::keyClick(&d, Qt::Key_Return);
        });
        w.form.session.parleonPort = freeTcpPort();
        w.form.Command3->click();
        QCOMPARE(shown, QStringLiteral("%1/10/1").arg(w.form.session.parleonPort));
        QVERIFY(w.form.session.isServer && w.form.focusWidget() == w.form.Text3);
        QCOMPARE(w.form.Text3->selectedText(), ChatSession::InputPrompt);
        QVERIFY(waitUntil([&] { return w.form.windowTitle().startsWith(QStringLiteral("Parleon SERVER - Listening [")); }));
        // A maximum that is no number is refused and kept; Esc and the close box cancel.
        const auto refuse = [](QDialog& d) {
            Modals::setText("Text2", QStringLiteral("ten"));
            modals().button(QStringLiteral("OK"));
            Modals::click(d, "OK");
            QCOMPARE(d.findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), QStringLiteral("ten"));
            QTest::keyClick(&d, Qt::Key_Escape);
        };
        modals().button(QStringLiteral("Yes"));
        for (const std::function<void(QDialog&)>& answer : {std::function<void(QDialog&)>(refuse), {[](QDialog& d) { d.close(); }}}) {
            modals().dialog(answer);
            w.form.Command3->click();
            QVERIFY(!w.form.settingsDialog.settingsValid && w.form.session.Winsock1(0).State() == SocketState::Closed);
        }
        QCOMPARE(modals().boxes.at(1).text, QStringLiteral("Cannot apply settings.\r\nTry something like that: Port=9843 and Max=10"));
        QCOMPARE(modals().boxes.at(1).icon, int(QMessageBox::Warning));
    }

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
        w.form.connectDialog.Show(&w.form, w.form.session);
        const frmLogin& login = w.form.connectDialog;
        if (!kept.isEmpty()) {
            const Modals::Box& refusal = modals().boxes.back();
            const QString icon = refusal.icon == QMessageBox::Warning ? "! " : refusal.icon == QMessageBox::Information ? "i " : "";
            QCOMPARE(icon + refusal.text + '|' + kept, outcome);
            QVERIFY(!login.settingsValid && w.form.session.rHostIP.isEmpty());
            return;
        }
        QVERIFY(modals().boxes.empty() && login.settingsValid);
        const ChatSession& s = w.form.session;
        QCOMPARE(QStringLiteral("%1 %2.%3.%4.%5 %6").arg(s.rHostIP).arg(s.lastIP_Byte1).arg(s.lastIP_Byte2)
                     .arg(s.lastIP_Byte3).arg(s.lastIP_Byte4).arg(s.nickName), outcome);
    }

    void dialogProposesRemembersAndTakesAddressesTypedOrPasted() {
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
        w.form.connectDialog.Show(&w.form, w.form.session);
        modals().dialog([&](QDialog& d) {
            seen << boxes(d);
            QTest::mouseClick(d.findChild<QWidget*>("Picture1"), Qt::LeftButton);
            seen << box(d, 5)->text();
            // A dot moves on to the next box; the last box takes none.
            for (const char* typed : {"127.0.0.1", "10.0.0.200.", "1..2"}) {
                box(d, 0)->setFocus();
                for (int i = 0; i < 4; ++i) box(d, i)->clear();
                for (const char* c = typed; *c; ++c) QTest::keyClick(d.focusWidget(), *c);
                seen << boxes(d);
            }
            // Over an address already there: a full box moves on, and the dot after it stays.
            for (int i = 0; i < 4; ++i) box(d, i)->setText(QString::number(10 * (i + 1)));
            box(d, 1)->setFocus();
            box(d, 0)->setFocus();
            for (const char* c = "192.168.1.5"; *c; ++c) QTest::keyClick(d.focusWidget(), *c);
            seen << boxes(d);
            // A whole address pasted into any box fills all four.
            QGuiApplication::clipboard()->setText(QStringLiteral("192.168.10.7"));
            box(d, 2)->setFocus();
            QTest::keyClick(d.focusWidget(), Qt::Key_V, Qt::ControlModifier);
            seen << boxes(d) + ' ' + d.focusWidget()->objectName();
            // Anything else pasted goes into the box as usual.
            QGuiApplication::clipboard()->setText(QStringLiteral("42"));
            box(d, 1)->clear();
            box(d, 1)->setFocus();
            QTest::keyClick(d.focusWidget(), Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(box(d, 1)->text(), QStringLiteral("42"));
            // Shown again (its owner minimized and restored), it keeps what was typed.
            const QString typed = boxes(d);
            QShowEvent shownAgain;
            QApplication::sendEvent(&d, &shownAgain);
            QCOMPARE(boxes(d), typed);
            QTest::keyClick(d.focusWidget(), Qt::Key_Escape);
        });
        w.form.Command2->click();
        QCOMPARE(seen.mid(0, 4), (QStringList{"127 0 0 1 9843 ", "TextIP0 127", "TextIP2 0", "TextIP3 254"}));
        const QStringList names = seen.mid(4, 7);
        QVERIFY(names.first() == names.last() && QSet<QString>(names.begin(), names.end()).size() == 6);
        const QString nick = names.at(1);
        QCOMPARE(seen.mid(11), (QStringList{"10 200 0 254 9843 " + names.last(), nick, "127 0 0 1 9843 " + nick,
                                            "10 0 0 200 9843 " + nick, "1  2  9843 " + nick, "192 168 1 5 9843 " + nick,
                                            "192 168 10 7 9843 " + nick + " TextIP3"}));
        QVERIFY(!w.form.connectDialog.settingsValid);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
