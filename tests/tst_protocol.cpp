// The chat protocol on the server, as conversations with raw TCP peers: every byte each peer
// receives, every line the output box gains and the slot table, step by step. Then peers that stop
// reading, how the bytes of one connection become messages, and the run-time errors of a method
// used in the wrong state.
#include "harness.h"
#include "platform/err_object.h"
#include "platform/yield.h"
#include "server/terminal_text.h"
#include "sockets/data_turns.h"
#include "sockets/incoming_text.h"

#include <QRegularExpression>
#include <cctype>
#include <map>

using namespace testing;

#define W ">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n"
#define SHORT ">>> Bad nickName. At last 3 characters required. <<<"
#define IN_USE ">>> Bad nickName. Name is allready in use. <<<\r\n>>> Connect again with different nickName. <<<"
#define FULL "\r\n>>> No more Clients allowed. Goodbey <<<"
#define CLOSED "Connection closed by client 127.0.0.1"
#define KICKED ">>> You are kicked by SERVER <<<"
#define RULE "------------------------------------------------"

namespace {

#ifdef __SANITIZE_ADDRESS__
constexpr bool Instrumented = true;
#else
constexpr bool Instrumented = false;
#endif

// Steps: "A+" A connects and is accepted; "A*" A connects; "A=nick" A connects and joins (the
// others get the joined notice); "A>text" A sends; "A<text" A receives exactly that next; "A!" the
// server ends A's connection (FIN); "A-" A closes; "A^" A resets; "#line" the server's user types a line; "?" the
// user clicks "?"; ":a|b" the output box gained exactly these lines ("+A": A's acceptance, {port}:
// the port listened on, {since}: when); "@[a][b]" the slots' tags; "~ms" a pause; "%ms" how long
// a silent newcomer keeps its slot when the server is full. At the end no
// peer holds bytes it was not meant to get.
class Conversation {
public:
    Chat server;
    std::map<char, std::unique_ptr<Peer>> peers;
    std::vector<char> joined;
    QString why;

    bool step(const QByteArray& s) {
        const char id = s.at(0);
        const QByteArray arg = s.mid(2);
        Chat& f = server;
        switch (s.size() > 1 && std::isupper(id) ? s.at(1) : id) {
        case '+':
        case '*': {
            peers[id] = std::make_unique<Peer>(port());
            const QString accepted = QStringLiteral(" Port=%1\r\n").arg(peers[id]->localPort());
            return s.at(1) == '*' || waitUntil([&] { return f.output.mid(server.mark).contains(accepted); }) || fail(s, "not accepted");
        }
        case '=':
            if (!(peers[id] = joinAs(port(), arg))) return fail(s, "not welcomed");
            for (char other : joined)
                if (!peers[other]->expect(">>> " + arg + " has joined <<<")) return fail(s, "no notice");
            joined.push_back(id);
            waitUntil([&] { return f.output.endsWith(QString::fromUtf8("nickName=" + arg + "\r\n")); });
            server.fresh();
            return true;
        case '>': return peers[id]->send(arg), true;
        case '<': return peers[id]->expect(arg) || fail(s, peers[id]->received.left(200));
        // At once, not when a lingering connection is finally dropped two seconds later.
        case '!': return peers[id]->waitEnd(1500) == Peer::End::Fin || fail(s, "no FIN");
        case '-': return peers[id]->shutdownWrite(), std::erase(joined, id), true;
        case '^': return peers[id]->resetConnection(), std::erase(joined, id), true;
        // Typed and sent at once, before the program sees any other event.
        case '#': return f.type(QString::fromUtf8(s.mid(1))), true;
        case '?': return server.session.Command1_Click(), true;
        case '~': return QTest::qWait(s.mid(1).toInt()), true;
        case '%': return server.server.silentGiveWayMs = s.mid(1).toInt(), true;
        case ':': return output(QString::fromUtf8(s.mid(1)));
        case '@': return slotTable(QString::fromUtf8(s.mid(1)));
        }
        return fail(s, "unknown step");
    }

    quint16 port() { return server.port(); }

