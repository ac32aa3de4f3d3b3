// Load tool: starts a relay server (the built Parleon program itself, headless, or the epoll
// yardstick), connects clients over loopback and measures. Prints one JSON line.
//   relay_load relay --server parleon|epoll --clients N --rate LINES_PER_S --seconds S
//   relay_load flood --server parleon|epoll --seconds S [--breaks no] [--no-flooder]
//   relay_load churn --server parleon --churners 10 --cycles 10000
//   relay_load idle  --server parleon --clients 10 --seconds 30
//   relay_load deaf  --server parleon --clients 10 --seconds 5
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

QElapsedTimer clock_;
qint64 nowUs() { return clock_.nsecsElapsed() / 1000; }

// Spins the event loop until the condition holds or the time is up.
bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// The server under test, in a process of its own.
class ServerProcess {
public:
    bool start(const QString& kind, int maxClients) {
        if (externalPort != 0) {
            // A server started by hand (under a profiler, say): measure the relay only.
            port = externalPort;
            return true;
        }
        if (kind == QLatin1String("parleon")) {
            // The program itself, as a server without a window, from a folder of its own.
            const QString binary = m_folder.filePath(QStringLiteral("parleon"));
            QFile::copy(QStringLiteral(PARLEON_EXECUTABLE), binary);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("QT_NO_GLIB"));
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder.path());
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder.path());
            m_process.setProcessEnvironment(env);
            m_process.start(binary, {QStringLiteral("--server"), QStringLiteral("--headless"), QStringLiteral("--port"),
                                     QStringLiteral("0"), QStringLiteral("--max-clients"), QString::number(maxClients)});
        } else {
            m_process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/epoll_relay"), {});
        }
        // "READY <port>" from the yardstick, "... Server start OK on port <port>." from Parleon, after
        // lines of its own that may come in an earlier write.
        const QByteArray marker = kind == QLatin1String("parleon") ? "on port " : "READY ";
        QByteArray said;
        const auto portSaid = [&] {
            said += m_process.readAllStandardOutput();
            const qsizetype at = said.indexOf(marker);
            return at >= 0 && said.indexOf('\n', at) > at;
        };
        if (!spinUntil(portSaid, 10000)) {
            std::fprintf(stderr, "relay_load: the server did not start: %s%s\n", said.constData(),
                         m_process.readAllStandardError().constData());
            return false;
        }
        const QByteArray after = said.mid(said.indexOf(marker) + marker.size());
        port = quint16(after.left(after.indexOf('\n')).split('.').first().trimmed().toInt());
        // What the server prints from now on is not the measurement's business.
        m_drain.setInterval(100);
        QObject::connect(&m_drain, &QTimer::timeout, [this] { m_process.readAllStandardOutput(); });
        m_drain.start();
        return port != 0;
    }
    ~ServerProcess() {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    double cpuSeconds() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
        if (!stat.open(QIODevice::ReadOnly)) return 0;
        const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
        return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }
    qint64 rssKb(const char* field) const {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
        if (!status.open(QIODevice::ReadOnly)) return 0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(field)) return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong();
        return 0;
    }

    quint16 port = 0;
    static inline quint16 externalPort = 0;

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QTimer m_drain;
};

// One client: sends paced records "M<sender>,<seq>,<microseconds>;" and collects those of others.
struct Client {
    QTcpSocket socket;
    QByteArray pending;
    qint64 received = 0;
    std::vector<qint64>* latencies = nullptr;

    void onData() {
        pending += socket.readAll();
        const qint64 now = nowUs();
        qsizetype start = 0;
        for (;;) {
            const qsizetype marker = pending.indexOf('M', start);
            if (marker < 0) {
                pending.clear();
                return;
            }
            const qsizetype end = pending.indexOf(';', marker);
            if (end < 0) {
                pending.remove(0, marker);
                return;
            }
            const QList<QByteArray> parts = pending.mid(marker + 1, end - marker - 1).split(',');
            if (parts.size() == 3) {
                ++received;
                latencies->push_back(now - parts[2].toLongLong());
            }
            start = end + 1;
        }
    }
};

