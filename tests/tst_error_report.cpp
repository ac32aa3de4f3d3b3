// The one error report: the message box's exact text, what it closes in each role, the help
// texts, and the host-name lookup that reports its own failures.
#include "diagnostics/error_codes.h"
#include "diagnostics/host_name.h"
#include "main_window/form1.h"
#include "platform/err_object.h"
#include "platform/error_trap.h"
#include "test_support.h"

#include <QMessageBox>
#include <QtEndian>
#include <QTcpServer>
#include <QTest>

using testing::waitUntil;

namespace {
QString expectedReport(const QString& context, int number, int dllError, const QString& description) {
    return context + QStringLiteral("\r\nError Nr.: ") + QString::number(number) + QStringLiteral("\r\nLast Dll Error: ") +
           QString::number(dllError) + QStringLiteral("\r\n\r\n") + description + QStringLiteral("\r\n\r\nHelp:\r\n") +
           getErrorText(number);
}
} // namespace

class ErrorReportTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        Err() = ErrObject{};
        setReverseLookupForTests(nullptr);
    }

    void reportOnAClientClosesTheConnection() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        QTcpServer listener;
        listener.listen(QHostAddress::LocalHost, 0);
        Form1 form;
        form.Winsock1(0).Connect(QStringLiteral("127.0.0.1"), listener.serverPort());
        QVERIFY(waitUntil([&] { return form.Winsock1(0).State() == SocketState::Connected; }));

        const qsizetype before = form.outputText().size();
        Err().set(10054, QStringLiteral("Connection is reset by remote side"));
        answerer.answerBox(QStringLiteral("OK"));
        form.errorHandler(QStringLiteral("Error while receiving data from 127.0.0.1"));

        QCOMPARE(answerer.boxes().size(), size_t(1));
        const auto& box = answerer.boxes().front();
        QCOMPARE(box.text, expectedReport(QStringLiteral("Error while receiving data from 127.0.0.1"), 10054, 0,
                                          QStringLiteral("Connection is reset by remote side")));
        QVERIFY(box.text.contains(QStringLiteral("Help:\r\nConnection reset by peer.")));
        QCOMPARE(box.icon, int(QMessageBox::Warning));
        QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
        QCOMPARE(form.Winsock1(0).State(), SocketState::Closed);
        QCOMPARE(testing::outputSince(form, before), QStringLiteral("Connection is reset by remote side\r\n"));
        QCOMPARE(Err().number, 0);
        QCOMPARE(Err().description, QString());
    }

    void reportOnAServerClosesNothing() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        Form1 form;
        QVERIFY(testing::startServer(form, answerer, testing::freeTcpPort()));
        Err().set(10053, QString());
        answerer.answerBox(QStringLiteral("OK"));
        const qsizetype before = form.outputText().size();
        form.errorHandler(QStringLiteral("Socket Error"));
        QCOMPARE(form.Winsock1(0).State(), SocketState::Listening);
        // An empty description keeps every line of the message and prints an empty line.
        QCOMPARE(answerer.boxes().back().text, expectedReport(QStringLiteral("Socket Error"), 10053, 0, QString()));
        QCOMPARE(testing::outputSince(form, before), QStringLiteral("\r\n"));
    }

    void refusedConnectionIsReportedFromTheSocketEvent() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        Form1 form;
        answerer.answerBox(QStringLiteral("OK"));
        form.Winsock1(0).Connect(QStringLiteral("127.0.0.1"), testing::freeTcpPort());
        QVERIFY(waitUntil([&] { return !answerer.boxes().empty(); }));
        const QString text = answerer.boxes().front().text;
        QVERIFY2(text.startsWith(QStringLiteral("Socket Error\r\nError Nr.: 10061\r\nLast Dll Error: ")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\r\n\r\nHelp:\r\nConnection refused. ")));
        QVERIFY(waitUntil([&] { return form.Winsock1(0).State() == SocketState::Closed; }));
    }

    void helpTexts_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("begins");
        const QList<QPair<int, QString>> table = {
            {10004, "Interrupted function call."}, {10013, "Permission denied."}, {10014, "Bad address."},
            {10022, "Invalid argument."}, {10024, "Too many open files."},
            {10035, "Resource temporarily unavailable."}, {10036, "Operation now in progress."},
            {10037, "Operation already in progress."}, {10038, "Socket operation on non-socket."},
            {10039, "Destination address required."}, {10040, "Message too long."},
            {10041, "Protocol wrong type for socket."}, {10042, "Bad protocol option."},
            {10043, "Protocol not supported."}, {10044, "Socket type not supported."},
            {10045, "Operation not supported."}, {10046, "Protocol family not supported."},
            {10047, "Address family not supported by protocol family."}, {10048, "Address already in use."},
            {10049, "Cannot assign requested address."}, {10050, "Network is down."},
            {10051, "Network is unreachable."}, {10052, "Network dropped connection on reset."},
            {10053, "Software caused connection abort."}, {10054, "Connection reset by peer."},
            {10055, "No buffer space available."}, {10056, "Socket is already connected."},
            {10057, "Socket is not connected."}, {10058, "Cannot send after socket shutdown."},
            {10060, "Connection timed out."}, {10061, "Connection refused."}, {10064, "Host is down."},
            {10065, "No route to host."}, {10067, "Too many processes."},
            {10091, "Network subsystem is unavailable."}, {10092, "WINSOCK.DLL version out of range."},
            {10093, "Successful WSAStartup not yet performed."}, {10094, "Graceful shutdown in progress."},
            {10109, "Class type not found."}, {11001, "Host not found."},
            {11002, "Non-authoritative host not found."}, {11003, "This is a non-recoverable error."},
            {11004, "Valid name, no data record of requested type."}};
        QCOMPARE(table.size(), 43);
        for (const auto& [number, begins] : table) QTest::addRow("%d", number) << number << begins;
    }
    void helpTexts() {
        QFETCH(int, number);
        QFETCH(QString, begins);
        const QString text = getErrorText(number);
        QVERIFY(text.startsWith(begins + QLatin1Char(' ')));
        QVERIFY(text.size() >= 56 && text.size() <= 824);
        QVERIFY(!text.contains(QLatin1Char('\n')));
    }

    void unknownNumbersHaveNoHelp() {
        for (int number : {0, -1, 10059, 10062, 10063, 10066, 11005, 1001, 40006})
            QCOMPARE(getErrorText(number), QStringLiteral("Error unknown."));
        QCOMPARE(getErrorText(10109), QStringLiteral("Class type not found. The specified class was not found."));
    }

    void loopbackHasItsRegisteredName() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        Form1 form;
        QCOMPARE(form.getHostName(QStringLiteral("127.0.0.1")), QStringLiteral("localhost"));
        QVERIFY(answerer.boxes().empty());
    }

    void failedLookupIsReportedAndGivesUnknown() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        QTcpServer listener;
        listener.listen(QHostAddress::LocalHost, 0);
        Form1 form;
        form.Winsock1(0).Connect(QStringLiteral("127.0.0.1"), listener.serverPort());
        quint32 lookedUp = 0;
        setReverseLookupForTests([&](quint32 address) {
            lookedUp = address;
            return ReverseLookupResult{nullptr, 11004};
        });
        answerer.answerBox(QStringLiteral("OK"));
        const qsizetype before = form.outputText().size();
        QCOMPARE(form.getHostName(QStringLiteral("10.1.2.3")), QStringLiteral("(unknown)"));
        QCOMPARE(lookedUp, qToBigEndian(quint32(0x0A010203)));
        QCOMPARE(answerer.boxes().size(), size_t(1));
        QCOMPARE(answerer.boxes().front().text,
                 expectedReport(QStringLiteral("Error while getting Host-Name"), 11004, 11004,
                                QStringLiteral("Cannot resolve IP-Address to Host-Name.")));
        QCOMPARE(testing::outputSince(form, before), QStringLiteral("Cannot resolve IP-Address to Host-Name.\r\n"));
        // Not a server: the report closed the client's connection.
        QCOMPARE(form.Winsock1(0).State(), SocketState::Closed);
    }

    void textThatIsNoAddressIsLookedUpAsTheConversionGivesIt() {
        setReverseLookupForTests([](quint32 address) {
            return ReverseLookupResult{address == 0xFFFFFFFFu ? "broadcast" : nullptr, 11001};
        });
        testing::ProgramFolder folder;
        Form1 form;
        QCOMPARE(form.getHostName(QString()), QStringLiteral("broadcast"));
        QCOMPARE(form.getHostName(QStringLiteral("not an address")), QStringLiteral("broadcast"));
    }

    void pointerToStringOfAnEmptyString() {
        testing::ProgramFolder folder;
        Form1 form;
        QCOMPARE(pointerToString(form, ""), QString());
        QCOMPARE(pointerToString(form, "host.example"), QStringLiteral("host.example"));
    }

    void standardExceptionsBecomeRunTimeErrors() {
        testing::ProgramFolder folder;
        testing::ModalAnswerer answerer;
        Form1 form;
        form.isServer = true;
        answerer.answerBox(QStringLiteral("OK"));
        const bool completed = withErrorTrap(form, [] { return QStringLiteral("Error while testing"); },
                                             [] { throw std::bad_alloc(); });
        QVERIFY(!completed);
        QVERIFY(answerer.boxes().front().text.startsWith(
            QStringLiteral("Error while testing\r\nError Nr.: 7\r\nLast Dll Error: 0\r\n\r\nOut of memory\r\n")));
    }
};

QTEST_MAIN(ErrorReportTest)
#include "tst_error_report.moc"