    bool output(const QString& lines) {
        QString expected;
        for (const QString& line : lines.isEmpty() ? QStringList() : lines.split(QLatin1Char('|')))
            expected += line.startsWith(QLatin1Char('+')) && line.size() == 2
                            ? QStringLiteral("Connection accepted with:\r\n IP=127.0.0.1\r\n Name=localhost\r\n Port=%1\r\n")
                                  .arg(peers[line.at(1).toLatin1()]->localPort())
                            : QString(line).replace("{port}", QString::number(port()))
                                      .replace("{since}", QLocale::system().toString(server.server.onlineSince, QLocale::ShortFormat)) +
                                  "\r\n";
        waitUntil([&] { return server.output.size() - server.mark >= expected.size(); }, 2000);
        const QString got = server.fresh();
        return got == expected || fail(":" + lines.toUtf8(), got.toUtf8());
    }

    // The slots' tags, and no element above the table but while a refusal is under way.
    bool slotTable(const QString& tags) {
        ChatSession& f = server.session;
        QString actual;
        waitUntil([&] {
            actual.clear();
            for (int i = 1; i <= f.socketCount; ++i)
                actual += QLatin1Char('[') + (f.Winsock1.isLoaded(i) ? f.Winsock1(i).Tag : QStringLiteral("?")) + QLatin1Char(']');
            return actual == tags;
        }, 2000);
        return (actual == tags && f.Winsock1.loadedCount() == f.socketCount + 1) || fail("@" + tags.toUtf8(), actual.toUtf8());
    }

    bool fail(const QByteArray& step, const QByteArray& detail) {
        why = QString::fromUtf8(step.left(80) + " -> " + detail);
        return false;
    }
};

} // namespace