bool connectClients(std::vector<std::unique_ptr<Client>>& clients, int count, quint16 port, bool join,
                    std::vector<qint64>& latencies) {
    for (int i = 0; i < count; ++i) {
        auto client = std::make_unique<Client>();
        client->latencies = &latencies;
        client->socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        client->socket.connectToHost(QHostAddress::LocalHost, port);
        if (!client->socket.waitForConnected(5000)) {
            std::fprintf(stderr, "relay_load: client %d could not connect\n", i);
            return false;
        }
        if (join) {
            client->socket.write("nickName=user" + QByteArray::number(i));
            QByteArray welcome;
            const QByteArray ownLine = ". user" + QByteArray::number(i) + "\r\n";
            if (!spinUntil([&] { return (welcome += client->socket.readAll()).contains(ownLine); }, 5000)) {
                std::fprintf(stderr, "relay_load: client %d was not welcomed: %s\n", i, welcome.constData());
                return false;
            }
        }
        clients.push_back(std::move(client));
    }
    // Let the join notices pass, then start counting.
    spinUntil([] { return false; }, 300);
    for (auto& client : clients) {
        client->socket.readAll();
        Client* raw = client.get();
        QObject::connect(&client->socket, &QTcpSocket::readyRead, [raw] { raw->onData(); });
    }
    return true;
}

double percentile(std::vector<qint64>& values, double p) {
    if (values.empty()) return 0;
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size())));
    std::nth_element(values.begin(), values.begin() + qsizetype(index), values.end());
    return double(values[index]) / 1000.0;
}

int relay(const QString& kind, int clientCount, int rate, int seconds) {
    ServerProcess server;
    if (!server.start(kind, std::max(clientCount, 10))) return 1;
    std::vector<qint64> latencies;
    latencies.reserve(size_t(rate) * size_t(seconds) * size_t(clientCount));
    std::vector<std::unique_ptr<Client>> clients;
    if (!connectClients(clients, clientCount, server.port, kind == QLatin1String("parleon"), latencies)) return 1;

    const double cpuBefore = server.cpuSeconds();
    qint64 sent = 0;
    const qint64 total = qint64(rate) * seconds;
    std::vector<qint64> sequence(size_t(clientCount), 0);
    QElapsedTimer run;
    run.start();
    QTimer pacer;
    pacer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pacer, &QTimer::timeout, [&] {
        const qint64 due = std::min(total, run.nsecsElapsed() * rate / 1000000000);
        for (; sent < due; ++sent) {
            const size_t sender = size_t(sent % clientCount);
            clients[sender]->socket.write("M" + QByteArray::number(qulonglong(sender)) + "," +
                                          QByteArray::number(sequence[sender]++) + "," + QByteArray::number(nowUs()) + ";");
        }
    });
    pacer.start(1);
    spinUntil([&] { return sent >= total; }, seconds * 1000 + 30000);
    pacer.stop();
    const qint64 sendDoneMs = run.elapsed();
    const qint64 expected = sent * (clientCount - 1);
    const auto receivedNow = [&] {
        qint64 received = 0;
        for (auto& client : clients) received += client->received;
        return received;
    };
    spinUntil([&] { return receivedNow() >= expected; }, 5000);
    const double elapsed = double(run.elapsed()) / 1000.0;
    const qint64 received = receivedNow();
    const double cpu = server.cpuSeconds() - cpuBefore;
    std::printf("{\"server\": \"%s\", \"clients\": %d, \"offered_lines_per_s\": %d, \"seconds\": %d, \"expected\": %lld, "
                "\"received\": %lld, \"loss\": %lld, \"deliveries_per_s\": %.0f, \"offered_deliveries_per_s\": %.0f, "
                "\"p50_ms\": %.3f, \"p99_ms\": %.3f, \"max_ms\": %.3f, \"server_cpu_s\": %.2f, "
                "\"server_us_per_delivery\": %.2f, \"server_peak_rss_kb\": %lld, \"send_phase_s\": %.2f}\n",
                qPrintable(kind), clientCount, rate, seconds, expected, received, expected - received,
                double(received) / elapsed, double(rate) * (clientCount - 1), percentile(latencies, 0.5),
                percentile(latencies, 0.99), latencies.empty() ? 0.0 : double(*std::max_element(latencies.begin(), latencies.end())) / 1000.0,
                cpu, received ? 1e6 * cpu / double(received) : 0.0, server.rssKb("VmHWM:"), double(sendDoneMs) / 1000.0);
    return 0;
}

