#pragma once

#include "main_window/form1.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <functional>

namespace testing {

// Spins the event loop until the condition holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
quint16 freeTcpPort();
QByteArray contentOf(const QString& path); // empty when there is no such file

// A program folder of the test's own, so that settings files stay apart.
struct ProgramFolder {
    QTemporaryDir dir;
    ProgramFolder();
    ~ProgramFolder();
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
    // The next message box or dialog, whichever opens first, is answered by the first action of
    // its kind.
    void button(const QString& text); // the next message box: click the button with this text
    void dialog(std::function<void(QDialog&)> action);
    void box(std::function<void(QDialog&)> action);
    void reset();
    static void setText(const char* box, const QString& text); // types into the open modal's box
    static void click(QWidget& modal, const QString& text);
    std::vector<Box> boxes;
    QStringList unexpected;
    bool done() const { return m_actions.empty(); }

private:
    Modals();
    void poll();
    QTimer m_timer;
    std::deque<std::pair<bool, std::function<void(QDialog&)>>> m_actions; // for a message box?, the action
    std::vector<QPointer<QWidget>> m_handled;
};

inline Modals& modals() { return Modals::instance(); }

// A test whose every function starts with no box seen and ends with every expected modal answered
// and no unexpected one.
class ModalTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
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
    bool waitFor(const QByteArray& text, int timeoutMs = 5000); // until what has come holds the text
    End waitEnd(int timeoutMs = 5000);
    void shutdownWrite();
    QByteArray received;
    End end = End::Open;

private:
    void pump();
    int m_fd = -1;
};

// A peer that has joined under this nick name, its welcome and list taken; null if not welcomed.
std::unique_ptr<Peer> joinAs(quint16 port, const QByteArray& nick);
// A figure in kB from a process's /proc status ("VmRSS:", "VmHWM:"); the test's own by default.
qint64 statusKb(const char* field, qint64 pid = 0);

// A loopback port whose listener's accept queue is full, so that a connection attempt to it never
// completes: the system drops its handshake and the attempt stays in "connecting".
class StalledListener {
public:
    StalledListener();
    ~StalledListener();
    quint16 port = 0;

private:
    int m_listener, m_filler;
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
