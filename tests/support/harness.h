#pragma once

#include "client/chat_client.h"
#include "protocol/chat_session.h"
#include "server/chat_server.h"

#include <QElapsedTimer>
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

// Answers the message boxes and dialogs the chat asks for, as a user would, one action for each
// in turn; boxes nobody expected are recorded and answered with their default.
class Script {
public:
    struct Box {
        QString text;
        platform::MsgButtons buttons;
        platform::MsgIcon icon;
    };
    static Script& instance();
    // The next message box: this answer, or what the action returns (it may run events meanwhile).
    void button(platform::MsgResult answer);
    void box(std::function<platform::MsgResult()> action);
    // The next dialog: the action fills in the session as the dialog's OK would; false is Cancel.
    void dialog(std::function<bool()> action);
    void reset();
    bool done() const { return m_boxActions.empty() && m_dialogActions.empty(); }
    std::vector<Box> boxes;
    QStringList unexpected;

    platform::MsgResult answerBox(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon);
    bool answerDialog(const QString& title);

private:
    std::deque<std::function<platform::MsgResult()>> m_boxActions;
    std::deque<std::function<bool()>> m_dialogActions;
};
inline Script& script() { return Script::instance(); }

// A test whose every function starts with no box seen and ends with every expected box answered
// and no unexpected one.
class ScriptedTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
};

// The chat without a window, in a program folder of its own: what it shows is recorded here, and
// the output starts afresh as the window's box does.
class Chat : public ChatView {
public:
    // Starts up with this settings file in its folder, or with none.
    explicit Chat(const QByteArray& settingsFile = {});
    ProgramFolder folder;
    QString output;
    QString shortTexts; // every text under 1 KiB shown, kept past the output's resets
    QString title;
    QString input = ChatSession::InputPrompt; // the input line
    int focused = 0;                           // how often the input line was given the focus
    int attention = 0;                         // how often a message asked for attention
    bool closed = false;
    std::function<void(const QString&)> onText; // called as each text is shown
    ChatSession session{*this};
    ChatServer server{session};
    ChatClient client{session};
    qsizetype mark = 0;

    QString fresh(); // output since the last call
    // Types the line into the input and releases Return.
    void type(const QString& line);
    quint16 port() { return quint16(session.Winsock1(0).LocalPort()); }

    void printText(const QString& text) override;
    platform::MsgResult msgBox(const QString& text, platform::MsgButtons buttons, platform::MsgIcon icon) override {
        return script().answerBox(text, buttons, icon);
    }
    void showTitle(const QString& caption) override { title = caption; }
    bool showServerSettings() override { return script().answerDialog(QStringLiteral("Parleon Server Settings")); }
    bool showConnectDialog() override { return script().answerDialog(QStringLiteral("Parleon Connect to Server")); }
    void focusInput() override { ++focused; }
    void lineSent(const QString&) override { input.clear(); }
    void messageArrived() override { ++attention; }
    void close() override;
};

// Starts the chat's server on this port with this maximum, as the settings dialog's OK would.
bool startServer(Chat& chat, quint16 port, qint32 maxClients = 10);
// "Connect to Server" with this port, address and nick name; the output it gained.
QString connectTo(Chat& chat, quint16 port, const QString& nick = QStringLiteral("alice"),
                  const QString& address = QStringLiteral("127.0.0.1"));

// A raw TCP peer, like netcat: sends bytes, checks exactly what arrives, tells FIN from reset.
class Peer {
public:
    enum class End { Open, Fin, Reset };
    explicit Peer(quint16 port, const char* address = "127.0.0.1");
    struct Accepted {
        int fd;
    };
    explicit Peer(Accepted connection); // the other end of a connection a listener took
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    quint16 localPort() const;
    void send(const QByteArray& bytes);
    qsizetype sendSome(const QByteArray& bytes); // what the system takes now, without waiting
    bool expect(const QByteArray& bytes, int timeoutMs = 5000); // these bytes next, then taken
    QByteArray take(int waitMs = 0);                            // what has come within waitMs
    QByteArray takeSome(qint64 most);                           // at most this much of what has come
    bool waitFor(const QByteArray& text, int timeoutMs = 5000); // until what has come holds the text
    End waitEnd(int timeoutMs = 5000);
    void shutdownWrite();
    void resetConnection(); // closes at once; the other side sees a reset
    QByteArray received;
    End end = End::Open;

private:
    void pump(qint64 most = std::numeric_limits<qint64>::max());
    int m_fd = -1;
};

// A peer that has joined under this nick name, its welcome and list taken; null if not welcomed.
std::unique_ptr<Peer> joinAs(quint16 port, const QByteArray& nick);
// The processor time this thread has used, in milliseconds.
qint64 threadCpuMs();
// A figure in kB from a process's /proc status ("VmRSS:", "VmHWM:"); the test's own by default.
qint64 statusKb(const char* field, qint64 pid = 0);

// A loopback port whose listener's accept queue is full, so that a connection attempt to it never
// completes: the system drops its handshake and the attempt stays in "connecting".
class StalledListener {
public:
    StalledListener();
    ~StalledListener();
    // Takes the next connection from the queue, the filler first: the queue then has room, and a
    // stalled attempt completes when its handshake is sent again.
    int accept();
    quint16 port = 0;

private:
    int m_listener, m_filler;
};

} // namespace testing
