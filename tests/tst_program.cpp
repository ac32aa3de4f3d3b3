// The built program as people run it: its command line, a server without a window, its settings
// beside a read-only installation, and its real window under Xvfb, clicked and typed into.
#include "harness.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace testing;

namespace {
QByteArray settingsFile(quint16 port, const QByteArray& nick) {
    return QByteArray::number(port) + "\r\n10\r\n127\r\n0\r\n0\r\n1\r\n\"" + nick + "\"\r\n20\r\n";
}

// A private X display (Xvfb) with a window manager (openbox), driven with xdotool, wmctrl and xprop
// the way a person at the screen would drive it.
class XSession {
public:
    ~XSession() { stop(); }
    static bool toolsAvailable() {
        const char* tools[] = {"Xvfb", "openbox", "xdotool", "wmctrl", "xprop", "xmessage"};
        return std::ranges::all_of(tools, [](const char* t) { return !QStandardPaths::findExecutable(t).isEmpty(); });
    }
    // A busy machine may be slow to bring up the display or its window manager: two more tries.
    bool start() { return startOnce() || (stop(), startOnce()) || (stop(), startOnce()); }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return env;
    }
    // Runs a tool on this display; returns its output, trimmed.
    QString run(const QString& tool, const QStringList& arguments, int timeoutMs = 10000) const {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(tool, arguments);
        process.waitForFinished(timeoutMs);
        return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }
    // The first visible window whose title matches the pattern, waiting for it.
    QString waitForWindow(const QString& pattern) const {
        QString found;
        waitUntil([&] { return !(found = run("xdotool", {"search", "--onlyvisible", "--name", pattern}).section('\n', 0, 0)).isEmpty(); },
                  10000);
        return found;
    }
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
        // The window manager is there once it answers for itself; one that has died, or holds the
        // display without answering, is given up for the retry.
        const auto alive = [this] { return m_windowManager.state() != QProcess::NotRunning; };
        return waitUntil([&] { return !alive() || !run(QStringLiteral("wmctrl"), {"-m"}, 2000).isEmpty(); }, 30000) && alive();
    }
    void stop() {
        for (QProcess* process : {&m_windowManager, &m_xvfb}) process->kill(), process->waitForFinished(3000);
    }
    QProcess m_xvfb, m_windowManager;
    QString m_display;
};


