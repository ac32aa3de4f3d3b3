// The socket layer on its own: how the bytes of one connection become messages (UTF-8,
// Windows-1252 for 8-bit peers, a character split between reads put together without swallowing
// the next message), and the run-time errors of a method used in the wrong state.
#include "platform/err_object.h"
#include "sockets/incoming_text.h"
#include "sockets/socket_control_array.h"

#include <QTcpServer>
#include <QTest>

class SocketLayerTest : public QObject {
    Q_OBJECT
private slots:
    void readsBecomeMessages_data() {
        QTest::addColumn<QByteArrayList>("reads"); // "" stands for the hold time passing
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("UTF-8") << QByteArrayList{"gr\xc3\xbc\xc3\x9f", "\xf0\x9f\x98\x80"} << QStringList{"grüß", "😀"};
        QTest::newRow("8-bit text, once no continuation comes") << QByteArrayList{"caf\xe9", ""} << QStringList{"café"};
        QTest::newRow("a read that does not continue stands apart") << QByteArrayList{"nick\xc3", "nickName=x"} << QStringList{"nickÃ", "nickName=x"};
        QTest::newRow("the next read carries the held bytes") << QByteArrayList{"\xc3", "\xbc" "ber"} << QStringList{"über"};
        QTest::newRow("pieces of one character") << QByteArrayList{"\xf0", "\x9f", "\x98", "\x80!"} << QStringList{"😀!"};
        QTest::newRow("Windows-1252's own letters") << QByteArrayList{"\x80\x8a\x9c\x9f\xa0\xff"} << QStringList{"€ŠœŸ\u00a0ÿ"};
        QTest::newRow("unassigned bytes keep their control codes") << QByteArrayList{"\x81\x8d\x8f\x90\x9d"} << QStringList{"\u0081\u008d\u008f\u0090\u009d"};
        QTest::newRow("overlong form") << QByteArrayList{"\xc0\xaf"} << QStringList{"À¯"};
        QTest::newRow("surrogate") << QByteArrayList{"\xed\xa0\x80"} << QStringList{"í\u00a0€"};
        QTest::newRow("beyond U+10FFFF") << QByteArrayList{"\xf4\x90\x80\x80"} << QStringList{"ô\u0090€€"};
        QTest::newRow("E0 needs A0 and up") << QByteArrayList{"\xe0\x9f\xbf"} << QStringList{"àŸ¿"};
        QTest::newRow("a bad byte later spoils the joined read") << QByteArrayList{"\xc3", "\xa9 na\xefve"} << QStringList{"Ã© naïve"};
        QTest::newRow("held, then the peer leaves") << QByteArrayList{"a\xe2\x82", ""} << QStringList{"aâ‚"};
    }
    void readsBecomeMessages() {
        QFETCH(QByteArrayList, reads);
        QFETCH(QStringList, messages);
        IncomingText text;
        QStringList got;
        for (const QByteArray& read : reads) {
            text.append(read);
            while (const std::optional<QString> message = text.takeMessage(read.isEmpty())) got << *message;
        }
        QCOMPARE(got, messages);
        QVERIFY(!text.holding() && !text.hasPending());
    }

    void misuseFailsWithRunTimeErrors() {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        SocketControlArray array;
        QStringList errors;
        const auto attempt = [&](const std::function<void()>& call) {
            try {
                call();
                errors << QStringLiteral("none");
            } catch (const RuntimeError& e) {
                errors << QString::number(e.number()) + ' ' + e.description();
            }
        };
        attempt([&] { array(0).SendData(QStringLiteral("x")); });
        attempt([&] { array(0).Bind(65536); });
        attempt([&] { array(0).Connect(QStringLiteral("127.0.0.1"), 0); });
        attempt([&] { array(0).Accept(42); });
        array(0).Connect(QStringLiteral("127.0.0.1"), listener.serverPort());
        attempt([&] { array(0).Connect(QStringLiteral("127.0.0.1"), listener.serverPort()); });
        attempt([&] { array(0).Listen(); });
        attempt([&] { array.Load(0); });
        attempt([&] { array.Unload(0); });
        attempt([&] { array(1); });
        const QString wrongState = QStringLiteral("40006 Wrong protocol or connection state for the requested transaction or request");
        QCOMPARE(errors, (QStringList{wrongState, "380 Invalid property value", "380 Invalid property value",
                                      "5 Invalid procedure call or argument", wrongState, wrongState, "360 Object already loaded",
                                      "362 Can't unload controls created at design time", "340 Control array element '1' doesn't exist"}));
    }
};

QTEST_MAIN(SocketLayerTest)
#include "tst_socket_layer.moc"