class ProtocolTest : public ScriptedTest {
    Q_OBJECT
private slots:
    void conversation_data() {
        QTest::addColumn<QString>("maxClients");
        QTest::addColumn<QByteArrayList>("steps");
        auto row = [](const char* name, const char* max, QByteArrayList steps) { QTest::newRow(name) << QString::fromLatin1(max) << steps; };
        row("a join is welcomed with the list and announced; chat is relayed under the name", "10",
            {"A+", ":Server start OK on port {port}.|+A", "A>nickName=alice", "A<" W "01. alice\r\n", ":: nickName=alice", "B+", "B>nickName=bob",
             "B<" W "01. alice\r\n02. bob\r\n", "A<>>> bob has joined <<<", ":+B|: nickName=bob", "B>hi", "A<bob: hi",
             ":bob: hi", "@[alice][bob]"});
        row("a name needs three characters, counted as characters; the connection stays", "10",
            {"A+", "A>nickName=", "A<" SHORT, "A>nickName=ab", "A<" SHORT, "A>nickName=😀😀", "A<" SHORT, "@[]",
             "A>nickName=😀 😀", "A<" W "01. 😀 😀\r\n", "B+", "B>nickName=\xe9\xe8\xe0", "B<" W "01. 😀 😀\r\n02. éèà\r\n",
             "A<>>> éèà has joined <<<"});
        row("a name in use is refused and the connection ends, announced under its old name", "10",
            {"A=alice", "B=bob", "B>nickName=alice", "B<" IN_USE, "B!", "A<>>> bob has left <<<",
             ":bob: nickName=alice|" CLOSED, "@[alice]", "A>nickName=alice", "A<" IN_USE, "A!", "@"});
        row("__FREE__ is never a name, nor a name to kick", "1",
            {"A+", "A>nickName=__FREE__", "A<" IN_USE, "A!", ":Server start OK on port {port}.|+A|: nickName=__FREE__|" CLOSED, "@",
             "A=alice", "#kickName=__FREE__", ":SERVER: kickName=__FREE__|Cannot kick __FREE__. Name unknown. Press ?-button."});
        row("a rename is answered and announced; lines go out under the new name", "10",
            {"A=alice", "B=bob", "A>nickName=Alice", "A<>>> Your new nickName is Alice <<<",
             "B<>>> alice has renamed to Alice <<<", "A>hey", "B<Alice: hey", ":alice: nickName=Alice|Alice: hey"});
        row("commands are their first nine characters, case-sensitive; a name keeps its line break", "10",
            {"A=alice", "B=bob", "B>listnames", "A<bob: listnames", "B>listNamesXYZ",
             "B<List of online Clients:\r\n01. alice\r\n02. bob\r\n", "B>NickName=x", "A<bob: NickName=x",
             "B>nickName=bob\r\n", "B<>>> Your new nickName is bob\r\n <<<", "A<>>> bob has renamed to bob\r\n <<<",
             "B>nickName=ALICE", "B<>>> Your new nickName is ALICE <<<", "A<>>> bob\r\n has renamed to ALICE <<<"});
        row("a freed slot is reused lowest first; its newcomer is unlisted and unheard until named", "10",
            {"A=alice", "B=bob", "C=carol", "B-", "A<>>> bob has left <<<", "C<>>> bob has left <<<",
             "@[alice][__FREE__][carol]", "D+", "@[alice][__FREE__][carol]", "A>listNames",
             "A<List of online Clients:\r\n01. alice\r\n02. carol\r\n", "#all", "A<SERVER: all", "C<SERVER: all",
             "D>nickName=dave", "D<" W "01. alice\r\n02. dave\r\n03. carol\r\n", "A<>>> dave has joined <<<",
             "C<>>> dave has joined <<<",
             ":" CLOSED "|+D|alice: listNames|SERVER: all|__FREE__: nickName=dave", "@[alice][dave][carol]"});
        row("a newcomer in a reused slot keeps it when the next one arrives", "10",
            {"A=alice", "B=bob", "E=eve", "B-", "A<>>> bob has left <<<", "E<>>> bob has left <<<", "C+", "D+",
             "@[alice][__FREE__][eve][]", "C>nickName=carol", "C<" W "01. alice\r\n02. carol\r\n03. eve\r\n04. \r\n",
             "A<>>> carol has joined <<<", "E<>>> carol has joined <<<", "D<>>> carol has joined <<<", "@[alice][carol][eve][]"});
        row("an unnamed newcomer in a new slot is relayed and listed without a name, and leaves quietly", "10",
            {"A=alice", "B+", "B>hello", "A<: hello", "B>listNames", "B<List of online Clients:\r\n01. alice\r\n02. \r\n",
             "B-", ":+B|: hello|: listNames|" CLOSED, "@[alice]"});
        row("a full server refuses on a temporary element, shows nothing and keeps its table", "1",
            {"A=alice", "B*", "B<" FULL, "B!", "~20", ":", "@[alice]"});
        row("full, a connection that has sent nothing for long gives way to a newcomer", "2",
            {"%0", "A=alice", "S+", "B+", "S!", ":+S|" CLOSED "|+B", "B>nickName=bob", "B<" W "01. alice\r\n02. bob\r\n",
             "A<>>> bob has joined <<<", "@[alice][bob]"});
        row("full, a silent connection in a reused slot gives way too", "2",
            {"%0", "A=alice", "B=bob", "A-", "B<>>> alice has left <<<", "S+", "C+", "S!", "@[__FREE__][bob]",
             "C>nickName=carol", "C<" W "01. carol\r\n02. bob\r\n", "B<>>> carol has joined <<<"});
        row("a silent connection keeps its slot for half a minute, and one that spoke for good", "2",
            {"A=alice", "S+", "B*", "B<" FULL, "B!", "%0", "S>hello", "A<: hello", "C*", "C<" FULL, "C!", "@[alice][]"});
        row("a line sent just before a reset goes out before the departure, though the server wrote first", "10",
            {"B=bob", "A=alice", "B>last", "B^", "#hello", "A<SERVER: hello", "A<bob: last", "A<>>> bob has left <<<",
             ":SERVER: hello|bob: last|" CLOSED, "@[__FREE__][alice]"});
        row("a maximum of 0 refuses everyone", "0", {"A*", "A<" FULL, "A!", "@"});
        row("a refused peer that leaves during its refusal is seen leaving", "1",
            {"A=alice", "B*", "B-", "B<" FULL, "B!", ":" CLOSED, "@[alice]"});
        const QByteArray line(40000, 'x');
        row("a read of up to 64 KiB is one message", "10", {"A=alice", "B=bob", "A>" + line, "B<alice: " + line});
        const QByteArray beyondTheCap(6 << 20, 'w');
        row("a line larger than a reader's cap reaches every reader whole, and a kick after it", "10",
            {"A=alice", "B=bob", "#" + beyondTheCap, "#kickName=bob", "B<SERVER: " + beyondTheCap + KICKED, "B!",
             "A<SERVER: " + beyondTheCap + ">>> bob was kicked by SERVER <<<", "A<>>> bob has left <<<"});
        row("refusals at once each take an element of their own", "1",
            {"A=alice", "B*", "C*", "D*", "B<" FULL, "C<" FULL, "D<" FULL, "B!", "C!", "D!", ":", "@[alice]"});
        row("a kick tells the kicked, then the others, and frees the slot", "10",
            {"A=alice", "B=bob", "C=carol", "#kickName=bob", "B<" KICKED, "B!", "A<>>> bob was kicked by SERVER <<<",
             "A<>>> bob has left <<<", "C<>>> bob was kicked by SERVER <<<", "C<>>> bob has left <<<",
             ":SERVER: kickName=bob|" CLOSED "|bob was kicked.", "@[alice][__FREE__][carol]"});
        row("kick names are exact; the top slot kicked goes", "10",
            {"A=alice", "B=Bob", "#kickName=bob", ":SERVER: kickName=bob|Cannot kick bob. Name unknown. Press ?-button.",
             "#kickName=Bob ", ":SERVER: kickName=Bob |Cannot kick Bob . Name unknown. Press ?-button.",
             "#kickName=Bob", "B<" KICKED, "B!", "A<>>> Bob was kicked by SERVER <<<", "A<>>> Bob has left <<<", "@[alice]"});
        row("an empty kick name takes the unnamed newcomers of new slots", "10",
            {"A=alice", "B+", "#kickName=", "B<" KICKED, "B!", "A<>>>  was kicked by SERVER <<<",
             ":+B|SERVER: kickName=|" CLOSED "| was kicked.", "@[alice]"});
        row("a client leaving during its kick is seen leaving once", "10",
            {"A=alice", "B=bob", "B-", "#kickName=bob", "B<" KICKED, "B!", "A<>>> bob was kicked by SERVER <<<",
             "A<>>> bob has left <<<", ":SERVER: kickName=bob|" CLOSED "|bob was kicked.", "@[alice]"});
        row("two clients leaving, the first during its kick: each is seen leaving once, in turn", "10",
            {"A=alice", "B=bob", "C=carol", "B-", "C-", "#kickName=bob", "B<" KICKED, "B!", "A<>>> bob was kicked by SERVER <<<",
             "A<>>> bob has left <<<", "A<>>> carol has left <<<", "@[alice][__FREE__]"});
        row("the console needs a client; help shows the running server", "1",
            {"#anyone?", ":Server start OK on port {port}.|ERROR: Cannot send message, no clients connected.", "A=alice", "?",
             ":|" RULE "|Parleon - Version 0.4.0|" RULE "|Multi client chat via TCP/IP|" RULE "|Quick test:|1. Run Parleon.exe "
             "and start a Server|2. Run Parleon.exe and start a Client|3. Enter 127.0.0.1 in the Popup-Dialog|4. Chat with yourself|"
             RULE "|Server Info:|Running port = {port}|Online since = {since}|Maximum clients = 1|Connected clients = 1|List of "
             "online Clients:|01. alice||" RULE "|Enter 'kickName=nnn' /where nnn is the |Client-Nick-Name to kick from this "
             "Server.|" RULE});
        row("console lines go to every client; other spellings of the kick are plain lines", "10",
            {"A=alice", "B=bob", "#hi all", "A<SERVER: hi all", "B<SERVER: hi all", "#kickname=bob",
             "A<SERVER: kickname=bob", "B<SERVER: kickname=bob", "# kickName=bob", "A<SERVER:  kickName=bob",
             "B<SERVER:  kickName=bob", "#", "A<SERVER: ", "B<SERVER: "});
        row("8-bit text reads as Windows-1252, goes out at once and never swallows the next message", "10",
            {"A=alice", "B=bob", "A>caf\xe9", "B>next", ":alice: café|bob: next", "B<alice: café", "A<bob: next",
             "A>listNames", "A<List of online Clients:\r\n01. alice\r\n02. bob\r\n", "A>nick\xc3", "B<alice: nickÃ",
             "A>nickName=alicia", "A<>>> Your new nickName is alicia <<<", "B<>>> alice has renamed to alicia <<<"});
    }

