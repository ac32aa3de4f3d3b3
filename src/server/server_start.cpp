#include "main_window/form1.h"
#include "platform/message_box.h"

#include <QLineEdit>

namespace {
QString startFailureContext(SocketControl& root) {
    return QStringLiteral("Error while starting server at port ") + QString::number(root.LocalPort());
}
} // namespace

void Form1::Command3_Click() {
    withErrorTrap(*this, [this] { return startFailureContext(Winsock1(0)); }, [this] {
        if (Winsock1(0).State() != SocketState::Closed) {
            if (!isServer) {
                platform::msgBox(this, QStringLiteral("Cannot start Server. You are connected as Client."),
                                 platform::MsgButtons::Ok, platform::MsgIcon::None);
                return;
            }
            const qint32 clients = clientSlots.countClients();
            const QString question = QStringLiteral("Server is already running.\r\nInfo: ") + QString::number(clients) +
                                     QStringLiteral(" Clients are connected right now.\r\n\r\n"
                                                    "Close running Server and start a new one?");
            if (platform::msgBox(this, question, platform::MsgButtons::YesNo, platform::MsgIcon::None) !=
                platform::MsgResult::Yes)
                return;
            // Stop accepting first: a client taken during the slots' teardown would be left
            // behind above the table.
            Winsock1(0).Close();
            unloadClientSockets();
            printLine(QStringLiteral("Server stop OK."));
        }

        settingsDialog.Show(*this);
        if (!settingsDialog.settingsValid) return;
        listenWithSettings();
    });
}

bool Form1::startServer() {
    return withErrorTrap(*this, [this] { return startFailureContext(Winsock1(0)); }, [this] { listenWithSettings(); });
}

void Form1::listenWithSettings() {
    sizeLastState();
    Winsock1(0).Bind(parleonPort);
    Winsock1(0).Listen();
    // Port 0 lets the system choose: name the port actually listened on.
    printLine(QStringLiteral("Server start OK on port ") + QString::number(Winsock1(0).LocalPort()) +
              QStringLiteral("."));
    Text3->setFocus();
    Text3->setSelection(0, static_cast<int>(Text3->text().size()));
    isServer = true;
    onlineSince = QDateTime::currentDateTime();
}
