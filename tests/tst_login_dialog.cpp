// The connect dialog: what it proposes, what it accepts, and what it remembers.
#include "main_window/form1.h"
#include "test_support.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

using testing::ModalAnswerer;
using testing::ProgramFolder;

namespace {
QLineEdit* box(QDialog& dialog, const char* name) { return dialog.findChild<QLineEdit*>(QLatin1String(name)); }

void fillAddress(QDialog& dialog, const QStringList& bytes) {
    const char* names[] = {"TextIP0", "TextIP1", "TextIP2", "TextIP3"};
    for (int i = 0; i < 4; ++i) box(dialog, names[i])->setText(bytes[i]);
}

QStringList addressShown(QDialog& dialog) {
    return {box(dialog, "TextIP0")->text(), box(dialog, "TextIP1")->text(), box(dialog, "TextIP2")->text(),
            box(dialog, "TextIP3")->text()};
}
} // namespace

class LoginDialogTest : public QObject {
    Q_OBJECT
private slots:
    void firstOpeningProposesTheSafeDefaults() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        form.show();
        QStringList shown;
        QString port, nick, selected;
        QWidget* focused = nullptr;
        answerer.answerDialog([&](QDialog& dialog) {
            shown = addressShown(dialog);
            port = box(dialog, "Text2")->text();
            nick = box(dialog, "Text1")->text();
            focused = dialog.focusWidget();
            selected = box(dialog, "TextIP0")->selectedText();
            QVERIFY(focused == box(dialog, "TextIP0"));
            testing::clickButton(dialog, "cmdCancel");
        });
        form.connectDialog.Show(form);
        QCOMPARE(shown, (QStringList{"127", "0", "0", "1"}));
        QCOMPARE(port, QStringLiteral("9843"));
        QCOMPARE(nick, QString());
        QCOMPARE(selected, QStringLiteral("127"));
        QVERIFY(!form.connectDialog.settingsValid);
    }

    void nickNameNeedsThreeCharacters_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("two") << "ab" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("three") << "abc" << true;
        QTest::newRow("spaces count") << " a " << true;
    }
    void nickNameNeedsThreeCharacters() {
        QFETCH(QString, nick);
        QFETCH(bool, accepted);
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        answerer.answerDialog([&](QDialog& dialog) {
            box(dialog, "Text1")->setText(nick);
            if (!accepted) answerer.answerBox(QStringLiteral("OK"));
            testing::clickButton(dialog, "cmdOK");
            if (!accepted) {
                QVERIFY(dialog.isVisible());
                QCOMPARE(box(dialog, "Text1")->text(), nick);
                testing::clickButton(dialog, "cmdCancel");
            }
        });
        form.connectDialog.Show(form);
        QCOMPARE(form.connectDialog.settingsValid, accepted);
        if (accepted) {
            QCOMPARE(form.nickName, nick);
            QVERIFY(answerer.boxes().empty());
        } else {
            QCOMPARE(answerer.boxes().size(), size_t(1));
            QCOMPARE(answerer.boxes()[0].text, QStringLiteral("Bad Nick Name. Minimum 3 characters required."));
            QCOMPARE(answerer.boxes()[0].icon, int(QMessageBox::Warning));
            QCOMPARE(form.nickName, QString());
        }
    }

    void addressBoxes_data() {
        QTest::addColumn<QStringList>("bytes");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("address");
        QTest::newRow("0 and 255") << QStringList{"0", "255", "0", "255"} << true << "0.255.0.255";
        QTest::newRow("007 as typed") << QStringList{"10", "0", "0", "007"} << true << "10.0.0.007";
        QTest::newRow("256") << QStringList{"256", "0", "0", "1"} << false << "";
        QTest::newRow("-1") << QStringList{"127", "-1", "0", "1"} << false << "";
        QTest::newRow("empty") << QStringList{"127", "0", "", "1"} << false << "";
        QTest::newRow("letters") << QStringList{"127", "0", "0", "abc"} << false << "";
        QTest::newRow("blank") << QStringList{"127", " 1", "0", "1"} << false << "";
        QTest::newRow("fraction") << QStringList{"1.5", "0", "0", "1"} << false << "";
    }
    void addressBoxes() {
        QFETCH(QStringList, bytes);
        QFETCH(bool, accepted);
        QFETCH(QString, address);
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        form.parleonPort = 4242;
        answerer.answerDialog([&](QDialog& dialog) {
            fillAddress(dialog, bytes);
            box(dialog, "Text1")->setText(QStringLiteral("bob"));
            if (!accepted) answerer.answerBox(QStringLiteral("OK"));
            testing::clickButton(dialog, "cmdOK");
            if (!accepted) {
                QCOMPARE(addressShown(dialog), bytes);
                testing::clickButton(dialog, "cmdCancel");
            }
        });
        form.connectDialog.Show(form);
        QCOMPARE(form.connectDialog.settingsValid, accepted);
        QCOMPARE(form.rHostIP, address);
        if (accepted) {
            QCOMPARE(form.parleonPort, 4242);
            QCOMPARE(form.nickName, QStringLiteral("bob"));
            QCOMPARE(form.connectDialog.lastIP_Byte4, quint8(bytes[3].toInt()));
        } else {
            QCOMPARE(answerer.boxes()[0].text, QStringLiteral("Bad IP Address. Try something like that: 127.0.0.1"));
            QCOMPARE(answerer.boxes()[0].icon, int(QMessageBox::Information));
            QCOMPARE(form.nickName, QString());
            QCOMPARE(form.connectDialog.lastIP_Byte1, quint8(127));
        }
    }

    void focusMovesOnAfterThreeCharacters() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        form.show();
        answerer.answerDialog([&](QDialog& dialog) {
            QTest::keyClicks(box(dialog, "TextIP0"), QStringLiteral("192"));
            QCOMPARE(dialog.focusWidget(), box(dialog, "TextIP1"));
            QCOMPARE(box(dialog, "TextIP1")->selectedText(), QStringLiteral("0"));
            QTest::keyClicks(box(dialog, "TextIP1"), QStringLiteral("16"));
            QCOMPARE(dialog.focusWidget(), box(dialog, "TextIP1"));
            box(dialog, "TextIP3")->setFocus();
            QTest::keyClicks(box(dialog, "TextIP3"), QStringLiteral("254"));
            QCOMPARE(dialog.focusWidget(), box(dialog, "TextIP3"));
            // No fourth character.
            QTest::keyClicks(box(dialog, "TextIP3"), QStringLiteral("9"));
            QCOMPARE(box(dialog, "TextIP3")->text(), QStringLiteral("254"));
            testing::clickButton(dialog, "cmdCancel");
        });
        form.connectDialog.Show(form);
        QVERIFY(answerer.allAnswered());
    }

    void valuesAreRememberedAfterOkOnly() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        answerer.answerDialog([](QDialog& dialog) {
            fillAddress(dialog, {"10", "0", "0", "7"});
            box(dialog, "Text1")->setText(QStringLiteral("bob"));
            testing::clickButton(dialog, "cmdOK");
        });
        form.connectDialog.Show(form);
        QCOMPARE(form.rHostIP, QStringLiteral("10.0.0.7"));

        QStringList shown;
        QString nick;
        answerer.answerDialog([&](QDialog& dialog) {
            shown = addressShown(dialog);
            nick = box(dialog, "Text1")->text();
            fillAddress(dialog, {"1", "2", "3", "4"});
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        form.connectDialog.Show(form);
        QCOMPARE(shown, (QStringList{"10", "0", "0", "7"}));
        QCOMPARE(nick, QStringLiteral("bob"));
        QVERIFY(!form.connectDialog.settingsValid);

        answerer.answerDialog([&](QDialog& dialog) {
            shown = addressShown(dialog);
            dialog.close();
        });
        form.connectDialog.Show(form);
        QCOMPARE(shown, (QStringList{"10", "0", "0", "7"}));
        QVERIFY(!form.connectDialog.settingsValid);
    }

    void pictureCyclesSixNickNamesAcrossOpenings() {
        ProgramFolder folder;
        ModalAnswerer answerer;
        Form1 form;
        QStringList offered;
        const auto clickPicture = [&](QDialog& dialog, int times) {
            for (int i = 0; i < times; ++i) {
                QTest::mouseClick(dialog.findChild<QWidget*>("Picture1"), Qt::LeftButton);
                offered << box(dialog, "Text1")->text();
            }
            testing::clickButton(dialog, "cmdCancel");
        };
        answerer.answerDialog([&](QDialog& dialog) { clickPicture(dialog, 4); });
        form.connectDialog.Show(form);
        answerer.answerDialog([&](QDialog& dialog) { clickPicture(dialog, 4); });
        form.connectDialog.Show(form);
        QCOMPARE(offered.size(), 8);
        QStringList firstSix = offered.mid(0, 6);
        firstSix.removeDuplicates();
        QCOMPARE(firstSix.size(), qsizetype(6));
        QCOMPARE(offered[6], offered[0]);
        QCOMPARE(offered[7], offered[1]);
        for (const QString& nick : offered) QVERIFY(nick.size() >= 3);
    }
};

QTEST_MAIN(LoginDialogTest)
#include "tst_login_dialog.moc"