    void conversation() {
        QFETCH(QString, maxClients);
        QFETCH(QByteArrayList, steps);
        Conversation c;
        c.server.fresh();
        QVERIFY(startServer(c.server, 0, maxClients.toInt()));
        for (const QByteArray& step : steps) QVERIFY2(c.step(step), qPrintable(c.why));
        QTest::qWait(30);
        for (auto& [id, peer] : c.peers) QVERIFY2(peer->take().isEmpty(), qPrintable(QStringLiteral("%1 got more").arg(id)));
    }

    // Peers that try to stall or starve the server; floods and churn are measured in bench/.
    // A sender's readers, each reading so many bytes a millisecond (-1: all it can, at once; 0:
    // nothing; else in bursts, as TCP lets a slow reader's window open) once the pause is over;
    // the first ones paste. Then: which peers are cut (by their numbers), and why.
    void readersFarBehindAreCut_data() {
        readerColumns();
        const QString behind = QStringLiteral(" fell far behind the others"), stalled = QStringLiteral(" took nothing for 2 s");
        QTest::newRow("one that reads 500 kB/s beside a fast one") << QList<int>{-1, -1, 500} << 1 << 16384 << 0 << false << "2" + behind;
        QTest::newRow("one that reads nothing beside a fast one") << QList<int>{-1, -1, 0} << 1 << 16384 << 0 << false << "2" + behind;
        QTest::newRow("the only reader reads nothing") << QList<int>{-1, 0} << 1 << 16384 << 0 << false << "1" + stalled;
        QTest::newRow("one that trickles beside many senders") << QList<int>{-1, -1, -1, -1, -1, -1, -1, -1, 64} << 8 << 2048 << 0 << false
                                                               << "8" + behind;
    }
    void readersFarBehindAreCut() { readers(); }
    void readersWhoKeepThePaceAreNot_data() {
        readerColumns();
        QTest::newRow("the only reader stops for a while") << QList<int>{-1, -1} << 1 << 16384 << 1500 << false << QString();
        QTest::newRow("the only reader beside a newcomer who gets nothing") << QList<int>{-1, 2000} << 1 << 8192 << 0 << true << QString();
        QTest::newRow("readers that are all slow") << QList<int>{-1, 150, 150} << 1 << 16384 << 0 << false << QString();
        QTest::newRow("many senders to readers of one pace") << QList<int>(17, 4000) << 16 << 512 << 0 << false << QString();
        QTest::newRow("most readers slow, a few fast") << QList<int>{-1, -1, -1, 100, 100, 100} << 1 << 16384 << 0 << false << QString();
    }
    void readersWhoKeepThePaceAreNot() { readers(); }

private:
    static void readerColumns() {
        QTest::addColumn<QList<int>>("rates");
        QTest::addColumn<int>("senders");
        QTest::addColumn<int>("pasteKiB");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<bool>("silentNewcomerInAFreedSlot");
        QTest::addColumn<QString>("cut");
    }
    void readers() {
        QFETCH(QList<int>, rates);
        QFETCH(int, senders);
        QFETCH(int, pasteKiB);
        QFETCH(int, pauseMs);
        QFETCH(bool, silentNewcomerInAFreedSlot);
        QFETCH(QString, cut);
        Chat server;
        QVERIFY(startServer(server, 0, 20));
        auto gone = joinAs(server.port(), "gone");
        std::vector<std::unique_ptr<Peer>> peers;
        for (int i = 0; i < rates.size(); ++i) QVERIFY(peers.emplace_back(joinAs(server.port(), "peer" + QByteArray::number(i))));
        // A newcomer in the slot of one who left hears nothing until named.
        std::unique_ptr<Peer> silent;
        gone.reset();
        QVERIFY(waitUntil([&] { return server.output.contains(QStringLiteral("closed by client")); }));
        if (silentNewcomerInAFreedSlot) silent = std::make_unique<Peer>(server.port());
        QTest::qWait(50);
        for (auto& peer : peers) peer->take();
        std::vector<qint64> taken(peers.size()), zs(peers.size()), unsent(senders, qint64(pasteKiB) * 1024);
        QElapsedTimer clock;
        clock.start();
        QTimer reading;
        QObject::connect(&reading, &QTimer::timeout, [&] {
            const qint64 reads = clock.elapsed() - pauseMs;
            for (size_t i = 0; i < peers.size(); ++i) {
                if (reads < 0 || rates[i] == 0) continue;
                const QByteArray got = peers[i]->takeSome(rates[i] < 0 ? qint64(1) << 30 : reads / 400 * 400 * rates[i] - taken[i]);
                taken[i] += got.size(), zs[i] += got.count('z');
            }
        });
        reading.start(1);
        const qint64 cpu = threadCpuMs();
        const QByteArray piece(64 * 1024, 'z');
        const auto expected = [&](size_t i) { return qint64(senders - (int(i) < senders)) * pasteKiB * 1024; };
        const auto settled = [&] {
            for (size_t i = 0; i < peers.size(); ++i)
                if (peers[i]->end == Peer::End::Open && (rates[i] == 0 || zs[i] < expected(i))) return false;
            return true;
        };
        constexpr qint64 Limit = 5000;
        while (clock.elapsed() < Limit && !settled()) {
            for (int s = 0; s < senders; ++s) unsent[s] -= peers[s]->sendSome(piece.left(qMin<qint64>(unsent[s], piece.size())));
            QTest::qWait(1);
        }
        // Those cut have their reset; those not cut have had all if they could.
        QString wasCut;
        bool allCanFinish = true; // every reader that stays can take it all in the time
        for (size_t i = 0; i < peers.size(); ++i)
            allCanFinish &= cut.contains(QString::number(i)) || rates[i] < 0 || rates[i] * (Limit - pauseMs) >= expected(i);
        for (size_t i = 0; i < peers.size(); ++i) {
            if (peers[i]->end == Peer::End::Open && rates[i] == 0) peers[i]->waitEnd(3000);
            if (peers[i]->end != Peer::End::Open) wasCut += QString::number(i);
            else if (allCanFinish) QCOMPARE(zs[i], expected(i));
        }
        QCOMPARE(wasCut, cut.section(QLatin1Char(' '), 0, 0));
        // Those who keep reading are never far apart: the room waits for most of them.
        std::vector<qint64> kept;
        for (size_t i = senders; i < peers.size(); ++i)
            if (peers[i]->end == Peer::End::Open) kept.push_back(zs[i]);
        if (!kept.empty()) QCOMPARE_LT(std::ranges::max(kept) - std::ranges::min(kept), 6 << 20);
        QCOMPARE(server.shortTexts.count(QStringLiteral("Send queue exceeded")), wasCut.size());
        QVERIFY(wasCut.isEmpty() || server.shortTexts.contains("client 127.0.0.1 " + cut.section(QLatin1Char(' '), 1) + ", its connection was cut.\r\n"));
        // Where no reader takes all it can, the program mostly waits, and waits idle. Senders
        // read too where they are sent to. Instrumented builds spend their time elsewhere.
        bool waits = !Instrumented;
        for (size_t i = 0; i < peers.size(); ++i) waits &= rates[i] >= 0 || expected(i) == 0;
        if (waits) QCOMPARE_LT(threadCpuMs() - cpu, clock.elapsed() * 3 / 4);
    }

private slots:
    void aStormOfJoinsAndDeparturesIsToldInTheirOrder() {
        Chat server;
        QVERIFY(startServer(server, 0, 200));
        auto watcher = joinAs(server.port(), "watcher");
        QVERIFY(watcher);
        std::vector<std::unique_ptr<Peer>> crowd;
        for (int i = 0; i < 150; ++i) crowd.push_back(std::make_unique<Peer>(server.port()));
        for (int i = 0; i < 150; ++i) crowd[i]->send("nickName=n" + QByteArray::number(i).rightJustified(3, '0'));
        QByteArray notices;
        QVERIFY(waitUntil([&] { return (notices += watcher->take(1)).count(" has joined <<<") == 150; }, 30000));
        const auto names = [](const QString& text, const QString& pattern) {
            QStringList found;
            for (const auto& match : QRegularExpression(pattern).globalMatch(text)) found << match.captured(1);
            return found;
        };
        QCOMPARE(names(QString::fromLatin1(notices), QStringLiteral(">>> (n\\d+) has joined")),
                 names(server.output, QStringLiteral(": nickName=(n\\d+)")));
        // The first hundred leave one after the other, all at once: the last to come is told of
        // their departures in that order.
        QStringList leavers;
        for (int i = 0; i < 100; ++i) crowd[i].reset(), leavers << QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0'));
        // A newcomer meanwhile is told of every departure after its welcome's list.
        Peer late(server.port());
        late.send("nickName=late");
        notices.clear();
        QVERIFY(waitUntil([&] { return (notices += crowd.back()->take(1)).count(" has left <<<") == 100; }, 30000));
        QCOMPARE(names(QString::fromLatin1(notices), QStringLiteral(">>> (n\\d+) has left")), leavers);
        QVERIFY(late.waitFor("late\r\n"));
        const QString welcome = QString::fromLatin1(late.take(100));
        QStringList online = names(welcome, QStringLiteral("\\d\\d\\. (\\w+)\r\n"));
        for (const QString& gone : names(welcome, QStringLiteral(">>> (n\\d+) has left"))) online.removeOne(gone);
        QCOMPARE(online.size(), 52); // the watcher, the fifty who stay and the newcomer
    }

