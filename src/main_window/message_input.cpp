#include "form1.h"
#include "server/chat_protocol.h"

#include <QLineEdit>

void Form1::Form_KeyUp(int keyCode, int /*shift*/) {
    withErrorTrap(
        *this, [this] { return QStringLiteral("Error while sending message to ") + remoteHostIPOf(0); },
        [&] {
            const QString text = Text3->text();
            if (keyCode != 13 || text == InputPrompt) return;

            if (isServer) {
                if (socketCount < 1) {
                    printLine(QStringLiteral("ERROR: Cannot send message, no clients connected."));
                    return;
                }
                printLine(protocol::serverLine(text));
                Text3->clear();
                m_history.add(text);
                if (text.left(9) == protocol::KickCommand)
                    kickClient(text.mid(9));
                else
                    clientSlots.sendToClients(protocol::serverLine(text), 0);
                return;
            }

            if (Winsock1(0).State() != SocketState::Connected) {
                if (Winsock1(0).State() != SocketState::Connecting)
                    printLine(QStringLiteral("ERROR: Cannot send message, no connection."));
                return;
            }
            printLine(nickName + QStringLiteral(": ") + text);
            Winsock1(0).SendData(text);
            Text3->clear();
            m_history.add(text);
        });
}
