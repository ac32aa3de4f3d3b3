#include "form1.h"

QString Form1::socketStateText(qint32 state) {
    switch (state) {
    case 0: return QStringLiteral("Connection closed");
    case 1: return QStringLiteral("Connection open");
    case 2: return QStringLiteral("Listening");
    case 3: return QStringLiteral("Connection pending");
    case 4: return QStringLiteral("Resolving host");
    case 5: return QStringLiteral("Host resolved");
    case 6: return QStringLiteral("Connecting");
    case 7: return QStringLiteral("Connected");
    case 8: return QStringLiteral("Closing");
    case 9: return QStringLiteral("Error");
    default: return QStringLiteral("ERROR: Socket-state unknown");
    }
}

void Form1::Timer1_Timer() {
    const qint32 count = socketCount;
    for (int i = 0; i <= count; ++i) {
        // A slot unloaded while an earlier lookup's message box was open is skipped, as is one
        // beyond the recorded range.
        const SocketControl* element = Winsock1.find(i);
        if (!element || !lastState.contains(i)) continue;
        if (element->State() == lastState.value(i)) continue;
        lastState.set(i, element->State());
        const QString stateText = socketStateText(lastState.value(i));
        if (isServer) {
            const QString host = getHostName(element->RemoteHostIP());
            setWindowTitle(QStringLiteral("Parleon SERVER - ") + stateText + QStringLiteral(" [") + host +
                           QStringLiteral("]"));
        } else {
            setWindowTitle(QStringLiteral("Parleon - ") + stateText + QStringLiteral(" [") + serverHostName +
                           QStringLiteral("]"));
        }
    }
}
