#include "test_support.h"

#include "main_window/form1.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "settings/settings_file.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

namespace testing {

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) return false;
        QTest::qWait(2);
    }
    return true;
}

quint16 freeTcpPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

ProgramFolder::ProgramFolder() { platform::setProgramFolder(m_dir.path()); }
ProgramFolder::~ProgramFolder() { platform::setProgramFolder(QString()); }
QString ProgramFolder::configPath() const { return m_dir.filePath(settings::FileName); }

void ProgramFolder::writeConfig(const QByteArray& content) const {
    QFile file(configPath());
    if (file.open(QIODevice::WriteOnly)) file.write(content);
}

QByteArray ProgramFolder::readConfig() const {
    QFile file(configPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ProgramFolder::configExists() const { return QFile::exists(configPath()); }

namespace {
// Tests with several forms have an answerer each; they share the one modal stack.
std::vector<ModalAnswerer*>& liveAnswerers() {
    static std::vector<ModalAnswerer*> answerers;
    return answerers;
}

// The modal widgets that answerers have taken on already, whichever answerer it was: a dialog
// stays handled while a box it opened comes and goes.
std::vector<QPointer<QWidget>>& handledModals() {
    static std::vector<QPointer<QWidget>> modals;
    return modals;
}

bool alreadyHandled(QWidget* modal) {
    std::erase_if(handledModals(), [](const QPointer<QWidget>& w) { return w.isNull(); });
    return std::find(handledModals().begin(), handledModals().end(), modal) != handledModals().end();
}
} // namespace

ModalAnswerer::ModalAnswerer() {
    liveAnswerers().push_back(this);
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

ModalAnswerer::~ModalAnswerer() { std::erase(liveAnswerers(), this); }

void ModalAnswerer::answerBox(const QString& buttonText) {
    m_actions.push_back([buttonText](QWidget& widget) {
        auto* box = qobject_cast<QMessageBox*>(&widget);
        if (!box) return;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().remove(QLatin1Char('&')) == buttonText) {
                button->click();
                return;
            }
        }
    });
}

void ModalAnswerer::answerDialog(std::function<void(QDialog&)> action) {
    m_actions.push_back([action](QWidget& widget) {
        if (auto* dialog = qobject_cast<QDialog*>(&widget)) action(*dialog);
    });
}

void ModalAnswerer::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || alreadyHandled(modal)) return;
    if (m_actions.empty()) {
        // Another answerer may be expecting it; unexpected boxes are the first answerer's.
        for (ModalAnswerer* other : liveAnswerers())
            if (other != this && !other->m_actions.empty()) return;
        if (liveAnswerers().front() != this) return;
    }
    handledModals().push_back(modal);
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        QStringList buttons;
        for (QAbstractButton* button : box->buttons()) buttons << button->text().remove(QLatin1Char('&'));
        m_boxes.push_back({box->property(platform::MessageTextProperty).toString(), box->icon(), buttons});
    }
    if (m_actions.empty()) {
        m_unexpected << modal->objectName() + QLatin1Char(':') + modal->windowTitle();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        return;
    }
    // Act from a call of its own, so that boxes the action opens are seen by this poll too.
    auto action = std::move(m_actions.front());
    m_actions.pop_front();
    QPointer<QWidget> target = modal;
    QTimer::singleShot(0, this, [target, action] {
        if (target) action(*target);
    });
}

void clickButton(QDialog& dialog, const char* objectName) {
    if (auto* button = dialog.findChild<QPushButton*>(QLatin1String(objectName))) QTest::mouseClick(button, Qt::LeftButton);
}

void setBoxText(QDialog& dialog, const char* objectName, const QString& text) {
    if (auto* box = dialog.findChild<QLineEdit*>(QLatin1String(objectName))) {
        box->setFocus();
        box->selectAll();
        box->del();
        QTest::keyClicks(box, text);
    }
}

RawPeer::RawPeer() {
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] { m_received += m_socket.readAll(); });
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] { m_closed = true; });
    connect(&m_socket, &QTcpSocket::connected, this, [this] { m_connected = true; });
}

bool RawPeer::connectTo(quint16 port) {
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return waitUntil([this] { return m_connected; });
}

void RawPeer::send(const QByteArray& bytes) {
    m_socket.write(bytes);
    m_socket.flush();
}

bool RawPeer::waitForBytes(qsizetype n, int timeoutMs) {
    return waitUntil([this, n] { return m_received.size() >= n; }, timeoutMs);
}

bool RawPeer::expect(const QByteArray& bytes, int timeoutMs) {
    waitUntil([&] { return m_received.size() >= bytes.size() || !m_received.startsWith(bytes.left(m_received.size())); },
              timeoutMs);
    if (!m_received.startsWith(bytes)) {
        qWarning().noquote() << "expected" << bytes << "\n     got" << m_received;
        return false;
    }
    m_received.remove(0, bytes.size());
    return true;
}

QByteArray RawPeer::takeAll() {
    QByteArray all = m_received;
    m_received.clear();
    return all;
}

bool RawPeer::waitForClose(int timeoutMs) {
    return waitUntil([this] { return m_closed; }, timeoutMs);
}

bool startServer(Form1& form, ModalAnswerer& answerer, quint16 port, const QString& maxClients) {
    form.parleonPort = port;
    answerer.answerDialog([maxClients](QDialog& dialog) {
        setBoxText(dialog, "Text2", maxClients);
        clickButton(dialog, "OKButton");
    });
    form.Command3_Click();
    return form.Winsock1(0).State() == SocketState::Listening;
}

std::unique_ptr<RawPeer> joinAs(Form1& server, quint16 port, const QString& nick) {
    auto peer = std::make_unique<RawPeer>();
    const qsizetype outputBefore = server.outputText().size();
    if (!peer->connectTo(port)) return nullptr;
    if (!waitUntil([&] { return outputSince(server, outputBefore).contains(QStringLiteral(" Port=")); }))
        return nullptr;
    peer->send(QStringLiteral("nickName=") + nick);
    if (!peer->expect(QByteArray(">>> Wellcome to Parleon V.0.2 <<<\r\n"))) return nullptr;
    // The list follows in the same message; take it up to its last line, the newcomer's.
    const QByteArray lastLine = (QStringLiteral(". ") + nick + QStringLiteral("\r\n")).toUtf8();
    if (!waitUntil([&] { return peer->received().endsWith(lastLine); })) return nullptr;
    peer->takeAll();
    return peer;
}

QString outputSince(const Form1& form, qsizetype length) { return form.outputText().mid(length); }

} // namespace testing
