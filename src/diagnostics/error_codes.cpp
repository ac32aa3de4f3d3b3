#include "error_codes.h"

#include <QHash>

namespace {

const QHash<qint32, QString>& helpTexts() {
    static const QHash<qint32, QString> texts = {
        {10004, QStringLiteral("Interrupted function call. A blocking operation was cut short by a call that "
                               "cancelled it before it could finish.")},
        {10013, QStringLiteral("Permission denied. The socket was used in a way its access rights forbid, for "
                               "example a broadcast without permission or a port that another program holds "
                               "for its exclusive use.")},
        {10014, QStringLiteral("Bad address. The system found an invalid pointer address while trying to use "
                               "an argument of the call, or a buffer given to it was too small.")},
        {10022, QStringLiteral("Invalid argument. An invalid argument was supplied to the call, or the socket "
                               "is in a state in which the operation makes no sense, such as accepting on a "
                               "socket that is not listening.")},
        {10024, QStringLiteral("Too many open files. The process or the system has run out of socket handles; "
                               "close some connections before opening new ones.")},
        {10035, QStringLiteral("Resource temporarily unavailable. A non-blocking operation could not be "
                               "completed at once; it is normal and the operation should be tried again "
                               "later.")},
        {10036, QStringLiteral("Operation now in progress. A blocking operation is still running, and only "
                               "one may run at a time on each task or thread.")},
        {10037, QStringLiteral("Operation already in progress. An operation was attempted on a non-blocking "
                               "socket that already had one under way, such as a second connect before the "
                               "first one finished.")},
        {10038, QStringLiteral("Socket operation on non-socket. The handle given to the call is not a valid "
                               "socket, or it was closed already.")},
        {10039, QStringLiteral("Destination address required. The operation needs an address to send to, and "
                               "none was given.")},
        {10040, QStringLiteral("Message too long. A datagram was larger than the buffer meant to receive it or "
                               "than the network's limit, and was cut or refused.")},
        {10041, QStringLiteral("Protocol wrong type for socket. The protocol named in the call does not "
                               "support the semantics of the socket type asked for.")},
        {10042, QStringLiteral("Bad protocol option. An unknown, invalid or unsupported option or level was "
                               "given to a call that reads or sets socket options.")},
        {10043, QStringLiteral("Protocol not supported. The requested protocol has not been configured on the "
                               "system, or no implementation of it exists.")},
        {10044, QStringLiteral("Socket type not supported. This address family does not support the requested "
                               "type of socket.")},
        {10045, QStringLiteral("Operation not supported. The operation does not apply to this kind of object, "
                               "for example listening on a socket type that cannot accept connections.")},
        {10046, QStringLiteral("Protocol family not supported. The protocol family has not been configured on "
                               "the system, or no implementation of it exists.")},
        {10047, QStringLiteral("Address family not supported by protocol family. An address was used that does "
                               "not fit the protocol in use, such as an IPv6 address on an IPv4 socket.")},
        {10048, QStringLiteral("Address already in use. Only one use of each address and port is normally "
                               "allowed; another socket is already bound to it, or a closed one still holds "
                               "it for a while.")},
        {10049, QStringLiteral("Cannot assign requested address. The address is not valid in its context, for "
                               "example a local address that does not belong to this machine, or a remote "
                               "address or port of 0.")},
        {10050, QStringLiteral("Network is down. The operation met a dead network: the network system, the "
                               "network interface or the local network itself has failed.")},
        {10051, QStringLiteral("Network is unreachable. The operation was attempted to a network that cannot "
                               "be reached from this host at the moment; no route to it is known.")},
        {10052, QStringLiteral("Network dropped connection on reset. The connection was broken because a "
                               "keep-alive check found a failure while the operation was in progress.")},
        {10053, QStringLiteral("Software caused connection abort. An established connection was aborted by "
                               "the software on this host, possibly after a data transmission time-out or a "
                               "protocol error.")},
        {10054, QStringLiteral("Connection reset by peer. An existing connection was forcibly closed by the "
                               "remote host, normally because the program there stopped, the host restarted "
                               "or it closed the connection abruptly.")},
        {10055, QStringLiteral("No buffer space available. The operation could not be performed because the "
                               "system lacked buffer space or a queue was full.")},
        {10056, QStringLiteral("Socket is already connected. A connect request was made on a socket that is "
                               "already connected.")},
        {10057, QStringLiteral("Socket is not connected. A request to send or receive data was refused because "
                               "the socket is not connected and no address was given.")},
        {10058, QStringLiteral("Cannot send after socket shutdown. Sending or receiving was refused because "
                               "that direction of the socket had already been shut down.")},
        {10060, QStringLiteral("Connection timed out. A connection attempt failed because the other side did "
                               "not answer properly within the time allowed, or an established connection "
                               "failed because the host stopped responding.")},
        {10061, QStringLiteral("Connection refused. No connection could be made because the target machine "
                               "actively refused it; usually no server program is listening on that port.")},
        {10064, QStringLiteral("Host is down. A socket operation failed because the destination host was not "
                               "running.")},
        {10065, QStringLiteral("No route to host. A socket operation was attempted to a host that cannot be "
                               "reached from here.")},
        {10067, QStringLiteral("Too many processes. The sockets implementation limits how many programs may use "
                               "it at the same time, and that limit has been reached.")},
        {10091, QStringLiteral("Network subsystem is unavailable. The underlying network service of the system "
                               "is not ready for use at the moment.")},
        {10092, QStringLiteral("WINSOCK.DLL version out of range. The sockets implementation does not support "
                               "the version of its interface that the program asked for.")},
        {10093, QStringLiteral("Successful WSAStartup not yet performed. The program has not started the "
                               "sockets library, or it has already shut it down.")},
        {10094, QStringLiteral("Graceful shutdown in progress. The remote side has begun an orderly shutdown "
                               "of the connection.")},
        {10109, QStringLiteral("Class type not found. The specified class was not found.")},
        {11001, QStringLiteral("Host not found. No such host is known: the name is not an official host name "
                               "or alias, or it cannot be found in the databases that were searched.")},
        {11002, QStringLiteral("Non-authoritative host not found. Usually a temporary error while resolving a "
                               "host name: the local server got no answer from an authoritative server. "
                               "Trying again later may succeed.")},
        {11003, QStringLiteral("This is a non-recoverable error. A non-recoverable error occurred during a "
                               "database lookup, for example the name server refused the query.")},
        {11004, QStringLiteral("Valid name, no data record of requested type. The name is valid and known to "
                               "the name server, but it has no data of the kind that was asked for.")},
    };
    return texts;
}

} // namespace

QString getErrorText(qint32 number) { return helpTexts().value(number, QStringLiteral("Error unknown.")); }