    void aKickWaitsForTheLinesThatCameBeforeIt() {
        Chat server;
        QVERIFY(startServer(server, 0));
        auto alice = joinAs(server.port(), "alice"), bob = joinAs(server.port(), "bob"), victim = joinAs(server.port(), "victim");
        QVERIFY(alice && bob && victim && bob->expect(">>> victim has joined <<<"));
        // While alice's line is relayed, the victim's last line comes in and waits its turn; then
        // the user kicks the victim.
        bool kicked = false, inputFree = false;
        server.onText = [&](const QString& text) {
            if (kicked || !text.startsWith(QStringLiteral("alice: one"))) return;
            kicked = true;
            victim->send("last words");
            for (int i = 0; i < 20; ++i) QThread::msleep(1), platform::doEvents();
            server.type(QStringLiteral("kickName=victim"));
            inputFree = server.input.isEmpty(); // the user may type on while the kick waits
        };
        alice->send("one");
        QVERIFY(bob->waitFor(">>> victim has left <<<") && inputFree);
        QCOMPARE(bob->received, "alice: onevictim: last words>>> victim was kicked by SERVER <<<>>> victim has left <<<");
    }

    void readsBecomeMessages_data() {
        QTest::addColumn<QByteArrayList>("reads"); // "" stands for the hold time passing
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("UTF-8") << QByteArrayList{"gr\xc3\xbc\xc3\x9f", "\xf0\x9f\x98\x80"} << QStringList{"grüß", "😀"};
        QTest::newRow("UTF-8 at the top of each range") << QByteArrayList{"\xc2\xbf\xed\x9f\xbf\xf4\x8f\xbf\xbf"} << QStringList{"¿\ud7ff\U0010ffff"};
        // Only a read long enough to have been split by the network (536 bytes, IPv4's default
        // segment) waits for the rest of a character.
        const QByteArray L(535, 'a');
        QTest::newRow("short 8-bit text goes at once") << QByteArrayList{"caf\xe9", L.chopped(1) + "\xc3", "\xbc"} << QStringList{"café", L.chopped(1) + "Ã", "¼"};
        QTest::newRow("long 8-bit text, once no continuation comes") << QByteArrayList{L + "caf\xe9", ""} << QStringList{L + "café"};
        QTest::newRow("a read that does not continue stands apart") << QByteArrayList{L + "\xc3", "nickName=x"} << QStringList{L + "Ã", "nickName=x"};
        QTest::newRow("the next read carries the held bytes") << QByteArrayList{L + "\xc3", "\xbc" "ber"} << QStringList{L + "über"};
        QTest::newRow("pieces of one character") << QByteArrayList{L + "\xf0", "\x9f", "\x98", "\x80!"} << QStringList{L + "😀!"};
        QTest::newRow("Windows-1252's own letters") << QByteArrayList{"\x80\x8a\x9c\x9f\xa0\xff"} << QStringList{"€ŠœŸ\u00a0ÿ"};
        QTest::newRow("unassigned bytes keep their control codes") << QByteArrayList{"\x81\x8d\x8f\x90\x9d"} << QStringList{"\u0081\u008d\u008f\u0090\u009d"};
        QTest::newRow("overlong form") << QByteArrayList{"\xc0\xaf"} << QStringList{"À¯"};
        QTest::newRow("surrogate") << QByteArrayList{"\xed\xa0\x80"} << QStringList{"í\u00a0€"};
        QTest::newRow("beyond U+10FFFF") << QByteArrayList{"\xf4\x90\x80\x80"} << QStringList{"ô\u0090€€"};
        QTest::newRow("E0 needs A0 and up") << QByteArrayList{"\xe0\x9f\xbf"} << QStringList{"àŸ¿"};
        QTest::newRow("a bad byte later spoils the joined read") << QByteArrayList{L + "\xc3", "\xa9 na\xefve"} << QStringList{L + "Ã© naïve"};
        QTest::newRow("held, then the peer leaves") << QByteArrayList{L + "\xe2\x82", ""} << QStringList{L + "â‚"};
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

    void theLogIsShownSafelyOnATerminal_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line ends") << QStringList{"a\r\nb\rc\nd\n\re\r\rf"} << "a\nb\nc\nd\n\ne\n\nf";
        QTest::newRow("a CR and its LF in two texts") << QStringList{"a\r", "\nb\r", "c\r", "\r\n"} << "a\nb\nc\n\n";
        QTest::newRow("a CR, then text, then an LF") << QStringList{"a\rb\n", "c\r", "d", "\ne"} << "a\nb\nc\nd\ne";
        QTest::newRow("controls shown, TAB kept") << QStringList{"\x1b[2J\t\x7f\u0085\u009f\u00a0x\x01"} << "\\x1B[2J\t\\x7F\\x85\\x9F\u00a0x\\x01";
        QTest::newRow("a text without a line end") << QStringList{"alice: hi", " there"} << "alice: hi there";
    }
    void theLogIsShownSafelyOnATerminal() {
        QFETCH(QStringList, texts);
        QFETCH(QString, shown);
        TerminalText terminal;
        QString got;
        for (const QString& text : texts) got += terminal(text);
        QCOMPARE(got, shown);
    }

