#include "socket_errors.h"

namespace {
SocketErrorInfo networkError(const QString& qtText) {
    // Qt folds several system errors into NetworkError; its text tells them apart.
    if (qtText.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return {10060, QStringLiteral("Connection timed out")};
    if (qtText.contains(QLatin1String("Network unreachable"), Qt::CaseInsensitive))
        return {10051, QStringLiteral("Network is unreachable")};
    if (qtText.contains(QLatin1String("unreachable"), Qt::CaseInsensitive))
        return {10065, QStringLiteral("No route to host")};
    return {10050, QStringLiteral("Network is down")};
}
} // namespace

SocketErrorInfo socketErrorInfo(QAbstractSocket::SocketError error, const QString& qtText) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return {10061, QStringLiteral("Connection is forcefully rejected")};
    case QAbstractSocket::RemoteHostClosedError:
        return {10054, QStringLiteral("Connection is reset by remote side")};
    case QAbstractSocket::HostNotFoundError: return {11001, QStringLiteral("Authoritative answer: Host not found")};
    case QAbstractSocket::SocketAccessError: return {10013, QStringLiteral("Permission denied")};
    case QAbstractSocket::SocketResourceError: return {10055, QStringLiteral("No buffer space is available")};
    case QAbstractSocket::SocketTimeoutError: return {10060, QStringLiteral("Connection timed out")};
    case QAbstractSocket::DatagramTooLargeError: return {10040, QStringLiteral("Message too long")};
    case QAbstractSocket::NetworkError: return networkError(qtText);
    case QAbstractSocket::AddressInUseError: return {10048, QStringLiteral("Address in use")};
    case QAbstractSocket::SocketAddressNotAvailableError:
        return {10049, QStringLiteral("Address not available from the local machine")};
    case QAbstractSocket::UnsupportedSocketOperationError:
        return {10045, QStringLiteral("The operation is not supported")};
    default: return {10053, QStringLiteral("Connection is aborted due to timeout or other failure")};
    }
}
