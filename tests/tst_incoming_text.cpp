// How the bytes of one connection become messages: UTF-8, Windows-1252 for 8-bit peers, and a
// character split between reads put together without swallowing the next message.
#include "sockets/incoming_text.h"

#include <QTest>

class IncomingTextTest : public QObject {
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
};

QTEST_MAIN(IncomingTextTest)
#include "tst_incoming_text.moc"