// Three polite clients say a stamped line every 100 ms and read everything, beside one flooder
// that sends as fast as the server takes it (lines, or one endless line).
int flood(const QString& kind, int seconds, bool lineBreaks, bool withFlooder) {
    ServerProcess server;
    if (!server.start(kind, 10)) return 1;
    const bool parleon = kind == QLatin1String("parleon");
    std::vector<qint64> latencies;
    std::vector<std::unique_ptr<Client>> polite;
    if (!connectClients(polite, 3, server.port, parleon, latencies)) return 1;
    const qint64 rssIdle = server.rssKb("VmRSS:");
    QTcpSocket flooder;
    qint64 offered = 0;
    const QByteArray chunk = lineBreaks ? QByteArray(60, 'x').append("\r\n").repeated(1000) : QByteArray(65536, 'x');
    bool flooding = withFlooder;
    const auto topUp = [&] {
        while (flooding && flooder.bytesToWrite() < (1 << 20)) offered += flooder.write(chunk);
    };
    if (withFlooder) {
        flooder.connectToHost(QHostAddress::LocalHost, server.port);
        if (!flooder.waitForConnected(5000)) return 1;
        if (parleon) flooder.write("nickName=flooder");
        spinUntil([] { return false; }, 200);
        QObject::connect(&flooder, &QTcpSocket::readyRead, [&] { flooder.readAll(); });
        QObject::connect(&flooder, &QTcpSocket::bytesWritten, topUp);
        topUp();
    }
    const double cpuBefore = server.cpuSeconds();
    qint64 sent = 0;
    QTimer pacer;
    QObject::connect(&pacer, &QTimer::timeout, [&] {
        for (size_t i = 0; i < polite.size(); ++i, ++sent)
            polite[i]->socket.write("M" + QByteArray::number(qulonglong(i)) + "," + QByteArray::number(sent) + "," +
                                    QByteArray::number(nowUs()) + ";");
    });
    pacer.start(100);
    spinUntil([] { return false; }, seconds * 1000);
    pacer.stop();
    flooding = false;
    const qint64 flooded = offered - flooder.bytesToWrite();
    const double cpu = server.cpuSeconds() - cpuBefore;
    const qint64 rssPeak = server.rssKb("VmHWM:");
    const auto receivedNow = [&] {
        qint64 received = 0;
        for (auto& client : polite) received += client->received;
        return received;
    };
    spinUntil([&] { return receivedNow() >= sent * 2; }, 10000);
    int cut = 0;
    for (auto& client : polite) cut += client->socket.state() != QAbstractSocket::ConnectedState;
    std::printf("{\"mode\": \"flood\", \"server\": \"%s\", \"flooder\": \"%s\", \"seconds\": %d, \"polite_expected\": %lld, "
                "\"polite_loss\": %lld, \"polite_cut\": %d, \"p50_ms\": %.3f, \"p99_ms\": %.3f, \"max_ms\": %.3f, "
                "\"flood_mb\": %.0f, \"server_cpu_s\": %.2f, \"server_rss_idle_kb\": %lld, \"server_peak_rss_kb\": %lld}\n",
                qPrintable(kind), withFlooder ? (lineBreaks ? "lines" : "no line breaks") : "none", seconds, sent * 2,
                sent * 2 - receivedNow(), cut, percentile(latencies, 0.5), percentile(latencies, 0.99),
                latencies.empty() ? 0.0 : double(*std::max_element(latencies.begin(), latencies.end())) / 1000.0,
                double(flooded) / 1e6, cpu, rssIdle, rssPeak);
    return 0;
}

