#include "chat_client.h"
#include "platform/yield.h"
#include "protocol/chat_protocol.h"
#include "protocol/chat_session.h"

void ChatClient::Winsock1_ConnectionRequest(int /*Index*/, qint32 /*requestID*/) { platform::doEvents(); }

void ChatClient::Winsock1_DataArrival(int Index, qint32 /*bytesTotal*/) {
    withErrorTrap(
        m_session, [&] { return QStringLiteral("Error while receiving data from ") + m_session.remoteHostIPOf(Index); },
        [&] {
            const QString message = m_session.Winsock1(Index).GetData();
            // A client only shows what arrives; the refusal text marks a failed connect.
            if (message.contains(protocol::ServerFullMarker)) connectFailed = true;
            ++m_messagesReceived;
            m_session.printLine(message);
            m_session.view().messageArrived();
            platform::doEvents();
        });
}

void ChatClient::Winsock1_Close(int Index) {
    withErrorTrap(
        m_session, [&] { return QStringLiteral("Error while closing connection to ") + m_session.remoteHostIPOf(Index); },
        [&] {
            const bool cut = m_session.Winsock1(Index).sendQueueExceeded() != SendQueueCut::None;
            m_session.Winsock1(Index).Close();
            m_session.printLine(cut ? QStringLiteral("Send queue exceeded: the server took nothing for 2 s, the connection was cut.")
                                    : QStringLiteral("Connection closed by remote host."));
        });
}

void ChatClient::sendLine(const QString& text) {
    SocketControl& root = m_session.Winsock1(0);
    if (root.State() != SocketState::Connected) {
        if (root.State() != SocketState::Connecting)
            m_session.printLine(QStringLiteral("ERROR: Cannot send message, no connection."));
        return;
    }
    m_session.printLine(m_session.nickName + QStringLiteral(": ") + text);
    root.SendData(text);
    m_session.view().lineSent(text);
}

void ChatClient::printRoleHelp() {
    m_session.printLine(QStringLiteral("List of Commands:"));
    m_session.printLine(QStringLiteral("1. nickName=nnn /where nnn is your new nick name"));
    m_session.printLine(QStringLiteral("2. listNames    /list all online clients"));
    m_session.printLine(QString(48, QLatin1Char('-')));
}
