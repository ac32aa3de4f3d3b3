#include "harness.h"

#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "settings/settings_file.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
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

Modals& Modals::instance() {
    static Modals* modals = new Modals;
    return *modals;
}

Modals::Modals() {
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, this, &Modals::poll);
    m_timer.start();
}

void Modals::click(QWidget& modal, const QString& text) {
    for (QAbstractButton* b : modal.findChildren<QAbstractButton*>())
        if (b->text().remove(QLatin1Char('&')) == text) return b->click();
}

void Modals::button(const QString& text) {
    box([text](QDialog& modal) { click(modal, text); });
}

void Modals::dialog(std::function<void(QDialog&)> action) { m_actions.emplace_back(false, std::move(action)); }
void Modals::box(std::function<void(QDialog&)> action) { m_actions.emplace_back(true, std::move(action)); }

void Modals::reset() {
    boxes.clear();
    unexpected.clear();
    m_actions.clear();
}

void Modals::setText(const char* box, const QString& text) {
    auto* edit = QApplication::activeModalWidget()->findChild<QLineEdit*>(QLatin1String(box));
    edit->setFocus();
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

void Modals::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    std::erase_if(m_handled, [](const QPointer<QWidget>& w) { return w.isNull(); });
    if (!modal || !modal->isVisible() || std::find(m_handled.begin(), m_handled.end(), modal) != m_handled.end())
        return;
    m_handled.emplace_back(modal);
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        QStringList buttons;
        for (QAbstractButton* b : box->buttons()) buttons << b->text().remove(QLatin1Char('&'));
        boxes.push_back({box->property(platform::MessageTextProperty).toString(), box->icon(), buttons});
    }
    const bool isBox = qobject_cast<QMessageBox*>(modal);
    const auto action = std::find_if(m_actions.begin(), m_actions.end(), [&](const auto& a) { return a.first == isBox; });
    if (action == m_actions.end()) {
        unexpected << modal->windowTitle();
        static_cast<QDialog*>(modal)->reject();
        return;
    }
    // Acted on from a call of its own, so that boxes the action opens are seen too.
    auto act = std::move(action->second);
    m_actions.erase(action);
    QTimer::singleShot(0, modal, [modal, act] { act(static_cast<QDialog&>(*modal)); });
}

void ModalTest::init() { Modals::instance().reset(); }

void ModalTest::cleanup() {
    QVERIFY2(Modals::instance().done(), "a modal the test expected did not come");
    QVERIFY2(Modals::instance().unexpected.isEmpty(), qPrintable(Modals::instance().unexpected.join(", ")));
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

Peer::~Peer() { ::close(m_fd); }

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

void Peer::pump() {
    char buffer[65536];
    ssize_t n;
    while ((n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0) received.append(buffer, n);
    if (n == 0 && end == End::Open) end = End::Fin;
    if (n < 0 && errno == ECONNRESET) end = End::Reset;
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
    pump();
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

bool startServer(Form1& form, quint16 port, const QString& maxClients) {
    form.parleonPort = port;
    Modals::instance().dialog([maxClients](QDialog& dialog) {
        Modals::setText("Text2", maxClients);
        Modals::click(dialog, QStringLiteral("OK"));
    });
    form.Command3_Click();
    return form.Winsock1(0).State() == SocketState::Listening;
}

QString Window::fresh() {
    const QString text = form.outputText().mid(mark);
    mark = form.outputText().size();
    return text;
}

void Window::type(const QString& line, Qt::KeyboardModifiers modifiers) {
    form.Text3->setFocus();
    form.Text3->setText(line);
    QTest::keyClick(form.Text3, Qt::Key_Return, modifiers);
}

} // namespace testing
