// The settings file: what start-up makes of each kind of file, and what a close writes.
#include "main_window/form1.h"
#include "platform/number_conversion.h"
#include "settings/settings_file.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <unistd.h>

namespace {
const QString safeNotice = QStringLiteral("File 'ParleonConfig.dat' not found.\r\nLoading safe settings.\r\n");

void checkSafeDefaults(const Form1& form) {
    QCOMPARE(form.parleonPort, 9843);
    QCOMPARE(form.maxClients, 10);
    QCOMPARE(form.connectTimeout, 20);
    QCOMPARE(form.connectDialog.lastIP_Byte1, quint8(127));
    QCOMPARE(form.connectDialog.lastIP_Byte2, quint8(0));
    QCOMPARE(form.connectDialog.lastIP_Byte3, quint8(0));
    QCOMPARE(form.connectDialog.lastIP_Byte4, quint8(1));
    QCOMPARE(form.lastState.upperBound(), 10);
}
} // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void firstCloseWritesTheDefaults() {
        testing::ProgramFolder folder;
        {
            Form1 form;
            checkSafeDefaults(form);
            QCOMPARE(form.nickName, QString());
            QVERIFY(!folder.configExists());
            QVERIFY(form.close());
        }
        QCOMPARE(folder.readConfig(), QByteArray("9843\r\n10\r\n127\r\n0\r\n0\r\n1\r\n\"\"\r\n20\r\n"));
    }

    void roundTrip() {
        testing::ProgramFolder folder;
        folder.writeConfig("4000\r\n3\r\n10\r\n0\r\n0\r\n7\r\n\"alice, the 1st\"\r\n5\r\nextra line\r\n");
        {
            Form1 form;
            QCOMPARE(form.outputText(), QString());
            QCOMPARE(form.parleonPort, 4000);
            QCOMPARE(form.maxClients, 3);
            QCOMPARE(form.connectTimeout, 5);
            QCOMPARE(form.nickName, QStringLiteral("alice, the 1st"));
            QCOMPARE(form.connectDialog.lastIP_Byte1, quint8(10));
            QCOMPARE(form.connectDialog.lastIP_Byte4, quint8(7));
            QCOMPARE(form.lastState.upperBound(), 3);
            form.close();
        }
        QCOMPARE(folder.readConfig(),
                 QByteArray("4000\r\n3\r\n10\r\n0\r\n0\r\n7\r\n\"alice, the 1st\"\r\n5\r\n"));
    }

    void malformedFilesFallBackToSafeDefaults_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("nickAfterLoad");
        QTest::newRow("seven values keep the nick read") << QByteArray("1\r\n2\r\n127\r\n0\r\n0\r\n1\r\n\"bob\"\r\n")
                                                         << QStringLiteral("bob");
        QTest::newRow("byte 256") << QByteArray("9843\r\n10\r\n256\r\n0\r\n0\r\n1\r\n\"x\"\r\n20\r\n") << QString();
        QTest::newRow("byte -1") << QByteArray("9843\r\n10\r\n127\r\n0\r\n-1\r\n1\r\n\"x\"\r\n20\r\n") << QString();
        QTest::newRow("maximum -1 loads, then cannot size")
            << QByteArray("9843\r\n-1\r\n127\r\n0\r\n0\r\n1\r\n\"carol\"\r\n20\r\n") << QStringLiteral("carol");
        QTest::newRow("maximum beyond what a program can hold")
            << QByteArray("9843\r\n2147483647\r\n127\r\n0\r\n0\r\n1\r\n\"dave\"\r\n20\r\n") << QStringLiteral("dave");
        QTest::newRow("port beyond 32 bits") << QByteArray("2147483648\r\n10\r\n1\r\n1\r\n1\r\n1\r\n\"\"\r\n1\r\n")
                                             << QString();
        QTest::newRow("number without digits") << QByteArray("abc\r\n10\r\n1\r\n1\r\n1\r\n1\r\n\"\"\r\n1\r\n") << QString();
        QTest::newRow("empty file") << QByteArray() << QString();
        QTest::newRow("unterminated quote") << QByteArray("1\r\n2\r\n1\r\n1\r\n1\r\n1\r\n\"abc\r\n20\r\n") << QString();
    }
    void malformedFilesFallBackToSafeDefaults() {
        QFETCH(QByteArray, content);
        QFETCH(QString, nickAfterLoad);
        testing::ProgramFolder folder;
        folder.writeConfig(content);
        Form1 form;
        QCOMPARE(form.outputText(), safeNotice);
        checkSafeDefaults(form);
        QCOMPARE(form.nickName, nickAfterLoad);
    }

    void readerRules_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("nick");
        QTest::addColumn<int>("timeout");
        QTest::newRow("commas on one line") << QByteArray("1,2,3,4,5,6,\"n,m\",7") << 1 << "n,m" << 7;
        QTest::newRow("blanks before values, LF only") << QByteArray("  5\n\t6\n 1\n2\n3\n4\n  \"x y\"\n 9\n") << 5 << "x y" << 9;
        QTest::newRow("no line end after the last") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"\"\r\n8") << 1 << "" << 8;
        QTest::newRow("text after a closing quote is skipped")
            << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n\"ab\"c\"\r\n8\r\n") << 1 << "ab" << 8;
        QTest::newRow("negative values are taken as they are") << QByteArray("-5\r\n0\r\n0\r\n0\r\n0\r\n0\r\n\"\"\r\n-3\r\n")
                                                              << -5 << "" << -3;
    }
    void readerRules() {
        QFETCH(QByteArray, content);
        QFETCH(int, port);
        QFETCH(QString, nick);
        QFETCH(int, timeout);
        qint32 parleonPort = 0, maxClients = 0, connectTimeout = 0;
        quint8 b1 = 0, b2 = 0, b3 = 0, b4 = 0;
        QString nickName;
        settings::readSettings(content, {parleonPort, maxClients, b1, b2, b3, b4, nickName, connectTimeout});
        QCOMPARE(parleonPort, port);
        QCOMPARE(nickName, nick);
        QCOMPARE(connectTimeout, timeout);
    }

    void failedReadLeavesAddressBytesAlone() {
        qint32 parleonPort = 0, maxClients = 0, connectTimeout = 0;
        quint8 b1 = 1, b2 = 2, b3 = 3, b4 = 4;
        QString nickName;
        try {
            settings::readSettings("7\r\n8\r\n9\r\n9\r\n9\r\n9\r\n\"zed\"\r\n",
                                   {parleonPort, maxClients, b1, b2, b3, b4, nickName, connectTimeout});
            QFAIL("a file of seven values must not load");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 1001);
            QCOMPARE(e.description(), QStringLiteral("Error while loading 'ParleonConfig.dat"));
        }
        QCOMPARE(parleonPort, 7);
        QCOMPARE(maxClients, 8);
        QCOMPARE(nickName, QStringLiteral("zed"));
        QCOMPARE(b1, quint8(1));
        QCOMPARE(b4, quint8(4));
    }

    void readOnlyProgramFolderUsesTheUsersConfigFolder() {
        if (geteuid() == 0) QSKIP("root writes into read-only folders");
        QStandardPaths::setTestModeEnabled(true);
        const QString userFile =
            QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(settings::FileName);
        QFile::remove(userFile);
        testing::ProgramFolder folder;
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner);
        {
            Form1 form;
            form.nickName = QStringLiteral("ro");
            QVERIFY(form.close());
        }
        QVERIFY(!folder.configExists());
        QVERIFY(QFile::exists(userFile));
        Form1 again;
        QCOMPARE(again.nickName, QStringLiteral("ro"));
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(userFile);
    }

    void installedProgramKeepsItsSettingsInTheUsersFolder() {
        const QString user = QStringLiteral("/home/u/.config/Parleon");
        QCOMPARE(settings::configFolder(QStringLiteral("/opt/p"), true, user), QStringLiteral("/opt/p"));
        QCOMPARE(settings::configFolder(QStringLiteral("/usr/bin"), false, user), user);
        QCOMPARE(settings::configFolder(QStringLiteral("/usr/bin"), false, QString()), QStringLiteral("/usr/bin"));
    }

    void nickNameWithNonAsciiRoundTrips() {
        testing::ProgramFolder folder;
        {
            Form1 form;
            form.nickName = QStringLiteral("Jürgen");
            form.close();
        }
        QVERIFY(folder.readConfig().contains("\"J\xc3\xbcrgen\""));
        Form1 again;
        QCOMPARE(again.nickName, QStringLiteral("Jürgen"));
    }

    void numberConversion_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "10" << true << 10;
        QTest::newRow("blanks and sign") << "  -12  " << true << -12;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("half to even down") << "2.5" << true << 2;
        QTest::newRow("half to even up") << "3.5" << true << 4;
        QTest::newRow("above half") << "2.51" << true << 3;
        QTest::newRow("below half") << "2.49" << true << 2;
        QTest::newRow("negative half") << "-2.5" << true << -2;
        QTest::newRow("leading point") << ".6" << true << 1;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << true << int(-2147483648LL);
        QTest::newRow("rounds past the top") << "2147483647.5" << false << 0;
        QTest::newRow("too large") << "2147483648" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blank") << "   " << false << 0;
        QTest::newRow("letters") << "ten" << false << 0;
        QTest::newRow("trailing letters") << "10x" << false << 0;
        QTest::newRow("sign alone") << "-" << false << 0;
        QTest::newRow("point alone") << "." << false << 0;
    }
    void numberConversion() {
        QFETCH(QString, text);
        QFETCH(bool, converts);
        QFETCH(int, value);
        const auto result = platform::toLong(text);
        QCOMPARE(result.has_value(), converts);
        if (converts) QCOMPARE(*result, value);
    }
};

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
