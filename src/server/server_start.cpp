#include "chat_server.h"
#include "protocol/chat_session.h"
#include "platform/yield.h"

namespace {
QString startFailureContext(SocketControl& root) {
    return QStringLiteral("Error while starting server at port ") + QString::number(root.LocalPort());
}
} // namespace

ChatServer::ChatServer(ChatSession& session)
    : clientSlots(session.Winsock1, session.socketCount, session.maxClients,
                  [&session](const QString& text) { session.printLine(text); }),
      m_session(session) {
    session.setServer(*this);
}

void ChatServer::Command3_Click() {
    SocketControlArray& Winsock1 = m_session.Winsock1;
    withErrorTrap(m_session, [&] { return startFailureContext(Winsock1(0)); }, [&] {
        if (Winsock1(0).State() != SocketState::Closed) {
            if (!m_session.isServer) {
                m_session.view().msgBox(QStringLiteral("Cannot start Server. You are connected as Client."),
                                        platform::MsgButtons::Ok, platform::MsgIcon::None);
                return;
            }
            const qint32 clients = clientSlots.countClients();
            const QString question = QStringLiteral("Server is already running.\r\nInfo: ") + QString::number(clients) +
                                     QStringLiteral(" Clients are connected right now.\r\n\r\n"
                                                    "Close running Server and start a new one?");
            if (m_session.view().msgBox(question, platform::MsgButtons::YesNo, platform::MsgIcon::None) !=
                platform::MsgResult::Yes)
                return;
            // Stop accepting first: a client taken during the slots' teardown would be left
            // behind above the table.
            Winsock1(0).Close();
            unloadClientSockets();
            m_session.printLine(QStringLiteral("Server stop OK."));
        }

        if (!m_session.view().showServerSettings()) return;
        listenWithSettings();
    });
}

bool ChatServer::startServer() {
    return withErrorTrap(
        m_session, [this] { return startFailureContext(m_session.Winsock1(0)); }, [this] { listenWithSettings(); });
}

void ChatServer::listenWithSettings() {
    SocketControl& root = m_session.Winsock1(0);
    m_session.sizeLastState();
    root.Bind(m_session.parleonPort);
    root.Listen();
    // Port 0 lets the system choose: name the port actually listened on.
    m_session.printLine(QStringLiteral("Server start OK on port ") + QString::number(root.LocalPort()) +
                        QStringLiteral("."));
    m_session.view().focusInput();
    m_session.isServer = true;
    onlineSince = QDateTime::currentDateTime();
}

void ChatServer::unloadClientSockets() {
    SocketControlArray& Winsock1 = m_session.Winsock1;
    m_acceptances.clear(); // their lines belong to the server that ends
    const qint32 count = m_session.socketCount;
    for (int i = 1; i <= count; ++i) {
        // A close handled during an earlier yield may have removed this slot already.
        if (!Winsock1.isLoaded(i)) continue;
        if (Winsock1(i).State() != SocketState::Closed) {
            Winsock1(i).Close();
            platform::doEvents();
        }
        if (Winsock1.isLoaded(i)) Winsock1.Unload(i);
    }
    m_session.socketCount = 0;
}
