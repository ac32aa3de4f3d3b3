// The client slot table's rules, on socket elements without a running server.
#include "sockets/client_slot_table.h"
#include "sockets/socket_control_array.h"

#include <QTest>

namespace {
// A slot table over a socket array of its own, recording the lines it prints.
struct Table {
    explicit Table(qint32 maximum) : maxClients(maximum) {}
    SocketControlArray sockets;
    qint32 socketCount = 0;
    qint32 maxClients;
    QStringList printed;
    ClientSlotTable table{sockets, socketCount, maxClients, [this](const QString& line) { printed << line; }};
};
} // namespace

class SlotTableTest : public QObject {
    Q_OBJECT
private slots:
    void growsReusesLowestFirstAndReportsFull() {
        Table fixture(3);
        auto& [sockets, socketCount, maxClients, printed, table] = fixture;
        QCOMPARE(table.getFreeSocket(), 1);
        QCOMPARE(table.getFreeSocket(), 2);
        QCOMPARE(table.getFreeSocket(), 3);
        QCOMPARE(socketCount, 3);
        QCOMPARE(table.getFreeSocket(), 4); // full: maxClients + 1, nothing created
        QCOMPARE(socketCount, 3);
        QVERIFY(!sockets.isLoaded(4));
        sockets(3).Tag = ClientSlotTable::FreeTag;
        sockets(2).Tag = ClientSlotTable::FreeTag;
        QCOMPARE(table.getFreeSocket(), 2);
        // The unnamed new slot 1 counts; the reused slot 2 stays free until its client names itself.
        QCOMPARE(table.countClients(), 1);
    }

    void namesAndList() {
        Table fixture(10);
        auto& [sockets, socketCount, maxClients, printed, table] = fixture;
        QVERIFY(table.isNameFree(QStringLiteral("__FREE__")));
        QCOMPARE(table.listClients(), QStringLiteral("List of online Clients:\r\n"));
        for (int i = 0; i < 11; ++i) table.getFreeSocket();
        for (int i = 1; i <= 10; ++i) sockets(i).Tag = QStringLiteral("n%1").arg(i);
        sockets(2).Tag = ClientSlotTable::FreeTag;
        QVERIFY(!table.isNameFree(QStringLiteral("__FREE__")));
        QVERIFY(!table.isNameFree(QStringLiteral("n10")));
        QVERIFY(table.isNameFree(QStringLiteral("N10")));
        const QString list = table.listClients();
        QVERIFY(list.startsWith(QStringLiteral("List of online Clients:\r\n01. n1\r\n02. n3\r\n")));
        QVERIFY(list.endsWith(QStringLiteral("09. n10\r\n")));
        sockets(5).Tag = QStringLiteral("x");
        sockets(6).Tag = QStringLiteral("y");
        sockets(7).Tag = QStringLiteral("z");
        sockets(8).Tag = QStringLiteral("w");
        sockets(9).Tag = QStringLiteral("v");
        sockets(2).Tag = QStringLiteral("u");
        QVERIFY(table.listClients().endsWith(QStringLiteral("10. n10\r\n")));
    }

    void aTakenSlotThatIsNotConnectedGetsAnErrorLineInstead() {
        Table fixture(10);
        auto& [sockets, socketCount, maxClients, printed, table] = fixture;
        table.getFreeSocket();
        table.getFreeSocket();
        sockets(2).Tag = ClientSlotTable::FreeTag;
        table.sendToClients(QStringLiteral("hello"), 0);
        QCOMPARE(printed, QStringList{QStringLiteral("ERROR: Cannot send message toclient 0.0.0.0")});
        printed.clear();
        table.sendToClients(QStringLiteral("hello"), 1);
        QCOMPARE(printed, QStringList());
    }
};

QTEST_MAIN(SlotTableTest)
#include "tst_slot_table.moc"