    void turnsAreTakenInTheOrderAskedFor() {
        // Also by one that asks the moment a turn has been handed on: it waits for those before it.
        DataTurns turns;
        QObject a, b, c, d;
        QString order;
        std::function<void(QObject*, QChar)> ask = [&](QObject* element, QChar name) {
            if (!turns.enter(element, [&, element, name] { ask(element, name); })) return;
            order += name;
            if (name == 'b') QMetaObject::invokeMethod(&d, [&] { ask(&d, 'd'); }, Qt::QueuedConnection);
            turns.leave();
        };
        QVERIFY(turns.enter(&a, [] {}));
        ask(&b, 'b');
        ask(&c, 'c');
        turns.leave();
        QVERIFY(waitUntil([&] { return order.size() == 3; }));
        QCOMPARE(order, QStringLiteral("bcd"));
    }

    void misuseFailsWithRunTimeErrors() {
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        SocketControlArray array;
        const QString wrongState = QStringLiteral("40006 Wrong protocol or connection state for the requested transaction or request");
        const std::pair<std::function<void()>, QString> calls[] = {
            {[&] { array(0).SendData(QStringLiteral("x")); }, wrongState},
            {[&] { array(0).Bind(65536); }, "380 Invalid property value"},
            {[&] { array(0).Bind(65535); }, "none"},
            {[&] { array(0).Connect(QStringLiteral("127.0.0.1"), 0); }, "380 Invalid property value"},
            {[&] { array(0).Accept(42); }, "5 Invalid procedure call or argument"},
            {[&] { array(0).Connect(QStringLiteral("127.0.0.1"), listener.serverPort()); }, "none"},
            {[&] { array(0).Connect(QStringLiteral("127.0.0.1"), listener.serverPort()); }, wrongState},
            {[&] { array(0).Accept(42); }, wrongState},
            {[&] { array(0).Listen(); }, wrongState},
            {[&] { array(0).Bind(1); }, wrongState},
            {[&] { array.Load(0); }, "360 Object already loaded"},
            {[&] { array.Unload(0); }, "362 Can't unload controls created at design time"},
            {[&] { array(1); }, "340 Control array element '1' doesn't exist"}};
        for (const auto& [call, error] : calls) {
            QString raised = QStringLiteral("none");
            try {
                call();
            } catch (const RuntimeError& e) {
                raised = QString::number(e.number()) + ' ' + e.description();
            }
            QCOMPARE(raised, error);
        }
        // An address that is no dotted number is reported as a host not found, from the event loop.
        QString reported;
        QObject::connect(&array, &SocketControlArray::Error, [&](int, qint32 number, const QString& text) { reported = QString::number(number) + ' ' + text; });
        array(0).Close();
        array(0).Connect(QStringLiteral("no.such.host"), 1);
        QVERIFY(reported.isEmpty() && waitUntil([&] { return !reported.isEmpty(); }));
        QCOMPARE(reported, QStringLiteral("11001 Authoritative answer: Host not found"));
    }
};

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