int churn(int churners, int cycles) {
    ServerProcess server;
    // Room for a churner whose old connection the server has not seen close yet.
    if (!server.start(QStringLiteral("parleon"), std::max(50, churners * 4))) return 1;
    const qint64 rssBefore = server.rssKb("VmRSS:");
    int done = 0, started = 0, failed = 0;
    QElapsedTimer run;
    run.start();
    std::function<void(int)> cycle = [&](int id) {
        if (started >= cycles) return;
        ++started;
        auto* socket = new QTcpSocket;
        auto* buffer = new QByteArray;
        // A fresh name each cycle: the server may not have seen the last connection close yet.
        const QByteArray nick = "churn" + QByteArray::number(id) + "n" + QByteArray::number(started);
        QObject::connect(socket, &QTcpSocket::connected, [socket, nick] { socket->write("nickName=" + nick); });
        QObject::connect(socket, &QTcpSocket::readyRead, [socket, buffer, nick] {
            *buffer += socket->readAll();
            if (buffer->contains(". " + nick + "\r\n")) socket->disconnectFromHost();
        });
        // A cycle ends when the connection closes, or fails to open at all.
        auto finished = std::make_shared<bool>(false);
        const auto finish = [&, socket, buffer, id, finished] {
            if (*finished) return;
            *finished = true;
            if (!buffer->contains("Wellcome") && failed++ == 0)
                std::fprintf(stderr, "relay_load: a churn cycle failed: [%s] %s\n", buffer->constData(),
                             qPrintable(socket->errorString()));
            delete buffer;
            socket->deleteLater();
            ++done;
            QTimer::singleShot(0, [&cycle, id] { cycle(id); });
        };
        QObject::connect(socket, &QTcpSocket::disconnected, finish);
        QObject::connect(socket, &QTcpSocket::errorOccurred, [socket, finish] {
            if (socket->state() == QAbstractSocket::UnconnectedState) finish();
        });
        socket->connectToHost(QHostAddress::LocalHost, server.port);
    };
    for (int i = 0; i < churners; ++i) cycle(i);
    spinUntil([&] { return done >= cycles; }, 600000);
    const double seconds = double(run.elapsed()) / 1000.0;
    spinUntil([] { return false; }, 500);
    std::printf("{\"mode\": \"churn\", \"churners\": %d, \"cycles\": %d, \"failed\": %d, \"cycles_per_s\": %.0f, "
                "\"server_rss_kb_before\": %lld, \"server_rss_kb_after\": %lld, \"server_peak_rss_kb\": %lld}\n",
                churners, done, failed, double(done) / seconds, rssBefore, server.rssKb("VmRSS:"), server.rssKb("VmHWM:"));
    return 0;
}

int idle(int clientCount, int seconds) {
    ServerProcess server;
    if (!server.start(QStringLiteral("parleon"), std::max(clientCount, 10))) return 1;
    std::vector<qint64> latencies;
    std::vector<std::unique_ptr<Client>> clients;
    if (!connectClients(clients, clientCount, server.port, true, latencies)) return 1;
    const double cpuBefore = server.cpuSeconds();
    spinUntil([] { return false; }, seconds * 1000);
    const double cpu = server.cpuSeconds() - cpuBefore;
    std::printf("{\"mode\": \"idle\", \"clients\": %d, \"seconds\": %d, \"server_cpu_s\": %.3f, \"core_share_percent\": %.2f}\n",
                clientCount, seconds, cpu, 100.0 * cpu / seconds);
    return 0;
}

