#pragma once

#include <QStringList>
#include <optional>

// What the program was asked for on its command line. Without options it starts as always: a
// window, neither server nor client.
struct CommandLine {
    bool server = false;    // start the server at once, without the settings dialog
    bool headless = false;  // no window: output to standard output, boxes to standard error
    std::optional<qint32> port;
    std::optional<qint32> maxClients;
    bool chatLines = true;  // the output shows what clients say, not only who comes and goes
};

// The desktop program, or the server without any window system, which is always a headless
// server (--server and --headless are taken and change nothing).
enum class Program { Parleon, Server };

QStringList argumentsOf(int argc, char* argv[]);

// Reads the options (arguments[0] is the program). --help, --version and mistakes are answered
// on standard output or error, and their exit status is returned; nullopt means go on.
std::optional<int> parseCommandLine(const QStringList& arguments, CommandLine& commandLine,
                                    Program program = Program::Parleon);

// The rules of the settings dialog, with the values that cannot start a server refused.
// The most clients the command line may ask for: as many as the server serves well with the
// descriptors a service is given.
inline constexpr qint32 MaxClientsOnCommandLine = 1000;

bool isUsablePort(qint32 port);
bool isUsableMaxClients(qint32 maxClients);
