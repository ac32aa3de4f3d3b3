#include "chat_server.h"
#include "protocol/chat_protocol.h"
#include "protocol/chat_session.h"

#include <QLocale>

void ChatServer::sendLine(const QString& text) { sendLineInTurn(text, false); }

void ChatServer::sendLineInTurn(const QString& text, bool inputTaken) {
    // The user's line takes its turn after the messages and departures that came before it: a
    // kick does not overtake the kicked client's last line. One that has to wait leaves the
    // input line at once, so that the user may type on.
    const DataTurns::Turn turn =
        m_session.Winsock1.turns().take(&m_session, [this, text] { sendLineInTurn(text, true); });
    if (!turn) {
        if (!inputTaken) m_session.view().lineSent(text);
        return;
    }
    if (m_session.socketCount < 1) {
        m_session.printLine(QStringLiteral("ERROR: Cannot send message, no clients connected."));
        return;
    }
    m_session.printLine(protocol::serverLine(text));
    if (!inputTaken) m_session.view().lineSent(text);
    if (text.left(9) == protocol::KickCommand)
        kickClient(text.mid(9));
    else
        clientSlots.sendToClients(protocol::serverLine(text), 0);
}

void ChatServer::printRoleHelp() {
    const QString separator(48, QLatin1Char('-'));
    m_session.printLine(QStringLiteral("Server Info:"));
    const SocketControl& root = m_session.Winsock1(0);
    const qint32 port = root.State() == SocketState::Listening ? root.LocalPort() : m_session.parleonPort;
    m_session.printLine(QStringLiteral("Running port = ") + QString::number(port));
    m_session.printLine(QStringLiteral("Online since = ") +
                        QLocale::system().toString(onlineSince, QLocale::ShortFormat));
    m_session.printLine(QStringLiteral("Maximum clients = ") + QString::number(m_session.maxClients));
    const qint32 clients = clientSlots.countClients();
    m_session.printLine(QStringLiteral("Connected clients = ") + QString::number(clients));
    m_session.printLine(clients != 0 ? clientSlots.listClients() : QStringLiteral("(none)"));
    m_session.printLine(separator);
    m_session.printLine(QStringLiteral("Enter 'kickName=nnn' /where nnn is the "));
    m_session.printLine(QStringLiteral("Client-Nick-Name to kick from this Server."));
    m_session.printLine(separator);
}
