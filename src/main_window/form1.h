#pragma once

#include "client/login_dialog.h"
#include "input_history.h"
#include "last_state_table.h"
#include "platform/error_trap.h"
#include "server/settings_dialog.h"
#include "settings/settings_file.h"
#include "sockets/client_slot_table.h"
#include "sockets/socket_control_array.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>
#include <optional>

class OutputBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

// The main chat window. It owns the program's whole state, its controls, the socket array and
// the two dialogs; its handlers are defined in the files of the subsystems they belong to.
class Form1 : public QWidget, public ErrorReporter {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Public properties: the dialogs read and write them.
    qint32 parleonPort = 0;
    QString nickName;
    qint32 maxClients = 0;
    QString rHostIP;

    // The rest of the program's state.
    QString serverHostName;
    bool isServer = false;
    bool connectFailed = false;
    qint32 socketCount = 0;
    LastStateTable lastState;
    QDateTime onlineSince;
    bool connecting = false;
    bool exitPending = false;
    qint32 connectTimeout = 0;

    // Controls.
    QPushButton* Command1 = nullptr; // "?"
    QPushButton* Command2 = nullptr; // "Connect to Server"
    QPushButton* Command3 = nullptr; // "Start Server"
    QLineEdit* Text3 = nullptr;      // input line
    OutputBox* Text4 = nullptr;      // output box
    QTimer* Timer1 = nullptr;
    SocketControlArray Winsock1;
    ClientSlotTable clientSlots;

    // The two dialogs; their properties outlive their windows.
    Dialog settingsDialog;
    frmLogin connectDialog;

    static inline const QString InputPrompt = QStringLiteral("Enter message-text here and press return.");

    // Output log.
    void printLine(const QString& text);
    void printText(const QString& text);
    const QString& outputText() const;

    // Error report.
    void errorHandler(const QString& text) override;
    QString getHostName(const QString& ip);

    // Window events.
    void Form_Load();
    void Form_QueryUnload(int& cancel, int unloadMode);
    void Form_Resize();
    void Form_KeyUp(int keyCode, int shift);
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    // Socket events.
    void Winsock1_ConnectionRequest(int Index, qint32 requestID);
    void Winsock1_DataArrival(int Index, qint32 bytesTotal);
    void Winsock1_Close(int Index);
    void Winsock1_Error(int Index, qint32 Number, const QString& Description);

    // Starts the server with the settings as they are, without the dialog; false when it failed
    // (and the failure was reported).
    bool startServer();
    // Values given on the command line hold for this run; the settings file keeps its own.
    void useForThisRun(std::optional<qint32> port, std::optional<qint32> maxClients);

    static QString socketStateText(qint32 state);
    void kickClient(const QString& name);
    void unloadClientSockets();

    // The layout rule of Form_Resize, on a client area given in twips.
    void layoutTextBoxes(float scaleWidth, float scaleHeight, bool minimized);
    float text3WidthTwips() const { return m_text3Width; }
    float text4WidthTwips() const { return m_text4Width; }
    float text4HeightTwips() const { return m_text4Height; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void applyTextBoxGeometry();
    // The address of element index's peer for a failure report; never fails itself.
    QString remoteHostIPOf(int index) const;
    void sizeLastState();
    settings::SettingsFields settingsFields();

    // Server helpers.
    void listenWithSettings();
    void handleClientMessage(int index, const QString& message);
    void refuseConnection(qint32 requestID);
    // Client helpers.
    void connectToServer();

    float m_text3Width = 3615;
    float m_text4Width = 3735;
    float m_text4Height = 2205;
    bool m_returnPressSeen = false;
    // A key release waits a moment before it counts, in case it is half of a repeat.
    struct KeyRelease {
        int key;
        quint64 timestamp;
        int keyCode;
        int shift;
    };
    std::optional<KeyRelease> m_pendingRelease;
    QTimer m_releaseWait;
    void actOnPendingRelease();
    InputHistory m_history;
    // Up and Down in the input line; true when the key was taken.
    bool walkHistory(const QKeyEvent& key);
    // Asks the window system to mark the window when a line arrives while it is not active.
    void requestAttention();
    struct RunOnlyValue {
        qint32 given;
        qint32 fromFile;
    };
    std::optional<RunOnlyValue> m_runOnlyPort;
    std::optional<RunOnlyValue> m_runOnlyMaxClients;
    quint64 m_connectAttempt = 0;    // counts the connect attempts begun
    quint64 m_messagesReceived = 0;  // counts the messages a client has shown
};
