// The three forms as designed: controls, places, colours, focus order, and the resize rule.
#include "main_window/form1.h"
#include "main_window/output_box.h"
#include "test_support.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
QRect px(int l, int t, int w, int h) { return QRect(l / 15, t / 15, w / 15, h / 15); }
} // namespace

class FormsTest : public QObject {
    Q_OBJECT
private slots:
    void resizeRule_data() {
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("height");
        QTest::addColumn<float>("boxWidth");
        QTest::addColumn<float>("boxHeight");
        QTest::newRow("design size") << 6015.0f << 3555.0f << 5795.0f << 2445.0f;
        QTest::newRow("width 221") << 221.0f << 3555.0f << 1.0f << 2445.0f;
        QTest::newRow("width 220 keeps widths") << 220.0f << 3555.0f << 5795.0f << 2445.0f;
        QTest::newRow("height 1111") << 6015.0f << 1111.0f << 5795.0f << 1.0f;
        QTest::newRow("height 1110 keeps height") << 6015.0f << 1110.0f << 5795.0f << 2445.0f;
        QTest::newRow("fraction stays single precision") << 6015.5f << 3555.25f << 5795.5f << 2445.25f;
    }
    void resizeRule() {
        QFETCH(float, width);
        QFETCH(float, height);
        QFETCH(float, boxWidth);
        QFETCH(float, boxHeight);
        testing::ProgramFolder folder;
        Form1 form;
        form.layoutTextBoxes(6015, 3555, false);
        form.layoutTextBoxes(width, height, false);
        QCOMPARE(form.text4WidthTwips(), boxWidth);
        QCOMPARE(form.text3WidthTwips(), boxWidth);
        QCOMPARE(form.text4HeightTwips(), boxHeight);
    }

    void minimizedChangesNothing() {
        testing::ProgramFolder folder;
        Form1 form;
        form.layoutTextBoxes(6015, 3555, false);
        form.layoutTextBoxes(1000, 1000, true);
        QCOMPARE(form.text4WidthTwips(), 5795.0f);
        QCOMPARE(form.text4HeightTwips(), 2445.0f);
    }

    void shownWindowStretchesTheBoxes() {
        testing::ProgramFolder folder;
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.size(), QSize(401, 237));
        QCOMPARE(form.Text4->geometry(), QRect(8, 64, 386, 163));
        QCOMPARE(form.Text3->geometry(), QRect(8, 40, 386, 19));
        form.resize(600, 400);
        QTest::qWait(10);
        QCOMPARE(form.Text4->geometry(), QRect(8, 64, 585, 326));
    }

    void mainWindowControls() {
        testing::ProgramFolder folder;
        Form1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Parleon"));
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(form.Command3->text(), QStringLiteral("Start Server"));
        QCOMPARE(form.Command3->geometry(), px(120, 120, 1695, 375));
        QCOMPARE(form.Command1->text(), QStringLiteral("?"));
        QCOMPARE(form.Command1->geometry(), px(1920, 120, 255, 375));
        QCOMPARE(form.Command2->text(), QStringLiteral("Connect to Server"));
        QCOMPARE(form.Command2->geometry(), px(2280, 120, 1695, 375));
        QCOMPARE(form.Text3->text(), QStringLiteral("Enter message-text here and press return."));
        QVERIFY(form.Text3->maxLength() > 1000000);
        QVERIFY(!form.Text4->isReadOnly());
        QCOMPARE(form.Text4->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(form.Text4->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        for (QWidget* box : {static_cast<QWidget*>(form.Text3), static_cast<QWidget*>(form.Text4)}) {
            QCOMPARE(box->palette().color(QPalette::Base), QColor(0, 0, 0));
            QCOMPARE(box->palette().color(QPalette::Text), QColor(0, 255, 0));
            QCOMPARE(box->font().pointSizeF(), 8.25);
            const QFontMetrics metrics(box->font());
            QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiii")), metrics.horizontalAdvance(QStringLiteral("WWWW")));
        }
        QCOMPARE(form.Timer1->interval(), 100);
        QVERIFY(form.Timer1->isActive());

        // Tab order: Command3, Command2, Text3, Text4, Command1.
        QList<QWidget*> order;
        QWidget* next = form.Command3;
        for (int i = 0; i < 5; ++i, next = next->nextInFocusChain()) {
            while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
            order << next;
        }
        QCOMPARE(order, (QList<QWidget*>{form.Command3, form.Command2, form.Text3, form.Text4, form.Command1}));
    }

    void connectDialogLayout() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        Form1 form;
        form.show();
        bool checked = false;
        answerer.answerDialog([&](QDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Parleon Connect to Server"));
            QCOMPARE(dialog.size(), QSize(290, 122));
            QCOMPARE(dialog.findChild<QLabel*>("lblLabels")->text(), QStringLiteral("Server IP Address"));
            QCOMPARE(dialog.findChild<QLineEdit*>("TextIP2")->geometry(), px(3000, 120, 495, 285));
            QCOMPARE(dialog.findChild<QLineEdit*>("TextIP3")->maxLength(), 3);
            QVERIFY(dialog.findChild<QLabel*>("Label1_1")->font().bold());
            QVERIFY(!dialog.findChild<QLineEdit*>("Text2")->isEnabled());
            QCOMPARE(dialog.findChild<QPushButton*>("cmdOK")->geometry(), px(1560, 1320, 1140, 390));
            QVERIFY(dialog.findChild<QPushButton*>("cmdOK")->isDefault());
            QVERIFY(!dialog.findChild<QWidget*>("Picture1")->geometry().isEmpty());
            checked = true;
            testing::clickButton(dialog, "cmdCancel");
        });
        form.Command2_Click();
        QVERIFY(checked);
    }

    void settingsDialogLayout() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        Form1 form;
        form.show();
        bool checked = false;
        answerer.answerDialog([&](QDialog& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Parleon Server Settings"));
            QCOMPARE(dialog.size(), QSize(258, 113));
            QCOMPARE(dialog.findChild<QLabel*>("Label1")->text(), QStringLiteral("Run Server at Port:"));
            QCOMPARE(dialog.findChild<QLabel*>("Label2")->text(), QStringLiteral("Allow max. Clients on Server:"));
            QCOMPARE(dialog.findChild<QLineEdit*>("Text2")->geometry(), px(2760, 720, 975, 285));
            QVERIFY(!dialog.findChild<QLineEdit*>("Text1")->isEnabled());
            QVERIFY(dialog.findChild<QPushButton*>("OKButton")->isDefault());
            checked = true;
            testing::clickButton(dialog, "CancelButton");
        });
        form.Command3_Click();
        QVERIFY(checked);
        QVERIFY(!form.settingsDialog.settingsValid);
    }
};

QTEST_MAIN(FormsTest)
#include "tst_forms.moc"
