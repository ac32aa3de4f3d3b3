#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

class Form1;
class QDialog;
class QMessageBox;

namespace testing {

// Spins the event loop until the condition holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// A TCP port that was free a moment ago (the OS chose it).
quint16 freeTcpPort();

// A program folder of the test's own, so that settings files stay apart.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    QString path() const { return m_dir.path(); }
    QString configPath() const;
    void writeConfig(const QByteArray& content) const;
    QByteArray readConfig() const;
    bool configExists() const;

private:
    QTemporaryDir m_dir;
};

// Answers the modal message boxes and dialogs the program opens, the way a user would: by
// clicking their buttons. Boxes nobody expected are recorded and dismissed.
class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    struct SeenBox {
        QString text;
        int icon;
        QStringList buttons;
    };

    ModalAnswerer();
    ~ModalAnswerer() override;

    // The next message box: click the button whose text (mnemonics removed) matches.
    void answerBox(const QString& buttonText);
    // The next dialog: run the action on it (it should click a button).
    void answerDialog(std::function<void(QDialog&)> action);

    const std::vector<SeenBox>& boxes() const { return m_boxes; }
    const QStringList& unexpected() const { return m_unexpected; }
    bool allAnswered() const { return m_actions.empty(); }

private:
    void poll();

    QTimer m_timer;
    std::deque<std::function<void(QWidget&)>> m_actions;
    std::vector<SeenBox> m_boxes;
    QStringList m_unexpected;
};

// Clicks the named push button of a dialog.
void clickButton(QDialog& dialog, const char* objectName);
// Types into the named line edit of a dialog, replacing its text.
void setBoxText(QDialog& dialog, const char* objectName, const QString& text);

// A raw TCP peer, like netcat: sends bytes, collects everything that arrives.
class RawPeer : public QObject {
    Q_OBJECT
public:
    RawPeer();
    bool connectTo(quint16 port);
    void send(const QByteArray& bytes);
    void send(const QString& text) { send(text.toUtf8()); }
    // Waits until at least n bytes have arrived in all (not yet taken).
    bool waitForBytes(qsizetype n, int timeoutMs = 5000);
    // Waits for exactly these bytes next on the wire, then takes them; false if others came.
    bool expect(const QByteArray& bytes, int timeoutMs = 5000);
    bool expect(const QString& text, int timeoutMs = 5000) { return expect(text.toUtf8(), timeoutMs); }
    QByteArray received() const { return m_received; }
    QByteArray takeAll();
    bool waitForClose(int timeoutMs = 5000);
    bool isClosed() const { return m_closed; }
    QTcpSocket& socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
    bool m_closed = false;
    bool m_connected = false;
};

// Starts a server on the form, confirming the settings dialog with the given maximum.
bool startServer(Form1& form, ModalAnswerer& answerer, quint16 port, const QString& maxClients = QStringLiteral("10"));

// Connects a raw peer, waits until the server has accepted it and joins with the nick name;
// takes the welcome from the wire.
std::unique_ptr<RawPeer> joinAs(Form1& server, quint16 port, const QString& nick);

// Output lines of the form that were added since the given length.
QString outputSince(const Form1& form, qsizetype length);

} // namespace testing
