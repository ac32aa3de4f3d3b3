#include "chat_client.h"
#include "platform/clock.h"
#include "platform/yield.h"
#include "protocol/chat_protocol.h"
#include "protocol/chat_session.h"
#include "sockets/socket_state_text.h"

#include <QElapsedTimer>
#include <optional>

namespace {
// How long a yield of the connect wait may sleep when nothing is pending, so that the wait does
// not burn a core.
constexpr int YieldWaitMs = 2;
// How long a new connection waits for a full server's refusal before it greets: the refusal is
// sent as soon as the server has accepted, so it comes within a round trip; the greeting must not
// wait longer than a moment, however long the connection took to come up.
constexpr qint64 RefusalGraceMs = 100;
} // namespace

ChatClient::ChatClient(ChatSession& session) : m_session(session) { session.setClient(*this); }

void ChatClient::Command2_Click() {
    withErrorTrap(
        m_session, [this] { return QStringLiteral("Error while connecting to server ") + m_session.remoteHostIPOf(0); },
        [this] { connectToServer(); });
}

// connecting holds exactly while a wait runs, however attempts nest and however a wait ends: an
// attempt that a later one takes over, or a failure, leaves no wait behind that blocks the close.
ChatClient::WaitRunning::WaitRunning(ChatClient& client) : m_client(client) {
    ++m_client.m_waitsRunning;
    m_client.m_session.connecting = true;
}

ChatClient::WaitRunning::~WaitRunning() {
    --m_client.m_waitsRunning;
    m_client.m_session.connecting = m_client.m_waitsRunning > 0;
}

void ChatClient::connectToServer() {
    ChatSession& s = m_session;
    SocketControl& root = s.Winsock1(0);
    if (root.State() != SocketState::Closed) {
        if (s.isServer) {
            s.view().msgBox(QStringLiteral("Cannot connect. Server is running."), platform::MsgButtons::Ok,
                            platform::MsgIcon::None);
            return;
        }
        const QString question = QStringLiteral("You are already connected to Server:\r\n") + s.serverHostName +
                                 QStringLiteral("\r\n\r\nClose current connection?");
        if (s.view().msgBox(question, platform::MsgButtons::YesNo, platform::MsgIcon::None) !=
            platform::MsgResult::Yes)
            return;
        root.Close();
        s.printLine(QStringLiteral("Connection closed."));
        platform::doEvents();
    }

    // A click on "Connect to Server" during one of this attempt's yields starts a new attempt,
    // which takes the root socket over; this one then ends without a word of its own.
    const quint64 attempt = ++m_connectAttempt;
    const auto superseded = [this, attempt] { return m_connectAttempt != attempt; };

    qint32 shownState = root.State();
    connectFailed = false;
    s.rHostIP.clear();
    root.setLocalPort(0);

    if (!s.view().showConnectDialog() || s.rHostIP.isEmpty()) return;

    s.printLine(QStringLiteral("searching Server..."));
    platform::doEvents();
    if (superseded()) return;
    s.serverHostName = s.getHostName(s.rHostIP);
    platform::doEvents();
    if (superseded()) return;
    s.printLine(QStringLiteral(">>> Parleon Server is: ") + s.serverHostName + QStringLiteral(" <<<"));

    root.Connect(s.rHostIP, s.parleonPort);
    const float startTime = platform::timer();
    std::optional<WaitRunning> waiting(std::in_place, *this);

    qint32 dotCount = 0;
    bool closedMeanwhile = false;
    while (!closedMeanwhile) {
        if (root.State() != shownState) {
            shownState = root.State();
            s.printLine(QString());
            s.printText(socketStateText(shownState));
        }
        if (root.State() == SocketState::Connected) break;
        if (static_cast<float>(startTime + static_cast<float>(s.connectTimeout)) < platform::timer()) break;
        if (static_cast<float>(startTime + static_cast<float>(dotCount)) < platform::timer()) {
            ++dotCount;
            s.printText(QStringLiteral("."));
        }
        // Yield, sleeping while nothing happens, until the next dot or the time-out is due or the
        // state changes: both keep to the second, and a new state shows at once. A failed attempt
        // is not a state to show: its report and the close follow at once, and end the wait.
        const float due = startTime + static_cast<float>(qMin(dotCount, s.connectTimeout));
        const auto unchanged = [&] { return root.State() == shownState || root.State() == SocketState::Error; };
        while (platform::timer() <= due && unchanged()) {
            platform::doEventsWaiting(YieldWaitMs);
            if (superseded()) return;
        }
        closedMeanwhile = root.State() == SocketState::Closed;
    }
    waiting.reset();
    s.printLine(QString());
    if (s.exitPending) {
        s.view().close();
        return;
    }
    if (root.State() == SocketState::Connected) {
        // A full server answers with its refusal as soon as it has accepted: give it a moment to
        // arrive before calling the connection a success.
        const quint64 messagesBefore = m_messagesReceived;
        QElapsedTimer grace;
        grace.start();
        do {
            platform::doEventsWaiting(YieldWaitMs);
            if (superseded()) return;
        } while (root.State() == SocketState::Connected && m_messagesReceived == messagesBefore &&
                 grace.elapsed() < RefusalGraceMs);
        // Refused, or the connection already ended (and was reported as it ended).
        if (connectFailed || root.State() != SocketState::Connected) return;
        s.printLine(QStringLiteral("Connect OK to server ") + root.RemoteHostIP());
        platform::doEvents();
        if (superseded()) return;
        root.SendData(protocol::NickNameCommand + s.nickName);
        platform::doEvents();
        root.Tag = s.nickName;
        s.view().focusInput();
    } else if (root.State() != SocketState::Closed) {
        s.printLine(QStringLiteral("ERROR: Connect timeout (") + QString::number(s.connectTimeout) +
                  QStringLiteral(" sec)."));
        root.Close();
        s.printLine(QStringLiteral("Connection closed."));
    }
}
