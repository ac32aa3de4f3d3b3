// What start-up makes of each settings file and what a close writes; the one error report with
// its help texts; the host-name lookup that reports its own failures.
#include "diagnostics/error_codes.h"
#include "diagnostics/host_name.h"
#include "harness.h"
#include "platform/err_object.h"
#include "platform/number_conversion.h"

#include <QMessageBox>
#include <QTcpServer>
#include <QTest>

using namespace testing;

namespace {
QString state(const Form1& f) {
    const frmLogin& d = f.connectDialog;
    return QStringLiteral("%1 %2 %3.%4.%5.%6 [%7] %8 /%9")
        .arg(f.parleonPort).arg(f.maxClients).arg(d.lastIP_Byte1).arg(d.lastIP_Byte2).arg(d.lastIP_Byte3).arg(d.lastIP_Byte4)
        .arg(f.nickName).arg(f.connectTimeout).arg(f.lastState.upperBound());
}
const QString Defaults = QStringLiteral("9843 10 127.0.0.1 [%1] 20 /10");
} // namespace

class SettingsAndErrorsTest : public ModalTest {
    Q_OBJECT
private slots:

    void startUpReadsTheSettingsFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QByteArray>("written");
        const QString safe = QStringLiteral("File 'ParleonConfig.dat' not found.\r\nLoading safe settings.\r\n");
        QTest::newRow("no file") << QByteArray() << safe + Defaults.arg(QString()) << QByteArray("9843\r\n10\r\n127\r\n0\r\n0\r\n1\r\n\"\"\r\n20\r\n");
        QTest::newRow("eight lines; more are dropped") << QByteArray("4000\r\n3\r\n10\r\n0\r\n0\r\n7\r\n\"alice, the 1st\"\r\n5\r\nmore\r\n")
                                                       << "4000 3 10.0.0.7 [alice, the 1st] 5 /3" << QByteArray("4000\r\n3\r\n10\r\n0\r\n0\r\n7\r\n\"alice, the 1st\"\r\n5\r\n");
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

    void theReport_data() {
        QTest::addColumn<bool>("server");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("help");
        QTest::newRow("client: the connection closes") << false << 10061 << "Connection refused. ";
        QTest::newRow("server: nothing closes") << true << 10054 << "Connection reset by peer. ";
        QTest::newRow("a number without help") << true << 10059 << "Error unknown.";
    }
    void theReport() {
        QFETCH(bool, server);
        QFETCH(int, number);
        QFETCH(QString, help);
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
        modals().box([](QDialog& box) {
            Err().description = QStringLiteral("read again");
            box.accept();
        });
        w.form.errorHandler(QStringLiteral("Error while doing it"));
        const QString text = modals().boxes.back().text;
        QCOMPARE(text.section(QStringLiteral("Help:\r\n"), 0, 0),
                 QStringLiteral("Error while doing it\r\nError Nr.: %1\r\nLast Dll Error: 77\r\n\r\nwhat happened\r\n\r\n").arg(number));
        QVERIFY(text.section(QStringLiteral("Help:\r\n"), 1).startsWith(help));
        QCOMPARE(modals().boxes.back().icon, int(QMessageBox::Warning));
        QCOMPARE(w.fresh(), QStringLiteral("read again\r\n"));
        QCOMPARE(w.form.Winsock1(0).State(), server ? SocketState::Listening : SocketState::Closed);
        QVERIFY(Err().number == 0 && Err().description.isEmpty() && Err().lastDllError == 0);
    }

    void helpTextsForEveryWindowsSocketsNumber() {
        for (int number : {10004, 10013, 10014, 10022, 10024, 10035, 10036, 10037, 10038, 10039, 10040, 10041, 10042, 10043,
                           10044, 10045, 10046, 10047, 10048, 10049, 10050, 10051, 10052, 10053, 10054, 10055, 10056, 10057,
                           10058, 10060, 10061, 10064, 10065, 10067, 10091, 10092, 10093, 10094, 10109, 11001, 11002, 11003, 11004})
            QVERIFY2(getErrorText(number).contains(QStringLiteral(". ")), qPrintable(QString::number(number)));
        QVERIFY(getErrorText(11004).startsWith(QStringLiteral("Valid name, no data record of requested type. ")));
        QVERIFY(getErrorText(10109).endsWith(QStringLiteral("The specified class was not found.")));
        for (int number : {0, 10059, 10062, 10063, 10066, 11005, -1}) QCOMPARE(getErrorText(number), QStringLiteral("Error unknown."));
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

QTEST_MAIN(SettingsAndErrorsTest)
#include "tst_settings_and_errors.moc"
