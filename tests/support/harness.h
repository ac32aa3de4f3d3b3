#pragma once

#include "main_window/form1.h"

#include <QByteArray>
#include <QDialog>
#include <QProcess>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

namespace testing {

// Spins the event loop until the condition holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// A TCP port that was free a moment ago (the OS chose it).
quint16 freeTcpPort();

// A program folder of the test's own, so that settings files stay apart.
struct ProgramFolder {
    QTemporaryDir dir;
    ProgramFolder();
    ~ProgramFolder();
    QString config() const;
    void write(const QByteArray& content) const;
    QByteArray read() const;
};

// Answers the modal boxes and dialogs the program opens, as a user would, one action for each in
// turn; boxes nobody expected are recorded and dismissed.
class Modals : public QObject {
public:
    struct Box {
        QString text;
        int icon;
        QStringList buttons;
    };
    static Modals& instance();
    void button(const QString& text);  // the next modal: click the button with this text
    void dialog(std::function<void(QDialog&)> action);
    void setText(const char* box, const QString& text); // acts on the modal open at that moment
    std::vector<Box> boxes;
    QStringList unexpected;
    bool done() const { return m_actions.empty(); }

private:
    Modals();
    void poll();
    QTimer m_timer;
    std::deque<std::function<void(QWidget&)>> m_actions;
    std::vector<QPointer<QWidget>> m_handled;
};

// A raw TCP peer, like netcat: sends bytes, checks exactly what arrives, tells FIN from reset.
class Peer {
public:
    enum class End { Open, Fin, Reset };
    explicit Peer(quint16 port, const char* address = "127.0.0.1");
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    quint16 localPort() const;
    void send(const QByteArray& bytes);
    qsizetype sendSome(const QByteArray& bytes); // what the system takes now, without waiting
    bool expect(const QByteArray& bytes, int timeoutMs = 5000); // these bytes next, then taken
    QByteArray take(int waitMs = 0);                            // what has come within waitMs
    End waitEnd(int timeoutMs = 5000);
    void shutdownWrite();
    void reset();
    QByteArray received;
    End end = End::Open;

private:
    void pump();
    int m_fd = -1;
};

// The program itself as a server in a process of its own, without a window.
struct ProgramServer {
    QTemporaryDir folder;
    QProcess process;
    quint16 port = 0;
    QByteArray output;
    explicit ProgramServer(const QStringList& options = {});
    ~ProgramServer();
    bool waitForOutput(const QByteArray& text, int timeoutMs = 5000);
};

// Starts a server on the form, confirming the settings dialog with the given maximum.
bool startServer(Form1& form, quint16 port, const QString& maxClients = QStringLiteral("10"));

// A form with a program folder of its own; the output box read from a mark on.
struct Window {
    ProgramFolder folder;
    Form1 form;
    qsizetype mark = 0;
    QString fresh(); // output since the last call
    void type(const QString& line, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
};

} // namespace testing
