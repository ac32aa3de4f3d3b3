// A resolver the tests control, preloaded into the program (LD_PRELOAD): every reverse lookup is
// logged to $PARLEON_TEST_RESOLVER_LOG, takes $PARLEON_TEST_RESOLVER_DELAY_MS and finds "slowhost".
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const char Name[] = "slowhost";

void logAndWait(const char* function) {
    if (const char* log = std::getenv("PARLEON_TEST_RESOLVER_LOG")) {
        if (FILE* file = std::fopen(log, "a")) {
            std::fprintf(file, "%s\n", function);
            std::fclose(file);
        }
    }
    if (const char* delay = std::getenv("PARLEON_TEST_RESOLVER_DELAY_MS")) usleep(useconds_t(std::atoi(delay)) * 1000);
}
} // namespace

extern "C" {

int gethostbyaddr_r(const void*, socklen_t, int type, hostent* entry, char* buffer, size_t size, hostent** result,
                    int* error) {
    logAndWait("gethostbyaddr_r");
    if (size < sizeof Name + 2 * sizeof(char*)) return *result = nullptr, *error = NO_RECOVERY, ERANGE;
    auto** none = reinterpret_cast<char**>(buffer);
    none[0] = nullptr;
    char* name = buffer + 2 * sizeof(char*);
    std::memcpy(name, Name, sizeof Name);
    *entry = hostent{name, none, type, 4, none};
    *result = entry;
    return 0;
}

hostent* gethostbyaddr(const void* address, socklen_t length, int type) {
    static hostent entry;
    static char buffer[64];
    hostent* result = nullptr;
    int error = 0;
    gethostbyaddr_r(address, length, type, &entry, buffer, sizeof buffer, &result, &error);
    return result;
}

int getnameinfo(const sockaddr*, socklen_t, char* host, socklen_t hostLength, char* service, socklen_t serviceLength,
                int) {
    logAndWait("getnameinfo");
    if (host && hostLength >= sizeof Name) std::memcpy(host, Name, sizeof Name);
    if (service && serviceLength > 0) service[0] = '\0';
    return 0;
}
}
