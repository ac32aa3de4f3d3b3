#pragma once

#include "client/chat_client.h"
#include "input_history.h"
#include "login_dialog.h"
#include "protocol/chat_session.h"
#include "server/chat_server.h"
#include "settings_dialog.h"

#include <QTimer>
#include <QWidget>
#include <optional>

class OutputBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

// The main chat window: shows the chat session and forwards the user's clicks and keys to it.
class Form1 : public QWidget, public ChatView {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    ChatSession session;
    ChatServer server;
    ChatClient client;

    // Controls.
    QPushButton* Command1 = nullptr; // "?"
    QPushButton* Command2 = nullptr; // "Connect to Server"
    QPushButton* Command3 = nullptr; // "Start Server"
    QLineEdit* Text3 = nullptr;      // input line
    OutputBox* Text4 = nullptr;      // output box

    // The two dialogs; their properties outlive their windows.
    Dialog settingsDialog;
    frmLogin connectDialog;

    const QString& outputText() const;

    // ChatView: what the session shows through the window.
    void printText(const QString& text) override;
    platform::MsgResult msgBox(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon) override;
    void showTitle(const QString& caption) override;
    bool showServerSettings() override;
    bool showConnectDialog() override;
    void focusInput() override;
    void lineSent(const QString& line) override;
    void messageArrived() override;
    void close() override { QWidget::close(); }

    void Form_Resize();
    void Form_KeyUp(int keyCode, int shift);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    // The layout rule on a client area given in twips.
    void layoutTextBoxes(float scaleWidth, float scaleHeight, bool minimized);
    void applyTextBoxGeometry();

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
};
