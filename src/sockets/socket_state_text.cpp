#include "socket_state_text.h"

QString socketStateText(qint32 state) {
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
