#include "command_line.h"

#include "parleon_version.h"

#include <QCommandLineParser>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int StatusUsage = 2;

// The options QApplication takes for itself; they are left to it, not refused as unknown.
QList<QCommandLineOption> toolkitOptions() {
    QList<QCommandLineOption> options;
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                             "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style",
                             "stylesheet", "qmljsdebugger", "name", "title", "visual"})
        options << QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value"));
    for (const char* name : {"reverse", "widgetcount", "dograb", "nograb", "sync"})
        options << QCommandLineOption(QLatin1String(name));
    for (QCommandLineOption& option : options) option.setFlags(QCommandLineOption::HiddenFromHelp);
    return options;
}

int usageError(const char* name, const QString& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", name, qPrintable(message), name);
    return StatusUsage;
}

// A whole number in decimal digits, nothing else: "24001.5" or "1e3" is no port.
std::optional<qint32> numberOption(const QCommandLineParser& parser, const QString& name, qint32 most,
                                   const QString& wanted, QString& error) {
    if (!parser.isSet(name)) return std::nullopt;
    const QString text = parser.value(name);
    const bool digits = !text.isEmpty() && text.size() <= 9 &&
                        std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const qint32 value = digits ? text.toInt() : -1;
    if (value < 0 || value > most) error = QStringLiteral("--%1: '%2' is not %3.").arg(name, text, wanted);
    return value;
}

} // namespace

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

bool isUsablePort(qint32 port) { return port >= 0 && port <= 65535; }
bool isUsableMaxClients(qint32 maxClients) { return maxClients >= 0; }

std::optional<int> parseCommandLine(const QStringList& arguments, CommandLine& commandLine, Program program) {
    const bool serverOnly = program == Program::Server;
    const char* name = serverOnly ? "parleon-server" : "parleon";
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(serverOnly ? QStringLiteral("The Parleon chat server, without a window.")
                                                : QStringLiteral("Multi-client text chat over TCP/IP, as server or as client."));
    // Not Qt's help option: its --help-all would promise toolkit options the help never lists.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    QList<QCommandLineOption> options = {
        {QStringLiteral("server"), QStringLiteral("Start the server at once, without the settings dialog.")},
        {QStringLiteral("port"), QStringLiteral("The port the server listens on (0 to 65535; 0 lets the system choose). "
                                                "Default: the settings file's."),
         QStringLiteral("N")},
        {QStringLiteral("max-clients"),
         QStringLiteral("How many clients the server keeps (0 to %1). Default: the settings file's.").arg(MaxClientsOnCommandLine),
         QStringLiteral("M")},
        {QStringLiteral("no-chat-lines"),
         QStringLiteral("Leave what clients say out of the output; joins, renames, departures, kicks and errors "
                        "stay. Needs --server.")},
        {QStringLiteral("headless"), QStringLiteral("Run the server without a window: the output goes to standard "
                                                    "output, messages to standard error. Needs --server.")},
    };
    // The server on its own takes --server and --headless, as the desktop program's command line
    // does, but has nothing to tell about them.
    if (serverOnly)
        for (QCommandLineOption& option : options)
            if (option.names().contains(QStringLiteral("server")) || option.names().contains(QStringLiteral("headless")))
                option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions(options);
    if (!serverOnly) parser.addOptions(toolkitOptions());

    if (!parser.parse(arguments)) return usageError(name, parser.errorText());
    if (parser.isSet(help)) {
        const QString text = parser.helpText().replace(QStringLiteral("<executable_name>"), QLatin1String(name));
        std::fputs(qPrintable(text), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %d.%d.%d\n", name, ParleonVersion::Major, ParleonVersion::Minor, ParleonVersion::Revision);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(name, QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));

    commandLine.server = serverOnly || parser.isSet(QStringLiteral("server"));
    commandLine.headless = serverOnly || parser.isSet(QStringLiteral("headless"));
    QString error;
    commandLine.port = numberOption(parser, QStringLiteral("port"), 65535, QStringLiteral("a port from 0 to 65535"), error);
    commandLine.maxClients =
        numberOption(parser, QStringLiteral("max-clients"), MaxClientsOnCommandLine,
                     QStringLiteral("a number of clients from 0 to %1").arg(MaxClientsOnCommandLine), error);
    if (!error.isEmpty()) return usageError(name, error);
    commandLine.chatLines = !parser.isSet(QStringLiteral("no-chat-lines"));
    if (!commandLine.server && (commandLine.headless || commandLine.port || commandLine.maxClients || !commandLine.chatLines))
        return usageError(name, QStringLiteral("--headless, --port, --max-clients and --no-chat-lines go with --server."));
    return std::nullopt;
}
