#include "chat_session.h"

#include "diagnostics/error_report.h"
#include "diagnostics/host_name.h"
#include "parleon_version.h"
#include "platform/yield.h"
#include "settings/settings_file.h"
#include "sockets/socket_state_text.h"

ChatSession::ChatSession(ChatView& view) : m_view(view) {
    connect(&Winsock1, &SocketControlArray::ConnectionRequest, this, [this](int index, qint32 requestID) {
        // Only a listening root socket raises requests, and only a server listens.
        if (m_server)
            m_server->Winsock1_ConnectionRequest(index, requestID);
        else
            platform::doEvents();
    });
    connect(&Winsock1, &SocketControlArray::DataArrival, this, [this](int index, qint32 bytesTotal) {
        if (ChatRole* playing = role()) playing->Winsock1_DataArrival(index, bytesTotal);
    });
    connect(&Winsock1, &SocketControlArray::Close, this, [this](int index) {
        if (ChatRole* playing = role()) playing->Winsock1_Close(index);
    });
    connect(&Winsock1, &SocketControlArray::Error, this, &ChatSession::Winsock1_Error);
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &ChatSession::Timer1_Timer);
}

ChatSession::~ChatSession() = default;

void ChatSession::printText(const QString& text) { m_view.printText(text); }

void ChatSession::printLine(const QString& text) { printText(text + QStringLiteral("\r\n")); }

void ChatSession::errorHandler(const QString& text) {
    // One box for each kind of failure at a time: failures that peers can cause at will (a host
    // name that cannot be found) must not stack boxes, each a nested event loop. The others still
    // print their line.
    if (!m_openErrorBoxes.contains(text)) {
        const ErrObject mine = Err();
        m_openErrorBoxes.append(text);
        m_view.msgBox(errorReportText(text, Err()), platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
        m_openErrorBoxes.removeOne(text);
        // A failure handled while the box was open has cleared the record: this one is still due.
        if (Err().number == 0 && Err().description.isEmpty()) Err() = mine;
    }
    // A client loses its connection at every reported failure; a server keeps everything.
    if (!isServer) Winsock1(0).Close();
    printLine(Err().description);
    Err().clear();
}

void ChatSession::Winsock1_Error(int /*Index*/, qint32 Number, const QString& Description) {
    Err().set(Number, Description);
    errorHandler(QStringLiteral("Socket Error"));
}

QString ChatSession::getHostName(const QString& ip) { return ::getHostName(*this, ip); }

QString ChatSession::remoteHostIPOf(int index) const {
    const SocketControl* element = Winsock1.find(index);
    return element ? element->RemoteHostIP() : QString();
}

void ChatSession::sizeLastState() { lastState.resize(maxClients); }

void ChatSession::Form_Load() {
    try {
        if (settings::configFileExists()) {
            settings::loadSettings({parleonPort, maxClients, lastIP_Byte1, lastIP_Byte2, lastIP_Byte3, lastIP_Byte4,
                                    nickName, connectTimeout});
            sizeLastState();
            return;
        }
    } catch (const std::exception&) {
        // Whatever went wrong, the program starts with the safe settings.
    }
    printLine(QStringLiteral("File 'ParleonConfig.dat' not found."));
    printLine(QStringLiteral("Loading safe settings."));
    parleonPort = 9843;
    maxClients = 10;
    connectTimeout = 20;
    lastIP_Byte1 = 127;
    lastIP_Byte2 = 0;
    lastIP_Byte3 = 0;
    lastIP_Byte4 = 1;
    sizeLastState();
}

void ChatSession::Form_QueryUnload(int& cancel) {
    if (Winsock1(0).State() != SocketState::Closed) {
        Winsock1(0).Close();
        platform::doEvents();
    }
    if (connecting) {
        cancel = 1;
        const QString hyphens(42, QLatin1Char('-'));
        printLine(QString());
        printLine(hyphens);
        printLine(QStringLiteral("Cannot exit while connecting. Please wait."));
        printLine(hyphens);
        exitPending = true;
        return;
    }
    if (m_server) m_server->unloadClientSockets();
    const auto toSave = [](qint32 current, const std::optional<RunOnlyValue>& runOnly) {
        return runOnly && current == runOnly->given ? runOnly->fromFile : current;
    };
    settings::saveSettings({toSave(parleonPort, m_runOnlyPort), toSave(maxClients, m_runOnlyMaxClients), lastIP_Byte1,
                            lastIP_Byte2, lastIP_Byte3, lastIP_Byte4, nickName, connectTimeout});
}

void ChatSession::useForThisRun(std::optional<qint32> port, std::optional<qint32> maxClients) {
    if (port) {
        m_runOnlyPort = RunOnlyValue{*port, parleonPort};
        parleonPort = *port;
    }
    if (maxClients) {
        m_runOnlyMaxClients = RunOnlyValue{*maxClients, this->maxClients};
        this->maxClients = *maxClients;
    }
}

void ChatSession::Form_KeyUp(int keyCode, QString text) {
    withErrorTrap(
        *this, [this] { return QStringLiteral("Error while sending message to ") + remoteHostIPOf(0); },
        [&] {
            if (keyCode != 13 || text == InputPrompt) return;
            if (ChatRole* playing = role()) playing->sendLine(text);
        });
}

void ChatSession::Timer1_Timer() {
    const qint32 count = socketCount;
    for (int i = 0; i <= count; ++i) {
        // A slot unloaded while an earlier lookup's message box was open is skipped, as is one
        // beyond the recorded range.
        const SocketControl* element = Winsock1.find(i);
        if (!element || !lastState.contains(i)) continue;
        if (element->State() == lastState.value(i)) continue;
        lastState.set(i, element->State());
        const QString stateText = socketStateText(lastState.value(i));
        if (!m_view.showsTitle()) continue;
        if (isServer) {
            // Looked up on a worker: the title follows when the name is known, unless a later
            // change has asked for a title of its own by then. A failure here is not reported:
            // the acceptance reported it, and a box at every change of a peer's socket would
            // let peers pile boxes on the user.
            const quint64 request = ++m_titleRequests;
            lookUpHostNameLater(element->RemoteHostIP(), this, [this, request, stateText](const HostNameAnswer& name) {
                if (request != m_titleRequests) return;
                const QString host = name.found ? QString::fromLocal8Bit(name.name) : QStringLiteral("(unknown)");
                m_view.showTitle(QStringLiteral("Parleon SERVER - ") + stateText + QStringLiteral(" [") + host +
                                 QStringLiteral("]"));
            });
        } else {
            m_view.showTitle(QStringLiteral("Parleon - ") + stateText + QStringLiteral(" [") + serverHostName +
                             QStringLiteral("]"));
        }
    }
}

void ChatSession::Command1_Click() {
    const QString separator(48, QLatin1Char('-'));
    printLine(QString());
    printLine(separator);
    printLine(QStringLiteral("Parleon - Version %1.%2.%3")
                  .arg(ParleonVersion::Major)
                  .arg(ParleonVersion::Minor)
                  .arg(ParleonVersion::Revision));
    printLine(separator);
    printLine(QStringLiteral("Multi client chat via TCP/IP"));
    printLine(separator);
    printLine(QStringLiteral("Quick test:"));
    printLine(QStringLiteral("1. Run Parleon.exe and start a Server"));
    printLine(QStringLiteral("2. Run Parleon.exe and start a Client"));
    printLine(QStringLiteral("3. Enter 127.0.0.1 in the Popup-Dialog"));
    printLine(QStringLiteral("4. Chat with yourself"));
    printLine(separator);
    if (ChatRole* playing = role()) playing->printRoleHelp();
}
