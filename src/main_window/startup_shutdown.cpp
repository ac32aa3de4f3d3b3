#include "form1.h"
#include "platform/yield.h"

settings::SettingsFields Form1::settingsFields() {
    return {parleonPort,
            maxClients,
            connectDialog.lastIP_Byte1,
            connectDialog.lastIP_Byte2,
            connectDialog.lastIP_Byte3,
            connectDialog.lastIP_Byte4,
            nickName,
            connectTimeout};
}

void Form1::sizeLastState() { lastState.resize(maxClients); }

void Form1::Form_Load() {
    try {
        if (settings::configFileExists()) {
            settings::loadSettings(settingsFields());
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
    connectDialog.lastIP_Byte1 = 127;
    connectDialog.lastIP_Byte2 = 0;
    connectDialog.lastIP_Byte3 = 0;
    connectDialog.lastIP_Byte4 = 1;
    sizeLastState();
}

void Form1::Form_QueryUnload(int& cancel, int /*unloadMode*/) {
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
    unloadClientSockets();
    const auto toSave = [](qint32 current, const std::optional<RunOnlyValue>& runOnly) {
        return runOnly && current == runOnly->given ? runOnly->fromFile : current;
    };
    settings::saveSettings({toSave(parleonPort, m_runOnlyPort), toSave(maxClients, m_runOnlyMaxClients),
                            connectDialog.lastIP_Byte1, connectDialog.lastIP_Byte2, connectDialog.lastIP_Byte3,
                            connectDialog.lastIP_Byte4, nickName, connectTimeout});
}

void Form1::useForThisRun(std::optional<qint32> port, std::optional<qint32> maxClients) {
    if (port) {
        m_runOnlyPort = RunOnlyValue{*port, parleonPort};
        parleonPort = *port;
    }
    if (maxClients) {
        m_runOnlyMaxClients = RunOnlyValue{*maxClients, this->maxClients};
        this->maxClients = *maxClients;
    }
}

void Form1::unloadClientSockets() {
    const qint32 count = socketCount;
    for (int i = 1; i <= count; ++i) {
        // A close handled during an earlier yield may have removed this slot already.
        if (!Winsock1.isLoaded(i)) continue;
        if (Winsock1(i).State() != SocketState::Closed) {
            Winsock1(i).Close();
            platform::doEvents();
        }
        if (Winsock1.isLoaded(i)) Winsock1.Unload(i);
    }
    socketCount = 0;
}
