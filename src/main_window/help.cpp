#include "form1.h"
#include "parleon_version.h"

#include <QLocale>

void Form1::Command1_Click() {
    const QString separator(48, QLatin1Char('-'));
    printLine(QString());
    printLine(separator);
    printLine(QStringLiteral("Parleon - Version %1.%2.%3")
                  .arg(ParleonVersion::Major)
                  .arg(ParleonVersion::Minor)
                  .arg(ParleonVersion::Revision));
    printLine(separator);
    printLine(QStringLiteral("Multi client chat via TCP/IP"));
    printLine(separator);
    printLine(QStringLiteral("Quick test:"));
    printLine(QStringLiteral("1. Run Parleon.exe and start a Server"));
    printLine(QStringLiteral("2. Run Parleon.exe and start a Client"));
    printLine(QStringLiteral("3. Enter 127.0.0.1 in the Popup-Dialog"));
    printLine(QStringLiteral("4. Chat with yourself"));
    printLine(separator);

    if (isServer) {
        printLine(QStringLiteral("Server Info:"));
        const SocketControl& root = Winsock1(0);
        const qint32 port = root.State() == SocketState::Listening ? root.LocalPort() : parleonPort;
        printLine(QStringLiteral("Running port = ") + QString::number(port));
        printLine(QStringLiteral("Online since = ") + QLocale::system().toString(onlineSince, QLocale::ShortFormat));
        printLine(QStringLiteral("Maximum clients = ") + QString::number(maxClients));
        const qint32 clients = clientSlots.countClients();
        printLine(QStringLiteral("Connected clients = ") + QString::number(clients));
        printLine(clients != 0 ? clientSlots.listClients() : QStringLiteral("(none)"));
        printLine(separator);
        printLine(QStringLiteral("Enter 'kickName=nnn' /where nnn is the "));
        printLine(QStringLiteral("Client-Nick-Name to kick from this Server."));
        printLine(separator);
    } else {
        printLine(QStringLiteral("List of Commands:"));
        printLine(QStringLiteral("1. nickName=nnn /where nnn is your new nick name"));
        printLine(QStringLiteral("2. listNames    /list all online clients"));
        printLine(separator);
    }
}
