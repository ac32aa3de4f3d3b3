// The built program as people run it: its command line, a server without a window, its settings
// beside a read-only installation, and its real window under Xvfb, clicked and typed into.
#include "harness.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <sys/resource.h>
#include <unistd.h>

using namespace testing;

namespace {
QByteArray settingsFile(quint16 port, const QByteArray& nick) {
    return QByteArray::number(port) + "\r\n10\r\n127\r\n0\r\n0\r\n1\r\n\"" + nick + "\"\r\n20\r\n";
}

// A private X display (Xvfb) with a window manager (openbox), driven with xdotool and wmctrl, the
// way a person at the screen would drive it.
class XSession {
public:
    ~XSession() {
        for (QProcess* process : {&m_windowManager, &m_xvfb}) process->kill(), process->waitForFinished(3000);
    }
    static bool toolsAvailable() {
        for (const char* tool : {"Xvfb", "openbox", "xdotool", "wmctrl", "xprop"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) return false;
        return true;
    }
    // A busy machine may be slow to bring up the display or its window manager: one more try.
    bool start() { return startOnce() || (m_windowManager.kill(), m_xvfb.kill(), m_xvfb.waitForFinished(), startOnce()); }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }
    // Runs xdotool, wmctrl or xprop on this display; returns its output, trimmed.
    QString run(const QString& tool, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(tool, arguments);
        process.waitForFinished(10000);
        return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }
    // The first visible window whose title matches the pattern, waiting for it.
    QString waitForWindow(const QString& pattern) const {
        QString window;
        waitUntil([&] { return !(window = run("xdotool", {"search", "--onlyvisible", "--name", pattern}).section('\n', 0, 0)).isEmpty(); },
                  10000);
        return window;
    }
    QString title(const QString& window) const { return run(QStringLiteral("xdotool"), {"getwindowname", window}); }
    void xdotool(const QString& window, const QStringList& arguments) const {
        run(QStringLiteral("xdotool"), {"windowactivate", "--sync", window});
        run(QStringLiteral("xdotool"), arguments);
    }

private:
    bool startOnce() {
        // Xvfb picks a free display itself and says which: no race with other sessions.
        m_xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        QByteArray number;
        if (!waitUntil([&] { return (number += m_xvfb.readAllStandardOutput()).endsWith('\n'); }, 30000)) return false;
        m_display = ':' + QString::fromLatin1(number.trimmed());
        m_windowManager.setProcessEnvironment(environment());
        m_windowManager.start(QStringLiteral("openbox"), {});
        // The window manager is there once it answers for itself.
        return waitUntil([&] { return !run(QStringLiteral("wmctrl"), {"-m"}).isEmpty(); }, 60000);
    }
    QProcess m_xvfb;
    QProcess m_windowManager;
    QString m_display;
};

// The program run from a folder of its own, with its own settings file.
struct Program {
    QTemporaryDir folder;
    QProcess process;
    explicit Program(const QByteArray& settings = {}) {
        QFile::copy(QStringLiteral(PARLEON_EXECUTABLE), folder.filePath(QStringLiteral("parleon")));
        QFile file(settingsPath());
        if (!settings.isEmpty() && file.open(QIODevice::WriteOnly)) file.write(settings);
    }
    ~Program() { process.kill(), process.waitForFinished(3000); }
    QString settingsPath() const { return folder.filePath(QStringLiteral("ParleonConfig.dat")); }
    void start(const QStringList& arguments, const QProcessEnvironment& env, QStringList prefix = {}) {
        process.setProcessEnvironment(env);
        prefix << folder.filePath(QStringLiteral("parleon"));
        process.start(prefix.first(), prefix.mid(1) + arguments);
    }
    bool endsWell(int timeoutMs = 10000) {
        return waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs) &&
               process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    bool output(const QByteArray& text) { return waitUntil([&] { return process.peek(1 << 20).contains(text); }); }
};

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}
} // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("says");
        QTest::newRow("help, without a display") << QStringList{"--help"} << 0 << QByteArray("Usage: parleon [options]\n");
        QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("parleon 0.3.2\n");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QByteArray("parleon: Unknown option 'bogus'.\n");
        QTest::newRow("no such port") << QStringList{"--server", "--port", "70000"} << 2 << QByteArray("--port: '70000' is not a port");
        QTest::newRow("no number") << QStringList{"--server", "--max-clients", "x"} << 2 << QByteArray("--max-clients: 'x' is not");
        QTest::newRow("port without server") << QStringList{"--port", "5"} << 2 << QByteArray("go with --server");
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, says);
        Program program;
        program.start(arguments, withoutDisplay());
        QVERIFY(program.process.waitForFinished(10000));
        QCOMPARE(program.process.exitCode(), status);
        const QByteArray said = status ? program.process.readAllStandardError() : program.process.readAllStandardOutput();
        QVERIFY2(said.startsWith(says) || said.contains(says), said.constData());
    }

    void headlessServerWithPeers() {
        Program program;
        const quint16 port = freeTcpPort();
        program.start({"--server", "--headless", "--port", QString::number(port), "--max-clients", "1"}, withoutDisplay());
        QVERIFY(program.output("Server start OK on port " + QByteArray::number(port) + ".\n"));
        Peer alice(port);
        alice.send("nickName=alice");
        QVERIFY(alice.expect(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. alice\r\n"));
        Peer refused(port);
        QVERIFY(refused.expect("\r\n>>> No more Clients allowed. Goodbey <<<") && refused.waitEnd() == Peer::End::Fin);
        alice.send("caf\xe9");
        QVERIFY(program.output("alice: café\n"));
        // A second copy cannot listen on the same port: its box goes to standard error, and it ends.
        Program second;
        second.start({"--server", "--headless", "--port", QString::number(port)}, withoutDisplay());
        QVERIFY(second.process.waitForFinished(10000));
        QCOMPARE(second.process.exitCode(), 1);
        QVERIFY(second.process.readAllStandardError().contains(
            "parleon: Error while starting server at port " + QByteArray::number(port) + "\nparleon: Error Nr.: 10048\n"));
        program.process.terminate();
        QVERIFY(program.endsWell());
        QCOMPARE(alice.waitEnd(), Peer::End::Fin);
        QCOMPARE(program.process.readAllStandardOutput(),
                 "File 'ParleonConfig.dat' not found.\nLoading safe settings.\nServer start OK on port " + QByteArray::number(port) +
                     ".\nConnection accepted with:\n IP=127.0.0.1\n Name=localhost\n Port=" + QByteArray::number(alice.localPort()) +
                     "\n: nickName=alice\nalice: café\n");
        QCOMPARE(contentOf(program.settingsPath()), settingsFile(9843, "")); // the options were for this run
    }

    void aServerOutOfFileDescriptorsTakesClientsAgainLater() {
        Program program;
        const quint16 port = freeTcpPort();
        program.process.setChildProcessModifier([] {
            const rlimit few{40, 40};
            setrlimit(RLIMIT_NOFILE, &few);
        });
        program.start({"--server", "--headless", "--port", QString::number(port), "--max-clients", "200"}, withoutDisplay());
        QVERIFY(program.output("Server start OK"));
        std::vector<std::unique_ptr<Peer>> crowd;
        for (int i = 0; i < 80; ++i) crowd.push_back(std::make_unique<Peer>(port));
        QVERIFY(program.output("Connection accepted with:"));
        QTest::qWait(200);
        crowd.clear();
        Peer late(port);
        late.send("nickName=late");
        QVERIFY(late.expect(">>> Wellcome to Parleon V.0.2 <<<\r\n", 10000));
    }

    void settingsShippedBesideAReadOnlyProgram() {
        const quint16 port = freeTcpPort();
        Program program(settingsFile(port, "shipped") + QByteArray(100 << 20, '#'));
        QTemporaryDir user;
        QStringList prefix;
        if (geteuid() == 0) {
            // Root may write anywhere: the program runs as nobody, as a user would.
            if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) QSKIP("running as root without setpriv");
            prefix = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        }
        QFile::setPermissions(program.folder.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(user.path(), QFileDevice::Permissions(0x7777));
        QProcessEnvironment env = withoutDisplay();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), user.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), user.path());
        program.start({"--server", "--headless"}, env, prefix);
        QVERIFY(program.output("Server start OK on port " + QByteArray::number(port) + ".\n"));
        QVERIFY(!program.process.peek(1 << 20).contains("not found"));
        // Only the eight values are read, not the hundred megabytes after them.
        const QByteArray status = contentOf(QStringLiteral("/proc/%1/status").arg(program.process.processId()));
        const QByteArray peak = status.mid(status.indexOf("VmHWM:")).split('\n').first();
        QVERIFY2(peak.mid(6).trimmed().split(' ').first().toInt() < 90 * 1024, peak.constData());
        program.process.terminate();
        QVERIFY(program.endsWell());
        QCOMPARE(contentOf(user.filePath(QStringLiteral("Parleon/ParleonConfig.dat"))), settingsFile(port, "shipped"));
    }

    void realWindowsAsServerAndClient() {
        XSession x;
        if (!XSession::toolsAvailable()) QSKIP("needs Xvfb, openbox, xdotool, wmctrl and xprop (scripts/test installs them)");
        QVERIFY(x.start());
        const quint16 port = freeTcpPort();
        Program server(settingsFile(port, "")), client(settingsFile(port, "dora"));
        QProcessEnvironment env = x.environment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), server.folder.path());
        server.start({}, env);
        const QString serverWindow = x.waitForWindow(QStringLiteral("^Parleon$"));
        QVERIFY(!serverWindow.isEmpty());
        const auto click = [&](const QString& window, int xTwips) {
            x.run(QStringLiteral("xdotool"), {"mousemove", "--window", window, QString::number((xTwips + 847) / 15), "20", "click", "1"});
        };
        click(serverWindow, 120);
        x.xdotool(x.waitForWindow(QStringLiteral("^Parleon Server Settings$")), {"key", "Return"});
        QVERIFY(waitUntil([&] { return x.title(serverWindow).startsWith(QStringLiteral("Parleon SERVER - Listening [")); }, 10000));
        Peer alice(port);
        alice.send("nickName=alice");
        QVERIFY(alice.expect(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. alice\r\n"));
        Peer bob(port);
        bob.send("nickName=bob");
        QVERIFY(alice.expect(">>> bob has joined <<<") && bob.expect(">>> Wellcome") && !bob.take(100).isEmpty());

        // Return held down for a while sends the line once.
        x.xdotool(serverWindow, {"type", "--delay", "20", "held"});
        x.run(QStringLiteral("xdotool"), {"keydown", "Return"});
        QTest::qWait(1600);
        x.run(QStringLiteral("xdotool"), {"keyup", "Return"});
        QVERIFY(alice.expect("SERVER: held"));
        QCOMPARE(alice.take(300), QByteArray());

        // A second copy of the program connects as dora through its dialog and chats.
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), client.folder.path());
        client.start({}, env);
        const QString clientWindow = x.waitForWindow(QStringLiteral("^Parleon$"));
        click(clientWindow, 2280);
        x.xdotool(x.waitForWindow(QStringLiteral("^Parleon Connect to Server$")), {"key", "Return"});
        QVERIFY(alice.expect(">>> dora has joined <<<"));
        QVERIFY(waitUntil([&] { return x.title(clientWindow) == QStringLiteral("Parleon - Connected [localhost]"); }));
        x.xdotool(clientWindow, {"type", "--delay", "20", "hello there"});
        x.xdotool(clientWindow, {"key", "Return"});
        QVERIFY(alice.expect("dora: hello there"));

        // A line arriving while a window is not active marks it; the active one is left alone.
        x.xdotool(serverWindow, {"key", "shift"});
        const auto demandsAttention = [&](const QString& window) {
            return x.run(QStringLiteral("xprop"), {"-id", window, "_NET_WM_STATE"}).contains(QLatin1String("_NET_WM_STATE_DEMANDS_ATTENTION"));
        };
        // The client learns of its deactivation in its own time: lines come until one marks it.
        QVERIFY(waitUntil([&] { return alice.send("hi dora"), demandsAttention(clientWindow); }));
        QVERIFY(!demandsAttention(serverWindow));

        x.xdotool(serverWindow, {"type", "--delay", "20", "kickName=bob"});
        x.xdotool(serverWindow, {"key", "Return"});
        QCOMPARE(bob.waitEnd(), Peer::End::Fin);
        QVERIFY(bob.received.endsWith(">>> You are kicked by SERVER <<<"));

        x.run(QStringLiteral("wmctrl"), {"-i", "-c", clientWindow});
        QVERIFY(client.endsWell());
        QCOMPARE(contentOf(client.settingsPath()), settingsFile(port, "dora"));
        x.run(QStringLiteral("wmctrl"), {"-i", "-c", serverWindow});
        QVERIFY(server.endsWell());
        QVERIFY(alice.waitEnd() == Peer::End::Fin);
    }
};

QTEST_MAIN(ProgramTest)
#include "tst_program.moc"
