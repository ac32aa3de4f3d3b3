// The built program in a real window on a private X display, clicked and typed into with
// xdotool, with raw TCP peers checking every byte.
#include "test_support.h"
#include "x_session.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using testing::RawPeer;
using testing::waitUntil;
using testing::XSession;

namespace {

// Places on the main window, in pixels from the twips of its design.
constexpr int StartServerX = (120 + 1695 / 2) / 15, ConnectX = (2280 + 1695 / 2) / 15, ButtonY = (120 + 375 / 2) / 15;

// The program, run from a folder of its own with its own settings file.
class ProgramRun {
public:
    explicit ProgramRun(const QByteArray& settings) {
        m_binary = m_folder.filePath(QStringLiteral("parleon"));
        QFile::copy(QStringLiteral(PARLEON_EXECUTABLE), m_binary);
        QFile config(configPath());
        if (config.open(QIODevice::WriteOnly)) config.write(settings);
    }
    ~ProgramRun() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    void start(const XSession& x) {
        QProcessEnvironment env = x.environment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder.path());
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(m_folder.path());
        m_process.start(m_binary, {});
    }
    bool waitForExit(int timeoutMs = 10000) {
        return waitUntil([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs) &&
               m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    QString configPath() const { return m_folder.filePath(QStringLiteral("ParleonConfig.dat")); }
    QByteArray config() const {
        QFile file(configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_folder;
    QString m_binary;
    QProcess m_process;
};

QByteArray settingsFile(quint16 port, const QByteArray& nick) {
    return QByteArray::number(port) + "\r\n10\r\n127\r\n0\r\n0\r\n1\r\n\"" + nick + "\"\r\n20\r\n";
}

std::unique_ptr<RawPeer> joinServer(quint16 port, const QByteArray& nick, const QByteArray& expectedList) {
    auto peer = std::make_unique<RawPeer>();
    if (!waitUntil([&] { return peer->connectTo(port); }, 10000)) return nullptr;
    QTest::qWait(100); // let the server show the acceptance before the nick name arrives
    peer->send("nickName=" + nick);
    if (!peer->expect(">>> Wellcome to Parleon V.0.2 <<<\r\n" + expectedList)) return nullptr;
    return peer;
}

} // namespace

class RealWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!XSession::toolsAvailable()) QSKIP("needs Xvfb, openbox, xdotool and wmctrl (scripts/test installs them)");
        QVERIFY(m_x.start());
    }

    void serverDrivenFromTheWindow() {
        const quint16 port = testing::freeTcpPort();
        ProgramRun program(settingsFile(port, ""));
        program.start(m_x);
        const QString window = m_x.waitForWindow(QStringLiteral("^Parleon$"));
        QVERIFY(!window.isEmpty());

        m_x.click(window, StartServerX, ButtonY);
        const QString dialog = m_x.waitForWindow(QStringLiteral("^Parleon Server Settings$"));
        QVERIFY(!dialog.isEmpty());
        m_x.pressKey(dialog, QStringLiteral("Return"));
        QVERIFY(waitUntil([&] { return m_x.title(window).startsWith(QStringLiteral("Parleon SERVER - Listening [")); }));

        auto alice = joinServer(port, "alice", "List of online Clients:\r\n01. alice\r\n");
        QVERIFY(alice);
        auto bob = joinServer(port, "bob", "List of online Clients:\r\n01. alice\r\n02. bob\r\n");
        QVERIFY(bob);
        QVERIFY(alice->expect(QByteArray(">>> bob has joined <<<")));
        QVERIFY(waitUntil([&] { return m_x.title(window) == QStringLiteral("Parleon SERVER - Connected [localhost]"); }));
        bob->send(QByteArray("hi alice"));
        QVERIFY(alice->expect(QByteArray("bob: hi alice")));

        m_x.typeLine(window, QStringLiteral("hello from the console"));
        QVERIFY(alice->expect(QByteArray("SERVER: hello from the console")));
        QVERIFY(bob->expect(QByteArray("SERVER: hello from the console")));

        m_x.typeLine(window, QStringLiteral("kickName=bob"));
        QVERIFY(bob->expect(QByteArray(">>> You are kicked by SERVER <<<")));
        QVERIFY(bob->waitForClose());
        QVERIFY(alice->expect(QByteArray(">>> bob was kicked by SERVER <<<")));
        QVERIFY(alice->expect(QByteArray(">>> bob has left <<<")));

        m_x.closeWindow(window);
        QVERIFY(program.waitForExit());
        QVERIFY(alice->waitForClose());
        QCOMPARE(program.config(), settingsFile(port, ""));
    }

    void clientDrivenFromTheWindow() {
        QTcpServer testServer;
        QVERIFY(testServer.listen(QHostAddress::LocalHost, 0));
        ProgramRun program(settingsFile(testServer.serverPort(), "dora"));
        program.start(m_x);
        const QString window = m_x.waitForWindow(QStringLiteral("^Parleon$"));
        QVERIFY(!window.isEmpty());

        m_x.click(window, ConnectX, ButtonY);
        const QString dialog = m_x.waitForWindow(QStringLiteral("^Parleon Connect to Server$"));
        QVERIFY(!dialog.isEmpty());
        m_x.pressKey(dialog, QStringLiteral("Return"));

        QVERIFY(waitUntil([&] { return testServer.hasPendingConnections(); }, 10000));
        QTcpSocket* server = testServer.nextPendingConnection();
        QByteArray received;
        const auto receivedNow = [&] { return received += server->readAll(); };
        QVERIFY(waitUntil([&] { return receivedNow() == "nickName=dora"; }));
        QVERIFY(waitUntil([&] { return m_x.title(window) == QStringLiteral("Parleon - Connected [localhost]"); }));

        server->write(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. dora\r\n");
        received.clear();
        m_x.typeLine(window, QStringLiteral("hello there"));
        QVERIFY(waitUntil([&] { return receivedNow() == "hello there"; }));

        m_x.closeWindow(window);
        QVERIFY(program.waitForExit());
        QVERIFY(waitUntil([&] { return server->state() == QAbstractSocket::UnconnectedState; }));
        QCOMPARE(program.config(), settingsFile(testServer.serverPort(), "dora"));
    }

private:
    XSession m_x;
};

QTEST_MAIN(RealWindowTest)
#include "tst_real_window.moc"
