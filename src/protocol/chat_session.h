#pragma once

#include "chat_role.h"
#include "chat_view.h"
#include "last_state_table.h"
#include "platform/error_trap.h"
#include "sockets/socket_control_array.h"

#include <QObject>
#include <QTimer>
#include <optional>

// What the server and the client share: the program's settings and state, the socket array, the
// output log, the error report, start-up and shut-down, the title and the help. Socket events go
// to the role the program plays.
class ChatSession : public QObject, public ErrorReporter {
    Q_OBJECT
public:
    explicit ChatSession(ChatView& view);
    ~ChatSession() override;

    // Public properties: the dialogs read and write them.
    qint32 parleonPort = 0;
    QString nickName;
    qint32 maxClients = 0;
    QString rHostIP;
    // The connect dialog's last server address, first byte first.
    quint8 lastIP_Byte1 = 0;
    quint8 lastIP_Byte2 = 0;
    quint8 lastIP_Byte3 = 0;
    quint8 lastIP_Byte4 = 0;

    QString serverHostName;
    bool isServer = false;
    qint32 socketCount = 0;
    LastStateTable lastState;
    bool connecting = false;
    bool exitPending = false;
    qint32 connectTimeout = 0;

    SocketControlArray Winsock1;
    QTimer Timer1;

    ChatView& view() { return m_view; }
    // The server and the client, each once it exists; socket events go to the one playing.
    void setServer(ChatRole& server) { m_server = &server; }
    void setClient(ChatRole& client) { m_client = &client; }

    void printLine(const QString& text);
    void printText(const QString& text);
    void errorHandler(const QString& text) override;
    QString getHostName(const QString& ip);
    // The address of element index's peer for a failure report; never fails itself.
    QString remoteHostIPOf(int index) const;

    // Reads the settings file, or applies the safe settings.
    void Form_Load();
    // cancel becomes 1 when the program must stay open (a connect attempt is waiting).
    void Form_QueryUnload(int& cancel);
    // A key released in the window, with a copy of the input line's text (the line is cleared as
    // it goes out).
    void Form_KeyUp(int keyCode, QString text);
    void Timer1_Timer();
    void Command1_Click();
    void Winsock1_Error(int Index, qint32 Number, const QString& Description);

    void sizeLastState();
    // Values given on the command line hold for this run; the settings file keeps its own.
    void useForThisRun(std::optional<qint32> port, std::optional<qint32> maxClients);

    static inline const QString InputPrompt = QStringLiteral("Enter message-text here and press return.");

private:
    ChatRole* role() const { return isServer ? m_server : m_client; }

    ChatView& m_view;
    QStringList m_openErrorBoxes; // the contexts of the error boxes open now
    quint64 m_titleRequests = 0;  // counts the server titles asked for
    ChatRole* m_server = nullptr;
    ChatRole* m_client = nullptr;
    struct RunOnlyValue {
        qint32 given;
        qint32 fromFile;
    };
    std::optional<RunOnlyValue> m_runOnlyPort;
    std::optional<RunOnlyValue> m_runOnlyMaxClients;
};