// The program run from a folder of its own, with its own settings file, without a display unless
// given one.
struct Program {
    QTemporaryDir folder;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString name;
    explicit Program(const QByteArray& settings = {}, const QString& executable = QStringLiteral(PARLEON_EXECUTABLE))
        : name(QFileInfo(executable).fileName()) {
        QFile::copy(executable, folder.filePath(name));
        QFile file(settingsPath());
        if (!settings.isEmpty() && file.open(QIODevice::WriteOnly)) file.write(settings);
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    }
    ~Program() { process.kill(), process.waitForFinished(3000); }
    QString settingsPath() const { return folder.filePath(QStringLiteral("ParleonConfig.dat")); }
    void start(const QStringList& arguments, QStringList prefix = {}) {
        process.setProcessEnvironment(env);
        prefix << folder.filePath(name);
        process.start(prefix.first(), prefix.mid(1) + arguments);
    }
    bool endsWell(int timeoutMs = 10000) {
        return waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs) &&
               process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    bool output(const QByteArray& text) { return waitUntil([&] { return process.peek(1 << 20).contains(text); }); }
};
} // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void commandLine() {
        const std::tuple<QStringList, int, QByteArray> rows[] = { // arguments (-server: of parleon-server), exit status, what it says
            {{"--help"}, 0, "Usage: parleon [options]\nMulti-client text chat over TCP/IP, as server or as client.\n"}, // without a display
            {{"--version"}, 0, "parleon 0.4.0\n"},
            // Qt's own options are left to Qt.
            {QStringLiteral("--platform v --platformpluginpath v --platformtheme v --plugin v --qwindowgeometry v --qwindowicon v "
                            "--qwindowtitle v --session v --display v --geometry v --style v --stylesheet v --qmljsdebugger v --name v "
                            "--title v --visual v --reverse --widgetcount --dograb --nograb --sync --version").split(' '), 0, "parleon 0.4.0\n"},
            {{"--bogus"}, 2, "parleon: Unknown option 'bogus'.\nTry 'parleon --help' for more information.\n"},
            {{"extra"}, 2, "parleon: Unexpected argument 'extra'.\n"},
            {{"--server", "--port", "70000"}, 2, "parleon: --port: '70000' is not a port from 0 to 65535.\n"},
            {{"--server", "--max-clients", "x"}, 2, "parleon: --max-clients: 'x' is not a number of clients from 0 to 1000.\n"},
            {{"--server", "--max-clients", "600000000"}, 2, "parleon: --max-clients: '600000000' is not a number of clients"},
            {{"--server", "--port", "24001.5"}, 2, "parleon: --port: '24001.5' is not a port from 0 to 65535.\n"},
            {{"--help-all"}, 2, "parleon: Unknown option 'help-all'.\n"},
            {{}, 1, "parleon: no display could be opened"},
            {{"--server"}, 1, "parleon: no display could be opened"},
            {{"--port", "5"}, 2, "parleon: --headless, --port, --max-clients and --no-chat-lines go with --server.\n"},
            // The server on its own is always a server; it has no window to offer.
            {{"-server", "--help"}, 0, "Usage: parleon-server [options]\nThe Parleon chat server, without a window."},
            {{"-server", "--platform", "xcb"}, 2, "parleon-server: Unknown option 'platform'.\nTry 'parleon-server --help'"},
            {{"-server", "--max-clients", "0", "--port", "-1"}, 2, "parleon-server: --port: '-1' is not a port from 0 to 65535.\n"}};
        for (auto [arguments, status, says] : rows) {
            const bool server = arguments.value(0) == "-server";
            Program program({}, server ? PARLEON_SERVER_EXECUTABLE : PARLEON_EXECUTABLE);
            if (server) arguments.removeFirst();
            program.start(arguments);
            QVERIFY(program.process.waitForFinished(10000));
            QCOMPARE(program.process.exitCode(), status);
            const QByteArray said = status ? program.process.readAllStandardError() : program.process.readAllStandardOutput();
            QVERIFY2(said.startsWith(says), said.constData());
        }
        // A display that is named but does not answer is no display either; nothing else is said.
        Program stale;
        stale.env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":1234"));
        stale.start({});
        QVERIFY(stale.process.waitForFinished(10000));
        QCOMPARE(stale.process.exitCode(), 1);
        const QByteArray said = stale.process.readAllStandardError();
        QVERIFY2(said.startsWith("parleon: no display could be opened") && said.count('\n') == 1, said.constData());
        // The server's help names every option it takes for itself.
        Program server({}, QStringLiteral(PARLEON_SERVER_EXECUTABLE));
        server.start({"--help"});
        QVERIFY(server.process.waitForFinished(10000));
        const QByteArray help = server.process.readAllStandardOutput();
        QVERIFY(help.contains("--no-chat-lines") && help.contains("How many clients the server keeps (0 to 1000). Default:"));
    }

    void headlessServerWithPeers_data() {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("linksWindowSystem");
        QTest::newRow("parleon --server --headless") << PARLEON_EXECUTABLE << QStringList{"--server", "--headless"} << true;
        QTest::newRow("parleon-server") << PARLEON_SERVER_EXECUTABLE << QStringList{} << false;
        QTest::newRow("parleon-server --no-chat-lines") << PARLEON_SERVER_EXECUTABLE << QStringList{"--no-chat-lines"} << false;
    }
    void headlessServerWithPeers() {
        QFETCH(QString, executable);
        QFETCH(QStringList, arguments);
        QFETCH(bool, linksWindowSystem);
        Program program({}, executable);
        program.start(arguments + QStringList{"--port", "0", "--max-clients", "1"}); // the system's choice
        QVERIFY(program.output("Server start OK on port ") && program.output(".\n"));
        const quint16 port = quint16(program.process.peek(4096).split(' ').last().chopped(2).toUInt());
        QVERIFY(port != 0);
        Peer alice(port);
        alice.send("nickName=alice");
        QVERIFY(alice.expect(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. alice\r\n"));
        Peer refused(port);
        QVERIFY(refused.expect("\r\n>>> No more Clients allowed. Goodbey <<<") && refused.waitEnd() == Peer::End::Fin);
        alice.send("caf\xe9");
        const QByteArray chat = arguments.contains("--no-chat-lines") ? "" : "alice: café\n";
        alice.send("nickName=alicia");
        QVERIFY(alice.expect(">>> Your new nickName is alicia <<<"));
        // A second copy cannot listen on the same port: its box goes to standard error, and it ends.
        Program second({}, executable);
        second.start(arguments + QStringList{"--port", QString::number(port)});
        QVERIFY(second.process.waitForFinished(10000));
        QCOMPARE(second.process.exitCode(), 1);
        QVERIFY(second.process.readAllStandardError().contains(
            "parleon: Error while starting server at port " + QByteArray::number(port) + "\nparleon: Error Nr.: 10048\n"));
        // The server on its own loads nothing of a window system.
        const QByteArray maps = contentOf(QStringLiteral("/proc/%1/maps").arg(program.process.processId()));
        QVERIFY(maps.contains("libQt6Network"));
        QCOMPARE(maps.contains("libQt6Gui") || maps.contains("libQt6Widgets"), linksWindowSystem);
        program.process.terminate();
        QVERIFY(program.endsWell());
        QCOMPARE(alice.waitEnd(), Peer::End::Fin);
        QCOMPARE(program.process.readAllStandardOutput(),
                 "File 'ParleonConfig.dat' not found.\nLoading safe settings.\nServer start OK on port " + QByteArray::number(port) +
                     ".\nConnection accepted with:\n IP=127.0.0.1\n Name=localhost\n Port=" + QByteArray::number(alice.localPort()) +
                     "\n: nickName=alice\n" + chat + "alice: nickName=alicia\n");
        QCOMPARE(contentOf(program.settingsPath()), settingsFile(9843, "")); // the options were for this run
        // A maximum of 0 from the settings file makes a server that refuses everyone.
        Program zero("0\r\n0\r\n127\r\n0\r\n0\r\n1\r\n\"\"\r\n20\r\n", executable);
        zero.start(arguments);
        QVERIFY(zero.output("Server start OK on port ") && zero.output(".\n"));
        Peer nobody(quint16(zero.process.peek(4096).split(' ').last().chopped(2).toUInt()));
        QVERIFY(nobody.expect("\r\n>>> No more Clients allowed. Goodbey <<<") && nobody.waitEnd() == Peer::End::Fin);
    }

    void theOutputNeverHarmsTheServer() {
        // Standard output goes to a pipe that nobody reads.
        int pipeEnds[2];
        QCOMPARE(pipe2(pipeEnds, O_CLOEXEC), 0);
        Program program({}, QStringLiteral(PARLEON_SERVER_EXECUTABLE));
        program.process.setChildProcessModifier([&] { dup2(pipeEnds[1], STDOUT_FILENO); });
        const quint16 port = freeTcpPort();
        program.start({"--port", QString::number(port)});
        ::close(pipeEnds[1]);
        fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
        QByteArray out;
        const auto readUntil = [&](const QByteArray& text) {
            return waitUntil([&] {
                char buffer[65536];
                for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
                return out.contains(text);
            });
        };
        QVERIFY(readUntil("Server start OK"));
        auto alice = joinAs(port, "alice"), watcher = joinAs(port, "watcher");
        QVERIFY(alice && watcher);
        // A peer's control characters would drive the terminal; a lone CR ends a line, as in the box.
        alice->send("a\rb\x1b[2J\x7f\xc2\x85\tc");
        QTest::qWait(100);
        // Far more than the pipe holds, all relayed: the server goes on welcoming newcomers.
        QByteArray relayed;
        for (int i = 0; i < 40; ++i) alice->send(QByteArray(60 * 1024, 'x')), relayed += watcher->take();
        QVERIFY(waitUntil([&] { return (relayed += watcher->take(5)).count('x') == 40 * 60 * 1024; }, 20000));
        // Read again, the output tells how much it left out, though nothing follows.
        QVERIFY(readUntil(" lines left out: standard output was not read]\n"));
        QCOMPARE(out.count(" left out: standard output was not read]\n"), 1); // one gap, told once
        Peer bob(port);
        bob.send("nickName=bob");
        QVERIFY(bob.waitFor("02. watcher\r\n03. bob\r\n"));
        QVERIFY(readUntil("nickName=bob"));
        // As in the window's box, 25,000 characters and more start the output afresh.
        QVERIFY(out.contains("x\n>>> Reset output-text. Too much text. <<<\n"));
        QVERIFY(out.contains("alice: a\nb\\x1B[2J\\x7F\\x85\tc\n"));
        // The reader goes away: the server serves on and says so once; a hang-up ends it well.
        ::close(pipeEnds[0]);
        alice->send("after");
        QVERIFY(joinAs(port, "carol"));
        ::kill(pid_t(program.process.processId()), SIGHUP);
        QVERIFY(program.endsWell());
        QCOMPARE(alice->waitEnd(), Peer::End::Fin);
        QCOMPARE(program.process.readAllStandardError(), "parleon: standard output is gone; the server goes on without it.\n");
        QVERIFY(QFile::exists(program.settingsPath()));
        // Started with standard output closed, it serves as quietly as when it is read.
        Program closed({}, QStringLiteral(PARLEON_SERVER_EXECUTABLE));
        closed.process.setChildProcessModifier([] { ::close(STDOUT_FILENO); });
        const quint16 closedPort = freeTcpPort();
        closed.start({"--port", QString::number(closedPort)});
        QVERIFY(waitUntil([&] { return joinAs(closedPort, "dave") != nullptr; }));
        closed.process.terminate();
        QVERIFY(closed.endsWell());
        QCOMPARE(closed.process.readAllStandardError(), QByteArray());
    }

    void aBurstBeyondTheDescriptorsLeavesTheLookupsTheirs() {
        // Twice as many peers at once as there are descriptors: those beyond wait in the system's
        // queue, and each lookup still finds the hosts file.
        Program program({}, QStringLiteral(PARLEON_SERVER_EXECUTABLE));
        program.process.setChildProcessModifier([] {
            const rlimit few{40, 40};
            setrlimit(RLIMIT_NOFILE, &few);
        });
        const quint16 port = freeTcpPort();
        program.start({"--port", QString::number(port), "--max-clients", "200"});
        QVERIFY(program.output("Server start OK"));
        std::vector<std::unique_ptr<Peer>> crowd;
        for (int i = 0; i < 80; ++i) crowd.push_back(std::make_unique<Peer>(port));
        QTest::qWait(1000);
        crowd.clear();
        QVERIFY(waitUntil([&] { return program.process.peek(1 << 20).count("Connection closed by client") == 80; }, 20000));
        QCOMPARE(program.process.peek(1 << 20).count(" Name=localhost\n"), 80);
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
        program.env.insert(QStringLiteral("XDG_CONFIG_HOME"), user.path());
        program.env.insert(QStringLiteral("XDG_RUNTIME_DIR"), user.path());
        program.start({"--server", "--headless"}, prefix);
        QVERIFY(program.output("Server start OK on port " + QByteArray::number(port) + ".\n"));
        QVERIFY(!program.process.peek(1 << 20).contains("not found"));
        // Only the eight values are read, not the hundred megabytes after them.
        QCOMPARE_LT(statusKb("VmHWM:", program.process.processId()), 90 * 1024);
        program.process.terminate();
        QVERIFY(program.endsWell());
        QFile own(user.filePath(QStringLiteral("Parleon/ParleonConfig.dat")));
        QVERIFY(own.open(QIODevice::ReadWrite) && own.readAll() == settingsFile(port, "shipped"));
        // From now on the user's own file is the one read.
        const quint16 ownPort = freeTcpPort();
        own.resize(0), own.write(settingsFile(ownPort, "own")), own.close();
        program.start({"--server", "--headless"}, prefix);
        QVERIFY(program.output("Server start OK on port " + QByteArray::number(ownPort) + ".\n"));
    }

    void realWindowAsServer() {
        XSession x;
        if (!XSession::toolsAvailable()) QSKIP("needs Xvfb, openbox, xdotool, wmctrl, xprop and xmessage (scripts/test installs them)");
        QVERIFY(x.start());
        const quint16 port = freeTcpPort();
        Program server(settingsFile(port, "sam"));
        server.env = x.environment();
        server.env.insert(QStringLiteral("XDG_RUNTIME_DIR"), server.folder.path());
        // Qt's own messages, while the display opens and after, go to standard error as usual.
        server.env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.qpa.*=true"));
        server.start({});
        const QString window = x.waitForWindow(QStringLiteral("^Parleon$"));
        QVERIFY(!window.isEmpty());
        QCOMPARE(x.run(QStringLiteral("xprop"), {"-id", window, "WM_CLASS"}), QStringLiteral("WM_CLASS(STRING) = \"parleon\", \"Parleon\""));
        QFile::remove(server.settingsPath());
        x.run(QStringLiteral("xdotool"), {"mousemove", "--window", window, QString::number((120 + 847) / 15), "20", "click", "1"});
        const QString settings = x.waitForWindow(QStringLiteral("^Parleon Server Settings$"));
        QVERIFY(x.run(QStringLiteral("xprop"), {"-id", settings, "_NET_WM_ICON"}).contains(QLatin1String("Icon (16 x 16)")));
        x.xdotool(settings, {"key", "Return"});
        QVERIFY(waitUntil([&] { return x.run("xdotool", {"getwindowname", window}).startsWith(QStringLiteral("Parleon SERVER - Listening [")); }, 10000));
        Peer alice(port);
        alice.send("nickName=alice");
        QVERIFY(alice.expect(">>> Wellcome to Parleon V.0.2 <<<\r\nList of online Clients:\r\n01. alice\r\n"));
        Peer bob(port);
        bob.send("nickName=bob");
        QVERIFY(alice.expect(">>> bob has joined <<<") && bob.expect(">>> Wellcome") && !bob.take(100).isEmpty());

        // Return held down for a while sends the line once.
        x.xdotool(window, {"type", "--delay", "20", "held"});
        x.run(QStringLiteral("xdotool"), {"keydown", "Return"});
        QTest::qWait(1600);
        x.run(QStringLiteral("xdotool"), {"keyup", "Return"});
        QVERIFY(alice.expect("SERVER: held"));
        QCOMPARE(bob.take(300), "SERVER: held");
        // Return let go while another key is still down sends the line all the same.
        x.xdotool(window, {"type", "--delay", "20", "both"});
        x.run(QStringLiteral("xdotool"), {"keydown", "Return", "keydown", "s", "keyup", "Return", "keyup", "s"});
        QVERIFY(alice.expect("SERVER: boths"));
        QCOMPARE(bob.take(300), "SERVER: boths");

        // A line arriving while the window is not active marks it; while it is active, it does not.
        const auto demandsAttention = [&] {
            return x.run(QStringLiteral("xprop"), {"-id", window, "_NET_WM_STATE"}).contains(QLatin1String("DEMANDS_ATTENTION"));
        };
        alice.send("seen");
        QVERIFY(bob.expect("alice: seen") && !demandsAttention());
        QProcess other;
        other.setProcessEnvironment(server.env);
        other.start(QStringLiteral("xmessage"), {"-name", "other", "another window"});
        x.xdotool(x.waitForWindow(QStringLiteral("^other$")), {"key", "shift"});
        QVERIFY(waitUntil([&] { return alice.send("unseen"), demandsAttention(); }));
        other.kill();
        other.waitForFinished();

        x.xdotool(window, {"type", "--delay", "20", "kickName=bob"});
        x.xdotool(window, {"key", "Return"});
        QCOMPARE(bob.waitEnd(), Peer::End::Fin);
        QVERIFY(bob.received.endsWith(">>> You are kicked by SERVER <<<"));
        x.run(QStringLiteral("wmctrl"), {"-i", "-c", window});
        QVERIFY(server.endsWell());
        QVERIFY(alice.waitEnd() == Peer::End::Fin);
        QCOMPARE(contentOf(server.settingsPath()), settingsFile(port, "sam"));
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "tst_program.moc"
