#include "main_window/form1.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/yield.h"
#include "server/chat_protocol.h"

#include <QElapsedTimer>
#include <QLineEdit>

namespace {
// How long a yield of the connect wait may sleep when nothing is pending, so that the wait does
// not burn a core.
constexpr int YieldWaitMs = 2;
// How long a new connection waits for a full server's refusal before it greets: at least this,
// and a few times as long as the connection took to come up.
constexpr qint64 MinRefusalGraceMs = 100;
constexpr qint64 RefusalGraceFactor = 4;
} // namespace

void Form1::Command2_Click() {
    const bool completed = withErrorTrap(
        *this, [this] { return QStringLiteral("Error while connecting to server ") + remoteHostIPOf(0); },
        [this] { connectToServer(); });
    // A failure inside the wait must not leave the window unclosable.
    if (!completed) connecting = false;
}

void Form1::connectToServer() {
    SocketControl& root = Winsock1(0);
    if (root.State() != SocketState::Closed) {
        if (isServer) {
            platform::msgBox(this, QStringLiteral("Cannot connect. Server is running."), platform::MsgButtons::Ok,
                             platform::MsgIcon::None);
            return;
        }
        const QString question = QStringLiteral("You are already connected to Server:\r\n") + serverHostName +
                                 QStringLiteral("\r\n\r\nClose current connection?");
        if (platform::msgBox(this, question, platform::MsgButtons::YesNo, platform::MsgIcon::None) !=
            platform::MsgResult::Yes)
            return;
        root.Close();
        printLine(QStringLiteral("Connection closed."));
        platform::doEvents();
    }

    // A click on "Connect to Server" during one of this attempt's yields starts a new attempt,
    // which takes the root socket over; this one then ends without a word of its own.
    const quint64 attempt = ++m_connectAttempt;
    const auto superseded = [this, attempt] { return m_connectAttempt != attempt; };

    qint32 shownState = root.State();
    connectFailed = false;
    rHostIP.clear();
    root.setLocalPort(0);

    connectDialog.Show(*this);
    if (!connectDialog.settingsValid || rHostIP.isEmpty()) return;

    printLine(QStringLiteral("searching Server..."));
    platform::doEvents();
    if (superseded()) return;
    serverHostName = getHostName(rHostIP);
    platform::doEvents();
    if (superseded()) return;
    printLine(QStringLiteral(">>> Parleon Server is: ") + serverHostName + QStringLiteral(" <<<"));

    root.Connect(rHostIP, parleonPort);
    const float startTime = platform::timer();
    QElapsedTimer connectTime;
    connectTime.start();
    connecting = true;

    qint32 dotCount = 0;
    bool closedMeanwhile = false;
    while (!closedMeanwhile) {
        if (root.State() != shownState) {
            shownState = root.State();
            printLine(QString());
            printText(socketStateText(shownState));
        }
        if (root.State() == SocketState::Connected) break;
        if (static_cast<float>(startTime + static_cast<float>(connectTimeout)) < platform::timer()) break;
        if (static_cast<float>(startTime + static_cast<float>(dotCount)) < platform::timer()) {
            ++dotCount;
            printText(QStringLiteral("."));
        }
        // Yield, sleeping while nothing happens, until the next dot or the time-out is due or the
        // state changes: both keep to the second, and a new state shows at once.
        const float due = startTime + static_cast<float>(qMin(dotCount, connectTimeout));
        while (platform::timer() <= due && root.State() == shownState) {
            platform::doEventsWaiting(YieldWaitMs);
            if (superseded()) return;
        }
        closedMeanwhile = root.State() == SocketState::Closed;
    }
    const qint64 connectMs = connectTime.elapsed();

    connecting = false;
    printLine(QString());
    if (exitPending) {
        close();
        return;
    }
    if (root.State() == SocketState::Connected) {
        // A full server answers with its refusal as soon as it has accepted: give it time to
        // arrive, however slow the link, before calling the connection a success.
        const qint64 graceMs = qMax(MinRefusalGraceMs, RefusalGraceFactor * connectMs);
        const quint64 messagesBefore = m_messagesReceived;
        QElapsedTimer grace;
        grace.start();
        do {
            platform::doEventsWaiting(YieldWaitMs);
            if (superseded()) return;
        } while (root.State() == SocketState::Connected && m_messagesReceived == messagesBefore &&
                 grace.elapsed() < graceMs);
        // Refused, or the connection already ended (and was reported as it ended).
        if (connectFailed || root.State() != SocketState::Connected) return;
        printLine(QStringLiteral("Connect OK to server ") + root.RemoteHostIP());
        platform::doEvents();
        if (superseded()) return;
        root.SendData(protocol::NickNameCommand + nickName);
        platform::doEvents();
        root.Tag = nickName;
        Text3->setFocus();
        Text3->setSelection(0, static_cast<int>(Text3->text().size()));
    } else if (root.State() != SocketState::Closed) {
        printLine(QStringLiteral("ERROR: Connect timeout (") + QString::number(connectTimeout) +
                  QStringLiteral(" sec)."));
        root.Close();
        printLine(QStringLiteral("Connection closed."));
    }
}
