#include "socket_errors.h"

#include <cerrno>

SocketErrorInfo socketErrorInfo(int systemError) {
    switch (systemError) {
    case ECONNREFUSED: return {10061, QStringLiteral("Connection is forcefully rejected")};
    case ECONNRESET: return {10054, QStringLiteral("Connection is reset by remote side")};
    case ETIMEDOUT: return {10060, QStringLiteral("Connection timed out")};
    case ENETUNREACH: return {10051, QStringLiteral("Network is unreachable")};
    case EHOSTUNREACH: return {10065, QStringLiteral("No route to host")};
    case ENETDOWN: return {10050, QStringLiteral("Network is down")};
    case EACCES:
    case EPERM: return {10013, QStringLiteral("Permission denied")};
    case EADDRINUSE: return {10048, QStringLiteral("Address in use")};
    case EADDRNOTAVAIL: return {10049, QStringLiteral("Address not available from the local machine")};
    case EMFILE:
    case ENFILE: return {10024, QStringLiteral("Too many open files")};
    case ENOBUFS:
    case ENOMEM: return {10055, QStringLiteral("No buffer space is available")};
    default: return {10053, QStringLiteral("Connection is aborted due to timeout or other failure")};
    }
}
