#include "diagnostics/error_codes.h"
#include "main_window/form1.h"
#include "platform/message_box.h"

void Form1::errorHandler(const QString& text) {
    const ErrObject pending = Err();
    const QString message = text + QStringLiteral("\r\nError Nr.: ") + QString::number(pending.number) +
                            QStringLiteral("\r\nLast Dll Error: ") + QString::number(pending.lastDllError) +
                            QStringLiteral("\r\n\r\n") + pending.description + QStringLiteral("\r\n\r\nHelp:\r\n") +
                            getErrorText(pending.number);
    platform::msgBox(this, message, platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
    // A client loses its connection at every reported failure; a server keeps everything.
    if (!isServer) Winsock1(0).Close();
    printLine(Err().description);
    Err().clear();
}

void Form1::Winsock1_Error(int /*Index*/, qint32 Number, const QString& Description) {
    Err().set(Number, Description);
    errorHandler(QStringLiteral("Socket Error"));
}
