// The chat server on its own, without any window system: what a machine without a screen runs.
#include "platform/console.h"
#include "server/headless_server.h"
#include "settings/command_line.h"

int main(int argc, char* argv[]) {
    platform::keepStandardDescriptors();
    CommandLine commandLine;
    if (const std::optional<int> status = parseCommandLine(argumentsOf(argc, argv), commandLine, Program::Server))
        return *status;
    return runHeadlessServer(argc, argv, commandLine);
}