// Clients that read nothing while another says short lines as fast as it can: what their
// queues cost the server, and whether it gives that memory back once they are gone.
int deaf(int clientCount, int seconds) {
    ServerProcess server;
    if (!server.start(QStringLiteral("parleon"), clientCount + 1)) return 1;
    std::vector<qint64> latencies;
    std::vector<std::unique_ptr<Client>> clients;
    if (!connectClients(clients, clientCount + 1, server.port, true, latencies)) return 1;
    for (size_t i = 1; i < clients.size(); ++i) {
        clients[i]->socket.disconnect();
        clients[i]->socket.setReadBufferSize(1); // takes no more from the system
    }
    const qint64 idleKb = server.rssKb("VmRSS:");
    QTcpSocket& sender = clients[0]->socket;
    QElapsedTimer run;
    run.start();
    qint64 lines = 0;
    for (; run.elapsed() < seconds * 1000; ++lines) {
        sender.write("hi");
        sender.waitForBytesWritten(100);
        if (lines % 64 == 0) QCoreApplication::processEvents();
    }
    spinUntil([] { return false; }, 500);
    const qint64 peakKb = server.rssKb("VmHWM:");
    clients.clear();
    spinUntil([] { return false; }, 2000);
    std::printf("{\"mode\": \"deaf\", \"clients\": %d, \"lines\": %lld, \"server_rss_idle_kb\": %lld, "
                "\"server_peak_rss_kb\": %lld, \"server_rss_after_kb\": %lld}\n",
                clientCount, lines, idleKb, peakKb, server.rssKb("VmRSS:"));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // The load tool must cost as little as it can: Qt's own Unix event dispatcher is lighter
    // than the GLib one. The server under test keeps its default.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    clock_.start();
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("mode"), QStringLiteral("relay, flood, churn, idle or deaf"));
    parser.addOption({QStringLiteral("server"), QStringLiteral("parleon or epoll"), QStringLiteral("kind"), QStringLiteral("parleon")});
    parser.addOption({QStringLiteral("clients"), QStringLiteral("clients"), QStringLiteral("n"), QStringLiteral("10")});
    parser.addOption({QStringLiteral("rate"), QStringLiteral("lines per second in all"), QStringLiteral("n"), QStringLiteral("1000")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("duration"), QStringLiteral("n"), QStringLiteral("5")});
    parser.addOption({QStringLiteral("churners"), QStringLiteral("concurrent churners"), QStringLiteral("n"), QStringLiteral("10")});
    parser.addOption({QStringLiteral("cycles"), QStringLiteral("churn cycles"), QStringLiteral("n"), QStringLiteral("10000")});
    parser.addOption({QStringLiteral("port"), QStringLiteral("use a server already listening there"), QStringLiteral("n"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("breaks"), QStringLiteral("flood with line breaks (yes) or one endless line (no)"), QStringLiteral("yes|no"), QStringLiteral("yes")});
    parser.addOption({QStringLiteral("no-flooder"), QStringLiteral("the polite clients alone, for comparison")});
    parser.process(app);
    ServerProcess::externalPort = quint16(parser.value(QStringLiteral("port")).toInt());
    const QString mode = parser.positionalArguments().value(0, QStringLiteral("relay"));
    if (mode == QLatin1String("churn"))
        return churn(parser.value(QStringLiteral("churners")).toInt(), parser.value(QStringLiteral("cycles")).toInt());
    if (mode == QLatin1String("flood"))
        return flood(parser.value(QStringLiteral("server")), parser.value(QStringLiteral("seconds")).toInt(),
                     parser.value(QStringLiteral("breaks")) != QLatin1String("no"), !parser.isSet(QStringLiteral("no-flooder")));
    if (mode == QLatin1String("deaf"))
        return deaf(parser.value(QStringLiteral("clients")).toInt(), parser.value(QStringLiteral("seconds")).toInt());
    if (mode == QLatin1String("idle"))
        return idle(parser.value(QStringLiteral("clients")).toInt(), parser.value(QStringLiteral("seconds")).toInt());
    return relay(parser.value(QStringLiteral("server")), parser.value(QStringLiteral("clients")).toInt(),
                 parser.value(QStringLiteral("rate")).toInt(), parser.value(QStringLiteral("seconds")).toInt());
}
