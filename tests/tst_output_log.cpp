// The output box: its reset rule, how lines join, and what start-up prints.
#include "main_window/form1.h"
#include "main_window/output_box.h"
#include "test_support.h"

#include <QTest>

class OutputLogTest : public QObject {
    Q_OBJECT
private slots:
    void startUpWithoutSettingsPrintsTheTwoNotices() {
        testing::ProgramFolder folder;
        Form1 form;
        QCOMPARE(form.outputText(), QStringLiteral("File 'ParleonConfig.dat' not found.\r\nLoading safe settings.\r\n"));
        form.Text4->showNow();
        QCOMPARE(form.Text4->toPlainText(), QStringLiteral("File 'ParleonConfig.dat' not found.\nLoading safe settings.\n"));
    }

    void resetBoundary_data() {
        QTest::addColumn<int>("filled");
        QTest::addColumn<QString>("expected");
        const QString reset = QStringLiteral(">>> Reset output-text. Too much text. <<<\r\n");
        QTest::newRow("exactly 25000 is kept") << 25000 << QString(25000, QLatin1Char('x')) + QStringLiteral("new\r\n");
        QTest::newRow("25001 is reset first") << 25001 << reset + QStringLiteral("new\r\n");
    }
    void resetBoundary() {
        QFETCH(int, filled);
        QFETCH(QString, expected);
        testing::ProgramFolder folder;
        Form1 form;
        form.Text4->setText(QString(filled, QLatin1Char('x')));
        form.printLine(QStringLiteral("new"));
        QCOMPARE(form.outputText(), expected);
    }

    void resetCountsCrLfAsTwoCharacters() {
        testing::ProgramFolder folder;
        Form1 form;
        form.Text4->setText(QString());
        // 12499 lines of one character: 12499 * 3 = 37497 characters, far past the limit.
        for (int i = 0; i < 12499; ++i) form.printLine(QStringLiteral("a"));
        QVERIFY(form.outputText().size() <= 25000 + 3 + 44);
        QVERIFY(form.outputText().startsWith(QStringLiteral(">>> Reset output-text. Too much text. <<<\r\n")));
    }

    void printTextJoinsAndEmptyLineAddsOnlyTheBreak() {
        testing::ProgramFolder folder;
        Form1 form;
        form.Text4->setText(QString());
        form.printText(QStringLiteral("Connecting"));
        form.printText(QStringLiteral("."));
        form.printText(QStringLiteral("."));
        form.printLine(QString());
        form.printLine(QString());
        QCOMPARE(form.outputText(), QStringLiteral("Connecting..\r\n\r\n"));
        // The caret follows the newest text.
        QCOMPARE(form.Text4->textCursor().position(), form.Text4->document()->characterCount() - 1);
    }

    void textFromPeersIsKeptExactly() {
        testing::ProgramFolder folder;
        Form1 form;
        form.Text4->setText(QString());
        const QString odd = QStringLiteral("a\nb\rc") + QChar(0) + QStringLiteral("d\r\n");
        form.printLine(odd);
        QCOMPARE(form.outputText(), odd + QStringLiteral("\r\n"));
    }

    void userTypingIntoTheBoxBecomesContent() {
        testing::ProgramFolder folder;
        Form1 form;
        form.Text4->setText(QStringLiteral("one\r\n"));
        form.Text4->setFocus();
        QTest::keyClicks(form.Text4, QStringLiteral("xy"));
        QCOMPARE(form.outputText(), QStringLiteral("one\r\nxy"));
        form.printLine(QStringLiteral("two"));
        QCOMPARE(form.outputText(), QStringLiteral("one\r\nxytwo\r\n"));
    }
};

QTEST_MAIN(OutputLogTest)
#include "tst_output_log.moc"
