#include "harness.h"

#include "platform/program_folder.h"
#include "settings/settings_file.h"

#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace testing {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QTest::qWait(1);
    }
    return true;
}

quint16 freeTcpPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

ProgramFolder::ProgramFolder() { platform::setProgramFolder(dir.path()); }
ProgramFolder::~ProgramFolder() { platform::setProgramFolder(QString()); }
void ProgramFolder::write(const QByteArray& content) const {
    QFile file(dir.filePath(settings::FileName));
    if (file.open(QIODevice::WriteOnly)) file.write(content);
}
QByteArray ProgramFolder::read() const { return contentOf(dir.filePath(settings::FileName)); }

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Script& Script::instance() {
    static Script script;
    return script;
}

void Script::button(platform::MsgResult answer) {
    box([answer] { return answer; });
}
void Script::box(std::function<platform::MsgResult()> action) { m_boxActions.push_back(std::move(action)); }
void Script::dialog(std::function<bool()> action) { m_dialogActions.push_back(std::move(action)); }

void Script::reset() {
    boxes.clear();
    unexpected.clear();
    m_boxActions.clear();
    m_dialogActions.clear();
}

platform::MsgResult Script::answerBox(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon) {
    boxes.push_back({text, buttons, icon});
    if (m_boxActions.empty()) return unexpected << text.section(QLatin1Char('\r'), 0, 0), platform::defaultAnswer(buttons);
    const auto act = std::move(m_boxActions.front());
    m_boxActions.pop_front();
    return act();
}

bool Script::answerDialog(const QString& title) {
    if (m_dialogActions.empty()) return unexpected << title, false;
    const auto act = std::move(m_dialogActions.front());
    m_dialogActions.pop_front();
    return act();
}

void ScriptedTest::init() { script().reset(); }

void ScriptedTest::cleanup() {
    QVERIFY2(script().done(), "a box or dialog the test expected did not come");
    QVERIFY2(script().unexpected.isEmpty(), qPrintable(script().unexpected.join(", ")));
}

Chat::Chat(const QByteArray& settingsFile) {
    if (!settingsFile.isEmpty()) folder.write(settingsFile);
    session.Form_Load();
    session.Timer1.start();
}

void Chat::printText(const QString& text) {
    if (output.size() > MaxOutputLength) output = OutputResetLine, mark = 0;
    output += text;
    if (text.size() < 1024) shortTexts += text;
    if (onText) onText(text);
}

QString Chat::fresh() {
    const QString text = output.mid(mark);
    mark = output.size();
    return text;
}

void Chat::type(const QString& line) {
    input = line;
    session.Form_KeyUp(13, input);
}

void Chat::close() {
    int cancel = 0;
    session.Form_QueryUnload(cancel);
    closed = cancel == 0;
}

bool startServer(Chat& chat, quint16 port, qint32 maxClients) {
    chat.session.parleonPort = port;
    script().dialog([&chat, maxClients] { return chat.session.maxClients = maxClients, true; });
    chat.server.Command3_Click();
    return chat.session.Winsock1(0).State() == SocketState::Listening;
}

QString connectTo(Chat& chat, quint16 port, const QString& nick, const QString& address) {
    chat.session.parleonPort = port;
    chat.fresh();
    script().dialog([&chat, nick, address] {
        chat.session.rHostIP = address;
        chat.session.nickName = nick;
        return true;
    });
    chat.client.Command2_Click();
    return chat.fresh();
}

Peer::Peer(quint16 port, const char* address) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    inet_pton(AF_INET, address, &server.sin_addr);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) end = End::Reset;
    fcntl(m_fd, F_SETFL, O_NONBLOCK);
}

Peer::Peer(Accepted connection) : m_fd(connection.fd) { fcntl(m_fd, F_SETFL, O_NONBLOCK); }

Peer::~Peer() {
    if (m_fd >= 0) ::close(m_fd);
}

void Peer::resetConnection() {
    const linger reset{1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(m_fd);
    m_fd = -1;
    end = End::Reset;
}

quint16 Peer::localPort() const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

qsizetype Peer::sendSome(const QByteArray& bytes) {
    const ssize_t n = ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno != EAGAIN) end = End::Reset;
    return n > 0 ? n : 0;
}

void Peer::send(const QByteArray& bytes) {
    for (qsizetype sent = 0; sent < bytes.size() && end != End::Reset; sent += sendSome(bytes.mid(sent)))
        if (sent) QTest::qWait(1), pump();
}

void Peer::pump(qint64 most) {
    char buffer[65536];
    for (ssize_t n; most > 0; most -= n) {
        if ((n = ::recv(m_fd, buffer, size_t(qMin<qint64>(most, sizeof buffer)), 0)) > 0) {
            received.append(buffer, n);
            continue;
        }
        if (n == 0 && end == End::Open) end = End::Fin;
        if (n < 0 && errno == ECONNRESET) end = End::Reset;
        return;
    }
}

bool Peer::expect(const QByteArray& bytes, int timeoutMs) {
    waitUntil([&] {
        pump();
        return received.size() >= bytes.size() || !bytes.startsWith(received) || end != End::Open;
    }, timeoutMs);
    if (!received.startsWith(bytes)) {
        qWarning().noquote() << "expected" << bytes.left(300) << "\n     got" << received.left(300);
        return false;
    }
    received.remove(0, bytes.size());
    return true;
}

QByteArray Peer::take(int waitMs) {
    QTest::qWait(waitMs);
    return takeSome(std::numeric_limits<qint64>::max());
}

QByteArray Peer::takeSome(qint64 most) {
    pump(most);
    QByteArray all;
    all.swap(received);
    return all;
}

bool Peer::waitFor(const QByteArray& text, int timeoutMs) {
    return waitUntil([&] { return pump(), received.contains(text); }, timeoutMs);
}

Peer::End Peer::waitEnd(int timeoutMs) {
    waitUntil([&] { return pump(), end != End::Open; }, timeoutMs);
    return end;
}

void Peer::shutdownWrite() { ::shutdown(m_fd, SHUT_WR); }

std::unique_ptr<Peer> joinAs(quint16 port, const QByteArray& nick) {
    auto peer = std::make_unique<Peer>(port);
    peer->send("nickName=" + nick);
    const QByteArray last = ". " + nick + "\r\n";
    if (!peer->expect(">>> Wellcome") || !peer->waitFor(last)) return nullptr;
    peer->received.remove(0, peer->received.indexOf(last) + last.size());
    return peer;
}

qint64 threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

qint64 statusKb(const char* field, qint64 pid) {
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    const QByteArray all = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype at = all.indexOf(field);
    return at < 0 ? -1 : all.mid(at + qstrlen(field)).split('\n').first().trimmed().split(' ').first().toLongLong();
}

StalledListener::StalledListener() : m_listener(socket(AF_INET, SOCK_STREAM, 0)), m_filler(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
    listen(m_listener, 0);
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), length); // the one connection the queue holds
}
StalledListener::~StalledListener() { ::close(m_filler), ::close(m_listener); }
int StalledListener::accept() { return ::accept(m_listener, nullptr, nullptr); }

} // namespace testing
